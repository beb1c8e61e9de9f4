#include "UInstanciaUnica.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>
#include <QTimer>

namespace {

const QByteArray cPedido = QByteArrayLiteral("mostrar\n");
const QByteArray cResposta = QByteArrayLiteral("ok\n");

// How often a start that found the name taken but nobody behind it (the
// holder has just died) tries to take it again.
constexpr int cTentativas = 5;
constexpr int cPausaTentativaMs = 100;

enum class TContato { Respondeu, SemResposta, Ninguem };

// Asks the holder of pNome to show its window.
TContato FPedeJanela(const QString& pNome, int pEsperaMs)
{
    QLocalSocket socket;
    socket.setSocketOptions(QLocalSocket::AbstractNamespaceOption);
    socket.connectToServer(pNome);
    if (!socket.waitForConnected(pEsperaMs))
        return socket.error() == QLocalSocket::ServerNotFoundError ||
                       socket.error() == QLocalSocket::ConnectionRefusedError
                   ? TContato::Ninguem
                   : TContato::SemResposta;
    socket.write(cPedido);
    socket.waitForBytesWritten(pEsperaMs);
    const QDeadlineTimer prazo(pEsperaMs);
    QByteArray resposta;
    while (!resposta.contains('\n') && !prazo.hasExpired() && socket.state() == QLocalSocket::ConnectedState) {
        socket.waitForReadyRead(static_cast<int>(std::max<qint64>(prazo.remainingTime(), 1)));
        resposta += socket.readAll();
    }
    resposta += socket.readAll();
    return resposta == cResposta ? TContato::Respondeu : TContato::SemResposta;
}

} // namespace

TInstanciaUnica::TInstanciaUnica(const QString& pDiretorio, QObject* pPai) : QObject(pPai), vNome(FNome(pDiretorio)) {}

TInstanciaUnica::~TInstanciaUnica() = default;

QString TInstanciaUnica::FNome(const QString& pDiretorio)
{
    // The same directory reached through a link or a trailing separator is
    // the same directory.
    const QString canonico = QFileInfo(pDiretorio).canonicalFilePath();
    const QString caminho = QDir::cleanPath(canonico.isEmpty() ? QDir(pDiretorio).absolutePath() : canonico);
    const QByteArray resumo = QCryptographicHash::hash(caminho.toUtf8(), QCryptographicHash::Sha256).toHex().left(32);
    return QStringLiteral("ConcentradorTarnex-") + QString::fromLatin1(resumo);
}

TInstanciaUnica::TResultado TInstanciaUnica::FReserva(int pEsperaMs)
{
    for (int tentativa = 0; tentativa < cTentativas; ++tentativa) {
        auto servidor = std::make_unique<QLocalServer>(this);
        servidor->setSocketOptions(QLocalServer::AbstractNamespaceOption);
        if (servidor->listen(vNome)) {
            vServidor = servidor.release();
            connect(vServidor, &QLocalServer::newConnection, this, &TInstanciaUnica::PAtendeConexao);
            return TResultado::Primeira;
        }
        switch (FPedeJanela(vNome, pEsperaMs)) {
        case TContato::Respondeu:
            return TResultado::Avisada;
        case TContato::SemResposta:
            return TResultado::SemResposta;
        case TContato::Ninguem:
            QThread::msleep(cPausaTentativaMs);
            break;
        }
    }
    return TResultado::SemResposta;
}

void TInstanciaUnica::PAoPedirJanela(std::function<void()> pMostraJanela)
{
    vMostraJanela = std::move(pMostraJanela);
    if (std::exchange(vPedidoPendente, false))
        PMostraJanela();
}

void TInstanciaUnica::PMostraJanela()
{
    if (vMostraJanela)
        vMostraJanela();
    else
        vPedidoPendente = true;
}

// Never blocks: a later start that sends nothing, or goes away, costs the
// running connector nothing.
void TInstanciaUnica::PAtendeConexao()
{
    while (QLocalSocket* const socket = vServidor->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        const auto atende = [this, socket] {
            if (!socket->canReadLine())
                return;
            if (socket->readLine() == cPedido) {
                PMostraJanela();
                socket->write(cResposta);
            }
            socket->disconnectFromServer();
        };
        connect(socket, &QLocalSocket::readyRead, this, atende);
        QTimer::singleShot(cEsperaRespostaMs, socket, [socket] { socket->abort(); });
        atende();
    }
}
