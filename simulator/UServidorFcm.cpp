#include "UServidorFcm.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QLocalSocket>
#include <QTimer>

#include <unistd.h>

namespace {

QJsonObject FErro(const QString& pTexto)
{
    return QJsonObject{{QStringLiteral("erro"), pTexto}};
}

QString FChave(const QString& pMetodo)
{
    return pMetodo.toLower();
}

} // namespace

TServidorFcm::TServidorFcm(QString pDiretorio, std::unique_ptr<TDriverConcentrador> pDriver)
    : vDiretorio(std::move(pDiretorio)), vDriver(std::move(pDriver))
{
    vDriver->PDefineEmissor([this](int pEvento, const QList<qint64>& pArgs, qint64 pEntrega) {
        PEmiteEvento(pEvento, pArgs, pEntrega);
    });
    vDriver->PDefineConsultaAssinantes([this] {
        for (const auto& [id, cliente] : vClientes) {
            if (cliente->vAssinante)
                return true;
        }
        return false;
    });
    // The connector forgets a delivery only once the component has
    // forgotten it for good; this tells it when.
    vDriver->PDefineAvisoBase([this] {
        PEnviaAssinantes(ProtocoloFcm::FCodifica(
            QJsonObject{{QStringLiteral("instancia"), vDriver->FInstancia()}, {QStringLiteral("base"), vDriver->FBase()}}));
    });
    connect(&vServidor, &QLocalServer::newConnection, this, &TServidorFcm::PNovaConexao);
}

TServidorFcm::~TServidorFcm()
{
    // The driver outlives the connections: it must not reach them any more.
    vDriver->PDefineAvisoBase({});
    vDriver->PDefineEmissor({});
    // The sockets would tell of their end to a server already half gone.
    for (const auto& [id, cliente] : vClientes) {
        disconnect(cliente->vSocket, nullptr, this, nullptr);
        delete cliente->vSocket;
    }
    vClientes.clear();
    vServidor.close();
}

bool TServidorFcm::FJaEmExecucao(const QString& pDiretorio)
{
    QLocalSocket teste;
    teste.connectToServer(ProtocoloFcm::FCaminhoSocket(pDiretorio));
    return teste.waitForConnected(500);
}

bool TServidorFcm::FInicia(QString& pErro)
{
    const QString caminho = ProtocoloFcm::FCaminhoSocket(vDiretorio);
    // Only the account that runs the station may talk to its concentrators.
    vServidor.setSocketOptions(QLocalServer::UserAccessOption);
    QLocalServer::removeServer(caminho); // a socket file left by a crash
    if (vServidor.listen(caminho))
        return true;
    pErro = vServidor.errorString();
    return false;
}

void TServidorFcm::PNovaConexao()
{
    while (QLocalSocket* socket = vServidor.nextPendingConnection()) {
        auto cliente = std::make_unique<TCliente>();
        cliente->vId = ++vProximoCliente;
        cliente->vSocket = socket;
        const int id = cliente->vId;
        connect(socket, &QLocalSocket::readyRead, this, [this, id] {
            const auto cliente = vClientes.find(id);
            if (cliente != vClientes.end())
                PLe(*cliente->second);
        });
        connect(socket, &QLocalSocket::disconnected, this, [this, id] { PSaiu(id); });
        vClientes.emplace(id, std::move(cliente));
    }
}

void TServidorFcm::PSaiu(int pCliente)
{
    const auto cliente = vClientes.find(pCliente);
    if (cliente == vClientes.end())
        return;
    cliente->second->vSocket->deleteLater();
    vClientes.erase(cliente);
    vDriver->PClienteSaiu(pCliente);
}

void TServidorFcm::PLe(TCliente& pCliente)
{
    const int id = pCliente.vId;
    pCliente.vLeitor.PAdiciona(pCliente.vSocket->readAll());
    while (vClientes.contains(id)) {
        const auto linha = pCliente.vLeitor.FProxima();
        if (!linha)
            break;
        const auto mensagem = ProtocoloFcm::FDecodifica(*linha);
        if (mensagem)
            PTrataMensagem(pCliente, *mensagem);
        else
            PEnvia(id, FErro(QStringLiteral("mensagem malformada")));
    }
    if (vClientes.contains(id) && pCliente.vLeitor.FExcedeu()) {
        PEnvia(id, FErro(QStringLiteral("linha longa demais")));
        pCliente.vSocket->disconnectFromServer();
    }
}

