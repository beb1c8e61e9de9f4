#include "ApoioBanco.h"
#include "ApoioConcentrador.h"
#include "ApoioQuedas.h"
#include "ApoioTela.h"
#include "UConfiguracaoRegional.h"
#include "UAuditoriaEncerrantes.h"
#include "UDiarioAbastecimentos.h"
#include "UEncerrantes.h"
#include "UGenerico.h"
#include "UMensagem.h"
#include "UParametros.h"
#include "URegistroDisco.h"
#include "UTarnex.h"
#include "UStatusBico.h"
#include "UConfigConcentrador.h"
#include "UAuxiliarJanelas.h"
#include "UErro.h"
#include <QButtonGroup>
#include <QAbstractButton>
#include <QLineEdit>
#include <QCheckBox>
#include <QTableWidget>
#include "UCapturaAbastecimento.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace {


// The real window on the offscreen platform, a real embedded station
// database and the real component server, events injected as fcmsim does.
class Console : public ::testing::Test {
protected:
    void SetUp() override
    {
        TConfiguracaoRegional::PDefine(QLatin1Char(','), QLatin1Char('/'), QLatin1Char(':'));
        vPosto.PExecuta(QStringLiteral("insert into paraposto (sequenciaabast) values (7)"));
        vPosto.PCadastraTanque(QStringLiteral("01-02"), QStringLiteral("000002"));
        vPosto.PCadastraBico(QStringLiteral("010203"), QStringLiteral("05-02"), QStringLiteral("01-02"));
        vPosto.PCadastraBico(QStringLiteral("010201"), QStringLiteral("05-01"), QStringLiteral("01-02"));
    }
    void TearDown() override
    {
        vJanela.reset();
        TConfiguracaoRegional::PCarregaDoSistema();
    }

    void PAbre(const char* pIni = "[FCM1]\r\nNUMBOMBAS=4\r\n")
    {
        vPosto.Diretorio().PGrava(QStringLiteral("ConcentradorTarnex.ini"), QByteArray(pIni));
        vJanela = std::make_unique<TFrmTarnex>();
        vJanela->show();
    }

    // The log's entries, oldest first: stamps replaced by T, and the line
    // ends of earlier entries (rewritten as CR LF by every later entry)
    // brought back to the single CR they were written with.
    QStringList FEntradas() const
    {
        QString texto = QString::fromLatin1(vPosto.FLog());
        texto.replace(QStringLiteral("\r\n"), QStringLiteral("\r"));
        static const QRegularExpression carimbo(QStringLiteral("Data / Hora: \\d\\d/\\d\\d/\\d{4} / \\d\\d:\\d\\d:\\d\\d\\r"));
        texto.replace(carimbo, QStringLiteral("\n"));
        QStringList entradas = texto.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        for (QString& e : entradas)
            e = e.mid(51).chopped(std::min<qsizetype>(e.size(), 52)); // the text between the separators
        return entradas;
    }
    QString FLogDesde(qsizetype pInicio) const { return FEntradas().mid(pInicio).join(QLatin1Char('|')); }

    QString FLinhas(const QString& pSql) { return vPosto.FLinhas(pSql); }

    int FAbastecimentos() { return vPosto.FConsulta(QStringLiteral("select count(*) n from mvabast")).FInteiro(0, QStringLiteral("n")); }


    // Lets the events already sent reach the window.
    void PAssenta() { QTest::qWait(300); }

    QPushButton* FBotao(const char* pNome) const { return vJanela->findChild<QPushButton*>(QString::fromLatin1(pNome)); }

    TPostoTeste vPosto;
    TServidorTeste vServidor;
    std::unique_ptr<TFrmTarnex> vJanela;
};

TEST_F(Console, StartUpConnectsTheConfiguredConcentratorsThenAlwaysTheFirst)
{
    PAbre("[FCM3]\r\nNUMBOMBAS=3\r\nMODOOPERACAO=2\r\nMENSAGEMABAST=1\r\n");
    EXPECT_EQ(vJanela->windowTitle(), QStringLiteral("Zelvio for Windows Connect Tarnex v15.11a"));
    EXPECT_EQ(vJanela->size(), QSize(844, 572));
    EXPECT_EQ(vServidor.FChamadas(), (QStringList{QStringLiteral("FcmOpen(3) = 1"), QStringLiteral("FcmSetNumSlaves(3) = 1"),
                                                  QStringLiteral("FcmConfigConcentradorFcm(3, 3, 12, 2) = 1"),
                                                  QStringLiteral("FcmOpen(1) = 1"), QStringLiteral("FcmSetNumSlaves(1) = 1"),
                                                  QStringLiteral("FcmConfigConcentradorFcm(1, 1, 10, 1) = 1")}));
    EXPECT_FALSE(FBotao("btnFcmOpen")->isEnabled());
    EXPECT_TRUE(FBotao("btnFcmOpen2")->isEnabled());
    EXPECT_FALSE(FBotao("btnFcmOpen3")->isEnabled());
    EXPECT_EQ(FEntradas(), (QStringList{QStringLiteral("Device= 3"), QStringLiteral("FcmOpen - OK"),
                                        QStringLiteral("Device= 1"), QStringLiteral("FcmOpen - OK")}));
    const QTableView* grade = vJanela->findChild<QTableView*>(QStringLiteral("GridAbastecimento"));
    EXPECT_EQ(grade->model()->columnCount(), 10);
}

// The message of the next modal dialog, which is then closed with OK.
QString FRespondeOk(std::function<void()> pAcao)
{
    QString texto;
    PAoAbrirModal([&](QWidget* d) {
        texto = d->windowTitle() + QLatin1Char('|') + d->findChild<QLabel*>(QStringLiteral("LbMensagem"))->text();
        d->findChild<QPushButton*>(QStringLiteral("BtnOk"))->click();
    });
    pAcao();
    return texto;
}

TEST_F(Console, ConnectionSequenceStopsAtTheFirstRefusedCode)
{
    vServidor.FControle(QStringLiteral("falha"), {QStringLiteral("FcmOpen"), -12});
    PAbre("[FCM1]\r\nNUMBOMBAS=4\r\n[FCM2]\r\nNUMBOMBAS=256\r\n");
    EXPECT_EQ(FEntradas().mid(0, 2), (QStringList{QStringLiteral("Device= 2"), QStringLiteral("Erro - FcmOpen")}));
    EXPECT_FALSE(vJanela->FlagOpen(2));
    EXPECT_TRUE(vJanela->FlagOpen(1));

    // 256 pumps count as configured and travel as 0, which the slave refuses.
    qsizetype inicio = FEntradas().size();
    vJanela->btnFcmOpen2Click();
    EXPECT_EQ(FEntradas().mid(inicio), (QStringList{QStringLiteral("Device= 2"), QStringLiteral("Erro - FcmConfiguraSlave")}));
    EXPECT_TRUE(vServidor.FChamadas().endsWith(QStringLiteral("FcmConfigConcentradorFcm(2, 0, 10, 1) = -2")));
    EXPECT_TRUE(vJanela->FlagOpen(2));
    EXPECT_TRUE(FBotao("btnFcmOpen2")->isEnabled());
    const qsizetype chamadas = vServidor.FChamadas().size();
    inicio = FEntradas().size();
    vJanela->btnFcmOpen2Click();
    EXPECT_EQ(FEntradas().mid(inicio), (QStringList{QStringLiteral("Device= 2"), QStringLiteral("Erro - FcmOpen 2 Já Efetuado!")}));
    EXPECT_EQ(vServidor.FChamadas().size(), chamadas) << "an opened concentrator calls nothing again";

    inicio = FEntradas().size();
    EXPECT_EQ(FRespondeOk([&] { FBotao("btnFcmOpen4")->click(); }),
              QStringLiteral("Informação|Clique no botão \"Concentrador - F2\" para configurar o número de bombas para o FCM4."));
    EXPECT_EQ(vServidor.FChamadas().size(), chamadas);
    EXPECT_EQ(FEntradas().size(), inicio);

    EXPECT_EQ(FRespondeOk([&] { FBotao("btnDesconectar")->click(); }), QStringLiteral("Informação|Concentrador desconectado."));
    EXPECT_TRUE(vServidor.FChamadas().last().startsWith(QStringLiteral("FcmClose()")));
    for (const char* nome : {"btnFcmOpen", "btnFcmOpen2", "btnFcmOpen3", "btnFcmOpen4"})
        EXPECT_TRUE(FBotao(nome)->isEnabled()) << nome;
    EXPECT_FALSE(vJanela->FlagOpen(1) || vJanela->FlagOpen(2));

    vServidor.FControle(QStringLiteral("falha"), {QStringLiteral("FcmSetNumSlaves"), -1});
    inicio = FEntradas().size();
    FBotao("btnFcmOpen")->click();
    EXPECT_EQ(FEntradas().mid(inicio), (QStringList{QStringLiteral("Device= 1"), QStringLiteral("Erro - FcmSetNumSlaves")}));
    EXPECT_TRUE(vJanela->FlagOpen(1));
    EXPECT_TRUE(FBotao("btnFcmOpen")->isEnabled());
}

