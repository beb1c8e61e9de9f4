#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QString>

#include <functional>

// What stands behind the component server: the simulated concentrators
// today, a driver for real concentrator hardware tomorrow. The server owns
// the protocol, the connections and the fault injection; a driver only
// carries out methods and raises events.
//
// Fuelings are delivered at least once: the driver numbers each one and
// keeps it, as a concentrator keeps it in its buffer, until the connector
// acknowledges it. A driver for real hardware releases the concentrator's
// buffer only in PConfirma.
class TDriverConcentrador {
public:
    // A fueling kept until it is acknowledged.
    struct TEventoGuardado {
        qint64 vEntrega = 0;
        int vEvento = 0;
        QList<qint64> vArgs;
    };
    // pEntrega is 0 for events that need no acknowledgement.
    using TEmiteEvento = std::function<void(int pEvento, const QList<qint64>& pArgs, qint64 pEntrega)>;
    using TResponde = std::function<void(const QJsonObject& pResposta)>;

    virtual ~TDriverConcentrador() = default;

    // Set by the server: raises an event to every subscribed connection.
    void PDefineEmissor(TEmiteEvento pEmissor) { vEmiteEvento = std::move(pEmissor); }
    // Set by the server: whether any connection listens to events now.
    void PDefineConsultaAssinantes(std::function<bool()> pConsulta) { vTemAssinante = std::move(pConsulta); }
    // Set by the server: FBase has moved on.
    void PDefineAvisoBase(std::function<void()> pAviso) { vAvisaBase = std::move(pAviso); }

    // A component method for connection pCliente, its arguments already cut
    // to their types; a by-reference argument may be changed in place.
    virtual QJsonValue FExecuta(int pCliente, const QString& pMetodo, QList<qint64>& pArgs) = 0;
    virtual void PClienteSaiu(int pCliente) = 0;

    // The fuelings not yet acknowledged, oldest first: what a connection
    // that subscribes receives first.
    virtual QList<TEventoGuardado> FNaoConfirmados() const = 0;
    // The connector holds delivery pEntrega safely; the driver may forget it.
    virtual void PConfirma(qint64 pEntrega) = 0;
    // Names the numbering: a driver that lost its memory numbers anew under
    // another name, so old numbers are never taken for new fuelings.
    virtual QString FInstancia() const = 0;
    // Every delivery below this number is acknowledged, and that is on disk:
    // it will never be delivered again.
    virtual qint64 FBase() const = 0;

    // Controls of the driver's own (the simulator's); the answer may come later.
    virtual bool FControle(const QString& pVerbo, const QJsonArray& pArgs, const TResponde& pResponde)
    {
        (void)pVerbo;
        (void)pArgs;
        (void)pResponde;
        return false;
    }

protected:
    void PEmite(int pEvento, const QList<qint64>& pArgs, qint64 pEntrega = 0) const
    {
        if (vEmiteEvento)
            vEmiteEvento(pEvento, pArgs, pEntrega);
    }
    bool FTemAssinante() const { return vTemAssinante && vTemAssinante(); }
    void PAvisaBase() const
    {
        if (vAvisaBase)
            vAvisaBase();
    }

private:
    TEmiteEvento vEmiteEvento;
    std::function<bool()> vTemAssinante;
    std::function<void()> vAvisaBase;
};
