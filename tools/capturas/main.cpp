// Saves pictures of the program's windows for the README and for review:
//   capturas_telas DIRECTORY
#include "UAplicacao.h"
#include "UMensagem.h"

#include <QDir>
#include <QTimer>

namespace {

// Shows a message and saves its picture once it is on screen.
void PCaptura(const QString& pArquivo, const QString& pTexto, int pTipo, TBotoesMensagem pBotoes)
{
    QTimer::singleShot(300, [pArquivo] {
        QWidget* janela = QApplication::activeModalWidget();
        janela->grab().save(pArquivo);
        janela->close();
    });
    TFrmMensagem::FMessageDlg(pTexto, pTipo, pBotoes, 0);
}

} // namespace

int main(int argc, char** argv)
{
    TAplicacao aplicacao(argc, argv);
    const QDir destino(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath());
    PCaptura(destino.filePath(QStringLiteral("mensagem-informacao.png")),
             QStringLiteral("Concentrador desconectado."), tmInformacao, bmOk);
    PCaptura(destino.filePath(QStringLiteral("mensagem-confirmacao.png")),
             QStringLiteral("Deseja realmente abandonar o sistema?"), tmConfirmacao, bmSim | bmNao);
    PCaptura(destino.filePath(QStringLiteral("mensagem-alerta.png")),
             QStringLiteral("O Fcm Slave em questão não existe ou não está respondendo no momento."), tmAlerta, bmOk);
    return 0;
}
