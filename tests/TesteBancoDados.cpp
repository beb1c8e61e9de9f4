#include "ApoioBanco.h"
#include "UAbastecimento.h"
#include "UArquivoIni.h"
#include "UBancoDados.h"
#include "UBicos.h"
#include "UGenerico.h"
#include "UParametros.h"

#include <QDate>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace {

class Banco : public ::testing::Test {
protected:
    void SetUp() override
    {
        vPosto.PExecuta(QStringLiteral("insert into paraposto (sequenciaabast) values (7)"));
        vPosto.PExecuta(QStringLiteral("insert into paraposto (sequenciaabast) values (3)"));
        vPosto.PCadastraTanque(QStringLiteral("01-02"), QStringLiteral("000002"));
        vPosto.PCadastraBico(QStringLiteral("010203"), QStringLiteral("05-02"), QStringLiteral("01-02"));
        vBanco = std::make_unique<TBancoDados>();
        ASSERT_FALSE(vBanco->FimSolicitado()) << vPosto.FLog().toStdString();
    }

    TAbastecimento FAbastecimento(int pId, QDateTime pMomento = QDateTime::currentDateTime())
    {
        std::unique_ptr<TAbastecimento> a = vBanco->FRetornaDadosProduto(1, 2, 3);
        a->SetId(pId);
        a->SetDataHora(pMomento);
        a->SetLitragem(12.345);
        a->SetPrecounit(5.799);
        a->SetValor(71.59);
        a->SetEncerrantefinal(12345.67);
        return *a;
    }

    int FIdNoArquivo() const
    {
        return TArquivoIni(TParametros::FCaminhoArquivo()).FLeInteiro(QStringLiteral("ABASTECIMENTO"), QStringLiteral("ID"), -1);
    }

    QString FLinhas(const QString& pSql) { return vPosto.FLinhas(pSql); }

    TPostoTeste vPosto;
    std::unique_ptr<TBancoDados> vBanco;
};

TEST_F(Banco, StoresTheFuelingWithTheStationsCodesAndDateAndTimeTexts)
{
    ASSERT_TRUE(vBanco->FGravaAbastecimento(FAbastecimento(1, QDateTime(QDate(2015, 11, 3), QTime(7, 5, 9)))));
    EXPECT_EQ(FLinhas(QStringLiteral("select data, hora, codbico, combustivel, litragem, valor, codprod, codgrade, "
                                     "codfid, precounit, desconto, emitido, id, sequencia, encerrantefinal from mvabast")),
              QStringLiteral("03.11.2015|07:05:09|05-02|GASOLINA COMUM|12.345|71.59|000002|0102||5.799|0|N|1|7|12345.67"));
    EXPECT_EQ(FIdNoArquivo(), 2);
}

TEST_F(Banco, IdWrapsAfter9999AndRaisesTheSequenceOnEveryRow)
{
    EXPECT_EQ(vBanco->FRetornaSequencia(), 7);
    vBanco->FGravaAbastecimento(FAbastecimento(9998));
    EXPECT_EQ(FIdNoArquivo(), 9999);
    vBanco->FGravaAbastecimento(FAbastecimento(9999));
    EXPECT_EQ(FIdNoArquivo(), 1);
    EXPECT_EQ(FLinhas(QStringLiteral("select sequenciaabast from paraposto")), QStringLiteral("8\n8"));
    vBanco->FGravaAbastecimento(FAbastecimento(1));
    EXPECT_EQ(FLinhas(QStringLiteral("select sequencia, id from mvabast order by sequencia, id")),
              QStringLiteral("7|9998\n7|9999\n8|1"));
    vBanco->FGravaAbastecimento(FAbastecimento(12000));
    EXPECT_EQ(FIdNoArquivo(), 12001) << "above 9999 the Id goes on counting";
}

TEST_F(Banco, EmptyParametersTableGivesSequenceZeroThatTheWrapCannotRaise)
{
    vPosto.PExecuta(QStringLiteral("delete from paraposto"));
    EXPECT_EQ(vBanco->FRetornaSequencia(), 0);
    vBanco->FGravaAbastecimento(FAbastecimento(9999));
    EXPECT_EQ(vBanco->FRetornaSequencia(), 0);
    EXPECT_EQ(FIdNoArquivo(), 1);
}

