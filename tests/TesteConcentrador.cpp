#include "ApoioConcentrador.h"
#include "UDiretorioPrograma.h"
#include "UErro.h"
#include "UProtocoloFcm.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTest>

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <cstring>
#include <thread>
#include <unistd.h>

namespace {

struct TEventoVisto {
    int vNumero;
    QList<int> vArgs;
    bool operator==(const TEventoVisto&) const = default;
};

void PrintTo(const TEventoVisto& e, std::ostream* os)
{
    *os << "evento " << e.vNumero << " (";
    for (const int a : e.vArgs)
        *os << a << ' ';
    *os << ')';
}

class Concentrador : public ::testing::Test {
protected:
    void SetUp() override
    {
        vFcm.OnMudancaDeEstado = [this](QObject*, quint8 sl, quint8 bo, quint8 bi, quint8 estado) {
            vEventos.push_back({1, {sl, bo, bi, estado}});
            vDentroDeChamada = vDentroDeChamada || vEmChamada;
        };
        vFcm.OnAbasteceu = [this](QObject*, quint8 sl, quint8 bo, quint8 bi, int vol, int total, int ppl, quint8 cdv,
                                  quint8 cdt, quint8 cdp) {
            vEventos.push_back({5, {sl, bo, bi, vol, total, ppl, cdv, cdt, cdp}});
        };
        vFcm.OnAbasteceu2 = [this](QObject*, quint8 sl, quint8 bo, quint8 bi, int vol, int ti, int tf, int ppl,
                                   quint8 cdv, quint8 cdti, quint8 cdtf, quint8 cdp, int hms, int dma) {
            vEventos.push_back({11, {sl, bo, bi, vol, ti, tf, ppl, cdv, cdti, cdtf, cdp, hms > 0, dma > 0}});
        };
        vFcm.OnAbasteceuOff = [this](QObject*, quint8 sl, quint8 bo, quint8 bi, int vol, int total, int ppl,
                                     quint8 cdv, quint8 cdt, quint8 cdp, int hms, int dma) {
            vEventos.push_back({8, {sl, bo, bi, vol, total, ppl, cdv, cdt, cdp, hms >= 0, dma > 0}});
        };
    }

    // Events of one kind seen so far.
    std::vector<TEventoVisto> FEventos(int pNumero) const
    {
        std::vector<TEventoVisto> vistos;
        for (const auto& e : vEventos) {
            if (e.vNumero == pNumero)
                vistos.push_back(e);
        }
        return vistos;
    }


