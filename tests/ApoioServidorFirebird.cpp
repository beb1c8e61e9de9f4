#include "ApoioServidorFirebird.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QThread>

#include <csignal>

namespace {

const QString cPrograma = QStringLiteral("/usr/sbin/firebird");
const QString cBiblioteca = QStringLiteral("/usr/lib/x86_64-linux-gnu/firebird/3.0");
const QString cSeguranca = QStringLiteral("/var/lib/firebird/3.0/system/security3.fdb");
const QString cSenhas = QStringLiteral("/etc/firebird/3.0/SYSDBA.password");

bool FEscreve(const QString& pCaminho, const QByteArray& pConteudo)
{
    QFile arquivo(pCaminho);
    return arquivo.open(QIODevice::WriteOnly) && arquivo.write(pConteudo) == pConteudo.size();
}

} // namespace

TServidorFirebird::TServidorFirebird()
{
    vPorta = 31000 + static_cast<int>(QCoreApplication::applicationPid() % 2000);
    if (!QFile::exists(cPrograma))
        vImpedimento = QStringLiteral("no Firebird server program (package firebird3.0-server)");
    else if (!FPreparaRaiz())
        vImpedimento = QStringLiteral("cannot read the packaged security database and SYSDBA password (run as root)");
}

TServidorFirebird::~TServidorFirebird()
{
    PDerruba();
}

bool TServidorFirebird::FPreparaRaiz()
{
    QFile senhas(cSenhas);
    if (!senhas.open(QIODevice::ReadOnly))
        return false;
    const auto achado = QRegularExpression(QStringLiteral("ISC_PASSWORD=\"?([^\"\\n]*)")).match(QString::fromUtf8(senhas.readAll()));
    if (!achado.hasMatch())
        return false;
    vSenha = achado.captured(1);
    const QDir raiz(vRaiz.path());
    if (!QFile::copy(cSeguranca, raiz.filePath(QStringLiteral("security3.fdb"))))
        return false;
    raiz.mkpath(QStringLiteral("lock"));
    for (const char* nome : {"plugins", "intl", "lib", "UDF", "firebird.msg", "plugins.conf"})
        QFile::link(cBiblioteca + QLatin1Char('/') + QLatin1String(nome), raiz.filePath(QLatin1String(nome)));
    return FEscreve(raiz.filePath(QStringLiteral("firebird.conf")),
                    QStringLiteral("RemoteServicePort = %1\nRemoteBindAddress = 127.0.0.1\nIpcName = FbTeste%1\n"
                                   "SecurityDatabase = %2\n")
                        .arg(vPorta)
                        .arg(raiz.filePath(QStringLiteral("security3.fdb")))
                        .toUtf8()) &&
           FEscreve(raiz.filePath(QStringLiteral("databases.conf")),
                    QStringLiteral("security.db = %1\n").arg(raiz.filePath(QStringLiteral("security3.fdb"))).toUtf8());
}

bool TServidorFirebird::FInicia()
{
    QProcessEnvironment ambiente = QProcessEnvironment::systemEnvironment();
    ambiente.insert(QStringLiteral("FIREBIRD"), vRaiz.path());
    ambiente.insert(QStringLiteral("FIREBIRD_LOCK"), vRaiz.filePath(QStringLiteral("lock")));
    ambiente.insert(QStringLiteral("FIREBIRD_TMP"), vRaiz.path());
    vProcesso.setProcessEnvironment(ambiente);
    vProcesso.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    vProcesso.start(cPrograma, {});
    if (!vProcesso.waitForStarted())
        return false;
    QElapsedTimer relogio;
    relogio.start();
    while (relogio.elapsed() < 10000) {
        QTcpSocket teste;
        teste.connectToHost(QStringLiteral("127.0.0.1"), static_cast<quint16>(vPorta));
        if (teste.waitForConnected(200))
            return true;
        QThread::msleep(50);
    }
    return false;
}

void TServidorFirebird::PDerruba()
{
    if (vProcesso.state() == QProcess::NotRunning)
        return;
    PRetoma();
    vProcesso.kill();
    vProcesso.waitForFinished(5000);
}

void TServidorFirebird::PSuspende()
{
    if (vProcesso.state() != QProcess::NotRunning)
        ::kill(static_cast<pid_t>(vProcesso.processId()), SIGSTOP);
}

void TServidorFirebird::PRetoma()
{
    if (vProcesso.state() != QProcess::NotRunning)
        ::kill(static_cast<pid_t>(vProcesso.processId()), SIGCONT);
}

QString TServidorFirebird::FLocal(const QString& pArquivo) const
{
    return QStringLiteral("127.0.0.1/%1:%2").arg(vPorta).arg(pArquivo);
}
