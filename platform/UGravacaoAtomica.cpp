#include "UGravacaoAtomica.h"

#include "UDescritorArquivo.h"
#include "UDisco.h"

#include <QFile>
#include <QFileInfo>

#include <atomic>
#include <mutex>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::function<void()> vAntesDeRenomear;

thread_local TAdiamentoDiretorios* vAdiamento = nullptr;

std::mutex vTravaConferidas;

// The temporary file disappears on every path that does not hand it on to
// the prepared write, which renames it or removes it.
class TTemporario {
public:
    explicit TTemporario(QString pNome) : vNome(std::move(pNome)) {}
    TTemporario(const TTemporario&) = delete;
    TTemporario& operator=(const TTemporario&) = delete;
    ~TTemporario()
    {
        if (!vEntregue)
            ::unlink(QFile::encodeName(vNome).constData());
    }

    bool vEntregue = false;
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
    FPrepara(pCaminho, pDados)->PConclui();
}

std::unique_ptr<TGravacaoPreparada> TGravacaoAtomica::FPrepara(const QString& pCaminho, const QByteArray& pDados)
{
    // A name of its own for each: a replacement prepared on another thread
    // must not share its temporary file with one made meanwhile.
    static std::atomic<unsigned> vContador{0};
    TTemporario temporario(pCaminho + QLatin1Char('.') + QString::number(::getpid()) + QLatin1Char('.') +
                           QString::number(vContador++) + QStringLiteral(".tmp"));
    TDescritorArquivo descritor(
        ::open(QFile::encodeName(temporario.vNome).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    if (!descritor.FAberto())
        TDisco::PFalha(pCaminho, errno);
    PCopiaPermissoes(QFile::encodeName(pCaminho), descritor.get());
    TDisco::PGrava(descritor.get(), pDados, 0, pCaminho);
    TDisco::PSincroniza(descritor.get(), pCaminho, true);
    if (descritor.FFecha() != 0)
        TDisco::PFalha(pCaminho, errno);
    temporario.vEntregue = true; // from here on the prepared write answers for it
    return std::make_unique<TGravacaoPreparada>(pCaminho, temporario.vNome);
}

TGravacaoPreparada::~TGravacaoPreparada()
{
    if (!vConcluida)
        ::unlink(QFile::encodeName(vTemporario).constData());
}

void TGravacaoPreparada::PConclui()
{
    if (!vConferencia)
        return PRenomeia();
    const std::lock_guard trava(vTravaConferidas);
    if (const std::unique_ptr<TGravacaoPreparada> refeita = vConferencia()) {
        refeita->PRenomeia();
        ::unlink(QFile::encodeName(vTemporario).constData());
        vConcluida = true;
        return;
    }
    PRenomeia();
}

void TGravacaoPreparada::PRenomeia()
{
    if (vAntesDeRenomear)
        vAntesDeRenomear();
    TDisco::PRenomeia(vTemporario, vCaminho, vCaminho);
    vConcluida = true;
    if (!TAdiamentoDiretorios::FAdia(vCaminho))
        TDisco::PSincronizaDiretorio(vCaminho);
}

void TGravacaoAtomica::PDefineAntesDeRenomear(std::function<void()> pAcao)
{
    vAntesDeRenomear = std::move(pAcao);
}

TAdiamentoDiretorios::TAdiamentoDiretorios()
{
    // One at a time: an inner one leaves the renames to the outer.
    if (vAdiamento)
        return;
    vAdiamento = this;
    vAtivo = true;
}

TAdiamentoDiretorios::~TAdiamentoDiretorios()
{
    PConclui();
}

void TAdiamentoDiretorios::PConclui()
{
    if (!vAtivo)
        return;
    vAtivo = false;
    vAdiamento = nullptr;
    // One file per directory is enough: the sync covers every name in it.
    std::set<QString> diretorios;
    for (const QString& caminho : vCaminhos) {
        if (diretorios.insert(QFileInfo(caminho).absolutePath()).second)
            TDisco::PSincronizaDiretorio(caminho);
    }
    vCaminhos.clear();
}

bool TAdiamentoDiretorios::FAdia(const QString& pCaminho)
{
    if (!vAdiamento)
        return false;
    vAdiamento->vCaminhos.insert(pCaminho);
    return true;
}
