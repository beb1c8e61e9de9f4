// The nozzles' last totalisers and the check of every fueling against them:
// litres that left a pump without a fueling are told once, a meter set or
// replaced takes a new base, and the bases survive in their file.
#include "ApoioTestes.h"
#include "UConfiguracaoRegional.h"
#include "UEncerrantes.h"
#include "UGenerico.h"

#include <QDate>
#include <QFile>

#include <gtest/gtest.h>

namespace {

using TValor = TEncerrantes::TValor;

// Thousandths with three decimals, the unit of one thousandth.
TValor M(qint64 pMilesimos) { return {pMilesimos, 1}; }

QString FLog()
{
    QFile log(TGenerico::FArquivoLog(QDate::currentDate()));
    return log.open(QIODevice::ReadOnly) ? QString::fromLatin1(log.readAll()) : QString();
}

class Encerrantes : public ::testing::Test {
protected:
    void SetUp() override { TConfiguracaoRegional::PDefine(QLatin1Char(','), QLatin1Char('/'), QLatin1Char(':')); }
    void TearDown() override { TConfiguracaoRegional::PCarregaDoSistema(); }
    QString FArquivo() const { return vDir.FCaminho(TEncerrantes::FNomeArquivo()); }

    TDiretorioTeste vDir;
};

// One step on nozzle 010203 after a first fueling that ended at 1000,000.
struct TCaso {
    const char* vNome;
    char vTipo; // 'A' a fueling (start, end), 'L' a reading, 'O' set by the operator
    TValor vInicio;
    TValor vFim;
    const char* vNoLog; // what the log gains; empty: nothing
    qint64 vBase; // the base afterwards
};

const TCaso cCasos[] = {
    {"fueling that starts where the last ended", 'A', M(1000000), M(1010000), "", 1010000},
    {"start within the rounding of both readings", 'A', M(1000002), M(1010002), "", 1010002},
    {"start just past the rounding", 'A', M(1000003), M(1010003),
     "Litros sem abastecimento: 0,003", 1010003},
    {"five litres that left without a fueling", 'A', M(1005000), M(1015000),
     "Litros saíram da bomba sem abastecimento.\rBico: 010203\rEncerrante anterior: 1000,000 (fim do "
     "abastecimento anterior)\rEncerrante no início do abastecimento: 1005,000\rLitros sem abastecimento: 5,000",
     1015000},
    {"two decimals: one hundredth is rounding", 'A', {1000010, 10}, {1010010, 10}, "", 1010010},
    {"a meter set back at the pump", 'A', M(10000), M(20000),
     "Nova base do encerrante: o encerrante voltou", 20000},
    {"the same fueling taken up again", 'A', M(990000), M(1000000), "", 1000000},
    // A reading may count litres of a fueling under way or still in the
    // journal: it moves the base without a word.
    {"a reading ahead of the base", 'L', M(1002500), M(1002500), "", 1002500},
    {"a reading at the base", 'L', M(1000000), M(1000000), "", 1000000},
    {"set by the operator", 'O', M(50000), M(50000),
     "Nova base do encerrante: totalizador configurado pelo operador.\rBico: 010203\rEncerrante anterior: "
     "1000,000\rEncerrante configurado: 50,000",
     50000},
};

TEST_F(Encerrantes, EachStepAgainstTheLastTotaliserSeen)
{
    const QString codigo = QStringLiteral("010203");
    for (const TCaso& caso : cCasos) {
        QFile::remove(TGenerico::FArquivoLog(QDate::currentDate()));
        TEncerrantes encerrantes(FArquivo() + QLatin1String(caso.vNome));
        encerrantes.PAbastecimento(codigo, M(990000), M(1000000), QPair<int, int>(7, 1));
        ASSERT_EQ(FLog(), QString()) << caso.vNome << ": the first fueling only takes the base";
        if (caso.vTipo == 'A')
            encerrantes.PAbastecimento(codigo, caso.vInicio, caso.vFim, QPair<int, int>(7, 2));
        else if (caso.vTipo == 'L')
            encerrantes.PLeitura(codigo, caso.vInicio);
        else
            encerrantes.PDefinido(codigo, caso.vInicio);
        const QString log = FLog();
        if (*caso.vNoLog == '\0')
            EXPECT_EQ(log, QString()) << caso.vNome;
        else
            EXPECT_TRUE(log.contains(QString::fromUtf8(caso.vNoLog))) << caso.vNome << ": " << log.toStdString();
        EXPECT_EQ(log.count(QStringLiteral("Data / Hora")), *caso.vNoLog ? 1 : 0) << caso.vNome;
        ASSERT_TRUE(encerrantes.FBase(codigo)) << caso.vNome;
        EXPECT_EQ(encerrantes.FBase(codigo)->vMilesimos, caso.vBase) << caso.vNome;
    }
}

TEST_F(Encerrantes, ComponentReadingsBecomeThousandthsWithTheirUnit)
{
    const struct {
        qint64 vLeitura;
        int vCasas;
        std::optional<qint64> vMilesimos;
        qint64 vUnidade;
    } casos[] = {{12345, 3, 12345, 1}, {599, 2, 5990, 10}, {7, 1, 700, 100}, {42, 0, std::nullopt, 0},
                 {42, 4, std::nullopt, 0}};
    for (const auto& c : casos) {
        const auto valor = TEncerrantes::FValor(c.vLeitura, c.vCasas);
        ASSERT_EQ(valor.has_value(), c.vMilesimos.has_value()) << c.vLeitura << "/" << c.vCasas;
        if (valor) {
            EXPECT_EQ(valor->vMilesimos, *c.vMilesimos);
            EXPECT_EQ(valor->vUnidade, c.vUnidade);
        }
    }
}

// Written, read back by a new run, and brought up to date from the stored
// fuelings the file never saw (a crash before its next write): the check
// goes on from the newest, and what the file saw is not checked twice.
TEST_F(Encerrantes, BasesSurviveARestartAndCatchUpWithTheFuelingsStoredSince)
{
    {
        TEncerrantes encerrantes(FArquivo());
        encerrantes.PAbastecimento(QStringLiteral("010203"), M(0), M(10000), QPair<int, int>(7, 1));
        encerrantes.PAbastecimento(QStringLiteral("010201"), {5000, 10}, {15000, 10}, QPair<int, int>(7, 2));
        EXPECT_TRUE(encerrantes.FAlterado());
        encerrantes.PGrava();
        EXPECT_FALSE(encerrantes.FAlterado());
    }
    TEncerrantes depois(FArquivo());
    ASSERT_TRUE(depois.FBase(QStringLiteral("010201")));
    EXPECT_EQ(depois.FBase(QStringLiteral("010201"))->vMilesimos, 15000);
    EXPECT_EQ(depois.FBase(QStringLiteral("010201"))->vUnidade, 10);
    EXPECT_EQ(depois.FDesde(), QDate::currentDate());
    depois.PAtualiza({
        {QStringLiteral("010203"), 10000, 10000, 7, 1}, // seen already
        {QStringLiteral("010203"), 20000, 10000, 7, 3}, // stored, then the crash
        {QStringLiteral("010203"), 35000, 10000, 7, 4}, // and 5 litres lost before it
    });
    EXPECT_EQ(depois.FBase(QStringLiteral("010203"))->vMilesimos, 35000);
    const QString log = FLog();
    EXPECT_EQ(log.count(QStringLiteral("Litros saíram da bomba sem abastecimento.")), 1) << log.toStdString();
    EXPECT_TRUE(log.contains(QStringLiteral("Litros sem abastecimento: 5,000"))) << log.toStdString();

    // The same catch-up again (its file lost to another crash) tells nothing new.
    TEncerrantes outraVez(FArquivo());
    outraVez.PAtualiza({{QStringLiteral("010203"), 20000, 10000, 7, 3}, {QStringLiteral("010203"), 35000, 10000, 7, 4}});
    EXPECT_EQ(FLog().count(QStringLiteral("Litros saíram da bomba sem abastecimento.")), 1);
}

TEST_F(Encerrantes, AGarbledFileCostsOnlyItsBases)
{
    vDir.PGrava(TEncerrantes::FNomeArquivo(), "lixo\n010203=abc;1;A\n010201=1500;10;L\nDATA=ontem\n\xff\xfe");
    TEncerrantes encerrantes(FArquivo());
    EXPECT_FALSE(encerrantes.FBase(QStringLiteral("010203")));
    ASSERT_TRUE(encerrantes.FBase(QStringLiteral("010201")));
    EXPECT_EQ(encerrantes.FBase(QStringLiteral("010201"))->vMilesimos, 1500);
    EXPECT_EQ(encerrantes.FDesde(), QDate::currentDate()) << "no date it can read: today's fuelings";
}

} // namespace
