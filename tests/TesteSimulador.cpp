#include "ApoioConcentrador.h"
#include "UErro.h"

#include <QElapsedTimer>
#include <QTest>

#include <gtest/gtest.h>

namespace {

// The simulated concentrators as a connector sees them: fueling cycles in
// each mode and message type, and off-line fuelings after a reconnect.
class Simulador : public ::testing::Test {
protected:
    void SetUp() override
    {
        vFcm.OnMudancaDeEstado = [this](QObject*, quint8 sl, quint8 bo, quint8 bi, quint8 estado) {
            vEstados.append(estado);
            if (estado == 3 && vAutoriza)
                vFcm.FcmAutorizaAbastecimento(sl, bo, bi);
        };
        vFcm.OnAbasteceu = [this](QObject*, quint8, quint8, quint8, int vol, int total, int ppl, quint8 cdv,
                                  quint8 cdt, quint8 cdp) { vMensagens.append({5, vol, total, ppl, cdv, cdt, cdp}); };
        vFcm.OnAbasteceu2 = [this](QObject*, quint8, quint8, quint8, int vol, int ti, int tf, int ppl, quint8,
                                   quint8, quint8, quint8, int hms, int dma) {
            vMensagens.append({11, vol, ti, tf, ppl, hms >= 0 && hms < 240000, dma >= 10100});
        };
        vFcm.OnAbasteceuOff = [this](QObject*, quint8 sl, quint8 bo, quint8 bi, int vol, int total, int, quint8,
                                     quint8, quint8, int, int dma) {
            vMensagens.append({8, sl, bo, bi, vol, total, dma >= 10100});
        };
    }

    // Runs "fcmsim abastece" to its end while this thread keeps handling events.
    int FAbastece(const QStringList& pArgs, QString* pSaida = nullptr)
    {
        QProcess* fcmsim = vServidor.FFcmsim(QStringList{QStringLiteral("abastece")} + pArgs);
        QElapsedTimer relogio;
        relogio.start();
        while (fcmsim->state() != QProcess::NotRunning && relogio.elapsed() < 30000)
            QTest::qWait(10);
        QTest::qWait(50); // the fueling message travels behind fcmsim's answer
        if (pSaida)
            *pSaida = QString::fromLocal8Bit(fcmsim->readAll());
        return fcmsim->exitCode();
    }

