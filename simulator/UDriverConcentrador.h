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
class TDriverConcentrador {
public:
    using TEmiteEvento = std::function<void(int pEvento, const QList<qint64>& pArgs)>;
    using TResponde = std::function<void(const QJsonObject& pResposta)>;

    virtual ~TDriverConcentrador() = default;

    // Set by the server: raises an event to every subscribed connection.
    void PDefineEmissor(TEmiteEvento pEmissor) { vEmiteEvento = std::move(pEmissor); }
    // Set by the server: whether any connection listens to events now.
    void PDefineConsultaAssinantes(std::function<bool()> pConsulta) { vTemAssinante = std::move(pConsulta); }

    // A component method for connection pCliente, its arguments already cut
    // to their types; a by-reference argument may be changed in place.
    virtual QJsonValue FExecuta(int pCliente, const QString& pMetodo, QList<qint64>& pArgs) = 0;
    virtual void PClienteSaiu(int pCliente) = 0;
    // Fuelings kept while nobody listened, oldest first; they leave the driver.
    virtual QList<QPair<int, QList<qint64>>> FRetiraOffline() = 0;

    // Controls of the driver's own (the simulator's); the answer may come later.
    virtual bool FControle(const QString& pVerbo, const QJsonArray& pArgs, const TResponde& pResponde)
    {
        (void)pVerbo;
        (void)pArgs;
        (void)pResponde;
        return false;
    }

protected:
    void PEmite(int pEvento, const QList<qint64>& pArgs) const
    {
        if (vEmiteEvento)
            vEmiteEvento(pEvento, pArgs);
    }
    bool FTemAssinante() const { return vTemAssinante && vTemAssinante(); }

private:
    TEmiteEvento vEmiteEvento;
    std::function<bool()> vTemAssinante;
};
