#include "ApoioConcentrador.h"

#include "UDiretorioPrograma.h"
#include "UProtocoloFcm.h"

#include <QLocalSocket>

#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

TServidorTeste::~TServidorTeste()
{
    for (auto& processo : vProcessos) {
        processo->kill();
        processo->waitForFinished(2000);
    }
    if (FEmExecucao()) {
        try {
            FControle(QStringLiteral("para"));
        } catch (...) {
        }
    }
}

bool TServidorTeste::FEmExecucao()
{
    QLocalSocket teste;
    teste.connectToServer(ProtocoloFcm::FCaminhoSocket(TDiretorioPrograma::FCaminho()));
    return teste.waitForConnected(300);
}

QJsonObject TServidorTeste::FControle(const QString& pVerbo, const QJsonArray& pArgs, int pTempoMs)
{
    TFcmMaster controle(nullptr, false);
    return controle.FEnviaControle(pVerbo, pArgs, pTempoMs);
}

QStringList TServidorTeste::FChamadas()
{
    QStringList chamadas;
    for (const QJsonValue& linha : FControle(QStringLiteral("chamadas")).value(QStringLiteral("resultado")).toArray())
        chamadas.append(linha.toString());
    return chamadas;
}

QProcess* TServidorTeste::FFcmsim(const QStringList& pArgs)
{
    auto processo = std::make_unique<QProcess>();
    processo->setProcessChannelMode(QProcess::MergedChannels);
    processo->start(TDiretorioPrograma::FDiretorioExecutavel() + QStringLiteral("fcmsim"),
                    QStringList{QStringLiteral("--dir"), TDiretorioPrograma::FCaminho()} + pArgs);
    processo->waitForStarted();
    vProcessos.push_back(std::move(processo));
    return vProcessos.back().get();
}

int TServidorTeste::FFcmsimAteOFim(const QStringList& pArgs, QString* pSaida)
{
    QProcess* processo = FFcmsim(pArgs);
    processo->waitForFinished(30000);
    if (pSaida)
        *pSaida = QString::fromLocal8Bit(processo->readAll());
    return processo->exitCode();
}

void TServidorTeste::PDerrubaDeOutraThread(const QByteArray& pCaminhoSocket)
{
    const int conexao = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un endereco{};
    endereco.sun_family = AF_UNIX;
    std::memcpy(endereco.sun_path, pCaminhoSocket.constData(), static_cast<size_t>(pCaminhoSocket.size()));
    if (::connect(conexao, reinterpret_cast<sockaddr*>(&endereco), sizeof endereco) == 0) {
        const char pedido[] = "{\"controle\":\"derruba\"}\n";
        (void)!::write(conexao, pedido, sizeof pedido - 1);
        char resto[64];
        (void)!::read(conexao, resto, sizeof resto); // returns when the server is gone
    }
    ::close(conexao);
}
