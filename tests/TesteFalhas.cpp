// The station under faults: a Firebird server that stops and starts again,
// rows locked by other programs of the station, a component server that
// dies, the program itself killed in the middle of a capture. Each case
// checks that every fueling reported ends up stored once, with no two rows
// numbered alike.
#include "ApoioBanco.h"
#include "ApoioConcentrador.h"
#include "ApoioServidorFirebird.h"
#include "ApoioTela.h"
#include "UArquivoIni.h"
#include "UConfiguracaoRegional.h"
#include "UDiarioAbastecimentos.h"
#include "UDiretorioPrograma.h"
#include "UErro.h"
#include "UEstacao.h"
#include "UGenerico.h"
#include "UInstanciaUnica.h"
#include "UParametros.h"
#include "UProtocoloFcm.h"
#include "UTarnex.h"

#include <QDate>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLocalServer>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <cerrno>
#include <random>
#include <set>
#include <csignal>
#include <sys/resource.h>
#include <cstring>
#include <sys/mount.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

// Another program of the station holding a row lock: isql runs the
// statement, keeps its transaction open for a while, then ends it.
class TTravaIsql {
public:
    TTravaIsql(const TServidorFirebird& pServidor, const QString& pBanco, const QString& pSql, int pSegundos,
               const char* pFim = "COMMIT")
    {
        vProcesso.setProcessChannelMode(QProcess::MergedChannels);
        vProcesso.start(QStringLiteral("isql-fb"), {QStringLiteral("-q"), QStringLiteral("-user"), pServidor.Usuario(),
                                                    QStringLiteral("-password"), pServidor.Senha(), pBanco});
        vProcesso.write(QStringLiteral("SET AUTODDL OFF;\n%1\nSHELL echo travado;\nSHELL sleep %2;\n%3;\nEXIT;\n")
                            .arg(pSql)
                            .arg(pSegundos)
                            .arg(QLatin1String(pFim))
                            .toUtf8());
        vProcesso.closeWriteChannel();
    }
    ~TTravaIsql()
    {
        if (!vProcesso.waitForFinished(20000))
            vProcesso.kill();
    }
    // True once the lock is held.
    bool FTravado()
    {
        QElapsedTimer relogio;
        relogio.start();
        while (!vSaida.contains("travado") && relogio.elapsed() < 10000) {
            vProcesso.waitForReadyRead(200);
            vSaida += vProcesso.readAll();
        }
        return vSaida.contains("travado");
    }
    bool FTerminou()
    {
        vProcesso.waitForFinished(20000);
        vSaida += vProcesso.readAll();
        return vProcesso.exitStatus() == QProcess::NormalExit && vProcesso.exitCode() == 0;
    }
    const QByteArray& Saida() const { return vSaida; }

private:
    QProcess vProcesso;
    QByteArray vSaida;
};

QJsonArray FAbastecimento(int pLitros, int pBico = 3)
{
    return {5, 1, 2, pBico, pLitros, 100000 + pLitros, 5799, 3, 3, 3};
}

// The station on a Firebird server of the test's own.
class Falhas : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!vServidorFb.Impedimento().isEmpty())
            GTEST_SKIP() << vServidorFb.Impedimento().toStdString();
        ASSERT_TRUE(vServidorFb.FInicia());
        vPosto = std::make_unique<TPostoTeste>([this](const QString& pArquivo) { return vServidorFb.FLocal(pArquivo); },
                                               vServidorFb.Usuario(), vServidorFb.Senha());
        vPosto->PExecuta(QStringLiteral("insert into paraposto (sequenciaabast) values (7)"));
        vPosto->PCadastraTanque(QStringLiteral("01-02"), QStringLiteral("000002"));
        vPosto->PCadastraBico(QStringLiteral("010203"), QStringLiteral("05-02"), QStringLiteral("01-02"));
        vPosto->PCadastraBico(QStringLiteral("010201"), QStringLiteral("05-01"), QStringLiteral("01-02"));
        TConfiguracaoRegional::PDefine(QLatin1Char(','), QLatin1Char('/'), QLatin1Char(':'));
        vOperador.PRespondeSempreOk();
    }
    void TearDown() override
    {
        vJanela.reset();
        TConfiguracaoRegional::PCarregaDoSistema();
    }

    void PAbre(const QByteArray& pIni = "[FCM1]\r\nNUMBOMBAS=4\r\n")
    {
        vPosto->Diretorio().PGrava(QStringLiteral("ConcentradorTarnex.ini"), pIni);
        vJanela = std::make_unique<TFrmTarnex>();
        vJanela->show();
    }

    QString FBanco() const { return vServidorFb.FLocal(vPosto->FCaminhoBanco()); }
    QString FLinhas(const QString& pSql) { return vPosto->FLinhas(pSql); }
    int FAbastecimentos()
    {
        try {
            return vPosto->FConsulta(QStringLiteral("select count(*) n from mvabast")).FInteiro(0, QStringLiteral("n"));
        } catch (const EErroBanco&) {
            return -1; // the server is down
        }
    }
    // Pairs (sequence, Id) stored more than once, and fuelings stored more than once.
    QString FRepetidos()
    {
        return FLinhas(QStringLiteral("select 'numero', sequencia, id from mvabast group by sequencia, id "
                                      "having count(*) > 1 union all select 'litros', litragem, count(*) from mvabast "
                                      "group by litragem having count(*) > 1"));
    }
    size_t FPendentes() const { return TDiarioAbastecimentos(TDiarioAbastecimentos::FCaminhoPadrao()).FPendentes().size(); }
    // What the simulator reports, while a server may be dying or starting.
    bool FEstadoDiz(const QString& pTexto)
    {
        try {
            return vServidor.FControle(QStringLiteral("estado")).value(QStringLiteral("resultado")).toString()
                .contains(pTexto);
        } catch (const EErro&) {
            return false;
        }
    }
    // Thousandths of a litre of every fueling stored.
    std::set<int> FMililitrosGravados()
    {
        std::set<int> gravados;
        for (const QString& litros : FLinhas(QStringLiteral("select litragem from mvabast")).split(QLatin1Char('\n')))
            gravados.insert(qRound(litros.toDouble() * 1000));
        return gravados;
    }
    int FIdNoArquivo() const
    {
        return TArquivoIni(TParametros::FCaminhoArquivo()).FLeInteiro(QStringLiteral("ABASTECIMENTO"), QStringLiteral("ID"), -1);
    }

    TServidorFirebird vServidorFb;
    std::unique_ptr<TPostoTeste> vPosto;
    TServidorTeste vServidor;
    TOperador vOperador;
    std::unique_ptr<TFrmTarnex> vJanela;
};

// A server that stops answering without closing anything: neither a
// statement nor an attach may wait for it much past the bound, and the
// connection works again, by itself, once the server answers.
TEST_F(Falhas, ConnectionToAServerThatStopsAnsweringGivesUpWithinTheBoundAndComesBack)
{
    TConexaoFirebird conexao;
    conexao.PConecta(FBanco(), vServidorFb.Usuario(), vServidorFb.Senha(), QString());
    const QString consulta = QStringLiteral("select count(*) n from bombas");
    ASSERT_EQ(conexao.FConsulta(consulta).FInteiro(0, QStringLiteral("n")), 2);
    const qint64 limite = TConexaoFirebird::cLimiteSegundos * 1000LL;
    vServidorFb.PSuspende();
    for (const char* passo : {"statement on the stopped server", "attach to the stopped server"}) {
        QElapsedTimer relogio;
        relogio.start();
        try {
            conexao.FConsulta(consulta);
            ADD_FAILURE() << passo << " answered";
        } catch (const EErroBanco& erro) {
            EXPECT_TRUE(erro.ConexaoPerdida()) << passo << ": " << erro.Mensagem().toStdString();
        }
        EXPECT_LT(relogio.elapsed(), limite + 3000) << passo;
    }
    vServidorFb.PRetoma();
    EXPECT_EQ(conexao.FConsulta(consulta).FInteiro(0, QStringLiteral("n")), 2);
}

