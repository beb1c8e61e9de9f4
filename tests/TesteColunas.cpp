// Station columns as the station product declares and fills them: texts in
// its Windows code page, copied between tables byte for byte, and column
// types beyond the plain ones.
#include "ApoioBanco.h"
#include "UAbastecimento.h"
#include "UBancoDados.h"
#include "UBicos.h"
#include "UErro.h"

#include <QDateTime>
#include <QTableView>

#include <gtest/gtest.h>

#include <functional>

namespace {

class Colunas : public ::testing::Test {
protected:
    void SetUp() override
    {
        vPosto.PExecuta(QStringLiteral("insert into paraposto (sequenciaabast) values (7)"));
        vPosto.PCadastraTanque(QStringLiteral("01-02"), QStringLiteral("000002"));
        vPosto.PCadastraBico(QStringLiteral("010203"), QStringLiteral("05-02"), QStringLiteral("01-02"));
        vBanco = std::make_unique<TBancoDados>();
    }

    TPostoTeste vPosto;
    std::unique_ptr<TBancoDados> vBanco;
};

// Every byte of 0x80 to 0x9F, the five the page leaves undefined among
// them, and some Latin letters, as another program of the station stored them.
const char* const cDescricaoHex = "80818D8F909D93942D96971E9FC7E3";

TEST_F(Colunas, StationTextsAreReadInTheWindowsPageAndCopiedByteForByte)
{
    vPosto.PExecuta(QStringLiteral("update bombas set descricao = x'%1'").arg(QLatin1String(cDescricaoHex)));
    const QString esperado = QString::fromUtf16(u"\u20AC\u0081\u008D\u008F\u0090\u009D\u201C\u201D-\u2013\u2014\u001E\u0178\u00C7\u00E3");
    EXPECT_EQ(vBanco->FRetornaDadosBico()->FBico(0)->Descricao(), esperado) << "as the status window shows it";
    std::unique_ptr<TAbastecimento> abastecimento = vBanco->FRetornaDadosProduto(1, 2, 3);
    EXPECT_EQ(abastecimento->Combustivel(), esperado);
    abastecimento->SetId(1);
    abastecimento->SetDataHora(QDateTime::currentDateTime());
    ASSERT_TRUE(vBanco->FGravaAbastecimento(*abastecimento)) << vPosto.FLog().toStdString();
    EXPECT_EQ(vPosto.FLinhas(QStringLiteral("select count(*) from mvabast where cast(combustivel as varchar(40) character "
                                            "set octets) = x'%1'").arg(QLatin1String(cDescricaoHex))),
              QStringLiteral("1"))
        << "the fueling row holds the nozzle's bytes: " << vPosto.FLinhas(QStringLiteral("select combustivel from mvabast")).toStdString();
}

// A station may keep the nozzle's description in a text BLOB: it is read
// whole, across many segments, wherever the description is used.
TEST_F(Colunas, TextBlobIsReadWhole)
{
    vPosto.PExecuta(QStringLiteral("alter table bombas drop descricao"));
    vPosto.PExecuta(QStringLiteral("alter table bombas add descricao blob sub_type text"));
    QString longo;
    for (int i = 0; longo.size() < 100000; ++i)
        longo += QStringLiteral("GASOLINA “ADITIVADA” – %1 € ").arg(i);
    const qsizetype terco = longo.size() / 3;
    vPosto.Conexao().PExecuta(QStringLiteral("update bombas set descricao = cast(:a as blob sub_type text) || :b || :c"),
                              {{QStringLiteral("a"), longo.left(terco)},
                               {QStringLiteral("b"), longo.mid(terco, terco)},
                               {QStringLiteral("c"), longo.mid(2 * terco)}});
    EXPECT_TRUE(vBanco->FExisteBicoCadastrado(1, 2, 3));
    EXPECT_EQ(vBanco->FRetornaDadosBico()->FBico(0)->Descricao(), longo);
    EXPECT_EQ(vBanco->FRetornaDadosProduto(1, 2, 3)->Combustivel(), longo);
    QTableView grade;
    vBanco->PDadosGridPrecoAbast(&grade);
    EXPECT_EQ(grade.model()->index(0, 3).data().toString(), longo);
}

// A column of a type the program does not read fails with its name where
// its value is needed, and is left alone where only the rows are counted.
TEST_F(Colunas, ValueOfATypeNotReadIsAnErrorNamingTheColumn)
{
    vPosto.PExecuta(QStringLiteral("alter table bombas add foto blob sub_type binary"));
    vPosto.PExecuta(QStringLiteral("update bombas set foto = x'89504E47'"));
    EXPECT_TRUE(vBanco->FExisteBicoCadastrado(1, 2, 3)) << "select bombas.* reads no value";
    try {
        vPosto.Conexao().FConsulta(QStringLiteral("select codbico, foto from bombas"));
        ADD_FAILURE() << "a binary BLOB read as nothing";
    } catch (const EErro& erro) {
        EXPECT_EQ(erro.Mensagem(), QStringLiteral("O campo FOTO é do tipo BLOB SUB_TYPE 0, que o programa não lê."));
    }
    vPosto.PExecuta(QStringLiteral("update bombas set foto = null"));
    EXPECT_NO_THROW(vPosto.Conexao().FConsulta(QStringLiteral("select foto from bombas"))) << "a null is a null";

    vPosto.PExecuta(QStringLiteral("alter table bombas drop descricao"));
    vPosto.PExecuta(QStringLiteral("alter table bombas add descricao blob sub_type binary"));
    vPosto.PExecuta(QStringLiteral("update bombas set descricao = x'4741534F4C494E41'"));
    for (const auto& leitura : std::initializer_list<std::function<void()>>{
             [&] { vBanco->FRetornaDadosBico(); }, [&] { vBanco->FRetornaDadosProduto(1, 2, 3); }}) {
        try {
            leitura();
            ADD_FAILURE() << "a description read as empty";
        } catch (const EErro& erro) {
            EXPECT_TRUE(erro.Mensagem().contains(QStringLiteral("DESCRICAO"))) << erro.Mensagem().toStdString();
        }
    }
}

} // namespace