TEST_F(Console, FuelingEventsBecomeRowsGridLinesAndLogEntries)
{
    PAbre();
    const qsizetype inicio = FEntradas().size();
    vServidor.PEvento({5, 1, 2, 3, 12345, 1234567, 5799, 3, 2, 3});
    ASSERT_TRUE(FEspera([&] { return FAbastecimentos() == 1; }));
    // The entry follows the row, on the database's thread.
    ASSERT_TRUE(FEspera([&] { return FEntradas().size() > inicio; }));
    EXPECT_EQ(FLinhas(QStringLiteral("select codbico, litragem, precounit, valor, encerrantefinal, id, sequencia, emitido from mvabast")),
              QStringLiteral("05-02|12.345|5.799|71.59|12345.67|1|7|N"));
    const QDate hoje = QDate::currentDate();
    const QString entrada = FLogDesde(inicio);
    EXPECT_TRUE(entrada.startsWith(QStringLiteral("Sl: 01\rBo: 02\rBi: 03\rCodBico: 05-02\rLitragem: 12,345\r"
                                                  "Preço Unitário: 5,799\rValor: 71,59\rData: %1\rHora: ")
                                       .arg(hoje.toString(QStringLiteral("dd/MM/yyyy")))))
        << entrada.toStdString();
    EXPECT_TRUE(entrada.endsWith(QStringLiteral("\rId: 1\rSequencia: 7"))) << entrada.toStdString();

    // Off-line, with the concentrator's date and time; one at midnight too.
    vServidor.PEvento({8, 1, 2, 1, 1000, 150000, 4999, 2, 2, 3, 905, 51215});
    vServidor.PEvento({11, 1, 2, 3, 500, 1000, 1500, 5799, 3, 2, 2, 3, 0, 10126});
    ASSERT_TRUE(FEspera([&] { return FAbastecimentos() == 3; }));
    EXPECT_EQ(FLinhas(QStringLiteral("select data, hora, codbico, litragem, valor, encerrantefinal, id from mvabast where id > 1 order by id")),
              QStringLiteral("05.12.2015|00:09:05|05-01|10|49.99|1500|2\n01.01.2026|00:00:00|05-02|0.5|2.9|15|3"));
    EXPECT_TRUE(FEspera([&] { return FLogDesde(inicio).contains(QStringLiteral("Data: 05/12/15 Hora: 00:09:05\rId: 2")); }));

    // The grid is refreshed off the main thread, once the fueling is stored.
    const QTableView* grade = vJanela->findChild<QTableView*>(QStringLiteral("GridAbastecimento"));
    ASSERT_TRUE(FEspera([&] { return grade->model()->rowCount() == 1; })) << "only today's fuelings are shown";
    EXPECT_EQ(grade->model()->index(0, 5).data().toString(), QStringLiteral("12,345"));
}

TEST_F(Console, EventsThatAreNoFuelingLeaveNothingButInvalidDatesAreLogged)
{
    PAbre();
    const qsizetype inicio = FEntradas().size();
    vServidor.PEvento({5, 9, 9, 9, 1000, 1000, 1000, 3, 3, 3});                  // nozzle not registered
    vServidor.PEvento({11, 1, 2, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});              // the pump window's zero call
    vServidor.PEvento({8, 1, 2, 3, 1000, 1000, 1000, 3, 3, 3, 120000, 311315});  // month 13
    vServidor.PEvento({8, 1, 2, 3, 1000, 1000, 1000, 3, 3, 3, 240000, 10126});   // hour 24
    vServidor.PEvento({5, 1, 2, 3, 1000, 1000, 1000, 3, 3, 3});                  // a real one, to know all arrived
    ASSERT_TRUE(FEspera([&] { return FAbastecimentos() == 1; }));
    PAssenta();
    EXPECT_EQ(FAbastecimentos(), 1);
    const QString log = FLogDesde(inicio);
    EXPECT_EQ(log.count(QStringLiteral("Abastecimento com data ou hora inválida, não gravado no banco de dados.")), 2) << log.toStdString();
    EXPECT_TRUE(log.contains(QStringLiteral("dia_mes_ano: 311315\rhora_min_seg: 120000")));
    EXPECT_EQ(log.count(QStringLiteral("Sl: ")), 3) << "two raw entries and the stored fueling";
}

TEST_F(Console, StateLettersAndAutomaticAuthorisation)
{
    PAbre("[ABASTECIMENTO]\r\nAUTORIZAAUTO=1\r\n[FCM1]\r\nNUMBOMBAS=4\r\n");
    const auto FStatus = [&] { return FLinhas(QStringLiteral("select codconcentrador, statusbico from bombas order by 1")); };
    vServidor.PEvento({1, 1, 2, 3, 5});
    ASSERT_TRUE(FEspera([&] { return FStatus() == QStringLiteral("010201|L\n010203|A"); }));
    vServidor.PEvento({1, 1, 2, 9, 7});
    ASSERT_TRUE(FEspera([&] { return FStatus() == QStringLiteral("010201|B\n010203|B"); })) << "7 locks the whole pump";
    vServidor.PEvento({1, 1, 2, 1, 41});
    ASSERT_TRUE(FEspera([&] { return FStatus() == QStringLiteral("010201|L\n010203|B"); }));
    vServidor.PEvento({1, 1, 2, 3, 3});
    ASSERT_TRUE(FEspera([&] { return FStatus() == QStringLiteral("010201|L\n010203|E"); }));
    EXPECT_TRUE(vServidor.FChamadas().contains(QStringLiteral("FcmAutorizaAbastecimento(1, 2, 3) = 1")));
    for (const int estado : {0, 14, 40, 255})
        EXPECT_EQ(TFrmTarnex::FLetraEstado(estado), QStringLiteral("F")) << estado;
}

TEST_F(Console, NewerStateArrivingWhileARefusalIsShownIsNotOverwritten)
{
    PAbre("[ABASTECIMENTO]\r\nAUTORIZAAUTO=1\r\n[FCM1]\r\nNUMBOMBAS=4\r\n");
    vServidor.FControle(QStringLiteral("falha"), {QStringLiteral("FcmAutorizaAbastecimento"), -7});
    QString aviso;
    QString statusComAvisoAberto;
    PAoAbrirModal([&](QWidget* d) {
        aviso = d->findChild<QLabel*>(QStringLiteral("LbMensagem"))->text();
        // While the warning waits for the operator the nozzle moves on.
        vServidor.PEvento({1, 1, 2, 3, 5});
        FEspera([&] { return FLinhas(QStringLiteral("select statusbico from bombas where codconcentrador = '010203'")) == QStringLiteral("A"); });
        statusComAvisoAberto = FLinhas(QStringLiteral("select statusbico from bombas where codconcentrador = '010203'"));
        d->findChild<QPushButton*>(QStringLiteral("BtnOk"))->click();
    });
    vServidor.PEvento({1, 1, 2, 3, 3});
    ASSERT_TRUE(FEspera([&] { return !aviso.isEmpty(); }));
    PAssenta();
    EXPECT_EQ(aviso, QStringLiteral("O Fcm Slave em questão não existe ou não está respondendo no momento."));
    EXPECT_EQ(statusComAvisoAberto, QStringLiteral("A"));
    EXPECT_EQ(FLinhas(QStringLiteral("select statusbico from bombas where codconcentrador = '010203'")), QStringLiteral("A"));
}

TEST_F(Console, ReportsGoToTheLogOrToMessagesAndNoneHoldsUpTheOthers)
{
    PAbre();
    const qsizetype inicio = FEntradas().size();
    vServidor.PEvento({3, 1, 2, 3, 12345, 3});
    vServidor.PEvento({2, 1, 2, 3, 500, 2});
    vServidor.PEvento({4, 1, 2, 3, 5799, 7});
    vServidor.PEvento({6, 1, 9001});
    vServidor.PEvento({6, 1, 900});
    ASSERT_TRUE(FEspera([&] { return FEntradas().size() - inicio == 4; }));
    const QString log = FLogDesde(inicio);
    EXPECT_EQ(log, QStringLiteral("sl=1 bo=2 bi=3 Volume =12,345|sl=1 bo=2 bi=3 Totalizador=5|"
                                  "sl=1 bo=2 bi=3 PrecoPorLitro=0|Bomba Wayne Duplex  - Minnow V 9001"));

    // Two messages on top of each other and a fueling behind them: the
    // operator answers nothing until both are shown and the fueling stored.
    QStringList vistas;
    bool fechando = false;
    QTimer operador;
    QObject::connect(&operador, &QTimer::timeout, [&] {
        for (QWidget* janela : QApplication::topLevelWidgets()) {
            const auto* rotulo = janela->findChild<QLabel*>(QStringLiteral("LbMensagem"));
            if (janela->isVisible() && rotulo && !vistas.contains(rotulo->text()))
                vistas.append(rotulo->text());
        }
        fechando = fechando || (vistas.size() == 2 && FAbastecimentos() == 1);
        QWidget* modal = QApplication::activeModalWidget();
        if (!fechando || !modal)
            return;
        // Closed from a queued call: the dialog's own loop must not be inside
        // this timer's handler when it ends.
        QMetaObject::invokeMethod(modal->findChild<QPushButton*>(QStringLiteral("BtnOk")), &QPushButton::click,
                                  Qt::QueuedConnection);
    });
    operador.start(50);
    vServidor.PEvento({9, 1, 2, 3, 5});
    vServidor.PEvento({10, 1, 2, 3, 7, -1, 2, 3});
    vServidor.PEvento({5, 1, 2, 3, 1000, 1000, 1000, 3, 3, 3});
    ASSERT_TRUE(FEspera([&] { return fechando && !QApplication::activeModalWidget(); }, 15000)) << vistas.join(QLatin1Char('|')).toStdString();
    ASSERT_EQ(vistas.size(), 2);
    EXPECT_TRUE(vistas.contains(QStringLiteral("sl=1 bo=2 bi=3 - INFORMOU EVENTO \nEVENTO: 05")));
    EXPECT_TRUE(vistas.contains(QStringLiteral("sl=1 bo=2 bi=3 - RETORNO ESPECIAL \nCÓDIGO    : 7\nRetorno   : -1\nRetorno 2 : 2\nRetorno 3 : 3")));
}

