#include "ApoioServidorFirebird.h"
#include "ApoioTestes.h"
#include "UBancoDados.h"
#include "UEstacao.h"
#include "UGenerico.h"

#include <QDate>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace {

// The station database on a Firebird server that stops under the connection:
// the statement that meets the dead attachment fails as any statement does,
// and the next one attaches again by itself.
TEST(Reconexao, StatementAfterTheServerCameBackAttachesAgain)
{
    TDiretorioTeste dir;
    TServidorFirebird servidor;
    if (!servidor.Impedimento().isEmpty())
        GTEST_SKIP() << servidor.Impedimento().toStdString();
    ASSERT_TRUE(servidor.FInicia());
    const QString banco = servidor.FLocal(dir.FCaminho(QStringLiteral("posto.fdb")));
    TEstacao::PCriaBanco(banco, servidor.Usuario(), servidor.Senha(), true);
    TEstacao::PGravaConfiguracao(dir.FCaminho(QString()), banco, servidor.Usuario(), servidor.Senha(), false);

    TBancoDados bancoDados;
    ASSERT_FALSE(bancoDados.FimSolicitado()) << dir.FLe(QFileInfo(TGenerico::FArquivoLog(QDate::currentDate())).fileName()).toStdString();
    EXPECT_TRUE(bancoDados.FExisteBicoCadastrado(1, 1, 1));

    servidor.PDerruba();
    try {
        bancoDados.FExisteBicoCadastrado(1, 1, 1);
        ADD_FAILURE() << "a read on a dead attachment must fail";
    } catch (const EErroBanco& erro) {
        EXPECT_TRUE(erro.ConexaoPerdida()) << erro.what();
    }
    EXPECT_FALSE(bancoDados.FGravaStatusBico(false, QStringLiteral("A"), 1, 1, 1))
        << "the server is still down: the write fails and is logged";
    const QByteArray log = dir.FLe(QFileInfo(TGenerico::FArquivoLog(QDate::currentDate())).fileName());
    EXPECT_TRUE(log.contains("Ocorreu um erro ao tentar alterar o status do bico.\rMotivo: ")) << log.toStdString();

    ASSERT_TRUE(servidor.FInicia());
    EXPECT_TRUE(bancoDados.FExisteBicoCadastrado(1, 1, 1));
    EXPECT_TRUE(bancoDados.FGravaStatusBico(false, QStringLiteral("A"), 1, 1, 1));
}

} // namespace
