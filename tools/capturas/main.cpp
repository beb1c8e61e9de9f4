// Saves pictures of the program's windows for the README and for review:
//   capturas_telas DIRECTORY
#include "FcmMasterX_TLB.h"
#include "UAplicacao.h"
#include "UBancoDados.h"
#include "UBicos.h"
#include "UConfigBomba.h"
#include "UConfigConcentrador.h"
#include "UDiretorioPrograma.h"
#include "UErro.h"
#include "UEstacao.h"
#include "UMensagem.h"
#include "UParametros.h"
#include "UPrecoBico.h"
#include "UStatusBico.h"

#include <QDir>
#include <QTemporaryDir>
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

// Saves the picture of the next modal window once it is up, then closes it.
void PCapturaJanela(const QString& pArquivo)
{
    QTimer::singleShot(400, [pArquivo] {
        QWidget* janela = QApplication::activeModalWidget();
        janela->grab().save(pArquivo);
        janela->close();
    });
}

// The operator windows over a demo station made for the occasion.
void PCapturaJanelas(const QDir& pDestino)
{
    QTemporaryDir posto;
    TDiretorioPrograma::PDefine(posto.path());
    const QString banco = QDir(posto.path()).filePath(QStringLiteral("posto.fdb"));
    TEstacao::PCriaBanco(banco, QStringLiteral("SYSDBA"), QStringLiteral("masterkey"), true);
    TEstacao::PGravaConfiguracao(posto.path(), banco, QStringLiteral("SYSDBA"), QStringLiteral("masterkey"), true);
    TBancoDados bancoDados;
    BancoDados = &bancoDados;
    TParametros parametros;
    Parametros = &parametros;
    TFcmMaster fcm(nullptr, false); // never called while the pictures are taken
    {
        TFrmConfigConcentrador janela(nullptr);
        PCapturaJanela(pDestino.filePath(QStringLiteral("janela-concentrador.png")));
        janela.PConfigConcentrador(&fcm);
    }
    {
        TFrmConfigBomba janela(nullptr);
        PCapturaJanela(pDestino.filePath(QStringLiteral("janela-bombas.png")));
        janela.PConfiguraBomba(&fcm);
    }
    {
        TFrmStatusBico janela(nullptr);
        PCapturaJanela(pDestino.filePath(QStringLiteral("janela-status-bico.png")));
        janela.PVerificaStatusBomba(&fcm);
    }
    {
        TFrmPrecoBico janela(nullptr);
        PCapturaJanela(pDestino.filePath(QStringLiteral("janela-precos.png")));
        janela.FAlteraPrecoBico();
    }
    BancoDados = nullptr;
    Parametros = nullptr;
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
    // The failure box as a full disk shows it.
    PCapturaJanela(destino.filePath(QStringLiteral("mensagem-erro.png")));
    TAplicacao::PMostraErro(std::make_exception_ptr(
        EErro(QStringLiteral("Não foi possível gravar o diário de abastecimentos "
                             "/opt/concentrador-tarnex/ConcentradorTarnex.jrn.\rMotivo: Não há espaço disponível no "
                             "dispositivo"))));
    PCapturaJanelas(destino);
    return 0;
}