TEST_F(Console, VersionAndComponentErrorTexts)
{
    const struct {
        int versao;
        const char* texto;
    } casos[] = {{7, "Versao FcmMaster V 0007"}, {123, "Versao FcmMaster V 0123"}, {2048, "Versao FcmMaster V 2048"},
                 {12345, ""}};
    for (const auto& caso : casos)
        EXPECT_EQ(TFrmTarnex::FTextoVersao(caso.versao), QString::fromLatin1(caso.texto));
    PAbre();
    EXPECT_EQ(FRespondeOk([&] { QTest::keyClick(vJanela.get(), Qt::Key_F7, Qt::ShiftModifier); }),
              QStringLiteral("Informação|Versao FcmMaster V 2015"));
    EXPECT_EQ(FRespondeOk([&] { vJanela->FcmMasterErroDLL(nullptr, 21); }),
              QStringLiteral("Alerta|ERRO_PRT - Parâmetro:21  DLL"));
}

TEST_F(Console, CloseAsksAndOnlyYesCloses)
{
    PAbre();
    PAoAbrirModal([](QWidget* d) { QTest::keyClick(d, Qt::Key_Escape); });
    QTest::keyClick(vJanela.get(), Qt::Key_Escape);
    EXPECT_TRUE(vJanela->isVisible());
    PAoAbrirModal([](QWidget* d) { d->findChild<QPushButton*>(QStringLiteral("BtnSim"))->click(); });
    vJanela->close();
    EXPECT_FALSE(vJanela->isVisible());
}

TEST_F(Console, FailedAttachEndsTheProgramWithoutAQuestionOrAConcentrator)
{
    vPosto.Diretorio().PGrava(QStringLiteral("ZelvioECF.ini"), "[CONEXAO]\r\nCAMINHO=/nao/existe.fdb\r\n");
    PAbre();
    EXPECT_TRUE(vJanela->isVisible());
    vJanela->close(); // no question: a dialog here would block the test
    EXPECT_FALSE(vJanela->isVisible());
    EXPECT_FALSE(TServidorTeste::FEmExecucao()) << "no concentrator was connected";
    EXPECT_TRUE(vPosto.FLog().contains("Ocorreu um erro ao ao tentar comunicar com o banco de dados."));
}

TEST_F(Console, ALogThatCannotBeWrittenHoldsNoFuelingBack)
{
    PAbre();
    TOperador operador;
    operador.PRespondeSempreOk();
    // Another program left a folder where today's log goes: every entry fails.
    const QString log = TGenerico::FArquivoLog(QDate::currentDate());
    QFile::remove(log);
    ASSERT_TRUE(QDir().mkpath(log));
    for (const int litros : {1000, 2000, 3000})
        vServidor.PEvento({5, 1, 2, 3, litros, 1000, 5799, 3, 3, 3});
    ASSERT_TRUE(FEspera([&] { return FAbastecimentos() == 3; })) << FAbastecimentos() << " of 3 stored";
    EXPECT_EQ(FLinhas(QStringLiteral("select litragem, id from mvabast order by id")),
              QStringLiteral("1|1\n2|2\n3|3"));

    // Once the log can be written, the entries come, each once.
    ASSERT_TRUE(QDir(log).removeRecursively());
    vServidor.PEvento({5, 1, 2, 3, 4000, 1000, 5799, 3, 3, 3});
    ASSERT_TRUE(FEspera([&] { return FAbastecimentos() == 4; }));
    PAssenta();
    const QByteArray texto = vPosto.FLog();
    for (const char* litros : {"Litragem: 1,000", "Litragem: 2,000", "Litragem: 3,000", "Litragem: 4,000"})
        EXPECT_EQ(texto.count(litros), 1) << litros << "\n" << FVisivel(texto);
    EXPECT_TRUE(TDiarioAbastecimentos(TDiarioAbastecimentos::FCaminhoPadrao()).FPendentes().empty());
}

TEST_F(Console, FuelingRefusedForGoodIsLoggedOnceAndNeverRetried)
{
    PAbre();
    vPosto.PExecuta(QStringLiteral("alter table mvabast add constraint ck_teste check (litragem <> 7)"));
    vServidor.PEvento({5, 1, 2, 3, 7000, 1000, 5799, 3, 3, 3}); // refused by the database
    ASSERT_TRUE(FEspera([&] { return vPosto.FLog().contains("Ocorreu um erro ao tentar gravar o abastecimento."); }));
    PAssenta();
    EXPECT_TRUE(TDiarioAbastecimentos(TDiarioAbastecimentos::FCaminhoPadrao()).FPendentes().empty())
        << "a refusal for good does not wait for a retry";

    // Later fuelings neither retry it nor log it again.
    for (const int litros : {2000, 3000}) {
        vServidor.PEvento({5, 1, 2, 1, litros, 1000, 5799, 3, 3, 3});
        ASSERT_TRUE(FEspera([&] { return vPosto.FLog().count("CodBico: 05-01") == litros / 1000 - 1; }));
    }
    PAssenta();
    EXPECT_EQ(FLinhas(QStringLiteral("select codbico, litragem, id from mvabast order by id")),
              QStringLiteral("05-01|2|2\n05-01|3|3")) << "the refused one used up Id 1, as a failed insert does";
    const QByteArray log = vPosto.FLog();
    EXPECT_EQ(log.count("Ocorreu um erro ao tentar gravar o abastecimento."), 1) << FVisivel(log);
    EXPECT_EQ(log.count("Litragem: 7,000"), 1) << "its own entry, once";
    EXPECT_FALSE(log.contains("pendente")) << FVisivel(log);
}

// The end of a refused capture must survive a power cut right after it:
// nothing in the database tells a retry that the fueling was dealt with.
TEST_F(Console, RefusedFuelingStaysEndedAfterAPowerCutRightBehindIt)
{
    PAbre();
    vPosto.PExecuta(QStringLiteral("alter table mvabast add constraint ck_teste check (litragem <> 7)"));
    // As the disk recorder names it: the path its descriptor stands for.
    const QString diario =
        QDir(vPosto.Diretorio().FCaminho(QString())).canonicalPath() + QStringLiteral("/ConcentradorTarnex.jrn");
    std::map<QString, QByteArray> antes;
    if (QFileInfo::exists(diario))
        antes[diario] = vPosto.Diretorio().FLe(QStringLiteral("ConcentradorTarnex.jrn"));
    const QString trace = vPosto.Diretorio().FCaminho(QStringLiteral("disco.trace"));
    TRegistroDisco::PInstala(trace);
    vServidor.PEvento({5, 1, 2, 3, 7000, 1000, 5799, 3, 3, 3}); // refused by the database
    const bool recusado = FEspera([&] { return vPosto.FLog().contains("Litragem: 7,000"); });
    TRegistroDisco::PDesinstala();
    ASSERT_TRUE(recusado) << FVisivel(vPosto.FLog());

    TQuedaEnergia queda(antes);
    for (const TQuedaEnergia::TPasso& passo : TQuedaEnergia::FLeTrace(trace))
        queda.PAplica(passo);
    const auto arquivos = queda.FArquivos(TQuedaEnergia::TVariante::Perdida);
    const auto cortado = arquivos.find(diario);
    ASSERT_NE(cortado, arquivos.end()) << "the journal itself survives";
    vPosto.Diretorio().PGrava(QStringLiteral("rascunho.jrn"), cortado->second);
    EXPECT_TRUE(TDiarioAbastecimentos(vPosto.Diretorio().FCaminho(QStringLiteral("rascunho.jrn"))).FPendentes().empty())
        << "a start-up after the cut would insert it again under a new Id: " << FVisivel(cortado->second);
}

