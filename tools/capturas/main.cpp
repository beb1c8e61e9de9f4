// Saves pictures of the program's windows for the README and for review:
//   LANG=pt_BR.UTF-8 capturas_telas DIRECTORY
// under the station's locale, so numbers show the comma as the guides do.
#include "FcmMasterX_TLB.h"
#include "UAplicacao.h"
#include "UBancoDados.h"
#include "UBicos.h"
#include "UConfigBomba.h"
#include "UConfigConcentrador.h"
#include "UConfiguracaoRegional.h"
#include "UDiretorioPrograma.h"
#include "UErro.h"
#include "UGenerico.h"
#include "UEstacao.h"
#include "UMensagem.h"
#include "UParametros.h"
#include "UPrecoBico.h"
#include "UProtocoloFcm.h"
#include "UStatusBico.h"
#include "UTarnex.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QTime>
#include <QTemporaryDir>
#include <QThread>
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

// A morning at the demo station: fuelings of today at its nozzles, and
// nozzles in every state the status window tells apart.
void PMovimentaPosto(const QString& pBanco)
{
    TConexaoFirebird conexao;
    conexao.PConecta(pBanco, QStringLiteral("SYSDBA"), QStringLiteral("masterkey"), QString());
    const struct {
        const char* hora;
        const char* bico;
        double litros;
        double preco;
    } abastecimentos[] = {{"07:02:11", "01-01", 33.073, 5.799}, {"07:15:40", "05-02", 212.5, 6.099},
                          {"07:31:05", "02-02", 18.519, 3.899}, {"08:04:56", "03-01", 43.32, 5.799},
                          {"08:22:17", "06-01", 27.401, 5.999}, {"08:47:30", "04-02", 11.406, 3.899},
                          {"09:10:02", "07-02", 48.07, 6.099},  {"09:33:45", "01-01", 5.707, 5.799},
                          {"10:05:19", "08-01", 35.25, 5.999},  {"10:41:58", "02-01", 20.0, 5.799}};
    int id = 1;
    for (const auto& a : abastecimentos) {
        conexao.PExecuta(QStringLiteral("insert into mvabast (data, hora, codbico, litragem, precounit, valor, emitido, "
                                        "sequencia, id) values (:d, :h, :b, :l, :p, :v, 'N', 1, :i)"),
                         {{QStringLiteral("d"), QDate::currentDate().toString(QStringLiteral("dd.MM.yyyy"))},
                          {QStringLiteral("h"), QString::fromLatin1(a.hora)},
                          {QStringLiteral("b"), QString::fromLatin1(a.bico)},
                          {QStringLiteral("l"), a.litros},
                          {QStringLiteral("p"), a.preco},
                          {QStringLiteral("v"), TGenerico::FArredondaValor(a.litros * a.preco)},
                          {QStringLiteral("i"), id++}});
    }
    conexao.PExecuta(QStringLiteral("update paraposto set sequenciaabast = 1"));
    for (const auto& [codigo, status] : {std::pair{"010102", "A"}, std::pair{"010201", "B"}, std::pair{"010301", "P"},
                                         std::pair{"020102", "F"}, std::pair{"020201", "A"}}) {
        conexao.PExecuta(QStringLiteral("update bombas set statusbico = :s where codconcentrador = :c"),
                         {{QStringLiteral("s"), QString::fromLatin1(status)}, {QStringLiteral("c"), QString::fromLatin1(codigo)}});
    }
}

// The operator windows, with the shared objects made here as the main
// window would make them.
void PCapturaTelasOperador(const QDir& pDestino)
{
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

// The main window as the operator finds it in the morning, with the demo
// station's concentrators connected to a component server of its own.
void PCapturaPrincipal(const QDir& pDestino)
{
    {
        TFrmTarnex janela;
        janela.show();
        QTimer::singleShot(800, [&] {
            janela.grab().save(pDestino.filePath(QStringLiteral("janela-principal.png")));
            QCoreApplication::exit(0);
        });
        QCoreApplication::exec();
        // The pictures are taken: no question on the way out.
        janela.hide();
    }
    TFcmMaster(nullptr, false).FEnviaControle(QStringLiteral("para"), {}, 5000);
    // The server takes its socket away as it ends: only then may the
    // station's directory go.
    const QString soquete = ProtocoloFcm::FCaminhoSocket(TDiretorioPrograma::FCaminho());
    for (int i = 0; i < 50 && QFile::exists(soquete); ++i)
        QThread::msleep(100);
}

// Every window over a demo station made for the occasion.
void PCapturaJanelas(const QDir& pDestino)
{
    QTemporaryDir posto;
    TDiretorioPrograma::PDefine(posto.path());
    const QString banco = QDir(posto.path()).filePath(QStringLiteral("posto.fdb"));
    TEstacao::PCriaBanco(banco, QStringLiteral("SYSDBA"), QStringLiteral("masterkey"), true);
    TEstacao::PGravaConfiguracao(posto.path(), banco, QStringLiteral("SYSDBA"), QStringLiteral("masterkey"), true);
    PMovimentaPosto(banco);
    PCapturaTelasOperador(pDestino);
    PCapturaPrincipal(pDestino);
}

} // namespace

int main(int argc, char** argv)
{
    TAplicacao aplicacao(argc, argv);
    // Numbers as the workstation shows them: run under the station's locale.
    TConfiguracaoRegional::PCarregaDoSistema();
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
