#pragma once

#include "UDriverConcentrador.h"
#include "UProtocoloFcm.h"

#include <QLocalServer>
#include <QObject>
#include <QStringList>

#include <map>
#include <memory>
#include <set>

class QLocalSocket;

// The component server: listens on a local socket in the program's
// directory, serves several connections at once, sends events to every
// subscribed connection and hands component methods to its driver. Fault
// injection for the tests and the simulator tool lives here, in front of
// the driver, so any driver can be tried under the same faults.
class TServidorFcm : public QObject {
    Q_OBJECT
public:
    TServidorFcm(QString pDiretorio, std::unique_ptr<TDriverConcentrador> pDriver);
    ~TServidorFcm() override;

    // False, with the reason, when the socket cannot be taken.
    bool FInicia(QString& pErro);
    // True when another server already answers on this directory's socket.
    static bool FJaEmExecucao(const QString& pDiretorio);

private:
    struct TCliente {
        int vId = 0;
        QLocalSocket* vSocket = nullptr;
        ProtocoloFcm::TLeitorLinhas vLeitor;
        bool vAssinante = false;
    };
    struct TFalha {
        int vCodigo = 0;
        int vVezes = 0;
    };

    void PNovaConexao();
    void PLe(TCliente& pCliente);
    void PTrataMensagem(TCliente& pCliente, const QJsonObject& pMensagem);
    void PTrataMetodo(TCliente& pCliente, const QJsonValue& pId, const QString& pNome, const QJsonArray& pArgs);
    void PTrataControle(TCliente& pCliente, const QJsonValue& pId, const QString& pVerbo, const QJsonArray& pArgs);
    void PAssina(TCliente& pCliente, const QJsonValue& pId);
    void PEnvia(int pCliente, const QJsonObject& pMensagem);
    void PResponde(int pCliente, const QJsonValue& pId, QJsonObject pResposta);
    void PEmiteEvento(int pEvento, const QList<qint64>& pArgs, qint64 pEntrega);
    QJsonObject FMensagemEvento(int pEvento, const QList<qint64>& pArgs, qint64 pEntrega) const;
    void PEnviaAssinantes(const QByteArray& pLinha);
    void PSaiu(int pCliente);
    void PRegistraChamada(const QString& pNome, const QList<qint64>& pArgs, const QJsonValue& pResultado);
    bool FInjetaFalha(const QString& pNome, QJsonValue& pResultado, bool& pSilencio);

    const QString vDiretorio;
    std::unique_ptr<TDriverConcentrador> vDriver;
    QLocalServer vServidor;
    std::map<int, std::unique_ptr<TCliente>> vClientes;
    int vProximoCliente = 0;
    std::map<QString, TFalha> vFalhas;
    std::set<QString> vSilencios;
    QStringList vChamadas;
};