TEST_F(Falhas, FuelingsReportedWhileTheServerIsDownAreStoredOnceWhenItReturns)
{
    PAbre();
    constexpr int cTotal = 30;
    for (int i = 0; i < cTotal; ++i) {
        if (i == 10)
            vServidorFb.PDerruba();
        if (i == 20) {
            ASSERT_TRUE(vServidorFb.FInicia());
        }
        vServidor.PEvento(FAbastecimento(1000 + i, i % 2 ? 1 : 3));
        QTest::qWait(100);
    }
    ASSERT_TRUE(FEspera([&] { return FAbastecimentos() == cTotal; }, 30000)) << FAbastecimentos();
    QTest::qWait(300);
    EXPECT_EQ(FAbastecimentos(), cTotal);
    EXPECT_EQ(FRepetidos(), QString());
    EXPECT_EQ(FLinhas(QStringLiteral("select min(id), max(id), count(distinct id) from mvabast")),
              QStringLiteral("1|30|30")) << "no Id was used up by a fueling that could not be stored";
    EXPECT_EQ(FPendentes(), 0u);
    EXPECT_TRUE(vJanela->isVisible());
    ASSERT_FALSE(vOperador.Lidas().isEmpty()) << "the first failure is shown";
    EXPECT_EQ(vOperador.Lidas().size(), 1) << vOperador.Lidas().join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(QString::fromLatin1(vPosto->FLog()).contains(QStringLiteral("Abastecimento não gravado; fica pendente para nova tentativa.")));
}

TEST_F(Falhas, StateChangeOnANozzleRowLockedByAnotherProgramLandsOnceTheLockEnds)
{
    PAbre();
    TTravaIsql trava(vServidorFb, FBanco(), QStringLiteral("update bombas set statusbico = 'X' where codconcentrador = '010203';"), 3);
    ASSERT_TRUE(trava.FTravado()) << trava.Saida().toStdString();
    vServidor.PEvento({1, 1, 2, 3, 5}); // fueling: A
    vServidor.PEvento({1, 1, 2, 1, 1}); // the other nozzle, not locked: P
    ASSERT_TRUE(FEspera([&] { return FLinhas(QStringLiteral("select statusbico from bombas where codconcentrador = '010201'")) == QStringLiteral("P"); }, 15000));
    EXPECT_TRUE(trava.FTerminou()) << trava.Saida().toStdString();
    ASSERT_TRUE(FEspera([&] { return FLinhas(QStringLiteral("select statusbico from bombas where codconcentrador = '010203'")) == QStringLiteral("A"); }, 10000))
        << "the state came after the other program's change, not lost to it";
    ASSERT_TRUE(FEspera([&] { return vPosto->FLog().contains("Status do bico gravado depois da falha"); }));
    const QString log = QString::fromLatin1(vPosto->FLog());
    EXPECT_EQ(log.count(QStringLiteral("alterar o status do bico")), 1) << "one entry for the first failed attempt\n" << FVisivel(vPosto->FLog());
    EXPECT_TRUE(log.contains(QStringLiteral("Bicos: 010203 A"))) << FVisivel(vPosto->FLog());
}

// The forecourt in mode B (the computer authorises) with automatic
// authorisation, its pumps run by fcmsim, while the database misbehaves:
// every fueling must still be authorised at once, and the window's event
// loop never stall.
class Independencia : public Falhas {
protected:
    void SetUp() override
    {
        Falhas::SetUp();
        if (IsSkipped())
            return;
        for (const char* bomba : {"01", "03", "04"}) {
            vPosto->PCadastraBico(QStringLiteral("01") + QLatin1String(bomba) + QStringLiteral("01"),
                                  QLatin1String(bomba) + QStringLiteral("-01"), QStringLiteral("01-02"));
        }
        PAbre("[FCM1]\r\nNUMBOMBAS=4\r\nMODOOPERACAO=1\r\n[ABASTECIMENTO]\r\nAUTORIZAAUTO=1\r\n");
        ASSERT_TRUE(FEspera([&] {
            return vServidor.FChamadas().join(QLatin1Char('\n')).contains(QStringLiteral("FcmConfigConcentradorFcm(1, 4, 11"));
        })) << vServidor.FChamadas().join(QLatin1Char('\n')).toStdString();
        // The bench's watch: a 10 ms timer that notes the longest gap.
        QObject::connect(&vVigia, &QTimer::timeout, [this] {
            vMaiorEspera = std::max(vMaiorEspera, vRelogio.restart() - 10);
        });
        vRelogio.start();
        vVigia.start(10);
    }
    // One fueling cycle on nozzle 1 of the pump, as the pump runs it: fcmsim
    // ends with 0 once the fueling went out, 1 when it was not authorised.
    QProcess* FAbastece(int pBomba, int pMililitros)
    {
        return vServidor.FFcmsim({QStringLiteral("abastece"), QStringLiteral("1"), QString::number(pBomba),
                                  QStringLiteral("1"), QString::number(pMililitros / 1000.0, 'f', 3),
                                  QStringLiteral("--ms"), QStringLiteral("300")});
    }
    // Four fuelings on the pumps the test leaves alone, a second apart.
    void PAbasteceQuatro(int pBase)
    {
        std::vector<QProcess*> ciclos;
        const int bombas[] = {1, 3, 4, 1};
        for (int i = 0; i < 4; ++i) {
            if (i == 3) { // the same nozzle again, once its first cycle is over
                ASSERT_TRUE(FEspera([&] { return ciclos[0]->state() == QProcess::NotRunning; }, 15000));
            }
            ciclos.push_back(FAbastece(bombas[i], pBase + i));
            QTest::qWait(1000);
        }
        for (QProcess* ciclo : ciclos) {
            ASSERT_TRUE(FEspera([&] { return ciclo->state() == QProcess::NotRunning; }, 20000));
            EXPECT_EQ(ciclo->exitCode(), 0) << "authorised at once: " << ciclo->readAll().toStdString();
        }
    }
    QString FLetra(const QString& pCodigo)
    {
        try {
            return FLinhas(QStringLiteral("select statusbico from bombas where codconcentrador = '%1'").arg(pCodigo));
        } catch (const EErroBanco& erro) {
            return QStringLiteral("(banco fora: %1)").arg(erro.Mensagem()); // shut down; the next look attaches again
        }
    }
    void PZeraVigia()
    {
        vMaiorEspera = 0;
        vRelogio.restart();
    }
    void PGfix(const QStringList& pArgs)
    {
        QProcess gfix;
        gfix.setProcessChannelMode(QProcess::MergedChannels);
        gfix.start(QStringLiteral("gfix"), pArgs + QStringList{QStringLiteral("-user"), vServidorFb.Usuario(),
                                                               QStringLiteral("-password"), vServidorFb.Senha(), FBanco()});
        ASSERT_TRUE(gfix.waitForFinished(30000));
        ASSERT_EQ(gfix.exitCode(), 0) << gfix.readAll().toStdString();
    }

    QTimer vVigia;
    QElapsedTimer vRelogio;
    qint64 vMaiorEspera = 0;
};

