#include "ApoioTestes.h"
#include "UAbastecimento.h"
#include "UBicos.h"
#include "UParametros.h"

#include <gtest/gtest.h>

namespace {

TEST(Abastecimento, StartsEmptyAndKeepsWhatIsWritten)
{
    TAbastecimento a;
    EXPECT_TRUE(a.Codbico().isEmpty() && a.Combustivel().isEmpty() && a.Emitido().isEmpty() &&
                a.Codfid().isEmpty() && a.CodEmpresa().isEmpty() && a.Codgrade().isEmpty());
    EXPECT_EQ(a.Litragem() + a.Valor() + a.Precounit() + a.Desconto() + a.Encerrantefinal(), 0.0);
    EXPECT_EQ(a.Id(), 0);
    EXPECT_EQ(a.Sequencia(), 0);
    EXPECT_TRUE(a.DataHora().isNull() && a.DataHoraAfericao().isNull());

    a.SetLitragem(12.345);
    a.SetCodbico(QStringLiteral(" 01-02 "));
    a.SetDataHora(QDateTime(QDate(2015, 12, 5), QTime(0, 9, 5)));
    EXPECT_EQ(a.Litragem(), 12.345);
    EXPECT_EQ(a.Codbico(), QStringLiteral(" 01-02 ")) << "no trimming";
    EXPECT_EQ(a.DataHora(), QDateTime(QDate(2015, 12, 5), QTime(0, 9, 5)));
}

TEST(ListaBicos, KeepsTheOrderOfAppending)
{
    TListaBicos lista;
    EXPECT_EQ(lista.Count(), 0);
    for (int i = 1; i <= 3; ++i) {
        auto bico = std::make_unique<TBico>();
        bico->SetBico(i);
        lista.PAdiciona(std::move(bico));
    }
    ASSERT_EQ(lista.Count(), 3);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(lista.FBico(i)->Bico(), i + 1);
    const TBico novo;
    EXPECT_EQ(novo.Tanque() + novo.Bomba() + novo.Bico(), 0);
    EXPECT_EQ(novo.Preco(), 0.0);
    EXPECT_TRUE(novo.Descricao().isEmpty() && novo.Status().isEmpty());
}

class Parametros : public ::testing::Test {
protected:
    TDiretorioTeste vDir;
    void PEscreve(const char* pConteudo) const
    {
        vDir.PGrava(QStringLiteral("ConcentradorTarnex.ini"), QByteArray(pConteudo));
    }
};

TEST_F(Parametros, WithoutTheFileEverythingIsDefault)
{
    const TParametros p;
    EXPECT_EQ(p.Id(), 1);
    EXPECT_FALSE(p.AutorizaAuto());
    for (int n = 1; n <= 4; ++n) {
        EXPECT_EQ(p.Fcm(n).ModoOperacao(), 0);
        EXPECT_EQ(p.Fcm(n).MensagemAbast(), 0);
        EXPECT_EQ(p.Fcm(n).NumBombas(), 0);
    }
}

TEST_F(Parametros, ReadsTheFourConcentratorsAndIgnoresOthers)
{
    PEscreve("[fcm1]\nModoOperacao=2\nMensagemAbast=1\nNumBombas=8\n[FCM3]\nNUMBOMBAS=3\nMODOOPERACAO=7\n"
             "[FCM5]\nNUMBOMBAS=9\n");
    const TParametros p;
    EXPECT_EQ(p.Fcm1().ModoOperacao(), 2);
    EXPECT_EQ(p.Fcm1().MensagemAbast(), 1);
    EXPECT_EQ(p.Fcm1().NumBombas(), 8);
    EXPECT_EQ(p.Fcm2().NumBombas(), 0);
    EXPECT_EQ(p.Fcm3().NumBombas(), 3);
    EXPECT_EQ(p.Fcm3().ModoOperacao(), 7) << "no range check on reading";
    EXPECT_EQ(p.Fcm4().NumBombas(), 0);
}

TEST_F(Parametros, AutomaticAuthorisationIsTrueForAnyNumberButZero)
{
    const struct {
        const char* valor;
        bool esperado;
    } casos[] = {{"1", true}, {"2", true}, {"-1", true}, {"0", false}, {"", false}, {"yes", false}, {"true", false}};
    for (const auto& caso : casos) {
        PEscreve((QByteArray("[ABASTECIMENTO]\nAUTORIZAAUTO=") + caso.valor + "\n").constData());
        EXPECT_EQ(TParametros().AutorizaAuto(), caso.esperado) << caso.valor;
    }
}

TEST_F(Parametros, IdIsReadFromTheFileAtEveryAccessButTheRestOnlyOnce)
{
    PEscreve("[ABASTECIMENTO]\nID=17\n[FCM2]\nNUMBOMBAS=4\n");
    const TParametros p;
    EXPECT_EQ(p.Id(), 17);
    PEscreve("[ABASTECIMENTO]\nID=9999\n[FCM2]\nNUMBOMBAS=6\n");
    EXPECT_EQ(p.Id(), 9999);
    EXPECT_EQ(p.Fcm2().NumBombas(), 4) << "changes reach the connection only at the next start";
    PEscreve("[ABASTECIMENTO]\nID=abc\n");
    EXPECT_EQ(p.Id(), 1);
}

} // namespace