TEST_F(Banco, FailedInsertIsLoggedAndStillUsesUpItsId)
{
    vPosto.PExecuta(QStringLiteral("alter table mvabast add constraint ck_teste check (id <> 5)"));
    EXPECT_FALSE(vBanco->FGravaAbastecimento(FAbastecimento(5)));
    EXPECT_EQ(FIdNoArquivo(), 6);
    EXPECT_EQ(FLinhas(QStringLiteral("select count(*) from mvabast")), QStringLiteral("0"));
    const QByteArray log = vPosto.FLog();
    EXPECT_TRUE(log.contains("Ocorreu um erro ao tentar gravar o abastecimento.\rMotivo: ")) << log.toStdString();
    EXPECT_TRUE(log.contains("CK_TESTE")) << "the client's own text follows: " << log.toStdString();
}

TEST_F(Banco, RegistryLookUpsUseTheConcentratorCode)
{
    vPosto.PCadastraBico(QStringLiteral("121001"), QStringLiteral("09-01"), QStringLiteral("01-02"));
    const struct {
        int sl, bo, bi;
        bool registrado;
    } casos[] = {{1, 2, 3, true}, {1, 2, 4, false}, {0, 0, 0, false}, {12, 100, 1, false}, {12, 10, 1, true}};
    for (const auto& caso : casos)
        EXPECT_EQ(vBanco->FExisteBicoCadastrado(caso.sl, caso.bo, caso.bi), caso.registrado)
            << TBancoDados::FCodigoConcentrador(caso.sl, caso.bo, caso.bi).toStdString();
    EXPECT_EQ(TBancoDados::FCodigoConcentrador(12, 100, 1), QStringLiteral("1210001"));
}

TEST_F(Banco, NozzleWithoutItsTankGivesEmptyStationCodes)
{
    vPosto.PCadastraBico(QStringLiteral("010301"), QStringLiteral("06-01"), QStringLiteral("09-09"));
    ASSERT_TRUE(vBanco->FExisteBicoCadastrado(1, 3, 1));
    const auto a = vBanco->FRetornaDadosProduto(1, 3, 1);
    EXPECT_TRUE(a->Codbico().isEmpty() && a->Combustivel().isEmpty() && a->Codgrade().isEmpty() &&
                a->Codprod().isEmpty() && a->CodEmpresa().isEmpty());
    EXPECT_EQ(a->Sequencia(), 7);
    EXPECT_EQ(a->Emitido(), QStringLiteral("N"));
    const auto b = vBanco->FRetornaDadosProduto(1, 2, 3);
    EXPECT_EQ(b->Codbico(), QStringLiteral("05-02"));
    EXPECT_EQ(b->Codgrade(), QStringLiteral("0102"));
    EXPECT_EQ(b->CodEmpresa(), QStringLiteral("001"));
}

TEST_F(Banco, StatusGoesToOneNozzleOrTheWholePump)
{
    vPosto.PCadastraBico(QStringLiteral("010201"), QStringLiteral("05-01"), QStringLiteral("01-02"));
    vPosto.PCadastraBico(QStringLiteral("010101"), QStringLiteral("04-01"), QStringLiteral("01-02"));
    EXPECT_TRUE(vBanco->FGravaStatusBico(true, QStringLiteral("B"), 1, 2, 9));
    EXPECT_EQ(FLinhas(QStringLiteral("select codconcentrador, statusbico from bombas order by 1")),
              QStringLiteral("010101|L\n010201|B\n010203|B"));
    EXPECT_TRUE(vBanco->FGravaStatusBico(false, QStringLiteral("A"), 1, 2, 3));
    EXPECT_TRUE(vBanco->FGravaStatusBico(false, QStringLiteral("A"), 7, 7, 7)) << "no row matches: still true";
    EXPECT_EQ(FLinhas(QStringLiteral("select codconcentrador, statusbico from bombas order by 1")),
              QStringLiteral("010101|L\n010201|B\n010203|A"));
    EXPECT_FALSE(vBanco->FGravaStatusBico(false, QStringLiteral("XX"), 1, 2, 3));
    EXPECT_TRUE(vPosto.FLog().contains("Ocorreu um erro ao tentar alterar o status do bico.\rMotivo: "));
}