TEST_F(Independencia, ARowLockedByAPointOfSaleHoldsBackNoPumpAndItsNewestLetterLandsAfterTheLock)
{
    TTravaIsql trava(vServidorFb, FBanco(), QStringLiteral("update bombas set statusbico = 'X' where codconcentrador = '010203';"), 20);
    ASSERT_TRUE(trava.FTravado()) << trava.Saida().toStdString();
    QElapsedTimer travado;
    travado.start();
    PZeraVigia(); // from here on the test itself waits only in the event loop
    vServidor.PEvento({1, 1, 2, 3, 5}); // A, while the row is locked
    vServidor.PEvento({1, 1, 2, 3, 4}); // then L: only this one must land
    PAbasteceQuatro(1000);
    ASSERT_TRUE(FEspera([&] { return FAbastecimentos() == 4; }, 10000)) << FAbastecimentos();
    const qint64 maiorEspera = vMaiorEspera;
    ASSERT_LT(travado.elapsed(), 19000) << "the fuelings ran while the row was locked";
    EXPECT_TRUE(trava.FTerminou()) << trava.Saida().toStdString();
    ASSERT_TRUE(FEspera([&] { return FLetra(QStringLiteral("010203")) == QStringLiteral("L"); }, 10000))
        << FLetra(QStringLiteral("010203")).toStdString();
    EXPECT_EQ(FRepetidos(), QString());
    EXPECT_LT(maiorEspera, 200) << "the window's event loop stalled";
    ASSERT_TRUE(FEspera([&] { return vPosto->FLog().contains("Status do bico gravado depois da falha"); }))
        << FVisivel(vPosto->FLog());
    EXPECT_EQ(QString::fromLatin1(vPosto->FLog()).count(QStringLiteral("alterar o status do bico")), 1)
        << "one entry for the first failed attempt, none per retry\n" << FVisivel(vPosto->FLog());
    std::printf("[ bloqueio  ] 4 abastecimentos, %d linhas, maior espera %lld ms\n", FAbastecimentos(),
                static_cast<long long>(maiorEspera));
}

TEST_F(Independencia, AServerThatStopsAnsweringHoldsBackNoPumpAndEveryFuelingLandsOnceItAnswers)
{
    vServidorFb.PSuspende();
    QElapsedTimer parado;
    parado.start();
    PAbasteceQuatro(2000);
    ASSERT_TRUE(FEspera([&] { return FPendentes() == 4; })) << "every fueling journaled: " << FPendentes();
    while (parado.elapsed() < 30000)
        QTest::qWait(200);
    vServidorFb.PRetoma();
    QElapsedTimer volta;
    volta.start();
    ASSERT_TRUE(FEspera([&] { return FAbastecimentos() == 4; }, 20000)) << FAbastecimentos();
    const qint64 ateGravar = volta.elapsed();
    ASSERT_TRUE(FEspera([&] { return FPendentes() == 0; }));
    EXPECT_EQ(FRepetidos(), QString());
    EXPECT_EQ(FLinhas(QStringLiteral("select count(distinct id) from mvabast")), QStringLiteral("4"));
    EXPECT_LT(vMaiorEspera, 200) << "the window's event loop stalled";
    EXPECT_LE(vOperador.Lidas().size(), 1) << vOperador.Lidas().join(QLatin1Char('\n')).toStdString();
    std::printf("[ suspenso  ] 4 abastecimentos, %d linhas, gravados %lld ms depois do SIGCONT, maior espera %lld ms\n",
                FAbastecimentos(), static_cast<long long>(ateGravar), static_cast<long long>(vMaiorEspera));
}

TEST_F(Independencia, LettersThatArriveWhileTheDatabaseIsShutDownAreTheNewestOnceItIsBack)
{
    vServidor.PEvento({1, 1, 2, 3, 5}); // 010203 fuelling, before the shutdown
    ASSERT_TRUE(FEspera([&] { return FLetra(QStringLiteral("010203")) == QStringLiteral("A"); }));
    PGfix({QStringLiteral("-shut"), QStringLiteral("full"), QStringLiteral("-force"), QStringLiteral("0")});
    PZeraVigia(); // gfix held the test's own thread
    vServidor.PEvento({1, 1, 2, 3, 4}); // 010203 hung up: L
    vServidor.PEvento({1, 1, 4, 1, 7}); // pump 4 locked: B on every nozzle of it
    vServidor.PEvento({1, 1, 2, 1, 1}); // 010201: P, then F
    vServidor.PEvento({1, 1, 2, 1, 99});
    QTest::qWait(3000);
    const qint64 maiorEspera = vMaiorEspera;
    PGfix({QStringLiteral("-online")});
    const std::pair<const char*, const char*> esperados[] = {
        {"010203", "L"}, {"010401", "B"}, {"010201", "F"}};
    for (const auto& [codigo, letra] : esperados) {
        EXPECT_TRUE(FEspera([&] { return FLetra(QLatin1String(codigo)) == QLatin1String(letra); }, 15000))
            << codigo << ": " << FLetra(QLatin1String(codigo)).toStdString();
    }
    EXPECT_LT(maiorEspera, 200) << "the window's event loop stalled";
    EXPECT_TRUE(FEspera([&] { return vPosto->FLog().contains("Status do bico gravado depois da falha"); }))
        << FVisivel(vPosto->FLog());
}

TEST_F(Falhas, SequenceLockedAtTheWrapIsRaisedOnceTheLockEnds)
{
    PAbre("[FCM1]\r\nNUMBOMBAS=4\r\n[ABASTECIMENTO]\r\nID=9999\r\n");
    {
        TTravaIsql trava(vServidorFb, FBanco(), QStringLiteral("update paraposto set sequenciaabast = sequenciaabast;"), 2);
        ASSERT_TRUE(trava.FTravado()) << trava.Saida().toStdString();
        vServidor.PEvento(FAbastecimento(1500));
        ASSERT_TRUE(FEspera([&] { return FIdNoArquivo() == 1; }, 15000));
        EXPECT_TRUE(trava.FTerminou()) << trava.Saida().toStdString();
    }
    vServidor.PEvento(FAbastecimento(2500));
    ASSERT_TRUE(FEspera([&] { return FAbastecimentos() == 2; }));
    EXPECT_EQ(FLinhas(QStringLiteral("select sequencia, id from mvabast order by sequencia, id")), QStringLiteral("7|9999\n8|1"));
    EXPECT_EQ(FLinhas(QStringLiteral("select sequenciaabast from paraposto")), QStringLiteral("8"));
    EXPECT_TRUE(vOperador.Lidas().isEmpty()) << vOperador.Lidas().join(QLatin1Char('\n')).toStdString();
}