TEST_F(Console, CaptureThatDiedAfterItsInsertIsNotStoredTwice)
{
    // A previous run inserted the row and died before ending the capture.
    {
        TDiarioAbastecimentos diario(TDiarioAbastecimentos::FCaminhoPadrao());
        const QDateTime momento(QDate::currentDate(), QTime(10, 0, 0));
        const qint64 n = diario.FRegistra(5, {1, 2, 3, 1500, 1000, 5799, 3, 3, 3}, momento);
        diario.PTentativa(n, 1, 7);
        vPosto.PExecuta(QStringLiteral("insert into mvabast (data, hora, codbico, litragem, id, sequencia) values "
                                       "('%1', '10:00:00', '05-02', 1.5, 1, 7)")
                            .arg(QDate::currentDate().toString(QStringLiteral("dd.MM.yyyy"))));
        const qint64 m = diario.FRegistra(5, {1, 2, 1, 2500, 1000, 5799, 3, 3, 3}, momento.addSecs(5));
        (void)m; // this one never reached its insert
    }
    PAbre();
    ASSERT_TRUE(FEspera([&] { return FAbastecimentos() == 2; }));
    PAssenta();
    EXPECT_EQ(FLinhas(QStringLiteral("select codbico, litragem, id, hora from mvabast order by id")),
              QStringLiteral("05-02|1.5|1|10:00:00\n05-01|2.5|2|10:00:05"));
    EXPECT_EQ(Parametros->Id(), 3) << "the numbering moved past the row that was already there";
    EXPECT_TRUE(TDiarioAbastecimentos(TDiarioAbastecimentos::FCaminhoPadrao()).FPendentes().empty());
}

// Fuelings the component delivers together are stored in a group, with its
// disk writes gathered; what comes out must be what capturing them one at a
// time gives: the rows and their numbering, the log entries in their order,
// what is acknowledged, and nothing left pending.
struct TCasoGrupo {
    const char* vNome;
    int vIdInicial;
    std::vector<std::pair<int, QList<qint64>>> vEventos; // event, raw arguments; delivery numbers in order
    bool vRepeteEntrega = false; // the second event comes again under the first one's delivery
};

class ConsoleGrupo : public Console, public ::testing::WithParamInterface<TCasoGrupo> {
protected:
    struct TResultado {
        QString vLinhas;
        QStringList vLog;
        std::vector<bool> vRecebidos;
        size_t vPendentes = 0;
    };

    std::vector<TCapturaAbastecimento::TNovo> FNovos() const
    {
        std::vector<TCapturaAbastecimento::TNovo> novos;
        for (const auto& [evento, args] : GetParam().vEventos) {
            const qint64 entrega = GetParam().vRepeteEntrega && novos.size() == 1 ? 1 : static_cast<qint64>(novos.size()) + 1;
            novos.push_back({evento, args, TDiarioAbastecimentos::TEntrega{QStringLiteral("teste"), entrega},
                             QDateTime(QDate::currentDate(), QTime(9, 0, 0))});
        }
        return novos;
    }

    TResultado FCaptura(bool pEmGrupo)
    {
        vPosto.PExecuta(QStringLiteral("delete from mvabast"));
        vPosto.PExecuta(QStringLiteral("update paraposto set sequenciaabast = 7"));
        vPosto.Diretorio().PGrava(QStringLiteral("ConcentradorTarnex.ini"),
                                  QStringLiteral("[FCM1]\r\nNUMBOMBAS=4\r\n[ABASTECIMENTO]\r\nID=%1\r\n")
                                      .arg(GetParam().vIdInicial)
                                      .toLatin1());
        const qsizetype inicio = FEntradas().size();
        const QString diario = vPosto.Diretorio().FCaminho(pEmGrupo ? QStringLiteral("grupo.jrn") : QStringLiteral("um.jrn"));
        TCapturaAbastecimento captura(vJanela->findChild<QTableView*>(QStringLiteral("GridAbastecimento")), diario);
        const std::vector<TCapturaAbastecimento::TNovo> novos = FNovos();
        TResultado r;
        if (pEmGrupo) {
            captura.PRecebeLote(novos, r.vRecebidos);
        } else {
            for (const auto& n : novos) {
                bool recebido = false;
                captura.PRecebe(n.vEvento, n.vArgs, n.vEntrega, recebido);
                r.vRecebidos.push_back(recebido);
            }
        }
        r.vLinhas = FLinhas(QStringLiteral("select codbico, litragem, valor, encerrantefinal, id, sequencia from mvabast "
                                           "order by sequencia, id"));
        static const QRegularExpression hora(QStringLiteral("Data: [^\\r]*\\rHora: \\d\\d:\\d\\d:\\d\\d"));
        for (QString e : FEntradas().mid(inicio))
            r.vLog.append(e.replace(hora, QStringLiteral("Data/Hora")));
        r.vPendentes = TDiarioAbastecimentos(diario).FPendentes().size();
        return r;
    }
};

TEST_P(ConsoleGrupo, GroupGivesWhatCapturingOneAtATimeGives)
{
    PAbre();
    vPosto.PExecuta(QStringLiteral("alter table mvabast add constraint ck_teste check (litragem <> 7)"));
    const TResultado um = FCaptura(false);
    const TResultado grupo = FCaptura(true);
    EXPECT_EQ(grupo.vLinhas, um.vLinhas);
    EXPECT_EQ(grupo.vLog, um.vLog);
    EXPECT_EQ(grupo.vRecebidos, um.vRecebidos);
    EXPECT_EQ(grupo.vPendentes, 0u);
    EXPECT_EQ(um.vPendentes, 0u);
    EXPECT_FALSE(um.vLinhas.isEmpty());
}

// A group whose log entries cannot be written keeps its rows, and its
// captures stay open until the log takes the entries, each once.
TEST_F(Console, GroupWhoseLogFailsIsEndedOnlyOnceItsEntriesAreWritten)
{
    PAbre();
    const QString log = TGenerico::FArquivoLog(QDate::currentDate());
    QFile::remove(log);
    ASSERT_TRUE(QDir().mkpath(log));
    const QString diario = vPosto.Diretorio().FCaminho(QStringLiteral("grupo.jrn"));
    TCapturaAbastecimento captura(vJanela->findChild<QTableView*>(QStringLiteral("GridAbastecimento")), diario);
    const auto FNovo = [](int pLitros, qint64 pEntrega) {
        return TCapturaAbastecimento::TNovo{5, {1, 2, 3, pLitros, 1000, 5799, 3, 3, 3},
                                            TDiarioAbastecimentos::TEntrega{QStringLiteral("teste"), pEntrega}};
    };
    std::vector<bool> recebidos;
    EXPECT_THROW(captura.PRecebeLote({FNovo(1000, 1), FNovo(2000, 2)}, recebidos), EErro);
    EXPECT_EQ(recebidos, std::vector<bool>({true, true})) << "journaled: the component may forget them";
    EXPECT_EQ(FLinhas(QStringLiteral("select litragem, id from mvabast order by id")), QStringLiteral("1|1\n2|2"));
    EXPECT_EQ(TDiarioAbastecimentos(diario).FPendentes().size(), 2u) << "ended only with their log entries";

    ASSERT_TRUE(QDir(log).removeRecursively());
    captura.PRecebeLote({FNovo(3000, 3), FNovo(4000, 4)}, recebidos);
    EXPECT_EQ(FLinhas(QStringLiteral("select litragem, id from mvabast order by id")),
              QStringLiteral("1|1\n2|2\n3|3\n4|4"));
    const QByteArray texto = vPosto.FLog();
    for (const char* litros : {"Litragem: 1,000", "Litragem: 2,000", "Litragem: 3,000", "Litragem: 4,000"})
        EXPECT_EQ(texto.count(litros), 1) << litros << "\n" << FVisivel(texto);
    EXPECT_TRUE(TDiarioAbastecimentos(diario).FPendentes().empty());
}

const QList<qint64> cAoVivo1{1, 2, 3, 1000, 1000, 5799, 3, 3, 3};
const QList<qint64> cAoVivo2{1, 2, 1, 2000, 2000, 5799, 3, 3, 3};
const QList<qint64> cAoVivo3{1, 2, 3, 3000, 3000, 4999, 3, 3, 3};