TEST_F(Banco, NozzleListIsOrderedAndReadsNullsAsEmpty)
{
    vPosto.PCadastraBico(QStringLiteral("010101"), QStringLiteral("04-01"), QStringLiteral("01-02"),
                         QStringLiteral("ETANOL"), 3.899);
    vPosto.PExecuta(QStringLiteral("insert into bombas (codconcentrador) values ('020101')"));
    const auto lista = vBanco->FRetornaDadosBico();
    ASSERT_EQ(lista->Count(), 3);
    EXPECT_EQ(lista->FBico(0)->Bomba(), 1);
    EXPECT_EQ(lista->FBico(0)->Descricao(), QStringLiteral("ETANOL"));
    EXPECT_EQ(lista->FBico(0)->Preco(), 3.899);
    EXPECT_EQ(lista->FBico(1)->Tanque(), 1);
    EXPECT_EQ(lista->FBico(1)->Bico(), 3);
    EXPECT_EQ(lista->FBico(1)->Status(), QStringLiteral("L"));
    EXPECT_EQ(lista->FBico(2)->Tanque(), 2);
    EXPECT_EQ(lista->FBico(2)->Preco(), 0.0);
    EXPECT_TRUE(lista->FBico(2)->Descricao().isEmpty() && lista->FBico(2)->Status().isEmpty());

    vPosto.PExecuta(QStringLiteral("insert into bombas (codconcentrador) values ('0A0101')"));
    EXPECT_THROW(vBanco->FRetornaDadosBico(), EErro) << "a code that is not a number";
    vPosto.PExecuta(QStringLiteral("update bombas set codconcentrador = null where codconcentrador = '0A0101'"));
    EXPECT_THROW(vBanco->FRetornaDadosBico(), EErro) << "a null code is an empty one, not nozzle 0-0-0";
    vPosto.PExecuta(QStringLiteral("delete from bombas"));
    EXPECT_EQ(vBanco->FRetornaDadosBico()->Count(), 0);
}

class Conexao : public ::testing::Test {
protected:
    TDiretorioTeste vDir;
};

TEST_F(Conexao, FailedAttachIsLoggedAndAsksTheProgramToEnd)
{
    const struct {
        const char* ini;
        const char* caso;
    } casos[] = {
        {nullptr, "no ZelvioECF.ini: an empty path"},
        {"[CONEXAO]\r\nCAMINHO=/nao/existe/posto.fdb\r\nUSER=SYSDBA\r\nPASSWORD=099098097\r\n", "missing file"},
        {"[CONEXAO]\r\nCAMINHO=/tmp/x.fdb\r\nPASSWORD=09a\r\n", "a password that cannot be decoded"},
        {"\x01\xff[CONEXAO\x80\r\n==\r\nCAMINHO\r\n", "binary garbage"},
        {"[CONEXAO]\r\nCAMINHO=/tmp/x.fdb\r\nPASSWORD=999999999999999999999\r\n", "a password of huge codes"},
    };
    for (const auto& caso : casos) {
        if (caso.ini)
            vDir.PGrava(QStringLiteral("ZelvioECF.ini"), QByteArray(caso.ini));
        const TBancoDados banco;
        EXPECT_TRUE(banco.FimSolicitado()) << caso.caso;
        const QByteArray log = vDir.FLe(QFileInfo(TGenerico::FArquivoLog(QDate::currentDate())).fileName());
        EXPECT_TRUE(log.endsWith("\r" + QByteArray(50, '-') + "\r\n")) << caso.caso;
        EXPECT_TRUE(log.contains("Ocorreu um erro ao ao tentar comunicar com o banco de dados.\rMotivo: "))
            << caso.caso << ": " << log.toStdString();
        vDir.PGrava(QFileInfo(TGenerico::FArquivoLog(QDate::currentDate())).fileName(), {});
    }
}

TEST(ConexaoPosto, SettingsWithAByteOrderMarkAttach)
{
    TPostoTeste posto;
    posto.Diretorio().PGrava(QStringLiteral("ZelvioECF.ini"),
                             "\xEF\xBB\xBF" + posto.Diretorio().FLe(QStringLiteral("ZelvioECF.ini")));
    const TBancoDados banco;
    EXPECT_FALSE(banco.FimSolicitado()) << posto.FLog().toStdString();
}

TEST_F(Conexao, StatementsAfterAFailedAttachFailWithTheClientsError)
{
    const TBancoDados banco;
    TBancoDados& b = const_cast<TBancoDados&>(banco);
    EXPECT_THROW(b.FExisteBicoCadastrado(1, 1, 1), EErroBanco);
}

TEST(Firebird, NamedParametersBecomePositionalOutsideLiterals)
{
    QStringList nomes;
    EXPECT_EQ(TConexaoFirebird::FTraduzParametros(
                  QStringLiteral("select ':x', \"a:b\" from t where a = :PA and b = :pb_2 or c = :PA || 'it''s :no'"),
                  nomes),
              QStringLiteral("select ':x', \"a:b\" from t where a = ? and b = ? or c = ? || 'it''s :no'"));
    EXPECT_EQ(nomes, (QStringList{QStringLiteral("PA"), QStringLiteral("pb_2"), QStringLiteral("PA")}));
}

} // namespace