// A rise that fails for good (here a rule of the database refuses it) must
// not start the Id again in the old sequence: the numbering waits, the
// fuelings wait in the journal, and all go in once the rise works.
TEST_F(Falhas, SequenceThatCannotBeRaisedHoldsTheNumberingInsteadOfRepeatingIt)
{
    PAbre("[FCM1]\r\nNUMBOMBAS=4\r\n[ABASTECIMENTO]\r\nID=9999\r\n");
    vPosto->PExecuta(QStringLiteral("alter table paraposto add constraint ck_teste check (sequenciaabast < 8)"));
    vServidor.PEvento(FAbastecimento(1000));
    ASSERT_TRUE(FEspera([&] { return vOperador.Lidas().size() == 1; }));
    EXPECT_TRUE(vOperador.Lidas().at(0).contains(QStringLiteral("alterar a sequência do abastecimento"))) << vOperador.Lidas().at(0).toStdString();
    vServidor.PEvento(FAbastecimento(2000));
    QTest::qWait(500);
    EXPECT_EQ(FLinhas(QStringLiteral("select sequencia, id from mvabast")), QStringLiteral("7|9999"));
    EXPECT_EQ(FIdNoArquivo(), 9999);
    EXPECT_EQ(FPendentes(), 2u);

    vPosto->PExecuta(QStringLiteral("alter table paraposto drop constraint ck_teste"));
    vServidor.PEvento(FAbastecimento(3000));
    ASSERT_TRUE(FEspera([&] { return FAbastecimentos() == 3; }));
    QTest::qWait(300);
    EXPECT_EQ(FLinhas(QStringLiteral("select sequencia, id, litragem from mvabast order by sequencia, id")),
              QStringLiteral("7|9999|1\n8|1|2\n8|2|3"));
    EXPECT_EQ(FPendentes(), 0u);
    EXPECT_EQ(vOperador.Lidas().size(), 1) << "later failures of the same run are only logged";
    // The later failure came from the first fueling again, stored already:
    // its log entry must not call it unstored.
    const QByteArray log = vPosto->FLog();
    const QString texto = QString::fromLatin1(log);
    EXPECT_TRUE(texto.contains(QStringLiteral("Abastecimento gravado; a numeração fica pendente para nova tentativa.")))
        << FVisivel(log);
    EXPECT_FALSE(texto.contains(QStringLiteral("Abastecimento não gravado"))) << FVisivel(log);
}

TEST_F(Falhas, ComponentKilledInACallThenItsOffLineFuelingsAreAllStored)
{
    PAbre();
    ASSERT_TRUE(FEspera([&] { return vServidor.FChamadas().size() >= 3; }));
    vServidor.FControle(QStringLiteral("silencio"), {QStringLiteral("FcmVersaoFcmMaster")});
    const QByteArray socket = ProtocoloFcm::FCaminhoSocket(TDiretorioPrograma::FCaminho()).toLocal8Bit();
    std::thread derruba([socket] {
        ::usleep(300 * 1000);
        TServidorTeste::PDerrubaDeOutraThread(socket);
    });
    vJanela->findChild<QPushButton*>(QStringLiteral("btnVersao"))->click(); // waits for an answer
    derruba.join();
    ASSERT_EQ(vOperador.Lidas().size(), 1);
    EXPECT_TRUE(vOperador.Lidas().at(0).contains(QStringLiteral("FcmVersaoFcmMaster"))) << vOperador.Lidas().at(0).toStdString();
    ASSERT_TRUE(FEspera([] { return !TServidorTeste::FEmExecucao(); }));

    // The concentrator goes on fueling with nobody listening: a new server
    // keeps those fuelings off-line.
    {
        TFcmMaster configura(nullptr, false);
        ASSERT_EQ(configura.FcmOpen(1), 1);
        ASSERT_EQ(configura.FcmSetNumSlaves(1), 1);
        ASSERT_EQ(configura.FcmConfigConcentradorFcm(1, 4, 10, 1), 1);
    }
    for (int litros : {1100, 1200, 1300}) {
        const QJsonObject resposta = vServidor.FControle(QStringLiteral("abastece"), {1, 2, 3, litros, 0}, 10000);
        ASSERT_TRUE(resposta.value(QStringLiteral("offline")).toBool()) << QJsonDocument(resposta).toJson().toStdString();
    }
    ASSERT_TRUE(FEspera([&] { return FAbastecimentos() == 3; }, 15000)) << "the window subscribes again by itself";
    vServidor.PEvento(FAbastecimento(1400));
    ASSERT_TRUE(FEspera([&] { return FAbastecimentos() == 4; }));
    EXPECT_EQ(FLinhas(QStringLiteral("select litragem from mvabast order by id")), QStringLiteral("1.1\n1.2\n1.3\n1.4"));
    EXPECT_EQ(FRepetidos(), QString());
}

// The connector as a station runs it: its own executable in its own
// directory, with the component server beside it.
class TProgramaTeste {
public:
    TProgramaTeste()
    {
        for (const char* nome : {"ConcentradorTarnex", "FcmMasterX"}) {
            const QString destino = TDiretorioPrograma::FArquivo(QLatin1String(nome));
            if (!QFile::exists(destino))
                QFile::copy(TDiretorioPrograma::FDiretorioExecutavel() + QLatin1String(nome), destino);
        }
    }
    ~TProgramaTeste() { PMata(); }
    void PInicia()
    {
        QProcessEnvironment ambiente = QProcessEnvironment::systemEnvironment();
        ambiente.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        ambiente.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("detect_leaks=0"));
        vProcesso.setProcessEnvironment(ambiente);
        vProcesso.setProcessChannelMode(QProcess::ForwardedChannels);
        vProcesso.start(TDiretorioPrograma::FArquivo(QStringLiteral("ConcentradorTarnex")), {});
        vProcesso.waitForStarted();
    }
    void PMata()
    {
        if (vProcesso.state() == QProcess::NotRunning)
            return;
        vProcesso.kill();
        vProcesso.waitForFinished(5000);
    }
    bool FEmExecucao() const { return vProcesso.state() == QProcess::Running; }
    void PSinal(int pSinal) const { ::kill(static_cast<pid_t>(vProcesso.processId()), pSinal); }
    // True when the program ended by itself, with exit code 0, within pMs.
    bool FTerminouBem(int pMs)
    {
        const bool terminou = vProcesso.state() == QProcess::NotRunning || vProcesso.waitForFinished(pMs);
        return terminou && vProcesso.exitStatus() == QProcess::NormalExit &&
               vProcesso.exitCode() == 0;
    }

private:
    QProcess vProcesso;
};

TEST_F(Falhas, ProgramKilledInTheMiddleOfACaptureStoresItOnceWhenStartedAgain)
{
    vPosto->Diretorio().PGrava(QStringLiteral("ConcentradorTarnex.ini"), "[FCM1]\r\nNUMBOMBAS=4\r\n[ABASTECIMENTO]\r\nID=9999\r\n");
    TProgramaTeste programa;
    programa.PInicia();
    ASSERT_TRUE(FEspera([&] { return TServidorTeste::FEmExecucao() && vServidor.FChamadas().size() >= 3; }, 20000));
    {
        // The capture stops at the sequence rise, after its insert, while
        // another program holds paraposto; it dies there.
        TTravaIsql trava(vServidorFb, FBanco(), QStringLiteral("update paraposto set sequenciaabast = sequenciaabast;"), 4);
        ASSERT_TRUE(trava.FTravado()) << trava.Saida().toStdString();
        vServidor.PEvento(FAbastecimento(1500));
        ASSERT_TRUE(FEspera([&] { return FAbastecimentos() == 1; }, 15000));
        QTest::qWait(300);
        ASSERT_TRUE(programa.FEmExecucao());
        programa.PMata();
        EXPECT_TRUE(trava.FTerminou()) << trava.Saida().toStdString();
    }
    EXPECT_EQ(FIdNoArquivo(), 9999) << "the numbering had not moved on";
    EXPECT_EQ(FPendentes(), 1u);

    programa.PInicia();
    ASSERT_TRUE(FEspera([&] { return FIdNoArquivo() == 1; }, 20000))
        << "the journal finishes the capture at start-up\n"
        << FVisivel(vPosto->FLog()) << "\n"
        << FVisivel(vPosto->Diretorio().FLe(QStringLiteral("ConcentradorTarnex.jrn")));
    ASSERT_TRUE(FEspera([&] { return vServidor.FChamadas().size() >= 6; }, 20000));
    vServidor.PEvento(FAbastecimento(2500));
    ASSERT_TRUE(FEspera([&] { return FAbastecimentos() == 2; }));
    EXPECT_EQ(FLinhas(QStringLiteral("select sequencia, id, litragem from mvabast order by sequencia, id")),
              QStringLiteral("7|9999|1.5\n8|1|2.5"));
    EXPECT_EQ(FLinhas(QStringLiteral("select sequenciaabast from paraposto")), QStringLiteral("8"));
    // The row is in before the capture ends in the journal: the journal is
    // read once the program has ended, never while it writes it.
    programa.PSinal(SIGTERM);
    ASSERT_TRUE(programa.FTerminouBem(10000));
    EXPECT_EQ(FPendentes(), 0u);
}


