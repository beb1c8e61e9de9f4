#include "ApoioTestes.h"
#include "UConfiguracaoRegional.h"
#include "UErro.h"
#include "UGenerico.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

// Every number test runs with both decimal separators a station may have.
class Numeros : public ::testing::TestWithParam<char> {
protected:
    void SetUp() override
    {
        TConfiguracaoRegional::PDefine(QLatin1Char(GetParam()), QLatin1Char('/'), QLatin1Char(':'));
    }
    void TearDown() override { TConfiguracaoRegional::PCarregaDoSistema(); }

    QString FEsperado(const char* pTexto) const
    {
        return QString::fromLatin1(pTexto).replace(QLatin1Char('.'), QLatin1Char(GetParam()));
    }
};

TEST_P(Numeros, FormatRoundsTheEighteenDigitExpansionHalvesAwayFromZero)
{
    const struct {
        double valor;
        int casas;
        const char* texto;
    } casos[] = {
        {2.675, 2, "2.67"},     {0.125, 2, "0.13"},       {-0.125, 2, "-0.13"},   {5.999, 2, "6.00"},
        {12.3449, 2, "12.34"},  {71.588655, 2, "71.59"},  {1234.5, 3, "1234.500"}, {0.0005, 3, "0.001"},
        {-3.25, 3, "-3.250"},   {0, 3, "0.000"},          {-0.001, 2, "0.00"},    {0.005, 2, "0.01"},
        {999.995, 2, "1000.00"}, {0.0004, 3, "0.000"},    {1e20, 2, "100000000000000000000.00"},
        {12.345, 3, "12.345"},  {5.799, 3, "5.799"},      {5.4996, 3, "5.500"},   {7, 0, "7"},
        {123456789.123, 3, "123456789.123"},
    };
    for (const auto& caso : casos)
        EXPECT_EQ(TGenerico::FFormataNumero(caso.valor, caso.casas), FEsperado(caso.texto))
            << caso.valor << " with " << caso.casas;
}

TEST_P(Numeros, RoundAndTruncateGoThroughTheText)
{
    const struct {
        double valor;
        double arredondado;
        double truncado;
    } casos[] = {
        {12.3449, 12.34, 12.34}, {0.125, 0.13, 0.12},   {2.675, 2.67, 2.67}, {5.999, 6.00, 5.99},
        {-0.125, -0.13, -0.12},  {1.2345, 1.23, 1.23},  {7.8899, 7.89, 7.89}, {12.3456, 12.35, 12.34},
        {1.9996, 2.00, 2.00},    {0.0049, 0.00, 0.00},  {5.799 * 10.345, 59.99, 59.99},
        {5.799 * 12.345, 71.59, 71.58},
    };
    for (const auto& caso : casos) {
        EXPECT_EQ(TGenerico::FArredondaValor(caso.valor), caso.arredondado) << caso.valor;
        EXPECT_EQ(TGenerico::FTruncaValor(caso.valor), caso.truncado) << caso.valor;
    }
}

TEST_P(Numeros, GeneralFormIsShortestWithoutTrailingZeros)
{
    EXPECT_EQ(TGenerico::FFormataGeral(5), QStringLiteral("5"));
    EXPECT_EQ(TGenerico::FFormataGeral(12.345), FEsperado("12.345"));
    EXPECT_EQ(TGenerico::FFormataGeral(0.7), FEsperado("0.7"));
    EXPECT_EQ(TGenerico::FFormataGeral(-2147483.648), FEsperado("-2147483.648"));
    EXPECT_EQ(TGenerico::FFormataGeral(0), QStringLiteral("0"));
}

TEST_P(Numeros, ReadingBackUsesOnlyTheWorkstationsSeparator)
{
    EXPECT_EQ(TGenerico::FLeNumero(FEsperado("2.5")), 2.5);
    EXPECT_EQ(TGenerico::FLeNumero(FEsperado("-0.125")), -0.125);
    EXPECT_EQ(TGenerico::FLeNumero(QStringLiteral("42")), 42.0);
    for (const char* ruim : {"", "abc", "1e5", "1..2", "--1", "1 2", "inf", "nan"})
        EXPECT_THROW(TGenerico::FLeNumero(QString::fromLatin1(ruim)), EErro) << ruim;
    const char outro = GetParam() == ',' ? '.' : ',';
    EXPECT_THROW(TGenerico::FLeNumero(QStringLiteral("1") + QLatin1Char(outro) + QStringLiteral("5")), EErro);
}

INSTANTIATE_TEST_SUITE_P(Separadores, Numeros, ::testing::Values(',', '.'));

