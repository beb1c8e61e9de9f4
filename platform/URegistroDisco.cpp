#include "URegistroDisco.h"

#include "UDisco.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include <cstdlib>
#include <fcntl.h>
#include <mutex>
#include <utility>
#include <sys/file.h>
#include <unistd.h>

namespace {

constexpr int cTamanhoContador = 20;

struct TEstado {
    int vTrace = -1;
    int vContador = -1;
    qint64 vParada = 0; // 0: record only
    std::mutex vTrava; // one step at a time in this process, from vAntes to vDepois
    QByteArray vCaminho; // of the step under way, read before it runs
};

TEstado& Estado()
{
    static TEstado estado;
    return estado;
}

qint64 FLeContador(int pDescritor)
{
    char texto[cTamanhoContador + 1] = {};
    const ssize_t lidos = ::pread(pDescritor, texto, cTamanhoContador, 0);
    return lidos > 0 ? std::atoll(texto) : 0;
}

void PGravaContador(int pDescritor, qint64 pValor)
{
    const QByteArray texto = QByteArray::number(pValor).rightJustified(cTamanhoContador, ' ');
    (void)!::pwrite(pDescritor, texto.constData(), static_cast<size_t>(texto.size()), 0);
}

QByteArray FCodifica(const QString& pCaminho)
{
    return pCaminho.isEmpty() ? QByteArray("-") : QUrl::toPercentEncoding(pCaminho, "/");
}

// The file a descriptor stands for now: the temporary copy, not the file
// the caller names in its messages.
QString FCaminhoDescritor(int pDescritor)
{
    return QFileInfo(QStringLiteral("/proc/self/fd/%1").arg(pDescritor)).symLinkTarget();
}

QString FCaminhoDoPasso(const TDisco::TPasso& pPasso)
{
    switch (pPasso.vTipo) {
    case TDisco::TTipo::Renomeia:
        return pPasso.vDe;
    case TDisco::TTipo::Abre:
        return QFileInfo(pPasso.vPara).absoluteFilePath();
    case TDisco::TTipo::SincronizaDiretorio:
        return QFileInfo(pPasso.vCaminho).absolutePath();
    default:
        return FCaminhoDescritor(pPasso.vDescritor);
    }
}

// "n pid tipo feito posicao tamanho bytes caminho destino", a line break,
// then the bytes written.
QByteArray FRegistro(qint64 pNumero, const TDisco::TPasso& pPasso, bool pFeita, const QByteArray& pCaminho)
{
    const QByteArray dados = pPasso.vDados ? *pPasso.vDados : QByteArray();
    const QByteArray destino = pPasso.vTipo == TDisco::TTipo::Renomeia ? FCodifica(pPasso.vPara) : QByteArray("-");
    return QByteArray::number(pNumero) + ' ' + QByteArray::number(::getpid()) + ' ' +
           TRegistroDisco::FNomeTipo(static_cast<int>(pPasso.vTipo)) + ' ' + (pFeita ? '1' : '0') + ' ' +
           QByteArray::number(pPasso.vPosicao) + ' ' + QByteArray::number(pPasso.vTamanho) + ' ' +
           QByteArray::number(dados.size()) + ' ' + pCaminho + ' ' + destino + '\n' + dados;
}

void PEscreveTudo(int pDescritor, const QByteArray& pBytes)
{
    qsizetype feito = 0;
    while (feito < pBytes.size()) {
        const ssize_t n = ::write(pDescritor, pBytes.constData() + feito, static_cast<size_t>(pBytes.size() - feito));
        if (n <= 0)
            return;
        feito += n;
    }
}

// Held here for good: the test ends the process. Should the test itself be
// gone, the process does not outlive it by much.
[[noreturn]] void PRetem()
{
    for (int i = 0; i < 120; ++i)
        ::sleep(1);
    ::_exit(99);
}

void PAntes(const TDisco::TPasso& pPasso)
{
    TEstado& e = Estado();
    e.vTrava.lock();
    ::flock(e.vContador, LOCK_EX);
    if (e.vParada > 0 && FLeContador(e.vContador) >= e.vParada) {
        ::flock(e.vContador, LOCK_UN);
        PRetem();
    }
    if (pPasso.vTipo != TDisco::TTipo::Abre)
        e.vCaminho = FCodifica(FCaminhoDoPasso(pPasso));
}

void PDepois(const TDisco::TPasso& pPasso, bool pFeita)
{
    TEstado& e = Estado();
    if (pPasso.vTipo == TDisco::TTipo::Abre)
        e.vCaminho = FCodifica(FCaminhoDoPasso(pPasso));
    const qint64 numero = FLeContador(e.vContador) + 1;
    PEscreveTudo(e.vTrace, FRegistro(numero, pPasso, pFeita, e.vCaminho));
    PGravaContador(e.vContador, numero);
    ::flock(e.vContador, LOCK_UN);
    e.vTrava.unlock();
}

} // namespace

const char* TRegistroDisco::FNomeTipo(int pTipo)
{
    switch (static_cast<TDisco::TTipo>(pTipo)) {
    case TDisco::TTipo::Grava:
        return "Grava";
    case TDisco::TTipo::Reserva:
        return "Reserva";
    case TDisco::TTipo::Sincroniza:
        return "Sincroniza";
    case TDisco::TTipo::Renomeia:
        return "Renomeia";
    case TDisco::TTipo::SincronizaDiretorio:
        return "SincronizaDiretorio";
    case TDisco::TTipo::Abre:
        return "Abre";
    case TDisco::TTipo::Trunca:
        return "Trunca";
    }
    return "?";
}

void TRegistroDisco::PInstalaSePedido()
{
    const QByteArray trace = qgetenv("TARNEX_REGISTRO_DISCO");
    if (!trace.isEmpty())
        PInstala(QFile::decodeName(trace), qgetenv("TARNEX_PARADA_DISCO").toLongLong());
}

void TRegistroDisco::PInstala(const QString& pTrace, qint64 pParada)
{
    TEstado& e = Estado();
    const auto FAbre = [](const QString& pCaminho, int pModo) {
        return ::open(QFile::encodeName(pCaminho).constData(), pModo | O_CREAT | O_CLOEXEC, 0600);
    };
    e.vTrace = FAbre(pTrace, O_WRONLY | O_APPEND);
    e.vContador = FAbre(FArquivoContador(pTrace), O_RDWR);
    const int processos = FAbre(FArquivoProcessos(pTrace), O_WRONLY | O_APPEND);
    if (e.vTrace < 0 || e.vContador < 0 || processos < 0)
        ::_exit(98); // a test asked for a record it cannot have: its result would mean nothing
    PEscreveTudo(processos, QByteArray::number(::getpid()) + '\n');
    ::close(processos);
    e.vParada = pParada;
    TDisco::PDefineRegistrador({&PAntes, &PDepois});
}

void TRegistroDisco::PDesinstala()
{
    TDisco::PDefineRegistrador({});
    TEstado& e = Estado();
    for (int* descritor : {&e.vTrace, &e.vContador}) {
        if (*descritor >= 0)
            ::close(std::exchange(*descritor, -1));
    }
}