INSTANTIATE_TEST_SUITE_P(
    Casos, ConsoleGrupo,
    ::testing::Values(
        TCasoGrupo{"Plain", 1, {{5, cAoVivo1}, {5, cAoVivo2}, {5, cAoVivo3}}},
        // Discarded ones take no Id: the ones behind are numbered anew.
        TCasoGrupo{"Discarded",
                   41,
                   {{5, cAoVivo1},
                    {5, {9, 9, 9, 1000, 1000, 1000, 3, 3, 3}},                    // nozzle not registered
                    {8, {1, 2, 3, 1000, 1000, 1000, 3, 3, 3, 120000, 311315}},    // month 13: logged
                    {5, cAoVivo2},
                    {11, {1, 2, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},                // the pump window's zero call
                    {8, {1, 2, 1, 1500, 150000, 4999, 3, 2, 3, 905, 51215}}}},
        // A refusal for good uses up its Id and holds nobody up.
        TCasoGrupo{"Refused", 5, {{5, cAoVivo1}, {5, {1, 2, 3, 7000, 1000, 5799, 3, 3, 3}}, {5, cAoVivo3}}},
        // The sequence rises once, after 9999, and the Id starts again.
        TCasoGrupo{"Wrap", 9998, {{5, cAoVivo1}, {5, cAoVivo2}, {5, cAoVivo3}, {5, cAoVivo1}}},
        TCasoGrupo{"DeliveredTwice", 1, {{5, cAoVivo1}, {5, cAoVivo2}, {5, cAoVivo3}}, true}),
    [](const auto& pInfo) { return std::string(pInfo.param.vNome); });

// A capture that died after its insert, its end lost from the journal by a
// power cut: its log entry may have been written before the cut or not. The
// start-up takes it up again and leaves exactly one entry.
class ConsoleEntradaRetomada : public Console, public ::testing::WithParamInterface<bool> {};

TEST_P(ConsoleEntradaRetomada, CaptureTakenUpAgainLeavesItsLogEntryOnce)
{
    const QDate hoje = QDate::currentDate();
    {
        TDiarioAbastecimentos diario(TDiarioAbastecimentos::FCaminhoPadrao());
        diario.FRegistraComTentativa(5, {1, 2, 3, 1500, 1000, 5799, 3, 3, 3}, QDateTime(hoje, QTime(10, 0, 0)),
                                     std::nullopt, 1, 7);
        vPosto.PExecuta(QStringLiteral("insert into mvabast (data, hora, codbico, litragem, id, sequencia) values "
                                       "('%1', '10:00:00', '05-02', 1.5, 1, 7)")
                            .arg(hoje.toString(QStringLiteral("dd.MM.yyyy"))));
    }
    TGenerico::PGeraLog(QStringLiteral("Device= 1"));
    if (GetParam()) {
        TGenerico::PGeraLog(QStringLiteral("Sl: 01\rBo: 02\rBi: 03\rCodBico: 05-02\rLitragem: 1,500\r"
                                           "Preço Unitário: 5,799\rValor: 8,70\rData: %1\rHora: 10:00:00\r"
                                           "Id: 1\rSequencia: 7")
                                .arg(hoje.toString(QStringLiteral("dd/MM/yyyy"))));
    }
    PAbre("[FCM1]\r\nNUMBOMBAS=4\r\n[ABASTECIMENTO]\r\nID=2\r\n");
    ASSERT_TRUE(FEspera([&] { return vJanela->FlagOpen(1); }));
    // The journal is emptied once the window is idle.
    EXPECT_TRUE(FEspera([] { return TDiarioAbastecimentos(TDiarioAbastecimentos::FCaminhoPadrao()).FPendentes().empty(); }));
    const QByteArray log = vPosto.FLog();
    EXPECT_EQ(log.count("Litragem: 1,500"), 1) << FVisivel(log);
    EXPECT_EQ(FAbastecimentos(), 1);
    EXPECT_EQ(Parametros->Id(), 2);
}

INSTANTIATE_TEST_SUITE_P(Console, ConsoleEntradaRetomada, ::testing::Bool(), [](const auto& pInfo) {
    return std::string(pInfo.param ? "EntradaJaNoLog" : "EntradaAusente");
});

// A power cut in the middle of a journal line leaves it torn: the start-up
// cuts it away and says so in the log, and goes on.
TEST_F(Console, TornJournalLineIsCutAwayAtStartUpWithALogEntrySayingSo)
{
    vPosto.Diretorio().PGrava(QStringLiteral("ConcentradorTarnex.jrn"),
                              "A 1 1767323045000 5 1 2 3 1500 1000 5799 3 3 3\nT 1 1 7\nF 1\nF");
    vPosto.PExecuta(QStringLiteral("insert into mvabast (data, hora, codbico, litragem, id, sequencia) values "
                                   "('02.01.2026', '03:04:05', '05-02', 1.5, 1, 7)"));
    PAbre("[FCM1]\r\nNUMBOMBAS=4\r\n[ABASTECIMENTO]\r\nID=2\r\n");
    ASSERT_TRUE(FEspera([&] { return vJanela->FlagOpen(1); }));
    const QByteArray log = vPosto.FLog();
    EXPECT_EQ(QString::fromLatin1(log).count(
                  QStringLiteral("Diário de abastecimentos reparado: uma linha incompleta no fim do arquivo (1 bytes)")),
              1)
        << FVisivel(log);
    EXPECT_TRUE(vPosto.Diretorio().FLe(QStringLiteral("ConcentradorTarnex.jrn")).endsWith("F 1\n"));
    EXPECT_TRUE(TDiarioAbastecimentos(TDiarioAbastecimentos::FCaminhoPadrao()).FPendentes().empty());
    EXPECT_EQ(FAbastecimentos(), 1) << "the capture whose end was whole is not made again";
}

// A capture that died after its insert at the wrap, before the Id file had
// moved on: the sequence rise may have been committed before the death or
// not. Either way the start-up leaves it risen once, and the next fueling is
// (8, 1).
class ConsoleVirada : public Console, public ::testing::WithParamInterface<bool> {};

TEST_P(ConsoleVirada, CaptureThatDiedAtTheWrapRaisesTheSequenceOnce)
{
    {
        TDiarioAbastecimentos diario(TDiarioAbastecimentos::FCaminhoPadrao());
        const QDateTime momento(QDate::currentDate(), QTime(10, 0, 0));
        diario.FRegistraComTentativa(5, {1, 2, 3, 1500, 1000, 5799, 3, 3, 3}, momento, std::nullopt, 9999, 7);
        vPosto.PExecuta(QStringLiteral("insert into mvabast (data, hora, codbico, litragem, id, sequencia) values "
                                       "('%1', '10:00:00', '05-02', 1.5, 9999, 7)")
                            .arg(QDate::currentDate().toString(QStringLiteral("dd.MM.yyyy"))));
        if (GetParam())
            vPosto.PExecuta(QStringLiteral("update paraposto set sequenciaabast = 8"));
    }
    PAbre("[FCM1]\r\nNUMBOMBAS=4\r\n[ABASTECIMENTO]\r\nID=9999\r\n");
    ASSERT_TRUE(FEspera([&] { return Parametros->Id() == 1; }));
    EXPECT_EQ(FLinhas(QStringLiteral("select sequenciaabast from paraposto")), QStringLiteral("8"));
    vServidor.PEvento({5, 1, 2, 1, 2500, 1000, 5799, 3, 3, 3});
    ASSERT_TRUE(FEspera([&] { return FAbastecimentos() == 2; }));
    EXPECT_EQ(FLinhas(QStringLiteral("select sequencia, id from mvabast order by sequencia, id")),
              QStringLiteral("7|9999\n8|1"));
}

INSTANTIATE_TEST_SUITE_P(Console, ConsoleVirada, ::testing::Bool(), [](const auto& pInfo) {
    return std::string(pInfo.param ? "SequenciaJaSubiu" : "SequenciaAindaNao");
});

TEST_F(Console, PendingFuelingThatFailsAtStartUpIsShownAndTheConcentratorsAreConnectedAllTheSame)
{
    {
        TDiarioAbastecimentos diario(TDiarioAbastecimentos::FCaminhoPadrao());
        diario.FRegistra(5, {1, 2, 3, 1500, 1000, 5799, 3, 3, 3}, QDateTime::currentDateTime());
    }
    // The pending fueling is stored at start-up, but at Id 9999 the sequence
    // cannot rise: its capture fails again.
    vPosto.PExecuta(QStringLiteral("alter table paraposto add constraint ck_teste check (sequenciaabast < 8)"));
    TOperador operador;
    operador.PRespondeSempreOk();
    PAbre("[FCM1]\r\nNUMBOMBAS=4\r\n[FCM2]\r\nNUMBOMBAS=2\r\n[ABASTECIMENTO]\r\nID=9999\r\n");
    ASSERT_TRUE(FEspera([&] { return !operador.Lidas().isEmpty(); }));
    EXPECT_TRUE(operador.Lidas().at(0).contains(QStringLiteral("alterar a sequência"))) << operador.Lidas().at(0).toStdString();
    EXPECT_TRUE(vJanela->FlagOpen(1) && vJanela->FlagOpen(2)) << "start-up went on after the failure";
    EXPECT_EQ(FAbastecimentos(), 1);
}

TEST_F(Console, ServerKilledUnderTheWindowComesBackWithItsDevicesWithoutHoldingTheWindow)
{
    PAbre();
    ASSERT_EQ(vServidor.FFcmsimAteOFim({QStringLiteral("chama"), QStringLiteral("FcmConfigConcentradorFcm"),
                                        QStringLiteral("1"), QStringLiteral("4"), QStringLiteral("10"),
                                        QStringLiteral("1")}), 0);
    // The longest the window went without turning its event loop.
    QElapsedTimer ultimaVolta;
    ultimaVolta.start();
    qint64 maiorParada = 0;
    QTimer vigia;
    QObject::connect(&vigia, &QTimer::timeout, [&] { maiorParada = std::max(maiorParada, ultimaVolta.restart()); });
    vigia.start(10);

    // First a server program that exits at once, then none at all.
    const QString programa = TFcmMaster::FPrograma();
    TFcmMaster::PDefinePrograma(QStringLiteral("/bin/true"));
    vServidor.FFcmsimAteOFim({QStringLiteral("derruba")});
    QTest::qWait(1500);
    TFcmMaster::PDefinePrograma(QStringLiteral("/nao/existe/FcmMasterX"));
    QTest::qWait(1500);
    TFcmMaster::PDefinePrograma(programa);
    ASSERT_TRUE(FEspera([&] { return vPosto.FLog().contains("restabelecida"); }, 15000)) << FVisivel(vPosto.FLog());
    vigia.stop();
    std::printf("[          ] maior parada da janela enquanto o componente voltava: %lld ms\n",
                static_cast<long long>(maiorParada));
    EXPECT_LT(maiorParada, 1000) << "no attempt may wait on the component's call time limit";

    // The new server knows device 1 and slave 1 again: a fueling goes through.
    ASSERT_EQ(vServidor.FFcmsimAteOFim({QStringLiteral("abastece"), QStringLiteral("1"), QStringLiteral("2"),
                                        QStringLiteral("3"), QStringLiteral("1,5"), QStringLiteral("--ms"),
                                        QStringLiteral("0")}), 0);
    ASSERT_TRUE(FEspera([&] { return FAbastecimentos() == 1; }));
    const QByteArray log = vPosto.FLog();
    EXPECT_EQ(log.count("restabelecida"), 1) << FVisivel(log);
    EXPECT_TRUE(log.contains("FcmOpen(1) = 1")) << FVisivel(log);
}

// The journal alone: a torn last line, and deliveries remembered until the
// component has forgotten them for good.
TEST(Diario, TornTailIsCutAwayAndDeliveriesAreRememberedUntilForgottenForGood)
{
    TDiretorioTeste dir;
    const QString caminho = dir.FCaminho(QStringLiteral("ConcentradorTarnex.jrn"));
    const QDateTime momento(QDate(2026, 1, 2), QTime(3, 4, 5));
    dir.PGrava(QStringLiteral("ConcentradorTarnex.jrn"), "A 1 1767323045000 5 1 2 3 1500 1000 5799 3 3 3\nA 2 17673");
    {
        TDiarioAbastecimentos diario(caminho);
        EXPECT_EQ(dir.FLe(QStringLiteral("ConcentradorTarnex.jrn")), "A 1 1767323045000 5 1 2 3 1500 1000 5799 3 3 3\n")
            << "the torn line is cut away on opening";
        diario.FRegistra(8, {1, 2, 1, 2500, 2000, 5799, 3, 3, 3, 101010, 51215}, momento, {{QStringLiteral("abc"), 7}});
    }
    TDiarioAbastecimentos diario(caminho);
    const std::vector<TDiarioAbastecimentos::TEntrada> pendentes = diario.FPendentes();
    ASSERT_EQ(pendentes.size(), 2u);
    EXPECT_EQ(pendentes[1].vArgs, (QList<qint64>{1, 2, 1, 2500, 2000, 5799, 3, 3, 3, 101010, 51215}))
        << "the next line starts on its own";
    ASSERT_TRUE(pendentes[1].vEntrega.has_value());
    EXPECT_EQ(pendentes[1].vMomento, momento);

    const TDiarioAbastecimentos::TEntrega sete{QStringLiteral("abc"), 7};
    diario.PConclui(pendentes[0].vNumero);
    diario.PConclui(pendentes[1].vNumero);
    EXPECT_TRUE(diario.FConhece(sete)) << "captured, but the component may still deliver it again";
    EXPECT_TRUE(TDiarioAbastecimentos(caminho).FConhece(sete)) << "across a restart too";
    diario.PAtualizaBase(QStringLiteral("abc"), 7);
    EXPECT_TRUE(diario.FConhece(sete));
    diario.PAtualizaBase(QStringLiteral("abc"), 8);
    EXPECT_FALSE(diario.FConhece(sete));
    EXPECT_EQ(dir.FLe(QStringLiteral("ConcentradorTarnex.jrn")), QByteArray()) << "nothing left worth keeping";

    // A component that lost its memory numbers under another name: the old
    // numbers are forgotten, and its own number 7 is a new fueling.
    diario.FRegistra(5, {1, 2, 3, 1, 1, 1, 3, 3, 3}, momento, sete);
    diario.PConclui(diario.FPendentes().at(0).vNumero);
    diario.PAtualizaBase(QStringLiteral("def"), 1);
    EXPECT_FALSE(diario.FConhece(sete));
    EXPECT_FALSE(diario.FConhece({QStringLiteral("def"), 7}));
}

// The end of the last open capture is not written on the capture's way: the
// journal is emptied once the program is idle, or the end goes ahead of the
// next line, or is settled when the journal is closed. A reader (a start-up
// after a crash) sees the capture open until then, never a later one closed.
TEST(Diario, LastEndEmptiesTheJournalWhenIdleOrGoesAheadOfTheNextLine)
{
    TDiretorioTeste dir;
    const QString caminho = dir.FCaminho(QStringLiteral("ConcentradorTarnex.jrn"));
    const QDateTime momento(QDate(2026, 1, 2), QTime(3, 4, 5));
    const QList<qint64> args{1, 2, 3, 1500, 1000, 5799, 3, 3, 3};
    const auto FPendentesNoDisco = [&] {
        std::vector<qint64> numeros;
        for (const auto& e : TDiarioAbastecimentos(caminho).FPendentes())
            numeros.push_back(e.vNumero);
        return numeros;
    };
    {
        TDiarioAbastecimentos diario(caminho);
        const qint64 um = diario.FRegistraComTentativa(5, args, momento, std::nullopt, 1, 7);
        diario.PConclui(um);
        EXPECT_TRUE(diario.FPendentes().empty());
        EXPECT_EQ(FPendentesNoDisco(), std::vector<qint64>{um}) << "until the program is idle";
        QCoreApplication::processEvents();
        EXPECT_EQ(dir.FLe(QStringLiteral("ConcentradorTarnex.jrn")), QByteArray());

        const qint64 dois = diario.FRegistraComTentativa(5, args, momento, std::nullopt, 2, 7);
        diario.PConclui(dois);
        const qint64 tres = diario.FRegistraComTentativa(5, args, momento, std::nullopt, 3, 7);
        EXPECT_EQ(FPendentesNoDisco(), std::vector<qint64>{tres}) << "the end of the one before went ahead";
        diario.PConclui(tres);
    }
    EXPECT_EQ(dir.FLe(QStringLiteral("ConcentradorTarnex.jrn")), QByteArray()) << "settled when closed";
}

TEST(DataOffLine, DecodedByHandWithTheHundredYearWindow)
{
    const QDate hoje(2025, 6, 1);
    const struct {
        int dma, hms;
        const char* esperado;
    } casos[] = {
        {51215, 905, "2015-12-05 00:09:05"}, {10174, 235959, "2074-01-01 23:59:59"}, {10175, 0, "1975-01-01 00:00:00"},
        {290224, 120000, "2024-02-29 12:00:00"}, {290223, 120000, ""}, {311315, 1, ""}, {51215, 240000, ""},
        {51215, 6000, ""}, {51215, 60, ""}, {1215, 1, ""}, {-51215, 1, ""}, {1234567, 1, ""}, {0, 1, ""},
    };
    for (const auto& caso : casos) {
        const auto dt = TCapturaAbastecimento::FDecodificaDataHora(caso.dma, caso.hms, hoje);
        EXPECT_EQ(dt ? dt->toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) : QString(), QString::fromLatin1(caso.esperado))
            << caso.dma << ' ' << caso.hms;
    }
    EXPECT_EQ(TCapturaAbastecimento::FTextoData(51215), QStringLiteral("05/12/15"));
    EXPECT_EQ(TCapturaAbastecimento::FTextoHora(905), QStringLiteral("00:09:05"));
}

} // namespace