// The station's first promise under fire: fuelings run through the real
// component server while the connector is killed at random moments (often
// right behind a fueling message, inside its capture) and started again,
// and the server is killed once. Every fueling the concentrator reported
// ends up stored once, with its litres, and nothing is left pending.
TEST_F(Falhas, EveryFuelingIsStoredOnceWhileTheConnectorAndTheServerAreKilled)
{
    vPosto->PCadastraBico(QStringLiteral("010101"), QStringLiteral("01-01"), QStringLiteral("01-02"));
    vPosto->PCadastraBico(QStringLiteral("010301"), QStringLiteral("03-01"), QStringLiteral("01-02"));
    vPosto->PCadastraBico(QStringLiteral("010401"), QStringLiteral("04-01"), QStringLiteral("01-02"));
    vPosto->Diretorio().PGrava(QStringLiteral("ConcentradorTarnex.ini"),
                               "[FCM1]\r\nNUMBOMBAS=4\r\nMODOOPERACAO=1\r\n[ABASTECIMENTO]\r\nAUTORIZAAUTO=1\r\n");
    const auto semente = static_cast<unsigned>(QDateTime::currentMSecsSinceEpoch());
    std::mt19937 sorteio(semente);
    TProgramaTeste programa;
    programa.PInicia();
    ASSERT_TRUE(FEspera([&] { return TServidorTeste::FEmExecucao() && vServidor.FChamadas().size() >= 3; }, 20000));

    const auto FConectado = [&] { return FEstadoDiz(QStringLiteral("Dispositivo 1: aberto")); };
    constexpr int cAbastecimentos = 120;
    std::set<int> entregues; // thousandths of a litre, one value per fueling
    int mortes = 0;
    int mortesLogoApos = 0;
    for (int i = 1; i <= cAbastecimentos; ++i) {
        if (i == cAbastecimentos / 2)
            vServidor.FFcmsimAteOFim({QStringLiteral("derruba")});
        const int mililitros = 1000 + i;
        const QStringList args{QStringLiteral("abastece"), QStringLiteral("1"), QString::number(1 + i % 4),
                               QStringLiteral("1"), QString::number(mililitros / 1000.0, 'f', 3),
                               QStringLiteral("--ms"), QStringLiteral("0")};
        if (vServidor.FFcmsimAteOFim(args) == 0)
            entregues.insert(mililitros);
        if (sorteio() % 10 != 0)
            continue;
        if (sorteio() % 2 == 0)
            ++mortesLogoApos; // the fueling message has just gone out: inside its capture
        else
            QThread::msleep(sorteio() % 40);
        programa.PMata();
        ++mortes;
        programa.PInicia();
        // Up again before the next fueling, so that the kills hit captures
        // and not only a program still starting.
        ASSERT_TRUE(FEspera(FConectado, 20000)) << "semente " << semente;
    }
    const auto FNaoConfirmados = [&] { return FEstadoDiz(QStringLiteral("Abastecimentos não confirmados: 0")); };
    EXPECT_TRUE(FEspera([&] { return FNaoConfirmados() && FAbastecimentos() >= static_cast<int>(entregues.size()); },
                        30000))
        << "semente " << semente << ", " << FAbastecimentos() << " de " << entregues.size();
    QTest::qWait(300);
    programa.PSinal(SIGTERM);
    ASSERT_TRUE(programa.FTerminouBem(10000));

    EXPECT_EQ(FRepetidos(), QString()) << "semente " << semente;
    const std::set<int> gravados = FMililitrosGravados();
    std::vector<int> perdidos;
    std::set_difference(entregues.begin(), entregues.end(), gravados.begin(), gravados.end(), std::back_inserter(perdidos));
    EXPECT_TRUE(perdidos.empty()) << "semente " << semente << ": " << perdidos.size() << " perdidos, o primeiro "
                                  << (perdidos.empty() ? 0 : perdidos.front());
    EXPECT_LE(gravados.size(), static_cast<size_t>(cAbastecimentos));
    EXPECT_EQ(FPendentes(), 0u);
    std::printf("[          ] %d abastecimentos, %zu entregues pelo concentrador, %zu linhas em mvabast, %d mortes do "
                "conector (%d logo após uma mensagem de abastecimento), 1 do servidor; semente %u\n",
                cAbastecimentos, entregues.size(), gravados.size(), mortes, mortesLogoApos, semente);
}

// The same promise for a backlog, which is stored in groups whose journal,
// log entries and Ids reach the disk together: the connector is killed at
// random moments of the drain, again and again, and every fueling the
// concentrator kept ends up stored once, with nothing left pending.
TEST_F(Falhas, EveryFuelingOfABacklogIsStoredOnceWhileTheConnectorIsKilledDuringTheDrain)
{
    vPosto->PCadastraBico(QStringLiteral("010101"), QStringLiteral("01-01"), QStringLiteral("01-02"));
    vPosto->PCadastraBico(QStringLiteral("010301"), QStringLiteral("03-01"), QStringLiteral("01-02"));
    vPosto->Diretorio().PGrava(QStringLiteral("ConcentradorTarnex.ini"), "[FCM1]\r\nNUMBOMBAS=4\r\n");
    const auto semente = static_cast<unsigned>(QDateTime::currentMSecsSinceEpoch());
    std::mt19937 sorteio(semente);
    // The concentrator keeps what it measures while nobody listens.
    vServidor.FFcmsimAteOFim({QStringLiteral("chama"), QStringLiteral("FcmOpen"), QStringLiteral("1")});
    vServidor.FFcmsimAteOFim({QStringLiteral("chama"), QStringLiteral("FcmConfigConcentradorFcm"), QStringLiteral("1"),
                              QStringLiteral("4"), QStringLiteral("10"), QStringLiteral("1")});
    constexpr int cAbastecimentos = 300;
    const int bicos[] = {1, 2, 3};
    for (int i = 1; i <= cAbastecimentos; ++i)
        vServidor.FControle(QStringLiteral("abastece"), {1, bicos[i % 3], 1, 1000 + i, 0}, 20000);
    TProgramaTeste programa;
    int mortes = 0;
    QStringList gravadosAoMorrer;
    // Killed while it drains, until the backlog is gone.
    for (; mortes < 12 && FAbastecimentos() < cAbastecimentos; ++mortes) {
        programa.PInicia();
        QThread::msleep(60 + sorteio() % 120);
        programa.PMata();
        gravadosAoMorrer.append(QString::number(FAbastecimentos()));
    }
    programa.PInicia();
    const auto FNaoConfirmados = [&] { return FEstadoDiz(QStringLiteral("Abastecimentos não confirmados: 0")); };
    EXPECT_TRUE(FEspera([&] { return FNaoConfirmados() && FAbastecimentos() >= cAbastecimentos; }, 30000))
        << "semente " << semente << ", " << FAbastecimentos() << " de " << cAbastecimentos;
    QTest::qWait(300);
    programa.PSinal(SIGTERM);
    ASSERT_TRUE(programa.FTerminouBem(10000));

    EXPECT_EQ(FRepetidos(), QString()) << "semente " << semente;
    const std::set<int> gravados = FMililitrosGravados();
    EXPECT_EQ(gravados.size(), static_cast<size_t>(cAbastecimentos)) << "semente " << semente;
    EXPECT_EQ(FAbastecimentos(), cAbastecimentos) << "semente " << semente;
    EXPECT_EQ(FPendentes(), 0u);
    // Each stored fueling has its one log entry.
    QFile log(TGenerico::FArquivoLog(QDate::currentDate()));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_EQ(log.readAll().count("CodBico: "), cAbastecimentos) << "semente " << semente;
    std::printf("[          ] %d abastecimentos guardados pelo concentrador, %zu gravados, %d mortes do conector "
                "durante a drenagem (gravados a cada morte: %s); semente %u\n",
                cAbastecimentos, gravados.size(), mortes, qPrintable(gravadosAoMorrer.join(QLatin1Char(' '))), semente);
}

