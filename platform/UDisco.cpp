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

void PAvisa(const TDisco::TPasso& pPasso)
{
    if (vObservador)
        vObservador(pPasso);
}

} // namespace

void TDisco::PDefineObservador(TObservador pObservador)
{
    vObservador = std::move(pObservador);
}

void TDisco::PFalha(const QString& pCaminho, int pErrno)
{
    throw EErro(QStringLiteral("Não foi possível gravar o arquivo %1.\rMotivo: %2")
                    .arg(pCaminho, QString::fromLocal8Bit(std::strerror(pErrno))));
}

void TDisco::PGrava(int pDescritor, const QByteArray& pDados, qint64 pPosicao, const QString& pCaminho)
{
    PAvisa({TTipo::Grava, pCaminho, pDescritor, pPosicao, &pDados});
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
}

void TDisco::PReserva(int pDescritor, qint64 pPosicao, qint64 pTamanho, const QString& pCaminho)
{
    PAvisa({TTipo::Reserva, pCaminho, pDescritor, pPosicao, nullptr});
    if (pTamanho <= 0)
        return;
    const int erro = ::posix_fallocate(pDescritor, static_cast<off_t>(pPosicao), static_cast<off_t>(pTamanho));
    // A file system that cannot reserve is no reason to give up the write.
    if (erro != 0 && erro != EOPNOTSUPP && erro != EINVAL)
        PFalha(pCaminho, erro);
}

void TDisco::PSincroniza(int pDescritor, const QString& pCaminho, bool pTudo)
{
    PAvisa({TTipo::Sincroniza, pCaminho, pDescritor, 0, nullptr});
    if ((pTudo ? ::fsync(pDescritor) : ::fdatasync(pDescritor)) != 0)
        PFalha(pCaminho, errno);
}

void TDisco::PRenomeia(const QString& pDe, const QString& pPara, const QString& pCaminho)
{
    PAvisa({TTipo::Renomeia, pCaminho, -1, 0, nullptr});
    if (::rename(QFile::encodeName(pDe).constData(), QFile::encodeName(pPara).constData()) != 0)
        PFalha(pCaminho, errno);
}

void TDisco::PSincronizaDiretorio(const QString& pCaminho)
{
    PAvisa({TTipo::SincronizaDiretorio, pCaminho, -1, 0, nullptr});
    const QByteArray diretorio = QFile::encodeName(QFileInfo(pCaminho).absolutePath());
    const int fd = ::open(diretorio.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}
