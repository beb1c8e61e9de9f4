// FcmMasterX: the concentrator component server.
//   FcmMasterX [--dir DIRECTORY]
#include "UServidorFcm.h"
#include "USimuladorFcm.h"

#include <QCoreApplication>
#include <QDir>

#include <cstdio>
#include <unistd.h>

int main(int argc, char** argv)
{
    QCoreApplication aplicacao(argc, argv);
    QString diretorio = QCoreApplication::applicationDirPath();
    const QStringList args = QCoreApplication::arguments();
    const qsizetype indice = args.indexOf(QStringLiteral("--dir"));
    if (indice >= 0 && indice + 1 < args.size())
        diretorio = args.at(indice + 1);
    diretorio = QDir(diretorio).absolutePath();

    if (TServidorFcm::FJaEmExecucao(diretorio)) {
        std::printf("FcmMasterX já está em execução em %s\n", qPrintable(diretorio));
        return 0;
    }
    // The server outlives the connector that started it, and a Ctrl+C in the
    // connector's terminal must not take the off-line fuelings with it.
    ::setsid();
    TServidorFcm servidor(diretorio, std::make_unique<TSimuladorFcm>());
    QString erro;
    if (!servidor.FInicia(erro)) {
        std::fprintf(stderr, "FcmMasterX: não foi possível escutar em %s: %s\n", qPrintable(diretorio),
                     qPrintable(erro));
        return 1;
    }
    return aplicacao.exec();
}