// --- one connector per program directory ------------------------------------------

// Every file of the program directory and its bytes, but the database,
// which the server may touch on its own.
std::map<QString, QByteArray> FArquivosDoDiretorio()
{
    std::map<QString, QByteArray> arquivos;
    const QDir dir(TDiretorioPrograma::FCaminho());
    for (const QString& nome : dir.entryList(QDir::Files | QDir::Hidden)) {
        if (nome.endsWith(QLatin1String(".fdb")))
            continue;
        QFile arquivo(dir.filePath(nome));
        arquivos[nome] = arquivo.open(QIODevice::ReadOnly) ? arquivo.readAll() : QByteArrayLiteral("(ilegível)");
    }
    return arquivos;
}

// The operator starts the program again while it runs minimised: the
// second start only brings the running window to the front and ends.
TEST_F(Falhas, ASecondStartShowsTheRunningWindowAndTouchesNothing)
{
    PAbre();
    TInstanciaUnica instancia(TDiretorioPrograma::FCaminho());
    ASSERT_EQ(instancia.FReserva(), TInstanciaUnica::TResultado::Primeira);
    instancia.PAoPedirJanela([this] { vJanela->PTrazParaFrente(); });
    vJanela->showMinimized();
    ASSERT_TRUE(FEspera([&] { return vServidor.FChamadas().size() >= 3; }));
    vServidor.PEvento(FAbastecimento(1100));
    ASSERT_TRUE(FEspera([&] { return FAbastecimentos() == 1 && FPendentes() == 0; }));
    TProgramaTeste segundo;
    QTest::qWait(500);
    const auto antes = FArquivosDoDiretorio();
    const int chamadas = static_cast<int>(vServidor.FChamadas().size());

    QElapsedTimer relogio;
    relogio.start();
    segundo.PInicia();
    ASSERT_TRUE(FEspera([&] { return !segundo.FEmExecucao(); }, 20000));
    EXPECT_TRUE(segundo.FTerminouBem(0)) << "ended by itself with status 0";
    EXPECT_LT(relogio.elapsed(), 5000);
    EXPECT_TRUE(FEspera([&] { return !vJanela->isMinimized() && vJanela->isActiveWindow(); }))
        << "minimised " << vJanela->isMinimized() << ", active " << vJanela->isActiveWindow();
    EXPECT_TRUE(antes == FArquivosDoDiretorio()) << "the second start changed the program directory";
    EXPECT_EQ(vServidor.FChamadas().size(), chamadas) << "the second start called the component";

    // The running connector goes on as before.
    vServidor.PEvento(FAbastecimento(1200));
    EXPECT_TRUE(FEspera([&] { return FAbastecimentos() == 2; }));
}

// A connector that holds the directory but does not answer (stopped, or
// being killed): the second start gives up within its wait.
TEST(Instancia, AHolderThatDoesNotAnswerIsReportedAndOneThatDiedFreesTheDirectory)
{
    TDiretorioTeste dir;
    const QString diretorio = dir.FCaminho(QString());
    {
        QLocalServer mudo; // listens, never reads nor answers
        mudo.setSocketOptions(QLocalServer::AbstractNamespaceOption);
        ASSERT_TRUE(mudo.listen(TInstanciaUnica::FNome(diretorio))) << mudo.errorString().toStdString();
        TInstanciaUnica segunda(diretorio);
        QElapsedTimer relogio;
        relogio.start();
        EXPECT_EQ(segunda.FReserva(500), TInstanciaUnica::TResultado::SemResposta);
        EXPECT_LT(relogio.elapsed(), 3000);
    }
    TInstanciaUnica depois(diretorio + QStringLiteral("/./"));
    EXPECT_EQ(depois.FReserva(500), TInstanciaUnica::TResultado::Primeira) << "the same directory, spelt otherwise";
    TInstanciaUnica outra(QDir::tempPath());
    EXPECT_EQ(outra.FReserva(500), TInstanciaUnica::TResultado::Primeira) << "another directory is not held";
}

// Two starts at the same moment (the autostart entry and a double click)
// leave one connector, which stores each fueling once; killed, it does not
// keep the next start from running.
TEST_F(Falhas, StartsAtTheSameMomentLeaveOneConnectorAndAKilledOneBlocksNoStart)
{
    vPosto->PCadastraBico(QStringLiteral("010101"), QStringLiteral("01-01"), QStringLiteral("01-02"));
    vPosto->PCadastraBico(QStringLiteral("010301"), QStringLiteral("03-01"), QStringLiteral("01-02"));
    vPosto->Diretorio().PGrava(QStringLiteral("ConcentradorTarnex.ini"),
                               "[FCM1]\r\nNUMBOMBAS=4\r\nMODOOPERACAO=1\r\n[ABASTECIMENTO]\r\nAUTORIZAAUTO=1\r\n");
    TProgramaTeste primeiro;
    TProgramaTeste segundo;
    primeiro.PInicia();
    segundo.PInicia();
    ASSERT_TRUE(FEspera([&] { return primeiro.FEmExecucao() != segundo.FEmExecucao(); }, 25000))
        << "running: " << primeiro.FEmExecucao() << " " << segundo.FEmExecucao();
    TProgramaTeste& ficou = primeiro.FEmExecucao() ? primeiro : segundo;
    TProgramaTeste& saiu = primeiro.FEmExecucao() ? segundo : primeiro;
    EXPECT_TRUE(saiu.FTerminouBem(0));
    const auto FConectado = [&] { return FEstadoDiz(QStringLiteral("Dispositivo 1: aberto")); };
    ASSERT_TRUE(FEspera(FConectado, 20000));

    const auto FAbastece = [&](int pBomba, int pMililitros) {
        return vServidor.FFcmsimAteOFim({QStringLiteral("abastece"), QStringLiteral("1"), QString::number(pBomba),
                                         QStringLiteral("1"), QString::number(pMililitros / 1000.0, 'f', 3),
                                         QStringLiteral("--ms"), QStringLiteral("0")});
    };
    for (int i = 1; i <= 5; ++i)
        ASSERT_EQ(FAbastece(i % 2 ? 1 : 3, 1000 + i), 0);
    EXPECT_TRUE(FEspera([&] { return FAbastecimentos() == 5; }, 15000)) << FAbastecimentos();
    QTest::qWait(1000);
    EXPECT_EQ(FAbastecimentos(), 5) << "one row per fueling";
    EXPECT_EQ(FRepetidos(), QString());

    ficou.PMata();
    saiu.PInicia();
    ASSERT_TRUE(FEspera(FConectado, 20000)) << "the killed connector held the directory";
    EXPECT_TRUE(saiu.FEmExecucao());
    ASSERT_EQ(FAbastece(1, 1006), 0);
    EXPECT_TRUE(FEspera([&] { return FAbastecimentos() == 6; }, 15000)) << FAbastecimentos();
    saiu.PSinal(SIGTERM);
    EXPECT_TRUE(saiu.FTerminouBem(10000));
}

