#include "ApoioBanco.h"
#include "UBancoDados.h"
#include "UConfiguracaoRegional.h"
#include "UGenerico.h"
#include "UModeloGrade.h"

#include <QAbstractItemModelTester>
#include <QDate>
#include <QPointer>
#include <QTableView>

#include <gtest/gtest.h>

namespace {

class Visoes : public ::testing::Test {
protected:
    void SetUp() override
    {
        TConfiguracaoRegional::PDefine(QLatin1Char(','), QLatin1Char('/'), QLatin1Char(':'));
        vPosto.PCadastraTanque(QStringLiteral("01-02"), QStringLiteral("000002"));
        vPosto.PCadastraBico(QStringLiteral("010203"), QStringLiteral("05-02"), QStringLiteral("01-02"));
        vBanco = std::make_unique<TBancoDados>();
    }
    void TearDown() override { TConfiguracaoRegional::PCarregaDoSistema(); }

    void PInsere(const QDate& pData, const char* pHora, const char* pCodBico, const char* pLitragem, int pId)
    {
        vPosto.Conexao().PExecuta(
            QStringLiteral("insert into mvabast (data, hora, codbico, litragem, precounit, valor, sequencia, id) "
                           "values (:d, :h, :b, %1, 5.799, null, 1, :i)")
                .arg(QString::fromLatin1(pLitragem)),
            {{QStringLiteral("d"), pData.toString(QStringLiteral("dd.MM.yyyy"))},
             {QStringLiteral("h"), QString::fromLatin1(pHora)},
             {QStringLiteral("b"), QString::fromLatin1(pCodBico)},
             {QStringLiteral("i"), pId}});
    }

    QStringList FLinha(const QAbstractItemModel* pModelo, int pLinha) const
    {
        QStringList celulas;
        for (int c = 0; c < pModelo->columnCount(); ++c)
            celulas.append(pModelo->index(pLinha, c).data().toString());
        return celulas;
    }

    TPostoTeste vPosto;
    std::unique_ptr<TBancoDados> vBanco;
    QTableView vGrade;
};

TEST_F(Visoes, TodaysFuelingsNewestFirstOnlyWithARegisteredNozzle)
{
    const QDate hoje = QDate::currentDate();
    PInsere(hoje, "08:00:00", "05-02", "10", 1);
    PInsere(hoje, "09:30:05", "05-02", "12.345", 2);
    PInsere(hoje.addDays(-1), "10:00:00", "05-02", "1", 3);
    PInsere(hoje, "11:00:00", "99-99", "1", 4);
    vBanco->PDadosGridAbastecimento(&vGrade);
    TGenerico::PFormataCamposGrid(&vGrade);
    auto* modelo = qobject_cast<TModeloGrade*>(vGrade.model());
    ASSERT_TRUE(modelo);
    QAbstractItemModelTester verificador(modelo, QAbstractItemModelTester::FailureReportingMode::Fatal);
    QStringList titulos;
    for (int c = 0; c < modelo->columnCount(); ++c)
        titulos.append(modelo->headerData(c, Qt::Horizontal).toString());
    EXPECT_EQ(titulos, (QStringList{QStringLiteral("DATA"), QStringLiteral("HORA"), QStringLiteral("TANQUE"),
                                    QStringLiteral("BOMBA"), QStringLiteral("BICO"), QStringLiteral("LITRAGEM"),
                                    QStringLiteral("PRECO"), QStringLiteral("VALOR"), QStringLiteral("SEQUENCIA"),
                                    QStringLiteral("ID")}));
    ASSERT_EQ(modelo->rowCount(), 2);
    const QString data = hoje.toString(QStringLiteral("dd/MM/yyyy"));
    EXPECT_EQ(FLinha(modelo, 0), (QStringList{data, QStringLiteral("09:30:05"), QStringLiteral("02"), QStringLiteral("05"),
                                              QStringLiteral("02"), QStringLiteral("12,345"), QStringLiteral("5,799"),
                                              QStringLiteral("0,000"), QStringLiteral("1"), QStringLiteral("2")}));
    EXPECT_EQ(FLinha(modelo, 1)[1], QStringLiteral("08:00:00"));
    EXPECT_EQ(modelo->index(0, 5).data(Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignRight, Qt::AlignRight);
    EXPECT_EQ(modelo->index(0, 8).data(Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignRight, Qt::Alignment{})
        << "integers keep their default";
    EXPECT_EQ(vGrade.columnWidth(0), 100);
    EXPECT_EQ(vGrade.columnWidth(9), 60);
}

TEST_F(Visoes, EmptyDayShowsTheTitlesAndReloadReplacesTheView)
{
    vBanco->PDadosGridAbastecimento(&vGrade);
    QPointer<QAbstractItemModel> primeiro = vGrade.model();
    EXPECT_EQ(primeiro->rowCount(), 0);
    EXPECT_EQ(primeiro->columnCount(), 10);
    vBanco->PDadosGridAbastecimento(&vGrade);
    EXPECT_TRUE(primeiro.isNull()) << "the old view is released";
    QPointer<QAbstractItemModel> segundo = vGrade.model();
    TBancoDados::PDesligaGrade(&vGrade);
    EXPECT_TRUE(segundo.isNull());
}

TEST_F(Visoes, PriceViewShowsCodesAsTheyAreAndOnlyLowerCaseDataKeepsItsWidth)
{
    vPosto.PExecuta(QStringLiteral("insert into bombas (codconcentrador, descricao, precovenda) values ('', 'SEM CODIGO', 4.2)"));
    vBanco->PDadosGridPrecoAbast(&vGrade);
    const int larguraPadrao = vGrade.columnWidth(0);
    TGenerico::PFormataCamposGrid(&vGrade);
    const QAbstractItemModel* modelo = vGrade.model();
    ASSERT_EQ(modelo->rowCount(), 2);
    EXPECT_EQ(FLinha(modelo, 0), (QStringList{QString(), QString(), QString(), QStringLiteral("SEM CODIGO"),
                                              QStringLiteral("4,200"), QString()}));
    EXPECT_EQ(FLinha(modelo, 1), (QStringList{QStringLiteral("01"), QStringLiteral("02"), QStringLiteral("03"),
                                              QStringLiteral("GASOLINA COMUM"), QStringLiteral("5,799"),
                                              QStringLiteral("L")}));
    EXPECT_EQ(vGrade.columnWidth(0), larguraPadrao);
}

TEST(FormataDecimal, ThreeDecimalsAndNullAsZero)
{
    TConfiguracaoRegional::PDefine(QLatin1Char('.'), QLatin1Char('/'), QLatin1Char(':'));
    const struct {
        QVariant valor;
        const char* texto;
    } casos[] = {{1234.5, "1234.500"}, {0.0005, "0.001"}, {-3.25, "-3.250"}, {QVariant(), "0.000"}};
    for (const auto& caso : casos) {
        QString texto;
        TGenerico::FormataDecimal(caso.valor, texto, false);
        EXPECT_EQ(texto, QString::fromLatin1(caso.texto));
    }
    TConfiguracaoRegional::PCarregaDoSistema();
}

} // namespace
