#pragma once

#include "ApoioTestes.h"
#include "FcmMasterX_TLB.h"

#include <QJsonArray>
#include <QProcess>
#include <QStringList>

// A component server of the test's own, in the test's directory; stopped at
// the end whatever state it is in.
class TServidorTeste {
public:
    TServidorTeste() = default;
    ~TServidorTeste();

    // A control of the simulator through a connection that takes no events.
    QJsonObject FControle(const QString& pVerbo, const QJsonArray& pArgs = {}, int pTempoMs = 5000);
    QStringList FChamadas();
    void PEvento(const QJsonArray& pArgs) { FControle(QStringLiteral("evento"), pArgs); }
    // fcmsim as an operator runs it, without waiting for it to end.
    QProcess* FFcmsim(const QStringList& pArgs);
    // fcmsim run to its end: exit code and output.
    int FFcmsimAteOFim(const QStringList& pArgs, QString* pSaida = nullptr);
    static bool FEmExecucao();
    // Crashes the server from a thread without an event loop, while the test
    // thread is blocked in a call.
    static void PDerrubaDeOutraThread(const QByteArray& pCaminhoSocket);

private:
    std::vector<std::unique_ptr<QProcess>> vProcessos;
};
