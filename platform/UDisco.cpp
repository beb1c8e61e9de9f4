#include "UDisco.h"

#include "UErro.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

TDisco::TObservador vObservador;
TDisco::TRegistrador vRegistrador;

// One step, from the observer's look before it to the recorder's note after
// it, on every path out, exceptions included.
class TEtapa {
public:
    explicit TEtapa(TDisco::TPasso pPasso, bool pObservada = true) : vPasso(std::move(pPasso))
    {
        if (pObservada && vObservador)
            vObservador(vPasso);
        if (vRegistrador.vAntes) {
            vRegistrador.vAntes(vPasso);
            vRegistrando = true;
        }
    }
    TEtapa(const TEtapa&) = delete;
    TEtapa& operator=(const TEtapa&) = delete;
    ~TEtapa()
    {
        if (vRegistrando && vRegistrador.vDepois)
            vRegistrador.vDepois(vPasso, vFeita);
    }
    void PFeita(int pDescritor = -1)
    {
        vFeita = true;
        if (pDescritor >= 0)
            vPasso.vDescritor = pDescritor;
    }

private:
    TDisco::TPasso vPasso;
    bool vRegistrando = false;
    bool vFeita = false;
};

} // namespace

void TDisco::PDefineObservador(TObservador pObservador)
{
    vObservador = std::move(pObservador);
}

void TDisco::PDefineRegistrador(TRegistrador pRegistrador)
{
    vRegistrador = std::move(pRegistrador);
}

void TDisco::PFalha(const QString& pCaminho, int pErrno)
{
    throw EErro(QStringLiteral("Não foi possível gravar o arquivo %1.\rMotivo: %2")
                    .arg(pCaminho, QString::fromLocal8Bit(std::strerror(pErrno))));
}

TDescritorArquivo TDisco::FAbre(const QString& pCaminho, int pModo, int pPermissoes)
{
    TEtapa etapa({TTipo::Abre, pCaminho, -1, 0, nullptr, pModo, {}, pCaminho}, false);
    TDescritorArquivo descritor(::open(QFile::encodeName(pCaminho).constData(), pModo | O_CLOEXEC, pPermissoes));
    if (!descritor.FAberto())
        PFalha(pCaminho, errno);
    etapa.PFeita(descritor.get());
    return descritor;
}

void TDisco::PGrava(int pDescritor, const QByteArray& pDados, qint64 pPosicao, const QString& pCaminho)
{
    TEtapa etapa({TTipo::Grava, pCaminho, pDescritor, pPosicao, &pDados});
    const char* p = pDados.constData();
    qsizetype resta = pDados.size();
    off_t posicao = static_cast<off_t>(pPosicao);
    while (resta > 0) {
        const ssize_t escritos = ::pwrite(pDescritor, p, static_cast<size_t>(resta), posicao);
        if (escritos < 0 && errno == EINTR)
            continue;
        if (escritos < 0)
            PFalha(pCaminho, errno);
        p += escritos;
        resta -= escritos;
        posicao += escritos;
    }
    etapa.PFeita();
}

void TDisco::PReserva(int pDescritor, qint64 pPosicao, qint64 pTamanho, const QString& pCaminho)
{
    TEtapa etapa({TTipo::Reserva, pCaminho, pDescritor, pPosicao, nullptr, pTamanho});
    if (pTamanho > 0) {
        const int erro = ::posix_fallocate(pDescritor, static_cast<off_t>(pPosicao), static_cast<off_t>(pTamanho));
        // A file system that cannot reserve is no reason to give up the write.
        if (erro != 0 && erro != EOPNOTSUPP && erro != EINVAL)
            PFalha(pCaminho, erro);
    }
    etapa.PFeita();
}

void TDisco::PTrunca(int pDescritor, qint64 pTamanho, const QString& pCaminho)
{
    TEtapa etapa({TTipo::Trunca, pCaminho, pDescritor, 0, nullptr, pTamanho});
    if (::ftruncate(pDescritor, static_cast<off_t>(pTamanho)) != 0)
        PFalha(pCaminho, errno);
    etapa.PFeita();
}

void TDisco::PSincroniza(int pDescritor, const QString& pCaminho, bool pTudo)
{
    TEtapa etapa({TTipo::Sincroniza, pCaminho, pDescritor, 0, nullptr});
    if ((pTudo ? ::fsync(pDescritor) : ::fdatasync(pDescritor)) != 0)
        PFalha(pCaminho, errno);
    etapa.PFeita();
}

void TDisco::PRenomeia(const QString& pDe, const QString& pPara, const QString& pCaminho)
{
    TEtapa etapa({TTipo::Renomeia, pCaminho, -1, 0, nullptr, 0, pDe, pPara});
    if (::rename(QFile::encodeName(pDe).constData(), QFile::encodeName(pPara).constData()) != 0)
        PFalha(pCaminho, errno);
    etapa.PFeita();
}

void TDisco::PSincronizaDiretorio(const QString& pCaminho)
{
    TEtapa etapa({TTipo::SincronizaDiretorio, pCaminho, -1, 0, nullptr});
    const QByteArray diretorio = QFile::encodeName(QFileInfo(pCaminho).absolutePath());
    const int fd = ::open(diretorio.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        if (::fsync(fd) == 0)
            etapa.PFeita();
        ::close(fd);
    }
}