// Ctrl+C, a service stop or a closed session end the program as closing it
// does: it leaves at once and lets go of its database. The database client
// would otherwise shut its engine down under the open window, which then
// went on running on a dead database (and spun when the display also went).
class Termino : public ::testing::TestWithParam<int> {};

TEST_P(Termino, SignalEndsTheProgramAndFreesTheLocalDatabase)
{
    TDiretorioTeste dir;
    const QString banco = dir.FCaminho(QStringLiteral("posto.fdb"));
    TEstacao::PCriaBanco(banco, QStringLiteral("SYSDBA"), QStringLiteral("masterkey"), true);
    TEstacao::PGravaConfiguracao(dir.FCaminho(QString()), banco, QStringLiteral("SYSDBA"), QStringLiteral("masterkey"), true);
    TServidorTeste servidor;
    TProgramaTeste programa;
    programa.PInicia();
    // Start-up ends with the first concentrator's configuration.
    ASSERT_TRUE(FEspera([&] {
        return TServidorTeste::FEmExecucao() &&
               servidor.FChamadas().filter(QStringLiteral("FcmConfigConcentradorFcm(1,")).size() == 1;
    }, 20000));
    QTest::qWait(500);
    programa.PSinal(GetParam());
    EXPECT_TRUE(programa.FTerminouBem(10000));
    TConexaoFirebird conexao;
    EXPECT_NO_THROW(conexao.PConecta(banco, QStringLiteral("SYSDBA"), QStringLiteral("masterkey"), QString()))
        << "the embedded database is free for the next start";
}

INSTANTIATE_TEST_SUITE_P(Falhas, Termino, ::testing::Values(SIGINT, SIGTERM, SIGHUP), [](const auto& pInfo) {
    return std::string(pInfo.param == SIGINT ? "SIGINT" : pInfo.param == SIGTERM ? "SIGTERM" : "SIGHUP");
});

// A journal line cut short (the disk filled up part way through it) must not
// run into the next line appended: that one would be read as garbage.
TEST(Diario, LineCutShortByAFullDiskIsTakenBack)
{
    TDiretorioTeste dir;
    TDiarioAbastecimentos diario(TDiarioAbastecimentos::FCaminhoPadrao());
    const QDateTime momento(QDate(2026, 12, 10), QTime(8, 0));
    diario.FRegistra(5, {1, 2, 3}, momento);
    const QByteArray antes = dir.FLe(QStringLiteral("ConcentradorTarnex.jrn"));
    {
        // Files may grow only a few bytes: the next line is written in part.
        const auto sinal = std::signal(SIGXFSZ, SIG_IGN);
        rlimit original{};
        ::getrlimit(RLIMIT_FSIZE, &original);
        const rlimit limite{static_cast<rlim_t>(antes.size() + 5), original.rlim_max};
        ::setrlimit(RLIMIT_FSIZE, &limite);
        EXPECT_THROW(diario.FRegistra(5, {4, 5, 6}, momento), EErro);
        ::setrlimit(RLIMIT_FSIZE, &original);
        std::signal(SIGXFSZ, sinal);
    }
    EXPECT_EQ(dir.FLe(QStringLiteral("ConcentradorTarnex.jrn")), antes);
    diario.FRegistra(5, {7, 8, 9}, momento);
    const auto pendentes = TDiarioAbastecimentos(TDiarioAbastecimentos::FCaminhoPadrao()).FPendentes();
    ASSERT_EQ(pendentes.size(), 2u);
    EXPECT_EQ(pendentes[1].vArgs, (QList<qint64>{7, 8, 9}));
}

// The program's directory on a small file system of its own, which the test
// fills up or makes read-only under the running program.
class TDiretorioMontado {
public:
    TDiretorioMontado()
    {
        if (::mount("tmpfs", FCaminho().toLocal8Bit().constData(), "tmpfs", 0, cOpcoes) != 0)
            vImpedimento = QStringLiteral("cannot mount a small file system here (run as root): ") +
                           QString::fromLocal8Bit(std::strerror(errno));
    }
    ~TDiretorioMontado()
    {
        if (vImpedimento.isEmpty())
            ::umount2(FCaminho().toLocal8Bit().constData(), MNT_DETACH);
    }
    const QString& Impedimento() const { return vImpedimento; }
    QString FCaminho() const { return vDiretorio.path(); }

    void PEnche()
    {
        QFile enchimento(vDiretorio.filePath(QStringLiteral("enchimento")));
        ASSERT_TRUE(enchimento.open(QIODevice::WriteOnly));
        const QByteArray bloco(4096, 'x');
        while (enchimento.write(bloco) == bloco.size() && enchimento.flush()) {
        }
    }
    void PSomenteLeitura(bool pSim)
    {
        const unsigned long marcas = MS_REMOUNT | (pSim ? MS_RDONLY : 0);
        ASSERT_EQ(::mount("tmpfs", FCaminho().toLocal8Bit().constData(), "tmpfs", marcas, cOpcoes), 0)
            << std::strerror(errno);
    }
    void PRestaura()
    {
        PSomenteLeitura(false);
        QFile::remove(vDiretorio.filePath(QStringLiteral("enchimento")));
    }

private:
    static constexpr const char* cOpcoes = "size=512k,mode=0700";
    QTemporaryDir vDiretorio;
    QString vImpedimento;
};

enum class TFalhaDisco { Cheio, SomenteLeitura };

class Arquivos : public ::testing::TestWithParam<TFalhaDisco> {
protected:
    void SetUp() override
    {
        if (!vMontado.Impedimento().isEmpty())
            GTEST_SKIP() << vMontado.Impedimento().toStdString();
        vPosto.PExecuta(QStringLiteral("insert into paraposto (sequenciaabast) values (7)"));
        vPosto.PCadastraTanque(QStringLiteral("01-02"), QStringLiteral("000002"));
        vPosto.PCadastraBico(QStringLiteral("010203"), QStringLiteral("05-02"), QStringLiteral("01-02"));
        // The database stays where it is; the program's files move.
        QFile::copy(vPosto.Diretorio().FCaminho(QStringLiteral("ZelvioECF.ini")),
                    vMontado.FCaminho() + QStringLiteral("/ZelvioECF.ini"));
        TDiretorioPrograma::PDefine(vMontado.FCaminho());
        PGrava(QStringLiteral("ConcentradorTarnex.ini"), "[FCM1]\r\nNUMBOMBAS=4\r\n[ABASTECIMENTO]\r\nID=5\r\n");
        TConfiguracaoRegional::PDefine(QLatin1Char(','), QLatin1Char('/'), QLatin1Char(':'));
        vOperador.PRespondeSempreOk();
    }
    void TearDown() override
    {
        vJanela.reset();
        if (vMontado.Impedimento().isEmpty())
            vMontado.PRestaura();
        if (vServidor)
            vServidor.reset();
        TDiretorioPrograma::PDefine(vPosto.Diretorio().FCaminho(QString()));
        TConfiguracaoRegional::PCarregaDoSistema();
    }