    TDiretorioTeste vDir;
    TServidorTeste vServidor; // destroyed before the directory
    TFcmMaster vFcm;
    std::vector<TEventoVisto> vEventos;
    bool vEmChamada = false;
    bool vDentroDeChamada = false;
};

TEST_F(Concentrador, EveryMethodReachesTheServerWithItsArgumentsAndAnswersItsCode)
{
    EXPECT_FALSE(TServidorTeste::FEmExecucao()) << "nothing runs before the first call";
    const std::vector<int> dispositivos{257};
    EXPECT_EQ(vFcm.FcmOpen(dispositivos[0]), 1) << "a byte keeps its low eight bits";
    EXPECT_EQ(vFcm.FcmOpen(1), -12);
    EXPECT_EQ(vFcm.FcmSetNumSlaves(1), 1);
    EXPECT_EQ(vFcm.FcmConfigConcentradorFcm(1, 4, 10, 1), 1);
    EXPECT_EQ(vFcm.FcmConfiguraSlave(1, 4), 1);
    EXPECT_EQ(vFcm.FcmTrocaPreco(1, 2, 3, 5499, 3), 1);
    EXPECT_EQ(vFcm.FcmAutorizaAbastecimento(1, 2, 3), 1);
    quint8 cd = 3;
    EXPECT_EQ(vFcm.FcmProgramaPrePago(1, 2, 3, 2500, cd), 1);
    EXPECT_EQ(cd, 3);
    EXPECT_EQ(vFcm.FcmTravaBomba(1, 2), 1);
    EXPECT_EQ(vFcm.FcmDesTravaBomba(1, 2), 1);
    EXPECT_EQ(vFcm.FcmSolicitaPrecoPorLitro(1, 2, 3), 1);
    EXPECT_EQ(vFcm.FcmSolicitaUltimoAbastecimento(1, 2, 3), 1);
    EXPECT_EQ(vFcm.FcmSolicitaTotalizador(1, 2, 3), 1);
    EXPECT_EQ(vFcm.FcmSolicitaVersaoSlave(1), 1);
    EXPECT_EQ(vFcm.FcmVersaoDll(), QStringLiteral("5.0.0.0"));
    EXPECT_EQ(vFcm.FcmVersaoFcmMaster(), 2015);
    EXPECT_EQ(vFcm.FcmConfigTotalizador(1, 2, 3, -123456789), 1);
    EXPECT_EQ(vFcm.FcmObtemStatusBomba(1, 2), 1);
    EXPECT_EQ(vFcm.FcmCmdEspecial(1, 2, 3, 7, -1, 2147483647, 0), 1);
    EXPECT_EQ(vFcm.FcmClose().toInt(), 1);
    EXPECT_EQ(vServidor.FChamadas(), (QStringList{
                                         QStringLiteral("FcmOpen(1) = 1"),
                                         QStringLiteral("FcmOpen(1) = -12"),
                                         QStringLiteral("FcmSetNumSlaves(1) = 1"),
                                         QStringLiteral("FcmConfigConcentradorFcm(1, 4, 10, 1) = 1"),
                                         QStringLiteral("FcmConfiguraSlave(1, 4) = 1"),
                                         QStringLiteral("FcmTrocaPreco(1, 2, 3, 5499, 3) = 1"),
                                         QStringLiteral("FcmAutorizaAbastecimento(1, 2, 3) = 1"),
                                         QStringLiteral("FcmProgramaPrePago(1, 2, 3, 2500, 3) = 1"),
                                         QStringLiteral("FcmTravaBomba(1, 2) = 1"),
                                         QStringLiteral("FcmDesTravaBomba(1, 2) = 1"),
                                         QStringLiteral("FcmSolicitaPrecoPorLitro(1, 2, 3) = 1"),
                                         QStringLiteral("FcmSolicitaUltimoAbastecimento(1, 2, 3) = 1"),
                                         QStringLiteral("FcmSolicitaTotalizador(1, 2, 3) = 1"),
                                         QStringLiteral("FcmSolicitaVersaoSlave(1) = 1"),
                                         QStringLiteral("FcmVersaoDll() = 5.0.0.0"),
                                         QStringLiteral("FcmVersaoFcmMaster() = 2015"),
                                         QStringLiteral("FcmConfigTotalizador(1, 2, 3, -123456789) = 1"),
                                         QStringLiteral("FcmObtemStatusBomba(1, 2) = 1"),
                                         QStringLiteral("FcmCmdEspecial(1, 2, 3, 7, -1, 2147483647, 0) = 1"),
                                         QStringLiteral("FcmClose() = 1"),
                                     }));
}

TEST_F(Concentrador, BadParametersAnswerTheComponentsCodes)
{
    ASSERT_EQ(vFcm.FcmConfigConcentradorFcm(1, 4, 11, 2), 1);
    const struct {
        std::function<int()> chamada;
        int codigo;
        const char* caso;
    } casos[] = {
        {[&] { return vFcm.FcmConfigConcentradorFcm(0, 4, 10, 1); }, -1, "slave 0"},
        {[&] { return vFcm.FcmConfigConcentradorFcm(2, 17, 10, 1); }, -2, "17 pumps"},
        {[&] { return vFcm.FcmConfigConcentradorFcm(2, 4, 13, 1); }, -5, "mode 13"},
        {[&] { return vFcm.FcmConfigConcentradorFcm(2, 4, 10, 3); }, -6, "message type 3"},
        {[&] { return vFcm.FcmAutorizaAbastecimento(3, 1, 1); }, -7, "slave not configured"},
        {[&] { return vFcm.FcmAutorizaAbastecimento(1, 5, 1); }, -2, "pump 5 of 4"},
        {[&] { return vFcm.FcmAutorizaAbastecimento(1, 1, 5); }, -3, "nozzle 5"},
        {[&] { return vFcm.FcmTrocaPreco(1, 1, 1, 5000, 4); }, -4, "4 decimals"},
        {[&] {
             quint8 cd = 0;
             return vFcm.FcmProgramaPrePago(1, 1, 1, 5000, cd);
         },
         -4, "0 decimals"},
        {[&] { return vFcm.FcmTravaBomba(1, 0); }, -2, "pump 0"},
        {[&] { return vFcm.FcmSolicitaVersaoSlave(9); }, -7, "version of a slave not configured"},
    };
    for (const auto& caso : casos)
        EXPECT_EQ(caso.chamada(), caso.codigo) << caso.caso;
}

TEST_F(Concentrador, DeviceBelongsToItsConnectionUntilItCloses)
{
    ASSERT_EQ(vFcm.FcmOpen(2), 1);
    {
        TFcmMaster outro(nullptr, false);
        EXPECT_EQ(outro.FcmOpen(2), -12);
        EXPECT_EQ(outro.FcmOpen(3), 1);
    }
    TFcmMaster terceiro(nullptr, false);
    EXPECT_EQ(terceiro.FcmOpen(3), 1) << "a connection that ended released its device";
    vFcm.FcmClose();
    EXPECT_EQ(terceiro.FcmOpen(2), 1);
}

TEST_F(Concentrador, EventsArriveInOrderAndNeverInsideACall)
{
    ASSERT_EQ(vFcm.FcmConfigConcentradorFcm(1, 2, 10, 1), 1);
    // The server sends the four states before its answer: they wait for it.
    vEmChamada = true;
    ASSERT_EQ(vFcm.FcmObtemStatusBomba(1, 2), 1);
    vEmChamada = false;
    EXPECT_TRUE(vEventos.empty());
    for (int i = 0; i < 20; ++i)
        vServidor.PEvento({1, 2, 1, 1, i});
    ASSERT_TRUE(FEspera([&] { return vEventos.size() == 24; })) << vEventos.size();
    EXPECT_FALSE(vDentroDeChamada);
    for (int bi = 1; bi <= 4; ++bi)
        EXPECT_EQ(vEventos[static_cast<size_t>(bi - 1)], (TEventoVisto{1, {1, 2, bi, 4}}));
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(vEventos[static_cast<size_t>(4 + i)], (TEventoVisto{1, {2, 1, 1, i}}));
}

TEST_F(Concentrador, EventArgumentsAreCutToTheirTypesAndUnknownEventsIgnored)
{
    vFcm.FcmVersaoFcmMaster();
    vServidor.PEvento({1, 257, -1, 2, 300});
    vServidor.PEvento({12, 1, 2});
    vServidor.PEvento({2, 1, 1, 1, 5});            // no callback registered
    vServidor.PEvento({5, 1, 2, 3, 4294967297LL}); // missing arguments are 0
    ASSERT_TRUE(FEspera([&] { return vEventos.size() == 2; }));
    EXPECT_EQ(vEventos[0], (TEventoVisto{1, {1, 255, 2, 44}}));
    EXPECT_EQ(vEventos[1], (TEventoVisto{5, {1, 2, 3, 1, 0, 0, 0, 0, 0}}));
}

TEST_F(Concentrador, CallbackThatFailsDoesNotStopTheEventsBehindIt)
{
    int vistos = 0;
    vFcm.OnErroDLL = [&](QObject*, quint8 erro) {
        ++vistos;
        if (erro == 20)
            throw EErro(QStringLiteral("falha de teste"));
    };
    vFcm.FcmVersaoFcmMaster();
    vServidor.PEvento({7, 20});
    vServidor.PEvento({7, 21});
    EXPECT_TRUE(FEspera([&] { return vistos == 2; }));
}

TEST_F(Concentrador, ServerAlreadyRunningIsAttachedAndAMissingOneIsStarted)
{
    QProcess servidor;
    servidor.start(TFcmMaster::FPrograma(), {QStringLiteral("--dir"), TDiretorioPrograma::FCaminho()});
    ASSERT_TRUE(servidor.waitForStarted());
    ASSERT_TRUE(FEspera([] { return TServidorTeste::FEmExecucao(); }));
    EXPECT_EQ(vFcm.FcmVersaoFcmMaster(), 2015);
    // The connection goes with the server that was running: it was that one.
    servidor.kill();
    servidor.waitForFinished();
    EXPECT_THROW(vFcm.FcmVersaoFcmMaster(), EErro);
    EXPECT_EQ(vFcm.FcmVersaoFcmMaster(), 2015) << "the next call starts a server of its own";
}

TEST_F(Concentrador, MissingServerProgramRaisesAClearError)
{
    const QString programa = TFcmMaster::FPrograma();
    TFcmMaster::PDefinePrograma(vDir.FCaminho(QStringLiteral("nao-existe/FcmMasterX")));
    try {
        vFcm.FcmOpen(1);
        ADD_FAILURE() << "no error";
    } catch (const EErro& erro) {
        EXPECT_TRUE(erro.Mensagem().contains(QStringLiteral("não foi encontrado"))) << erro.what();
    }
    TFcmMaster::PDefinePrograma(programa);
    EXPECT_EQ(vFcm.FcmOpen(1), 1);
}

// Fuelings kept while nobody listened come right behind the answer to the
// subscription, and after a lost server the binding subscribes again by
// itself: both without any call or traffic to prompt them.
TEST_F(Concentrador, OffLineFuelingsArriveOnASubscriptionMadeAgainWithoutACall)
{
    ASSERT_EQ(vFcm.FcmVersaoFcmMaster(), 2015);
    EXPECT_THROW(vServidor.FControle(QStringLiteral("derruba"), {}, 2000), EErro);
    ASSERT_TRUE(FEspera([] { return !TServidorTeste::FEmExecucao(); }));
    {
        TFcmMaster outro(nullptr, false);
        ASSERT_EQ(outro.FcmOpen(1), 1);
        ASSERT_EQ(outro.FcmConfigConcentradorFcm(1, 2, 10, 1), 1);
    }
    for (const int litros : {1100, 1200})
        ASSERT_TRUE(vServidor.FControle(QStringLiteral("abastece"), {1, 2, 1, litros, 0}, 10000).value(QStringLiteral("offline")).toBool());
    ASSERT_TRUE(FEspera([&] { return FEventos(8).size() == 2; }, 5000)) << vEventos.size();
    EXPECT_EQ(FEventos(8)[0].vArgs[3], 1100);
    EXPECT_EQ(FEventos(8)[1].vArgs[3], 1200);
}

TEST_F(Concentrador, ServerKilledInTheMiddleOfACallRaisesAndTheNextCallWorks)
{
    ASSERT_EQ(vFcm.FcmOpen(1), 1);
    vServidor.FControle(QStringLiteral("silencio"), {QStringLiteral("FcmSetNumSlaves")});
    const QByteArray socket = ProtocoloFcm::FCaminhoSocket(TDiretorioPrograma::FCaminho()).toLocal8Bit();
    std::thread derruba([socket] {
        ::usleep(300 * 1000);
        TServidorTeste::PDerrubaDeOutraThread(socket);
    });
    QElapsedTimer relogio;
    relogio.start();
    EXPECT_THROW(vFcm.FcmSetNumSlaves(1), EErro);
    derruba.join();
    EXPECT_LT(relogio.elapsed(), TFcmMaster::cTempoLimiteMs) << "a lost connection is seen at once";
    // The binding starts a new server by itself and opens its device again
    // there, without a call from the program.
    const auto FAbertoDeNovo = [&] {
        try {
            return vServidor.FChamadas().contains(QStringLiteral("FcmOpen(1) = 1"));
        } catch (const EErro&) {
            return false; // the old server is still dying
        }
    };
    ASSERT_TRUE(FEspera(FAbertoDeNovo, 5000));
    EXPECT_EQ(vFcm.FcmVersaoFcmMaster(), 2015) << "the next call works";
}

TEST_F(Concentrador, UnansweredCallRaisesAfterTheTimeLimit)
{
    vFcm.FcmVersaoFcmMaster();
    vServidor.FControle(QStringLiteral("silencio"), {QStringLiteral("FcmVersaoFcmMaster")});
    QElapsedTimer relogio;
    relogio.start();
    try {
        vFcm.FcmVersaoFcmMaster();
        ADD_FAILURE() << "no error";
    } catch (const EErro& erro) {
        EXPECT_TRUE(erro.Mensagem().contains(QStringLiteral("não respondeu"))) << erro.what();
    }
    EXPECT_GE(relogio.elapsed(), TFcmMaster::cTempoLimiteMs - 100);
    EXPECT_EQ(vFcm.FcmVersaoFcmMaster(), 2015);
}

// A server that answers everything with the same bytes.
class TServidorFalso {
public:
    TServidorFalso(const QString& pCaminho, QByteArray pResposta) : vResposta(std::move(pResposta))
    {
        vEscuta = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un endereco{};
        endereco.sun_family = AF_UNIX;
        const QByteArray caminho = pCaminho.toLocal8Bit();
        std::memcpy(endereco.sun_path, caminho.constData(), static_cast<size_t>(caminho.size()));
        ::bind(vEscuta, reinterpret_cast<sockaddr*>(&endereco), sizeof endereco);
        ::listen(vEscuta, 4);
        vThread = std::thread([this] { PServe(); });
    }
    ~TServidorFalso()
    {
        ::shutdown(vEscuta, SHUT_RDWR);
        ::close(vEscuta);
        vThread.join();
    }

private:
    void PServe()
    {
        for (;;) {
            const int conexao = ::accept(vEscuta, nullptr, nullptr);
            if (conexao < 0)
                return;
            char buffer[4096];
            if (::read(conexao, buffer, sizeof buffer) > 0)
                (void)!::write(conexao, vResposta.constData(), static_cast<size_t>(vResposta.size()));
            ::usleep(200 * 1000);
            ::close(conexao);
        }
    }

    int vEscuta = -1;
    QByteArray vResposta;
    std::thread vThread;
};

TEST_F(Concentrador, GarbageOnTheSocketRaisesAndTheNextCallWorks)
{
    const QString caminho = ProtocoloFcm::FCaminhoSocket(TDiretorioPrograma::FCaminho());
    for (const QByteArray& lixo : {QByteArray("isto não é json\n"), QByteArray(70 * 1024, 'x')}) {
        {
            const TServidorFalso falso(caminho, lixo);
            try {
                TFcmMaster fcm(nullptr, false);
                fcm.FcmVersaoFcmMaster();
                ADD_FAILURE() << "no error";
            } catch (const EErro& erro) {
                EXPECT_TRUE(erro.Mensagem().contains(QStringLiteral("inválida"))) << erro.what();
            }
        }
        ::unlink(caminho.toLocal8Bit().constData());
    }
    EXPECT_EQ(vFcm.FcmVersaoFcmMaster(), 2015);
}

} // namespace
