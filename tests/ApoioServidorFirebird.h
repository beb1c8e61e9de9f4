#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// A Firebird server of the test's own on the loopback address, with its own
// configuration, port, lock directory and copy of the security database, so
// the tests can stop and start it under a connection.
class TServidorFirebird {
public:
    TServidorFirebird();
    ~TServidorFirebird();

    // Empty when the server can be run here; otherwise why not.
    const QString& Impedimento() const { return vImpedimento; }
    bool FInicia();
    // SIGKILL: the server dies as in a crash or a power cut.
    void PDerruba();
    // SIGSTOP and SIGCONT: a server that stops answering without closing a
    // connection, as one frozen by its disk or behind a dead network link.
    void PSuspende();
    void PRetoma();

    QString FLocal(const QString& pArquivo) const;
    const QString& Usuario() const { return vUsuario; }
    const QString& Senha() const { return vSenha; }

private:
    bool FPreparaRaiz();

    QTemporaryDir vRaiz;
    QProcess vProcesso;
    int vPorta = 0;
    QString vUsuario = QStringLiteral("SYSDBA");
    QString vSenha;
    QString vImpedimento;
};