    void PGrava(const QString& pNome, const QByteArray& pBytes)
    {
        QFile arquivo(TDiretorioPrograma::FArquivo(pNome));
        ASSERT_TRUE(arquivo.open(QIODevice::WriteOnly));
        arquivo.write(pBytes);
    }
    static QByteArray FLe(const QString& pNome)
    {
        QFile arquivo(TDiretorioPrograma::FArquivo(pNome));
        return arquivo.open(QIODevice::ReadOnly) ? arquivo.readAll() : QByteArray();
    }
    static QByteArray FLog() { return FLe(QFileInfo(TGenerico::FArquivoLog(QDate::currentDate())).fileName()); }
    int FAbastecimentos() { return vPosto.FConsulta(QStringLiteral("select count(*) n from mvabast")).FInteiro(0, QStringLiteral("n")); }

    TDiretorioMontado vMontado;
    TPostoTeste vPosto;
    std::unique_ptr<TServidorTeste> vServidor = std::make_unique<TServidorTeste>();
    TOperador vOperador;
    std::unique_ptr<TFrmTarnex> vJanela;
};

TEST_P(Arquivos, FullOrReadOnlyDirectoryShowsTheErrorKeepsOldFilesAndStoresEveryFueling)
{
    vJanela = std::make_unique<TFrmTarnex>();
    vJanela->show();
    vServidor->PEvento(FAbastecimento(1000));
    ASSERT_TRUE(FEspera([&] { return FAbastecimentos() == 1; }));
    QTest::qWait(300);
    const QByteArray ini = FLe(QStringLiteral("ConcentradorTarnex.ini"));
    const QByteArray log = FLog();
    ASSERT_TRUE(log.contains("Litragem: 1,000")) << FVisivel(log);

    if (GetParam() == TFalhaDisco::Cheio)
        vMontado.PEnche();
    else
        vMontado.PSomenteLeitura(true);
    vServidor->PEvento(FAbastecimento(2000));
    vServidor->PEvento(FAbastecimento(3000));
    ASSERT_TRUE(FEspera([&] { return FAbastecimentos() == 3; })) << "the database still takes the fuelings";
    QTest::qWait(300);
    EXPECT_EQ(FLe(QStringLiteral("ConcentradorTarnex.ini")), ini) << "the old settings file is intact";
    // Line ends of earlier entries become CR LF when an entry follows them.
    const auto FSemLf = [](QByteArray pTexto) { return pTexto.replace("\r\n", "\r"); };
    // An entry appended into the room the last block still has may get
    // through a full disk; nothing written before may change.
    if (GetParam() == TFalhaDisco::Cheio)
        EXPECT_TRUE(FSemLf(FLog()).startsWith(FSemLf(log))) << "the old log is intact\n" << FVisivel(FLog());
    else
        EXPECT_EQ(FLog(), log) << "the old log is intact";
    ASSERT_FALSE(vOperador.Lidas().isEmpty());
    EXPECT_TRUE(vOperador.Lidas().at(0).contains(QStringLiteral("Não foi possível gravar"))) << vOperador.Lidas().at(0).toStdString();

    vMontado.PRestaura();
    vServidor->PEvento(FAbastecimento(4000));
    ASSERT_TRUE(FEspera([&] { return FAbastecimentos() == 4; }));
    QTest::qWait(300);
    EXPECT_EQ(vPosto.FLinhas(QStringLiteral("select id, litragem from mvabast order by id")),
              QStringLiteral("5|1\n6|2\n7|3\n8|4")) << "no Id given twice while the file could not take it";
    EXPECT_EQ(TArquivoIni(TParametros::FCaminhoArquivo()).FLeInteiro(QStringLiteral("ABASTECIMENTO"), QStringLiteral("ID"), -1), 9);
    EXPECT_TRUE(FSemLf(FLog()).startsWith(FSemLf(log))) << "entries written before are kept";
    EXPECT_TRUE(FLog().contains("Litragem: 4,000"));
    EXPECT_TRUE(TDiarioAbastecimentos(TDiarioAbastecimentos::FCaminhoPadrao()).FPendentes().empty());
    EXPECT_TRUE(vJanela->isVisible());
}

INSTANTIATE_TEST_SUITE_P(Falhas, Arquivos, ::testing::Values(TFalhaDisco::Cheio, TFalhaDisco::SomenteLeitura),
                         [](const auto& pInfo) {
                             return std::string(pInfo.param == TFalhaDisco::Cheio ? "DiscoCheio" : "SomenteLeitura");
                         });

} // namespace

namespace {

// The program's directory made read-only: a bind mount of itself where
// root may write anywhere, the permissions otherwise.
class TDiretorioSomenteLeitura {
public:
    explicit TDiretorioSomenteLeitura(const QString& pCaminho) : vCaminho(pCaminho.toLocal8Bit())
    {
        if (::geteuid() != 0) {
            vPermissao = ::chmod(vCaminho.constData(), 0555) == 0;
            return;
        }
        vMontado = ::mount(vCaminho.constData(), vCaminho.constData(), nullptr, MS_BIND, nullptr) == 0 &&
                   ::mount(nullptr, vCaminho.constData(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) == 0;
    }
    ~TDiretorioSomenteLeitura()
    {
        if (vMontado)
            ::umount2(vCaminho.constData(), MNT_DETACH);
        if (vPermissao)
            ::chmod(vCaminho.constData(), 0700);
    }
    bool FPronto() const { return vMontado || vPermissao; }

private:
    QByteArray vCaminho;
    bool vMontado = false;
    bool vPermissao = false;
};

// A station PC whose program directory the operator account cannot write,
// and a database that cannot be reached: the program ends by itself, as
// after any failed attach, and says why on its error output.
TEST(Partida, FailedAttachInADirectoryThatCannotBeWrittenEndsTheProgram)
{
    TDiretorioTeste dir;
    ASSERT_TRUE(QFile::copy(TDiretorioPrograma::FDiretorioExecutavel() + QStringLiteral("ConcentradorTarnex"),
                            dir.FCaminho(QStringLiteral("ConcentradorTarnex"))));
    dir.PGrava(QStringLiteral("ZelvioECF.ini"), "[CONEXAO]\r\nCAMINHO=/nao/existe/posto.fdb\r\n");
    const TDiretorioSomenteLeitura somenteLeitura(dir.FCaminho(QString()));
    ASSERT_TRUE(somenteLeitura.FPronto()) << std::strerror(errno);
    QProcess programa;
    QProcessEnvironment ambiente = QProcessEnvironment::systemEnvironment();
    ambiente.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    ambiente.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("detect_leaks=0"));
    programa.setProcessEnvironment(ambiente);
    programa.start(dir.FCaminho(QStringLiteral("ConcentradorTarnex")), {});
    const bool terminou = programa.waitForFinished(20000);
    if (!terminou) {
        programa.kill();
        programa.waitForFinished(5000);
    }
    const QString erros = QString::fromLocal8Bit(programa.readAllStandardError());
    ASSERT_TRUE(terminou) << "still running: " << erros.toStdString();
    EXPECT_EQ(programa.exitStatus(), QProcess::NormalExit) << erros.toStdString();
    EXPECT_EQ(programa.exitCode(), 0) << erros.toStdString();
    EXPECT_TRUE(erros.contains(QStringLiteral("Ocorreu um erro ao ao tentar comunicar com o banco de dados.\nMotivo: ")))
        << erros.toStdString();
    EXPECT_TRUE(erros.contains(QStringLiteral("Não foi possível"))) << erros.toStdString();
    EXPECT_FALSE(QFile::exists(TGenerico::FArquivoLog(QDate::currentDate())));
}

} // namespace