    TDiretorioTeste vDir;
    TServidorTeste vServidor;
    TFcmMaster vFcm;
    QList<int> vEstados;
    QList<QList<int>> vMensagens;
    bool vAutoriza = true;
};

TEST_F(Simulador, ModeAFuelsOnItsOwnAndReportsTheFueling)
{
    ASSERT_EQ(vFcm.FcmConfigConcentradorFcm(1, 2, 10, 1), 1);
    ASSERT_EQ(vFcm.FcmTrocaPreco(1, 2, 1, 5799, 3), 1);
    vAutoriza = false;
    ASSERT_EQ(FAbastece({QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("1"), QStringLiteral("12,345")}), 0);
    EXPECT_EQ(vEstados, (QList<int>{5, 4}));
    EXPECT_EQ(vMensagens, (QList<QList<int>>{{5, 12345, 1235, 5799, 3, 2, 3}}));
}

TEST_F(Simulador, ModeBWaitsForTheComputersAuthorisationAndSendsStartTotaliser)
{
    ASSERT_EQ(vFcm.FcmConfigConcentradorFcm(1, 1, 11, 2), 1);
    ASSERT_EQ(FAbastece({QStringLiteral("1"), QStringLiteral("1"), QStringLiteral("1"), QStringLiteral("10")}), 0);
    ASSERT_EQ(FAbastece({QStringLiteral("1"), QStringLiteral("1"), QStringLiteral("1"), QStringLiteral("5.5")}), 0);
    EXPECT_EQ(vEstados, (QList<int>{3, 5, 4, 3, 5, 4}));
    EXPECT_EQ(vMensagens, (QList<QList<int>>{{11, 10000, 0, 1000, 5799, 1, 1}, {11, 5500, 1000, 1550, 5799, 1, 1}}));
}

TEST_F(Simulador, UnauthorisedOrRefusedFuelingsFailWithAReason)
{
    ASSERT_EQ(vFcm.FcmConfigConcentradorFcm(1, 1, 10, 1), 1);
    ASSERT_EQ(vFcm.FcmTravaBomba(1, 1), 1);
    QString saida;
    EXPECT_NE(FAbastece({QStringLiteral("1"), QStringLiteral("1"), QStringLiteral("1"), QStringLiteral("1")}, &saida), 0);
    EXPECT_TRUE(saida.contains(QStringLiteral("travada"))) << saida.toStdString();
    ASSERT_EQ(vFcm.FcmDesTravaBomba(1, 1), 1);
    EXPECT_NE(FAbastece({QStringLiteral("1"), QStringLiteral("9"), QStringLiteral("1"), QStringLiteral("1")}, &saida), 0);
    EXPECT_TRUE(saida.contains(QStringLiteral("-2"))) << saida.toStdString();
    EXPECT_EQ(vServidor.FFcmsimAteOFim({QStringLiteral("perde"), QStringLiteral("1"), QStringLiteral("9"),
                                        QStringLiteral("1"), QStringLiteral("1")}, &saida), 1);
    EXPECT_TRUE(saida.contains(QStringLiteral("-2"))) << saida.toStdString();
    EXPECT_TRUE(vMensagens.isEmpty());
}

TEST_F(Simulador, PrePaidVolumeStopsTheDelivery)
{
    ASSERT_EQ(vFcm.FcmConfigConcentradorFcm(1, 1, 11, 1), 1);
    vAutoriza = false;
    quint8 cd = 3;
    ASSERT_EQ(vFcm.FcmProgramaPrePago(1, 1, 1, 2500, cd), 1);
    ASSERT_EQ(FAbastece({QStringLiteral("1"), QStringLiteral("1"), QStringLiteral("1"), QStringLiteral("40")}), 0);
    ASSERT_EQ(vMensagens.size(), 1);
    EXPECT_EQ(vMensagens[0][1], 2500);
}

// A fueling the concentrator never reported (a pump worked in stand-alone
// mode) shows only as a gap between one reported fueling's final totaliser
// and the next one's start, which is what the connector has to go by; the
// gap must be exactly the lost litres, on that nozzle alone, and survive a
// crash of the server.
TEST_F(Simulador, LostFuelingMovesOnlyItsNozzlesMeterAndRaisesNoEvent)
{
    ASSERT_EQ(vFcm.FcmOpen(1), 1); // the binding opens it again after the crash, and says so
    ASSERT_EQ(vFcm.FcmConfigConcentradorFcm(1, 2, 10, 2), 1);
    vAutoriza = false;
    QList<QList<int>> totais;
    vFcm.OnTotalizador = [&](QObject*, quint8 sl, quint8 bo, quint8 bi, int total, quint8 cd) {
        totais.append({sl, bo, bi, total, cd});
    };
    int marcador = 0;
    vFcm.OnErroDLL = [&](QObject*, quint8 pErro) { marcador = pErro; };
    bool restabelecida = false;
    vFcm.OnConexaoRestabelecida = [&](const QString&) { restabelecida = true; };
    const auto FTotais = [&] {
        totais.clear();
        EXPECT_EQ(vFcm.FcmSolicitaTotalizador(1, 2, 1), 1);
        EXPECT_EQ(vFcm.FcmSolicitaTotalizador(1, 1, 1), 1);
        EXPECT_TRUE(FEspera([&] { return totais.size() == 2; }, 5000)) << totais.size();
        return totais;
    };
    const QList<QList<int>> depoisDaPerda{{1, 2, 1, 1725, 2}, {1, 1, 1, 400, 2}};

    ASSERT_EQ(FAbastece({QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("1"), QStringLiteral("10")}), 0);
    ASSERT_EQ(FAbastece({QStringLiteral("1"), QStringLiteral("1"), QStringLiteral("1"), QStringLiteral("4")}), 0);
    ASSERT_EQ(vMensagens, (QList<QList<int>>{{11, 10000, 0, 1000, 5799, 1, 1}, {11, 4000, 0, 400, 5799, 1, 1}}));
    vEstados.clear();
    vMensagens.clear();

    QString saida;
    ASSERT_EQ(vServidor.FFcmsimAteOFim({QStringLiteral("perde"), QStringLiteral("1"), QStringLiteral("2"),
                                        QStringLiteral("1"), QStringLiteral("7,25")}, &saida), 0)
        << saida.toStdString();
    EXPECT_TRUE(saida.contains(QStringLiteral("7.250 L"))) << saida.toStdString();
    // Events come in order: anything the lost fueling raised is in before
    // this one. A control, not a method call, so nothing prompts the server
    // to write its state before the crash below: the meter must already be
    // on disk.
    vServidor.PEvento({7, 99});
    ASSERT_TRUE(FEspera([&] { return marcador == 99; }, 5000));
    // Empty lists are checked with isEmpty: Qt compares two of them with a
    // memcmp of null pointers, which the undefined-behaviour sanitizer stops.
    EXPECT_TRUE(vEstados.isEmpty()) << vEstados.size() << " state changes; the nozzle was never heard to move";
    EXPECT_TRUE(vMensagens.isEmpty()) << vMensagens.size() << " fueling messages, on-line or off-line";

    vServidor.FFcmsimAteOFim({QStringLiteral("derruba")});
    ASSERT_TRUE(FEspera([&] { return restabelecida; }, 10000));
    const auto FEstado = [&] {
        return vServidor.FControle(QStringLiteral("estado")).value(QStringLiteral("resultado")).toString();
    };
    ASSERT_TRUE(FEspera([&] { return FEstado().contains(QStringLiteral("Abastecimentos não confirmados: 0")); }))
        << FEstado().toStdString();
    EXPECT_EQ(FTotais(), depoisDaPerda) << "the meter as the state file kept it across the crash";

    // A fueling sent again by the new server, had its acknowledgement not
    // reached the disk, would come before these.
    vMensagens.clear();
    ASSERT_EQ(FAbastece({QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("1"), QStringLiteral("5.5")}), 0);
    ASSERT_EQ(FAbastece({QStringLiteral("1"), QStringLiteral("1"), QStringLiteral("1"), QStringLiteral("1")}), 0);
    // 1-2-1 starts at 17,25, 7,25 L past the 10,00 it last reported.
    EXPECT_EQ(vMensagens, (QList<QList<int>>{{11, 5500, 1725, 2275, 5799, 1, 1}, {11, 1000, 400, 500, 5799, 1, 1}}));
}

TEST_F(Simulador, OffLineFuelingsAreKeptAndDeliveredOldestFirstToTheNextConnector)
{
    {
        TFcmMaster configura(nullptr, false);
        ASSERT_EQ(configura.FcmConfigConcentradorFcm(1, 2, 11, 1), 1);
        ASSERT_EQ(configura.FcmConfigConcentradorFcm(2, 1, 12, 1), 1);
    }
    // Nobody listens: mode B fuels on the concentrator's authority, mode C refuses.
    EXPECT_EQ(vServidor.FFcmsimAteOFim({QStringLiteral("abastece"), QStringLiteral("1"), QStringLiteral("1"),
                                        QStringLiteral("1"), QStringLiteral("3")}), 0);
    EXPECT_EQ(vServidor.FFcmsimAteOFim({QStringLiteral("abastece"), QStringLiteral("1"), QStringLiteral("2"),
                                        QStringLiteral("2"), QStringLiteral("4")}), 0);
    QString saida;
    EXPECT_NE(vServidor.FFcmsimAteOFim({QStringLiteral("abastece"), QStringLiteral("2"), QStringLiteral("1"),
                                        QStringLiteral("1"), QStringLiteral("5")}, &saida), 0);
    EXPECT_TRUE(saida.contains(QStringLiteral("Modo C"))) << saida.toStdString();

    vFcm.FcmVersaoFcmMaster(); // the first call subscribes
    QElapsedTimer relogio;
    relogio.start();
    while (vMensagens.size() < 2 && relogio.elapsed() < 5000)
        QTest::qWait(10);
    EXPECT_EQ(vMensagens, (QList<QList<int>>{{8, 1, 1, 1, 3000, 300, 1}, {8, 1, 2, 2, 4000, 400, 1}}));

    TFcmMaster outro;
    outro.FcmVersaoFcmMaster();
    QTest::qWait(200);
    EXPECT_EQ(vMensagens.size(), 2) << "each off-line fueling is delivered once";
}

TEST_F(Simulador, FuelingGivenBackComesAgainAfterAServerCrashWithTheConcentratorsAsTheyWere)
{
    ASSERT_EQ(vFcm.FcmOpen(1), 1);
    ASSERT_EQ(vFcm.FcmConfigConcentradorFcm(1, 2, 10, 1), 1);
    ASSERT_EQ(vFcm.FcmTrocaPreco(1, 2, 1, 4999, 3), 1);
    QList<qint64> entregas;
    vFcm.OnAbasteceu = [&](QObject*, quint8, quint8, quint8, int vol, int, int ppl, quint8, quint8, quint8) {
        ASSERT_TRUE(vFcm.EntregaAtual().has_value());
        entregas.append(vFcm.EntregaAtual()->vNumero);
        vMensagens.append({5, vol, ppl});
        if (entregas.size() == 1)
            vFcm.PDevolveEntregaAtual(); // as a connector that could not take it
    };
    vAutoriza = false;
    ASSERT_EQ(FAbastece({QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("1"), QStringLiteral("3")}), 0);
    ASSERT_EQ(entregas.size(), 1);

    // The server dies; the binding starts a new one, which starts from the
    // state file and delivers the fueling again under the same number.
    vServidor.FFcmsimAteOFim({QStringLiteral("derruba")});
    const auto FEspera = [](const std::function<bool()>& pCondicao) {
        QElapsedTimer relogio;
        relogio.start();
        while (!pCondicao() && relogio.elapsed() < 10000)
            QTest::qWait(20);
        return pCondicao();
    };
    ASSERT_TRUE(FEspera([&] { return entregas.size() == 2; }));
    EXPECT_EQ(entregas[1], entregas[0]);
    EXPECT_EQ(vMensagens[1], vMensagens[0]);
    EXPECT_EQ(vMensagens[0], (QList<int>{5, 3000, 4999})) << "the price sent before the crash";
    const auto FEstado = [&] { return vServidor.FControle(QStringLiteral("estado")).value(QStringLiteral("resultado")).toString(); };
    ASSERT_TRUE(FEspera([&] { return FEstado().contains(QStringLiteral("Abastecimentos não confirmados: 0")); }))
        << FEstado().toStdString();
    EXPECT_TRUE(FEstado().contains(QStringLiteral("Slave 1: modo 10, mensagem tipo 1, 2 bomba(s)"))) << FEstado().toStdString();
    EXPECT_TRUE(FEstado().contains(QStringLiteral("Dispositivo 1: aberto"))) << "opened again by the binding";

    // Acknowledged, it is not delivered again to anybody.
    TFcmMaster outro;
    outro.FcmVersaoFcmMaster();
    QTest::qWait(200);
    EXPECT_EQ(entregas.size(), 2);
}

} // namespace
