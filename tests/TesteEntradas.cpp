// Input the program does not control: settings files written by hand or by
// other tools, station data entered by other programs, and concentrator
// events with every argument at its extremes. None may crash the program or
// write a wrong row.
#include "ApoioBanco.h"
#include "ApoioConcentrador.h"
#include "ApoioTela.h"
#include "UConfiguracaoRegional.h"
#include "UDiarioAbastecimentos.h"
#include "UTarnex.h"

#include <QJsonArray>
#include <QTableView>
#include <QTest>

#include <gtest/gtest.h>

#include <limits>

namespace {

class Entradas : public ::testing::Test {
protected:
    void SetUp() override
    {
        TConfiguracaoRegional::PDefine(QLatin1Char(','), QLatin1Char('/'), QLatin1Char(':'));
        vPosto.PCadastraTanque(QStringLiteral("01-02"), QStringLiteral("000002"));
        vPosto.PCadastraBico(QStringLiteral("010203"), QStringLiteral("05-02"), QStringLiteral("01-02"));
        vOperador.PRespondeSempreOk();
    }
    void TearDown() override
    {
        vJanela.reset();
        TConfiguracaoRegional::PCarregaDoSistema();
    }

    void PAbre(const QByteArray& pIni = "[FCM1]\r\nNUMBOMBAS=4\r\n")
    {
        vJanela.reset();
        vPosto.Diretorio().PGrava(QStringLiteral("ConcentradorTarnex.ini"), pIni);
        vJanela = std::make_unique<TFrmTarnex>();
        vJanela->show();
    }
    QString FLinhas(const QString& pSql) { return vPosto.FLinhas(pSql); }
    int FAbastecimentos() { return FLinhas(QStringLiteral("select count(*) from mvabast")).toInt(); }
    // Lets the events already sent reach the window.
    static void PAssenta() { QTest::qWait(300); }

