// FcmMasterX: the concentrator component server.
//   FcmMasterX [--dir DIRECTORY]
#include "ULinhaComando.h"
#include "URegistroDisco.h"
#include "UServidorFcm.h"
#include "USimuladorFcm.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <cstdio>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

int main(int argc, char** argv)
{
    TRegistroDisco::PInstalaSePedido();
    QCoreApplication aplicacao(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("FcmMasterX"));
    // Read before anything is touched: a mistyped command line must not
    // leave a server running for the wrong directory.
    TLinhaComando linha(QStringLiteral(
        "O servidor do componente dos concentradores: guarda o estado e os abastecimentos off-line de um\n"
        "diretório de programa e atende o conector e o fcmsim. O conector o inicia sozinho; um segundo\n"
        "servidor para o mesmo diretório vê o primeiro e termina."));
    const QString opcaoDir = QStringLiteral("dir");
    linha.PAdicionaOpcao(QCommandLineOption(
        opcaoDir, QStringLiteral("O diretório do programa que o servidor atende (padrão: o do FcmMasterX)."),
        QStringLiteral("DIR")));
    linha.PLe(QCoreApplication::arguments());
    if (!linha.FArgumentos().isEmpty())
        linha.PErroDeUso(QStringLiteral("argumento a mais: '%1'.").arg(linha.FArgumentos().first()));
    const QString diretorio =
        QDir(linha.FTem(opcaoDir) ? linha.FValor(opcaoDir) : QCoreApplication::applicationDirPath()).absolutePath();

    // Two servers starting together for one directory would both take the
    // concentrators' state file; the lock lets only one of them go on.
    const QByteArray trava = QFile::encodeName(QDir(diretorio).filePath(QStringLiteral("FcmMasterX.trava")));
    // Read-only: a file open for writing would keep the directory's file system
    // from being remounted read-only.
    const int fdTrava = ::open(trava.constData(), O_RDONLY | O_CREAT | O_CLOEXEC, 0600);
    if (fdTrava >= 0 && ::flock(fdTrava, LOCK_EX | LOCK_NB) != 0) {
        std::printf("FcmMasterX já está em execução em %s\n", qPrintable(diretorio));
        return 0;
    }
    if (TServidorFcm::FJaEmExecucao(diretorio)) {
        std::printf("FcmMasterX já está em execução em %s\n", qPrintable(diretorio));
        return 0;
    }
    // The server outlives the connector that started it, and a Ctrl+C in the
    // connector's terminal must not take the off-line fuelings with it.
    ::setsid();
    TServidorFcm servidor(diretorio, std::make_unique<TSimuladorFcm>(TSimuladorFcm::FArquivoEstado(diretorio)));
    QString erro;
    if (!servidor.FInicia(erro)) {
        std::fprintf(stderr, "FcmMasterX: não foi possível escutar em %s: %s\n", qPrintable(diretorio),
                     qPrintable(erro));
        return 1;
    }
    return aplicacao.exec();
}