void TServidorFcm::PTrataMensagem(TCliente& pCliente, const QJsonObject& pMensagem)
{
    // An acknowledgement gets no answer: the connector does not wait for it.
    if (pMensagem.contains(QStringLiteral("confirma")))
        return vDriver->PConfirma(pMensagem.value(QStringLiteral("confirma")).toInteger());
    const QJsonValue id = pMensagem.value(QStringLiteral("id"));
    const QJsonArray args = pMensagem.value(QStringLiteral("args")).toArray();
    if (pMensagem.value(QStringLiteral("metodo")).isString())
        return PTrataMetodo(pCliente, id, pMensagem.value(QStringLiteral("metodo")).toString(), args);
    if (pMensagem.value(QStringLiteral("controle")).isString())
        return PTrataControle(pCliente, id, pMensagem.value(QStringLiteral("controle")).toString(), args);
    PResponde(pCliente.vId, id, FErro(QStringLiteral("pedido sem método nem controle")));
}

void TServidorFcm::PTrataMetodo(TCliente& pCliente, const QJsonValue& pId, const QString& pNome,
                                const QJsonArray& pArgs)
{
    const ProtocoloFcm::TMetodoFcm* metodo = ProtocoloFcm::FMetodo(pNome);
    if (!metodo)
        return PResponde(pCliente.vId, pId, FErro(QStringLiteral("método desconhecido: %1").arg(pNome)));
    if (pArgs.size() != static_cast<qsizetype>(metodo->vArgs.size()))
        return PResponde(pCliente.vId, pId,
                         FErro(QStringLiteral("%1 recebe %2 argumento(s)").arg(metodo->vNome).arg(metodo->vArgs.size())));
    QList<qint64> args;
    for (size_t i = 0; i < metodo->vArgs.size(); ++i)
        args.append(ProtocoloFcm::FAjusta(pArgs.at(static_cast<qsizetype>(i)).toInteger(), metodo->vArgs[i]));
    QJsonValue resultado;
    bool silencio = false;
    if (!FInjetaFalha(metodo->vNome, resultado, silencio))
        resultado = vDriver->FExecuta(pCliente.vId, metodo->vNome, args);
    PRegistraChamada(metodo->vNome, args, silencio ? QJsonValue(QStringLiteral("sem resposta")) : resultado);
    if (silencio)
        return;
    QJsonObject resposta{{QStringLiteral("resultado"), resultado}};
    if (metodo->vIndiceReferencia >= 0)
        resposta.insert(QStringLiteral("ref"), QJsonArray{args.value(metodo->vIndiceReferencia)});
    PResponde(pCliente.vId, pId, resposta);
}

bool TServidorFcm::FInjetaFalha(const QString& pNome, QJsonValue& pResultado, bool& pSilencio)
{
    if (vSilencios.erase(FChave(pNome)) > 0) {
        pSilencio = true;
        return true;
    }
    const auto falha = vFalhas.find(FChave(pNome));
    if (falha == vFalhas.end())
        return false;
    pResultado = falha->second.vCodigo;
    if (--falha->second.vVezes <= 0)
        vFalhas.erase(falha);
    return true;
}

void TServidorFcm::PRegistraChamada(const QString& pNome, const QList<qint64>& pArgs, const QJsonValue& pResultado)
{
    QStringList args;
    for (const qint64 a : pArgs)
        args.append(QString::number(a));
    const QString resultado = pResultado.isString() ? pResultado.toString() : QString::number(pResultado.toInteger());
    vChamadas.append(QStringLiteral("%1(%2) = %3").arg(pNome, args.join(QStringLiteral(", ")), resultado));
}

