// Station columns as the station product declares and fills them: texts in
// its Windows code page, copied between tables byte for byte, and column
// types beyond the plain ones.
#include "ApoioBanco.h"
#include "UAbastecimento.h"
#include "UBancoDados.h"
#include "UBicos.h"
#include "UErro.h"

#include <QDateTime>

#include <gtest/gtest.h>

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

} // namespace
