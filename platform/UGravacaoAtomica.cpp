#include "UGravacaoAtomica.h"

#include "UDescritorArquivo.h"
#include "UDisco.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::function<void()> vAntesDeRenomear;

// The temporary file disappears on every path that does not end in the rename.
class TTemporario {
public:
    explicit TTemporario(QString pNome) : vNome(std::move(pNome)) {}
    TTemporario(const TTemporario&) = delete;
    TTemporario& operator=(const TTemporario&) = delete;
    ~TTemporario()
    {
        if (!vRenomeado)
            ::unlink(QFile::encodeName(vNome).constData());
    }

    bool vRenomeado = false;
    const QString vNome;
};

// A replaced file keeps its permissions; a new one gets the umask's.
void PCopiaPermissoes(const QByteArray& pDestino, int pDescritor)
{
    struct stat info {};
    if (::stat(pDestino.constData(), &info) == 0)
        ::fchmod(pDescritor, info.st_mode & 07777);
}

} // namespace

void TGravacaoAtomica::PGrava(const QString& pCaminho, const QByteArray& pDados)
{
    TTemporario temporario(pCaminho + QLatin1Char('.') + QString::number(::getpid()) + QStringLiteral(".tmp"));
    TDescritorArquivo descritor(
        ::open(QFile::encodeName(temporario.vNome).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    if (!descritor.FAberto())
        TDisco::PFalha(pCaminho, errno);
    PCopiaPermissoes(QFile::encodeName(pCaminho), descritor.get());
    TDisco::PGrava(descritor.get(), pDados, 0, pCaminho);
    TDisco::PSincroniza(descritor.get(), pCaminho, true);
    if (descritor.FFecha() != 0)
        TDisco::PFalha(pCaminho, errno);
    if (vAntesDeRenomear)
        vAntesDeRenomear();
    TDisco::PRenomeia(temporario.vNome, pCaminho, pCaminho);
    temporario.vRenomeado = true;
    TDisco::PSincronizaDiretorio(pCaminho);
}

void TGravacaoAtomica::PDefineAntesDeRenomear(std::function<void()> pAcao)
{
    vAntesDeRenomear = std::move(pAcao);
}