void TServidorFcm::PTrataControle(TCliente& pCliente, const QJsonValue& pId, const QString& pVerbo,
                                  const QJsonArray& pArgs)
{
    const int cliente = pCliente.vId;
    const auto responde = [this, cliente, pId](const QJsonObject& pResposta) { PResponde(cliente, pId, pResposta); };
    const QJsonObject ok{{QStringLiteral("resultado"), QStringLiteral("ok")}};
    if (pVerbo == QLatin1String("assina"))
        return PAssina(pCliente, pId);
    if (pVerbo == QLatin1String("evento")) {
        QList<qint64> args;
        for (qsizetype i = 1; i < pArgs.size(); ++i)
            args.append(pArgs.at(i).toInteger());
        PEmiteEvento(pArgs.at(0).toInt(), args, 0);
        return responde(ok);
    }
    if (pVerbo == QLatin1String("falha")) {
        vFalhas[FChave(pArgs.at(0).toString())] = {pArgs.at(1).toInt(), std::max(1, pArgs.at(2).toInt(1))};
        return responde(ok);
    }
    if (pVerbo == QLatin1String("silencio")) {
        vSilencios.insert(FChave(pArgs.at(0).toString()));
        return responde(ok);
    }
    if (pVerbo == QLatin1String("chamadas"))
        return responde(QJsonObject{{QStringLiteral("resultado"), QJsonArray::fromStringList(vChamadas)}});
    if (pVerbo == QLatin1String("para")) {
        responde(ok);
        pCliente.vSocket->flush();
        QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        return;
    }
    if (pVerbo == QLatin1String("derruba"))
        ::_exit(3); // as a crash would: no goodbye to anybody
    if (!vDriver->FControle(pVerbo, pArgs, responde))
        responde(FErro(QStringLiteral("controle desconhecido: %1").arg(pVerbo)));
}

void TServidorFcm::PAssina(TCliente& pCliente, const QJsonValue& pId)
{
    pCliente.vAssinante = true;
    PResponde(pCliente.vId, pId,
              QJsonObject{{QStringLiteral("resultado"), QStringLiteral("ok")},
                          {QStringLiteral("instancia"), vDriver->FInstancia()},
                          {QStringLiteral("base"), vDriver->FBase()}});
    // Every fueling not acknowledged yet, made while nobody listened or sent
    // to a connector that died before taking it, goes to whoever listens.
    for (const auto& evento : vDriver->FNaoConfirmados())
        PEnvia(pCliente.vId, FMensagemEvento(evento.vEvento, evento.vArgs, evento.vEntrega));
}

QJsonObject TServidorFcm::FMensagemEvento(int pEvento, const QList<qint64>& pArgs, qint64 pEntrega) const
{
    QJsonArray json;
    for (const qint64 a : pArgs)
        json.append(a);
    QJsonObject mensagem{{QStringLiteral("evento"), pEvento}, {QStringLiteral("args"), json}};
    if (pEntrega > 0) {
        mensagem.insert(QStringLiteral("entrega"), pEntrega);
        mensagem.insert(QStringLiteral("base"), vDriver->FBase());
    }
    return mensagem;
}

void TServidorFcm::PEmiteEvento(int pEvento, const QList<qint64>& pArgs, qint64 pEntrega)
{
    PEnviaAssinantes(ProtocoloFcm::FCodifica(FMensagemEvento(pEvento, pArgs, pEntrega)));
}

void TServidorFcm::PEnviaAssinantes(const QByteArray& pLinha)
{
    for (const auto& [id, cliente] : vClientes) {
        if (cliente->vAssinante)
            cliente->vSocket->write(pLinha);
    }
}

void TServidorFcm::PResponde(int pCliente, const QJsonValue& pId, QJsonObject pResposta)
{
    if (!pId.isUndefined())
        pResposta.insert(QStringLiteral("id"), pId);
    PEnvia(pCliente, pResposta);
}

void TServidorFcm::PEnvia(int pCliente, const QJsonObject& pMensagem)
{
    const auto cliente = vClientes.find(pCliente);
    if (cliente != vClientes.end())
        cliente->second->vSocket->write(ProtocoloFcm::FCodifica(pMensagem));
}