namespace {

void PClica(QWidget* pJanela, const char* pBotao)
{
    pJanela->findChild<QPushButton*>(QString::fromLatin1(pBotao))->click();
}

TEST_F(Console, StatusWindowShowsEveryNozzleInItsStateColour)
{
    PAbre();
    vPosto.PExecuta(QStringLiteral("update bombas set statusbico = 'B' where codconcentrador = '010203'"));
    QStringList linhas;
    QString titulo;
    int selecionadas = 0;
    for (int abertura = 0; abertura < 2; ++abertura) {
        TOperador operador;
        operador.PDepois([&](QWidget* janela) {
            titulo = janela->windowTitle();
            const auto* grade = janela->findChild<QTableWidget*>(QStringLiteral("GridStatusBomba"));
            linhas.clear();
            for (int r = 0; r < grade->rowCount(); ++r) {
                QStringList celulas;
                for (int c = 0; c < 5; ++c)
                    celulas.append(grade->item(r, c)->text());
                linhas.append(celulas.join(QLatin1Char('|')));
            }
            selecionadas += grade->selectionModel()->isRowSelected(0, {}) ? 1 : 0;
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        });
        vJanela->btnStatusBicoClick();
    }
    EXPECT_EQ(titulo, QStringLiteral("Status do Bico"));
    EXPECT_EQ(linhas, (QStringList{QStringLiteral("01|02|01|GASOLINA COMUM|5,799"), QStringLiteral("01|02|03|GASOLINA COMUM|5,799")}));
    EXPECT_EQ(selecionadas, 2) << "the first row starts selected, in a fresh window each time";

    const struct {
        const char* status;
        QColor fundo, texto;
    } casos[] = {{"L", QColor(0, 128, 0), Qt::white}, {"P", QColor(240, 202, 166), Qt::white},
                 {"B", QColor(255, 0, 0), Qt::white}, {"A", QColor(255, 255, 0), Qt::black},
                 {"F", QColor(192, 192, 192), Qt::black}, {"l", QColor(192, 192, 192), Qt::black},
                 {"", QColor(192, 192, 192), Qt::black}};
    for (const auto& caso : casos) {
        EXPECT_EQ(TFrmStatusBico::FCores(QString::fromLatin1(caso.status), false), qMakePair(caso.fundo, caso.texto)) << caso.status;
        EXPECT_EQ(TFrmStatusBico::FCores(QString::fromLatin1(caso.status), true), qMakePair(caso.texto, caso.fundo)) << caso.status;
    }
}

TEST_F(Console, PriceChangeSendsFromTheCurrentRowAndStopsAtARefusal)
{
    PAbre();
    vPosto.PCadastraBico(QStringLiteral("010501"), QStringLiteral("09-01"), QStringLiteral("01-02"),
                         QStringLiteral("ETANOL"), 3.8996); // pump 5 of 4: refused
    const auto FTrocas = [&] {
        QStringList trocas;
        for (const QString& c : vServidor.FChamadas())
            if (c.startsWith(QStringLiteral("FcmTrocaPreco")))
                trocas.append(c);
        return trocas;
    };
    {
        TOperador operador;
        operador.PDepois([](QWidget* janela) { QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape); (void)janela; });
        vJanela->btnAlterarPrecoClick();
        EXPECT_TRUE(FTrocas().isEmpty()) << "cancelling sends nothing";
    }
    {
        TOperador operador;
        operador.PDepois([](QWidget* janela) { PClica(janela, "btnAlterar"); });
        for (int i = 0; i < 3; ++i)
            operador.PDepois([](QWidget* d) { PClica(d, "BtnOk"); });
        vJanela->btnAlterarPrecoClick();
        EXPECT_EQ(FTrocas(), (QStringList{QStringLiteral("FcmTrocaPreco(1, 2, 1, 5799, 3) = 1"),
                                          QStringLiteral("FcmTrocaPreco(1, 2, 3, 5799, 3) = 1"),
                                          QStringLiteral("FcmTrocaPreco(1, 5, 1, 3900, 3) = -2")}));
        EXPECT_EQ(operador.Lidas(), (QStringList{QStringLiteral("Informação|Tanque: 01 Bomba: 02 Bico: 01\n\nNovo valor: R$5,799"),
                                                 QStringLiteral("Informação|Tanque: 01 Bomba: 02 Bico: 03\n\nNovo valor: R$5,799"),
                                                 QStringLiteral("Alerta|O parâmetro Bomba (bo) está incorreto.")}));
    }
    {
        TOperador operador;
        operador.PDepois([](QWidget* janela) {
            auto* grade = janela->findChild<QTableView*>();
            grade->setCurrentIndex(grade->model()->index(grade->model()->rowCount() - 1, 0));
            PClica(janela, "btnAlterar");
        });
        operador.PDepois([](QWidget* d) { PClica(d, "BtnOk"); });
        const qsizetype antes = FTrocas().size();
        vJanela->btnAlterarPrecoClick();
        EXPECT_EQ(FTrocas().mid(antes), QStringList{QStringLiteral("FcmTrocaPreco(1, 5, 1, 3900, 3) = -2")})
            << "from the last row, only that nozzle";
    }
}

