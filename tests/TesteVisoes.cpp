#include "ApoioBanco.h"
#include "UAtualizadorGrade.h"
#include "UBancoDados.h"
#include "UConfiguracaoRegional.h"
#include "UGenerico.h"
#include "UModeloGrade.h"

#include <QAbstractItemModelTester>
#include <QDate>
#include <QPointer>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>

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

    // Every row of a grid as text, and the rows the fuelings query gives
    // another connection now, shown by a grid of their own.
    QStringList FGrade(const QAbstractItemModel* pModelo) const
    {
        QStringList linhas;
        for (int r = 0; r < pModelo->rowCount(); ++r)
            linhas.append(FLinha(pModelo, r).join(QLatin1Char('|')));
        return linhas;
    }
    QStringList FConsultaAgora()
    {
        QTableView grade;
        TBancoDados::PLigaGrade(&grade, TBancoDados::FAbastecimentosDoDia(vPosto.Conexao()));
        TGenerico::PFormataCamposGrid(&grade);
        return FGrade(grade.model());
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

// Refreshes run off the main thread: after each, the grid shows what the
// query gives at that moment, rows other programs stored or removed
// included, with its formats and column widths kept.
TEST_F(Visoes, RefreshShowsWhatTheQueryGivesNowWithItsFormats)
{
    const QDate hoje = QDate::currentDate();
    PInsere(hoje, "08:00:00", "05-02", "10", 1);
    vBanco->PDadosGridAbastecimento(&vGrade);
    TGenerico::PFormataCamposGrid(&vGrade);
    vGrade.setColumnWidth(3, 33); // as an operator may have left it
    auto* modelo = qobject_cast<TModeloGrade*>(vGrade.model());
    ASSERT_TRUE(modelo);
    QAbstractItemModelTester verificador(modelo, QAbstractItemModelTester::FailureReportingMode::Fatal);

    const auto FAtualiza = [&] {
        vBanco->PSolicitaAtualizacaoGrid(&vGrade);
        QSignalSpy atualizada(vGrade.findChild<TAtualizadorGrade*>(), &TAtualizadorGrade::Atualizada);
        return atualizada.wait(10000);
    };
    PInsere(hoje, "09:30:05", "05-02", "12.345", 2);
    PInsere(hoje, "10:00:00", "05-02", "1", 3);
    ASSERT_TRUE(FAtualiza());
    EXPECT_EQ(vGrade.model(), modelo) << "the rows change, the view stays";
    EXPECT_EQ(FGrade(modelo), FConsultaAgora());
    ASSERT_EQ(modelo->rowCount(), 3);
    EXPECT_EQ(FLinha(modelo, 1)[5], QStringLiteral("12,345"));
    EXPECT_EQ(vGrade.columnWidth(0), 100);
    EXPECT_EQ(vGrade.columnWidth(3), 33);

    vPosto.PExecuta(QStringLiteral("delete from mvabast where id in (1, 3)"));
    ASSERT_TRUE(FAtualiza());
    EXPECT_EQ(FGrade(modelo), FConsultaAgora());
    EXPECT_EQ(modelo->rowCount(), 1);

    vPosto.PExecuta(QStringLiteral("delete from mvabast"));
    ASSERT_TRUE(FAtualiza());
    EXPECT_EQ(modelo->rowCount(), 0);
    EXPECT_EQ(modelo->columnCount(), 10);
}

// Requests made back to back, without the event loop turning, share one
// more refresh after the running one, and that last one shows every row.
TEST_F(Visoes, BurstOfRequestsEndsWithOneRefreshThatShowsAll)
{
    const QDate hoje = QDate::currentDate();
    vBanco->PDadosGridAbastecimento(&vGrade);
    TGenerico::PFormataCamposGrid(&vGrade);
    vBanco->PSolicitaAtualizacaoGrid(&vGrade);
    auto* atualizador = vGrade.findChild<TAtualizadorGrade*>();
    ASSERT_TRUE(atualizador);
    QSignalSpy atualizada(atualizador, &TAtualizadorGrade::Atualizada);
    for (int i = 1; i <= 20; ++i) {
        PInsere(hoje, "08:00:00", "05-02", "1", i);
        vBanco->PSolicitaAtualizacaoGrid(&vGrade);
    }
    ASSERT_TRUE(FEspera([&] { return atualizada.size() >= 2; }, 10000));
    QTest::qWait(300);
    EXPECT_EQ(atualizada.size(), 2) << "the running refresh and one after it";
    EXPECT_EQ(vGrade.model()->rowCount(), 20);
    EXPECT_EQ(FGrade(vGrade.model()), FConsultaAgora());

    // The grid goes away while a refresh runs: the refresher waits for it.
    vBanco->PSolicitaAtualizacaoGrid(&vGrade);
    auto grade = std::make_unique<QTableView>();
    vBanco->PDadosGridAbastecimento(grade.get());
    vBanco->PSolicitaAtualizacaoGrid(grade.get());
    grade.reset();
}

// A refresh that cannot reach the database leaves the rows as they were and
// is logged once, however many requests fail alike.
TEST_F(Visoes, FailedRefreshKeepsTheRowsAndIsLoggedOnce)
{
    PInsere(QDate::currentDate(), "08:00:00", "05-02", "10", 1);
    vBanco->PDadosGridAbastecimento(&vGrade);
    TGenerico::PFormataCamposGrid(&vGrade);
    auto* atualizador = new TAtualizadorGrade(
        {vPosto.Diretorio().FCaminho(QStringLiteral("nao-existe.fdb")), QStringLiteral("SYSDBA"),
         QStringLiteral("masterkey"), QString()},
        &vGrade);
    const auto FFalhas = [&] {
        return QString::fromLatin1(vPosto.FLog()).count(
            QStringLiteral("Ocorreu um erro ao tentar atualizar a grade de abastecimentos.\rMotivo: "));
    };
    atualizador->PSolicita();
    ASSERT_TRUE(FEspera([&] { return FFalhas() == 1; }, 10000)) << vPosto.FLog().toStdString();
    atualizador->PSolicita();
    atualizador->PSolicita();
    QTest::qWait(500);
    EXPECT_EQ(FFalhas(), 1);
    EXPECT_EQ(vGrade.model()->rowCount(), 1);
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
