#include "UGravacaoAtomica.h"

#include "UErro.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::function<void()> vAntesDeRenomear;

QString FMotivo(int pErrno)
{
    return QString::fromLocal8Bit(std::strerror(pErrno));
}

[[noreturn]] void PFalha(const QString& pCaminho, int pErrno)
{
    throw EErro(QStringLiteral("Não foi possível gravar o arquivo %1.\rMotivo: %2").arg(pCaminho, FMotivo(pErrno)));
}

// The temporary file disappears on every path that does not end in the rename.
class TTemporario {
public:
    explicit TTemporario(QByteArray pNome) : vNome(std::move(pNome)) {}
    TTemporario(const TTemporario&) = delete;
    TTemporario& operator=(const TTemporario&) = delete;
    ~TTemporario()
    {
        if (vDescritor >= 0)
            ::close(vDescritor);
        if (!vRenomeado)
            ::unlink(vNome.constData());
    }

    int vDescritor = -1;
    bool vRenomeado = false;
    const QByteArray vNome;
};

// A replaced file keeps its permissions; a new one gets the umask's.
void PCopiaPermissoes(const QByteArray& pDestino, int pDescritor)
{
    struct stat info {};
    if (::stat(pDestino.constData(), &info) == 0)
        ::fchmod(pDescritor, info.st_mode & 07777);
}

void PEscreveTudo(int pDescritor, const QByteArray& pDados, const QString& pCaminho)
{
    const char* p = pDados.constData();
    qsizetype resta = pDados.size();
    while (resta > 0) {
        const ssize_t escritos = ::write(pDescritor, p, static_cast<size_t>(resta));
        if (escritos < 0 && errno == EINTR)
            continue;
        if (escritos < 0)
            PFalha(pCaminho, errno);
        p += escritos;
        resta -= escritos;
    }
}

void PSincronizaDiretorio(const QByteArray& pDestino)
{
    const QByteArray diretorio = QFile::encodeName(QFileInfo(QFile::decodeName(pDestino)).absolutePath());
    const int fd = ::open(diretorio.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd); // makes the rename itself durable; best effort
        ::close(fd);
    }
}

} // namespace

void TGravacaoAtomica::PGrava(const QString& pCaminho, const QByteArray& pDados)
{
    const QByteArray destino = QFile::encodeName(pCaminho);
    TTemporario temporario(destino + '.' + QByteArray::number(::getpid()) + ".tmp");
    temporario.vDescritor = ::open(temporario.vNome.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (temporario.vDescritor < 0)
        PFalha(pCaminho, errno);
    PCopiaPermissoes(destino, temporario.vDescritor);
    PEscreveTudo(temporario.vDescritor, pDados, pCaminho);
    if (::fsync(temporario.vDescritor) != 0)
        PFalha(pCaminho, errno);
    const int descritor = temporario.vDescritor;
    temporario.vDescritor = -1;
    if (::close(descritor) != 0)
        PFalha(pCaminho, errno);
    if (vAntesDeRenomear)
        vAntesDeRenomear();
    if (::rename(temporario.vNome.constData(), destino.constData()) != 0)
        PFalha(pCaminho, errno);
    temporario.vRenomeado = true;
    PSincronizaDiretorio(destino);
}

void TGravacaoAtomica::PDefineAntesDeRenomear(std::function<void()> pAcao)
{
    vAntesDeRenomear = std::move(pAcao);
}