TEST_F(Console, ConcentratorWindowStoresAndSendsTheSlavesConfiguration)
{
    PAbre();
    const auto FArquivo = [&] { return QString::fromUtf8(vPosto.Diretorio().FLe(QStringLiteral("ConcentradorTarnex.ini"))); };
    const auto FConfigs = [&] {
        QStringList c;
        for (const QString& l : vServidor.FChamadas())
            if (l.startsWith(QStringLiteral("FcmConfigConcentradorFcm")))
                c.append(l);
        return c;
    };
    const qsizetype configsIniciais = FConfigs().size();
    QStringList visto;
    {
        TOperador operador;
        operador.PDepois([&](QWidget* janela) {
            auto* slave = janela->findChild<QLineEdit*>(QStringLiteral("EdtNumSl"));
            slave->setText(QStringLiteral("2"));
            auto* modo = janela->findChild<QButtonGroup*>(QStringLiteral("RgModoOperacao"));
            auto* mensagem = janela->findChild<QButtonGroup*>(QStringLiteral("RdoGroupFormatAbast"));
            visto << QString::number(modo->checkedId()) << QString::number(mensagem->checkedId())
                  << janela->findChild<QLineEdit*>(QStringLiteral("EdtNumBo"))->text();
            modo->button(2)->setChecked(true);
            mensagem->button(0)->setChecked(true);
            janela->findChild<QLineEdit*>(QStringLiteral("EdtNumBo"))->setText(QStringLiteral("6"));
            PClica(janela, "BtnConfigura");
        });
        vJanela->btnConcentradorClick();
    }
    EXPECT_EQ(visto, (QStringList{QStringLiteral("1"), QStringLiteral("1"), QStringLiteral("0")})) << "defaults of a new section";
    EXPECT_TRUE(FArquivo().contains(QStringLiteral("[FCM2]\r\nMODOOPERACAO=2\r\nMENSAGEMABAST=0\r\nNUMBOMBAS=6\r\n"))) << FArquivo().toStdString();
    EXPECT_EQ(FConfigs().mid(configsIniciais), QStringList{QStringLiteral("FcmConfigConcentradorFcm(2, 6, 12, 1) = 1")});

    const QString antes = FArquivo();
    {
        TOperador operador;
        operador.PDepois([](QWidget* janela) {
            janela->findChild<QLineEdit*>(QStringLiteral("EdtNumBo"))->setText(QStringLiteral("9"));
            QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : janela, Qt::Key_Escape);
        });
        vJanela->btnConcentradorClick();
    }
    EXPECT_EQ(FArquivo(), antes) << "Esc stores nothing";
    {
        TOperador operador;
        operador.PDepois([](QWidget* janela) {
            janela->findChild<QLineEdit*>(QStringLiteral("EdtNumSl"))->setText(QStringLiteral("5"));
            janela->findChild<QLineEdit*>(QStringLiteral("EdtNumBo"))->setText(QStringLiteral("0"));
            PClica(janela, "BtnConfigura");
        });
        vJanela->btnConcentradorClick();
    }
    EXPECT_TRUE(FArquivo().contains(QStringLiteral("[FCM5]\r\nMODOOPERACAO=1\r\nMENSAGEMABAST=1\r\nNUMBOMBAS=0\r\n")));
    EXPECT_EQ(FConfigs().size(), configsIniciais + 1) << "0 pumps: stored, nothing sent";
    EXPECT_EQ(TFrmConfigConcentrador::FCodigoModo(-1), 0);
    EXPECT_EQ(TFrmConfigConcentrador::FCodigoModo(7), 0);
}

TEST_F(Console, PumpWindowSendsCommandsWithThousandthsCutNotRounded)
{
    PAbre();
    const auto FUltima = [&] { return vServidor.FChamadas().last(); };
    // Pressing a button of the pump window opens a message: pressed from a
    // queued call, never from inside the operator's own handler.
    const auto FDepois = [](QWidget* pJanela, const char* pBotao) {
        QTimer::singleShot(0, pJanela, [pJanela, pBotao] { PClica(pJanela, pBotao); });
    };
    TOperador operador;
    QStringList chamadas;
    QWidget* bombas = nullptr;
    operador.PDepois([&](QWidget* janela) {
        bombas = janela;
        janela->findChild<QLineEdit*>(QStringLiteral("EdtBomba"))->setText(QStringLiteral("2"));
        janela->findChild<QLineEdit*>(QStringLiteral("EdtPrePago"))->setText(QStringLiteral("2,5"));
        janela->findChild<QLineEdit*>(QStringLiteral("EdtTotMec"))->setText(QStringLiteral("1,2349"));
        FDepois(janela, "BtnPrePago");
    });
    operador.PDepois([&](QWidget* d) {
        chamadas << FUltima();
        PClica(d, "BtnOk");
        FDepois(bombas, "BtnConfigTot");
    });
    operador.PDepois([&](QWidget* d) {
        chamadas << FUltima();
        PClica(d, "BtnOk");
        vServidor.FControle(QStringLiteral("falha"), {QStringLiteral("FcmTravaBomba"), -2});
        FDepois(bombas, "BtnTrava");
    });
    operador.PDepois([&](QWidget* d) {
        chamadas << FUltima();
        PClica(d, "BtnOk");
        FDepois(bombas, "BtnTrava");
    });
    operador.PDepois([&](QWidget* d) {
        PClica(d, "BtnOk");
        bombas->findChild<QCheckBox*>(QStringLiteral("ChBoxAutoriza"))->setChecked(true);
        FDepois(bombas, "BtnOk");
    });
    vJanela->btnBombasClick();
    EXPECT_EQ(chamadas, (QStringList{QStringLiteral("FcmProgramaPrePago(1, 2, 1, 2500, 3) = 1"),
                                     QStringLiteral("FcmConfigTotalizador(1, 2, 1, 1234) = 1"),
                                     QStringLiteral("FcmTravaBomba(1, 2) = -2")}));
    EXPECT_EQ(operador.Lidas(), (QStringList{QStringLiteral("Informação|Programado com sucesso."),
                                             QStringLiteral("Informação|Totalizador configurado."),
                                             QStringLiteral("Alerta|O parâmetro Bomba (bo) está incorreto."),
                                             QStringLiteral("Informação|Slave: 1 Bomba: 2 foi bloqueado.")}));
    EXPECT_TRUE(vPosto.Diretorio().FLe(QStringLiteral("ConcentradorTarnex.ini")).contains("AUTORIZAAUTO=1"));
}