    TPostoTeste vPosto;
    TServidorTeste vServidor;
    TOperador vOperador;
    std::unique_ptr<TFrmTarnex> vJanela;
};

// What the window asks of the component at start-up, for a settings file.
TEST_F(Entradas, OddConnectorSettingsFilesStartWithTheDefaults)
{
    const auto FChamadasNaPartida = [&](const QByteArray& pIni) {
        const qsizetype antes = vServidor.FChamadas().size();
        PAbre(pIni);
        return vServidor.FChamadas().mid(antes).join(QLatin1Char(' '));
    };
    const QString padrao = FChamadasNaPartida({});
    ASSERT_TRUE(padrao.contains(QStringLiteral("FcmOpen(1)"))) << padrao.toStdString();
    static const char lixo[] = "\x00\xff\xfe[FCM1\x80]\n=\n==\n[\n]\nNUMBOMBAS\n\x01";
    const struct {
        QByteArray ini;
        const char* caso;
    } padroes[] = {
        {QByteArray(lixo, sizeof lixo - 1), "binary garbage"},
        {"[FCM1]\r\nNUMBOMBAS=" + QByteArray(300000, '7') + "\r\n", "a very long line"},
        {"[FCM1]\r\nNUMBOMBAS\r\nMODOOPERACAO=\r\n", "keys without values"},
        {"[FCM1]\r\nNUMBOMBAS=quatro\r\nMODOOPERACAO=1O\r\n", "values that are not numbers"},
        {"[FCM1]\r\nNUMBOMBAS=99999999999999999999\r\nMODOOPERACAO=-2147483649\r\n", "huge numbers"},
        {"[FCM1]\r\nNUMBOMBAS=x\r\n[FCM1]\r\nNUMBOMBAS=3\r\n", "a duplicate section: only the first counts"},
    };
    for (const auto& caso : padroes)
        EXPECT_EQ(FChamadasNaPartida(caso.ini), padrao) << caso.caso;

    const QString tres = FChamadasNaPartida("[FCM1]\r\nNUMBOMBAS=3\r\n");
    EXPECT_NE(tres, padrao);
    EXPECT_EQ(FChamadasNaPartida("\xEF\xBB\xBF[FCM1]\r\nNUMBOMBAS=3\r\nNUMBOMBAS=5\r\n"), tres)
        << "a UTF-8 byte order mark hides nothing, and the first of duplicate keys counts";
    EXPECT_TRUE(vJanela->isVisible());
    EXPECT_TRUE(vOperador.Lidas().isEmpty()) << vOperador.Lidas().join(QLatin1Char('\n')).toStdString();
}

// Rows other programs of the station wrote, with NULLs and codes that do not
// follow the rules: each fueling is stored with what can be read, or
// dropped when its nozzle cannot be found, and the program goes on.
TEST_F(Entradas, StationDataWithNullsAndOddCodes)
{
    const struct {
        const char* preparo;
        const char* esperado; // sequence|codbico|codprod|combustivel of the stored row, or empty: not stored
    } casos[] = {
        {"delete from paraposto", "0|05-02|000002|GASOLINA COMUM"},
        {"insert into paraposto values (3); insert into paraposto values (9)", "9|05-02|000002|GASOLINA COMUM"},
        {"insert into paraposto values (null)", "0|05-02|000002|GASOLINA COMUM"},
        {"update tanques set codprod = null", "0|05-02||GASOLINA COMUM"},
        {"update bombas set codbico = null, codempresa = null, descricao = null, precovenda = null, statusbico = null",
         "0||000002|"},
        {"update bombas set codtanque = null", "0|||"},
        {"update bombas set codconcentrador = '0102'", ""},
        {"update bombas set codconcentrador = '01020304'", ""},
        {"update bombas set codconcentrador = 'AB0203'", ""},
        {"update bombas set codconcentrador = null", ""},
    };
    PAbre();
    for (const auto& caso : casos) {
        vPosto.PExecuta(QStringLiteral("delete from paraposto"));
        vPosto.PExecuta(QStringLiteral("delete from mvabast"));
        vPosto.PExecuta(QStringLiteral("delete from bombas"));
        vPosto.PExecuta(QStringLiteral("update tanques set codprod = '000002'"));
        vPosto.PCadastraBico(QStringLiteral("010203"), QStringLiteral("05-02"), QStringLiteral("01-02"));
        for (const QString& sql : QString::fromLatin1(caso.preparo).split(QStringLiteral("; ")))
            vPosto.PExecuta(sql);
        vServidor.PEvento({5, 1, 2, 3, 1500, 100000, 5799, 3, 3, 3});
        vServidor.PEvento({1, 1, 2, 3, 5});
        PAssenta();
        EXPECT_EQ(FLinhas(QStringLiteral("select sequencia, codbico, codprod, combustivel from mvabast")),
                  QString::fromLatin1(caso.esperado))
            << caso.preparo;
        EXPECT_TRUE(TDiarioAbastecimentos(TDiarioAbastecimentos::FCaminhoPadrao()).FPendentes().empty()) << caso.preparo;
    }
    EXPECT_TRUE(vOperador.Lidas().isEmpty()) << vOperador.Lidas().join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(vJanela->isVisible());
}

// A price the call cannot carry is refused with a clear error instead of
// reaching the pump as another number.
TEST_F(Entradas, PriceTooLargeForTheCallIsAnErrorNotAPrice)
{
    PAbre();
    vPosto.PExecuta(QStringLiteral("update bombas set precovenda = 99999999999.999"));
    TOperador operador;
    operador.PDepois([](QWidget* janela) {
        auto* botao = janela->findChild<QPushButton*>(QStringLiteral("btnAlterar"));
        botao->click();
    });
    vJanela->findChild<QPushButton*>(QStringLiteral("btnAlterarPreco"))->click();
    for (const QString& chamada : vServidor.FChamadas())
        EXPECT_FALSE(chamada.startsWith(QStringLiteral("FcmTrocaPreco"))) << chamada.toStdString();
    ASSERT_EQ(vOperador.Lidas().size() + operador.Lidas().size(), 1);
    const QString lida = (vOperador.Lidas() + operador.Lidas()).at(0);
    EXPECT_TRUE(lida.contains(QStringLiteral("99999999999,999")) && lida.contains(QStringLiteral("010203")))
        << lida.toStdString();
}

// Every event with its arguments at the ends of their ranges, as the
// component may deliver them: nothing crashes, nothing is stored from a
// nozzle that is not registered, and a registered one gets what its
// numbers say.
TEST_F(Entradas, EventsWithArgumentsAtTheirExtremes)
{
    PAbre();
    constexpr qint64 cMaior = std::numeric_limits<qint32>::max();
    constexpr qint64 cMenor = std::numeric_limits<qint32>::min();
    const QList<qint64> extremos{0, 1, 255, 256, -1, cMaior, cMenor, cMaior + 1};
    for (int evento = 0; evento <= 12; ++evento) {
        for (const qint64 valor : extremos) {
            QJsonArray args;
            for (int i = 0; i < 14; ++i)
                args.append(valor);
            vServidor.PEvento(QJsonArray{evento} + args);
        }
    }
    vServidor.PEvento({99, 1, 2, 3});
    vServidor.PEvento({5}); // no arguments at all
    PAssenta();
    EXPECT_EQ(FAbastecimentos(), 0) << "slave, pump and nozzle 0, 1, 255... match no registered nozzle";

    // The registered nozzle with odd numbers: the decimal counts outside 1
    // to 3 read as 0, negative and extreme readings as they are.
    const struct {
        QList<qint64> args;
        const char* linha; // litragem|precounit|valor|encerrantefinal
    } casos[] = {
        {{1, 2, 3, 1500, 100000, 5799, 0, 4, 255}, "0|0|0|0"},
        {{1, 2, 3, -1500, -100000, 5799, 3, 3, 3}, "-1.5|5.799|-8.7|-100"},
        {{1, 2, 3, cMaior, cMaior, cMaior, 3, 2, 1}, "2147483.647|214748364.7|461168601413242|21474836.47"},
    };
    for (const auto& caso : casos) {
        vPosto.PExecuta(QStringLiteral("delete from mvabast"));
        QJsonArray args{5};
        for (const qint64 a : caso.args)
            args.append(a);
        vServidor.PEvento(args);
        PAssenta();
        EXPECT_EQ(FLinhas(QStringLiteral("select litragem, precounit, valor, encerrantefinal from mvabast")),
                  QString::fromLatin1(caso.linha));
    }
    EXPECT_TRUE(vJanela->isVisible());
}

// Events keep coming in bursts while the operator has a message open: all
// are stored, in order, and the message is still there to be read.
TEST_F(Entradas, BurstWhileAMessageIsOpenIsStoredInOrder)
{
    PAbre();
    TOperador operador;
    bool aberta = false;
    operador.PDepois([&](QWidget* janela) {
        aberta = true;
        for (int i = 1; i <= 40; ++i)
            vServidor.PEvento({5, 1, 2, 3, i * 100, 100000 + i, 5799, 3, 3, 3});
        FEspera([&] { return FAbastecimentos() == 40; }, 30000);
        janela->findChild<QPushButton*>(QStringLiteral("BtnOk"))->click();
    });
    vJanela->findChild<QPushButton*>(QStringLiteral("btnFcmOpen2"))->click(); // an information message
    EXPECT_TRUE(aberta);
    EXPECT_EQ(FAbastecimentos(), 40);
    EXPECT_EQ(FLinhas(QStringLiteral("select count(*) from mvabast a join mvabast b on b.id = a.id + 1 "
                                     "where b.litragem = a.litragem + 0.1")),
              QStringLiteral("39"))
        << "stored in the order they came";
}

} // namespace