TEST(Generico, ZeroAndBlankFillNeverShorten)
{
    const struct {
        int numero;
        int largura;
        const char* texto;
    } casos[] = {{5, 2, "05"}, {12, 2, "12"}, {123, 2, "123"}, {7, 6, "000007"}, {100, 2, "100"},
                 {0, 2, "00"}, {51215, 6, "051215"}, {5, 0, "5"}, {5, -3, "5"}};
    for (const auto& caso : casos)
        EXPECT_EQ(TGenerico::FCompletaZero(caso.numero, caso.largura), QString::fromLatin1(caso.texto));
    EXPECT_EQ(TGenerico::FCompletaEspaco(QStringLiteral("AB"), 5), QStringLiteral("AB   "));
    EXPECT_EQ(TGenerico::FCompletaEspaco(QStringLiteral("ABCDEF"), 3), QStringLiteral("ABCDEF"));
}

TEST(Generico, DecimalScalingOnlyForOneToThreePlaces)
{
    const struct {
        int casas;
        int campo;
        double valor;
    } casos[] = {{3, 12345, 12.345}, {2, 599, 5.99},  {1, 7, 0.7},   {0, 42, 0},    {4, 42, 0},
                 {-1, 5, 0},         {0, 1500, 0},    {2, 1234567, 12345.67},        {3, -2500, -2.5},
                 {3, 2147483647, 2147483.647}};
    for (const auto& caso : casos)
        EXPECT_EQ(TGenerico::FRetornaCasasDecimais(caso.casas, caso.campo), caso.valor)
            << caso.campo << " with " << caso.casas;
}

TEST(Generico, PasswordGroupsAreDecodedLastToFirst)
{
    EXPECT_EQ(TGenerico::FDescripta(QStringLiteral("099098097"), 3), QStringLiteral("abc"));
    EXPECT_EQ(TGenerico::FDescripta(QStringLiteral("099098097"), 2), QStringLiteral("bc"));
    EXPECT_EQ(TGenerico::FDescripta(QStringLiteral("099098097"), 0), QString());
    EXPECT_EQ(TGenerico::FDescripta(QStringLiteral("099098097"), -4), QString());
    const QString dezCaracteres = QStringLiteral("1071141149");
    EXPECT_EQ(TGenerico::FDescripta(dezCaracteres, static_cast<int>(dezCaracteres.size() / 3)),
              QStringLiteral("rrk"));
    EXPECT_THROW(TGenerico::FDescripta(QStringLiteral("09a098097"), 3), EErro);
}

TEST(Generico, ReturnCodeTexts)
{
    const QString suporte = QStringLiteral("Solicite informações ao suporte da Tarnex Technology.");
    const struct {
        int codigo;
        QString texto;
    } casos[] = {
        {1, QString()},
        {-1, QStringLiteral("O parâmetro número do FcmSlave (sl) está incorreto, ou não foi encontrado.")},
        {-2, QStringLiteral("O parâmetro Bomba (bo) está incorreto.")},
        {-3, QStringLiteral("O parâmetro Bico (bi) está incorreto.")},
        {-4, QStringLiteral("O parâmetro casas decimais (cd) está incorreto.")},
        {-5, QStringLiteral("O parâmetro Modo de Operação está incorreto.")},
        {-6, QStringLiteral("O parâmetro Formato Mensagem de Abastecimento está incorreto.")},
        {-7, QStringLiteral("O Fcm Slave em questão não existe ou não está respondendo no momento.")},
        {-8, QStringLiteral("Parâmetro do CMD especial está incorreto.")},
        {-9, suporte}, {-10, suporte}, {-11, suporte},
        {-12, QStringLiteral("Este número de Fcm Master já foi iniciado.")},
        {-13, suporte}, {-14, suporte}, {-15, suporte},
        {0, QString()}, {2, QString()}, {-16, QString()}, {-2147483647 - 1, QString()},
    };
    for (const auto& caso : casos)
        EXPECT_EQ(TGenerico::FTextoErroConcentrador(caso.codigo), caso.texto) << caso.codigo;
}

TEST(ConfiguracaoRegional, SeparatorsComeFromTheSystemLocale)
{
    TConfiguracaoRegional::PCarregaDoSistema();
    const QByteArray lingua = qgetenv("LC_ALL").isEmpty() ? qgetenv("LANG") : qgetenv("LC_ALL");
    if (lingua.startsWith("pt_BR")) {
        EXPECT_EQ(TConfiguracaoRegional::SeparadorDecimal(), QLatin1Char(','));
        EXPECT_EQ(TConfiguracaoRegional::SeparadorData(), QLatin1Char('/'));
        EXPECT_EQ(TConfiguracaoRegional::SeparadorHora(), QLatin1Char(':'));
    } else if (lingua.startsWith("C")) {
        EXPECT_EQ(TConfiguracaoRegional::SeparadorDecimal(), QLatin1Char('.'));
    }
}

} // namespace