TEST_F(Console, FuelingsAreStoredWhileEachOperatorWindowIsOpen)
{
    PAbre();
    const std::function<void()> aberturas[] = {
        [&] { vJanela->btnConcentradorClick(); }, [&] { vJanela->btnBombasClick(); },
        [&] { vJanela->btnStatusBicoClick(); },   [&] { vJanela->btnAlterarPrecoClick(); }};
    int esperados = 0;
    for (const auto& abre : aberturas) {
        ++esperados;
        int comJanelaAberta = -1;
        TOperador operador;
        operador.PDepois([&](QWidget* janela) {
            vServidor.PEvento({5, 1, 2, 3, 1000, 1000, 1000, 3, 3, 3});
            FEspera([&] { return FAbastecimentos() == esperados; });
            comJanelaAberta = FAbastecimentos();
            janela->close();
        });
        abre();
        EXPECT_EQ(comJanelaAberta, esperados);
    }
    // The pump window's zero fueling goes through the capture and is dropped.
    TOperador operador;
    operador.PDepois([&](QWidget* janela) {
        PClica(janela, "Button1");
        janela->close();
    });
    vJanela->btnBombasClick();
    PAssenta();
    EXPECT_EQ(FAbastecimentos(), esperados);
}

TEST(Milesimos, CutOnTheDecimalDigitsNeverRounded)
{
    TConfiguracaoRegional::PDefine(QLatin1Char(','), QLatin1Char('/'), QLatin1Char(':'));
    const struct {
        const char* texto;
        int milesimos;
    } casos[] = {{"1,00", 1000}, {"2,5", 2500}, {"1,2349", 1234}, {"123456,789", 123456789}, {"7", 7000}, {"0,0009", 0}, {",5", 500}};
    for (const auto& caso : casos)
        EXPECT_EQ(AuxiliarJanelas::FMilesimos(QString::fromLatin1(caso.texto)), caso.milesimos) << caso.texto;
    for (const char* ruim : {"1.5", "", "abc", "1,2,3", "9999999999", "-1", ",", "2147484,000"})
        EXPECT_THROW(AuxiliarJanelas::FMilesimos(QString::fromLatin1(ruim)), EErro) << ruim;
    TConfiguracaoRegional::PCarregaDoSistema();
}

} // namespace

// Every litre the meters counted is accounted for: the connector checks each
// fueling's start against the nozzle's last totaliser and logs the litres
// that left the pump without a fueling (here a fueling the simulator's pump
// made in stand-alone mode), and the day's report shows the same.
struct TCasoAuditoria {
    const char* vNome;
    int vMensagem; // MENSAGEMABAST: 1, fuelings carry their start totaliser; 0, only the end
    // between the two fuelings: "", "perde", "config", or a restart with a
    // lost fueling: "reinicio", "queda" (no bases' file), "atrasado"
    // (a third fueling the file never saw)
    const char* vEntre;
    const char* vNoLog; // the entry the second fueling brings; "" none
    int vFaltasNoRelatorio;
};

class ConsoleAuditoria : public Console, public ::testing::WithParamInterface<TCasoAuditoria> {
protected:
    void PAbreConfigurado()
    {
        const qsizetype antes = vServidor.FChamadas().filter(QStringLiteral("FcmConfigConcentradorFcm(1,")).size();
        if (antes == 0) {
            PAbre(QStringLiteral("[FCM1]\r\nNUMBOMBAS=4\r\nMENSAGEMABAST=%1\r\n").arg(GetParam().vMensagem).toLatin1().constData());
        } else { // started again: the settings file keeps the Id it reached
            vJanela = std::make_unique<TFrmTarnex>();
            vJanela->show();
        }
        ASSERT_TRUE(FEspera([&] {
            return vServidor.FChamadas().filter(QStringLiteral("FcmConfigConcentradorFcm(1,")).size() > antes;
        }));
    }
    int FFcmsim(const char* pVerbo, const char* pLitros)
    {
        QStringList args{QString::fromLatin1(pVerbo), QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"),
                         QString::fromLatin1(pLitros)};
        if (qstrcmp(pVerbo, "abastece") == 0)
            args << QStringLiteral("--ms") << QStringLiteral("0");
        return vServidor.FFcmsimAteOFim(args);
    }
};

TEST_P(ConsoleAuditoria, LitresThatLeftAPumpWithoutAFuelingAreLoggedAndReported)
{
    const TCasoAuditoria& caso = GetParam();
    const QString entre = QString::fromLatin1(caso.vEntre);
    PAbreConfigurado();
    ASSERT_EQ(FFcmsim("abastece", "1,5"), 0);
    ASSERT_TRUE(FEspera([&] { return FAbastecimentos() == 1; }));
    if (entre == QLatin1String("perde")) {
        ASSERT_EQ(FFcmsim("perde", "2,5"), 0);
    }
    if (entre == QLatin1String("config")) {
        ASSERT_EQ(vJanela->FcmMaster()->FcmConfigTotalizador(1, 2, 3, 500), 1) << "set back to 0,5 L at the pump";
    }
    int linhas = 2;
    QByteArray atrasado;
    if (entre == QLatin1String("atrasado")) {
        // The bases' file as written after the first fueling; the second
        // one's write is then lost to a crash.
        const QString arquivo = vPosto.Diretorio().FCaminho(TEncerrantes::FNomeArquivo());
        ASSERT_TRUE(FEspera([&] { return QFile::exists(arquivo); }));
        atrasado = vPosto.Diretorio().FLe(TEncerrantes::FNomeArquivo());
        ASSERT_EQ(FFcmsim("abastece", "1,2"), 0);
        ASSERT_TRUE(FEspera([&] { return FAbastecimentos() == 2; }));
        ++linhas;
    }
    if (entre == QLatin1String("reinicio") || entre == QLatin1String("queda") || entre == QLatin1String("atrasado")) {
        vJanela.reset();
        if (!atrasado.isEmpty())
            vPosto.Diretorio().PGrava(TEncerrantes::FNomeArquivo(), atrasado);
        // No bases' file (a first start, or one deleted by hand): the first
        // fueling of each nozzle only takes its base, and the report alone
        // shows what left the pump before it.
        if (entre == QLatin1String("queda")) {
            ASSERT_TRUE(QFile::remove(vPosto.Diretorio().FCaminho(TEncerrantes::FNomeArquivo())));
        }
        ASSERT_EQ(FFcmsim("perde", "2,5"), 0);
        PAbreConfigurado();
    }
    ASSERT_EQ(FFcmsim("abastece", "1"), 0);
    ASSERT_TRUE(FEspera([&] { return FAbastecimentos() == linhas && vPosto.FLog().contains("Litragem: 1,000"); }))
        << FVisivel(vPosto.FLog());
    const auto FEncerrantes = [&] {
        return FEntradas().filter(QRegularExpression(QStringLiteral("^(Litros saíram|Nova base)"))).join(QLatin1Char('|'));
    };
    if (*caso.vNoLog) {
        EXPECT_TRUE(FEspera([&] { return FEncerrantes().contains(QString::fromUtf8(caso.vNoLog)); }))
            << FEncerrantes().toStdString();
    } else {
        QTest::qWait(500);
    }
    EXPECT_EQ(FEncerrantes().count(QLatin1Char('|')) + (FEncerrantes().isEmpty() ? 0 : 1), *caso.vNoLog ? 1 : 0)
        << FEncerrantes().toStdString();

    const std::vector<TBicoAuditado> relatorio =
        TAuditoriaEncerrantes::FAudita(vPosto.Conexao(), QDate::currentDate(), QDate::currentDate());
    ASSERT_EQ(relatorio.size(), 1u);
    EXPECT_EQ(relatorio[0].vFaltas.size(), static_cast<size_t>(caso.vFaltasNoRelatorio));
    EXPECT_EQ(relatorio[0].FLitrosEmFalta(), caso.vFaltasNoRelatorio ? 2500 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    Console, ConsoleAuditoria,
    ::testing::Values(
        TCasoAuditoria{"NoGapWithTheStartTotaliser", 1, "", "", 0},
        TCasoAuditoria{"NoGapWithTheEndOnly", 0, "", "", 0},
        TCasoAuditoria{"LostFuelingWithTheStartTotaliser", 1, "perde", "Litros sem abastecimento: 2,500", 1},
        TCasoAuditoria{"LostFuelingWithTheEndOnly", 0, "perde", "Litros sem abastecimento: 2,500", 1},
        TCasoAuditoria{"TotaliserSetByTheOperator", 1, "config",
                       "Nova base do encerrante: totalizador configurado pelo operador.", 0},
        TCasoAuditoria{"LostFuelingAcrossARestart", 1, "reinicio", "Litros sem abastecimento: 2,500", 1},
        TCasoAuditoria{"AFirstStartTakesTheBaseFromTheFirstFueling", 0, "queda", "", 1},
        TCasoAuditoria{"LostFuelingAcrossACrashThatKeptAnOlderBasesFile", 1, "atrasado",
                       "Litros sem abastecimento: 2,500", 1}),
    [](const auto& pInfo) { return std::string(pInfo.param.vNome); });
