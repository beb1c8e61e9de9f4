#include "ApoioTestes.h"
#include "UArquivoIni.h"
#include "UErro.h"
#include "UGravacaoAtomica.h"

#include <QDir>

#include <gtest/gtest.h>

#include <memory>
#include <thread>

namespace {

class ArquivoIni : public ::testing::Test {
protected:
    TDiretorioTeste vDir;
    TArquivoIni vIni{vDir.FCaminho(QStringLiteral("teste.ini"))};

    void PEscreve(const char* pConteudo) { vDir.PGrava(QStringLiteral("teste.ini"), QByteArray(pConteudo)); }
    QByteArray FConteudo() const { return vDir.FLe(QStringLiteral("teste.ini")); }
};

TEST_F(ArquivoIni, FindsSectionsAndKeysWithoutRegardToCaseOrBlanks)
{
    PEscreve("; comentario\r\n[ Abastecimento ]\r\n  Id =  42  \r\nAutorizaAuto=1\r\n");
    EXPECT_EQ(vIni.FLeInteiro(QStringLiteral("ABASTECIMENTO"), QStringLiteral("ID"), 1), 42);
    EXPECT_EQ(vIni.FLeTexto(QStringLiteral("abastecimento"), QStringLiteral("id"), QString()), QStringLiteral("42"));
    EXPECT_TRUE(vIni.FLeBooleano(QStringLiteral("Abastecimento"), QStringLiteral("AUTORIZAAUTO"), false));
}

TEST_F(ArquivoIni, MissingFileSectionOrKeyReadsAsDefault)
{
    EXPECT_EQ(vIni.FLeInteiro(QStringLiteral("A"), QStringLiteral("B"), 7), 7);
    PEscreve("[A]\nC=1\n");
    EXPECT_EQ(vIni.FLeInteiro(QStringLiteral("A"), QStringLiteral("B"), 7), 7);
    EXPECT_EQ(vIni.FLeInteiro(QStringLiteral("X"), QStringLiteral("C"), 7), 7);
    EXPECT_EQ(vIni.FLeTexto(QStringLiteral("X"), QStringLiteral("C"), QStringLiteral("p")), QStringLiteral("p"));
}

TEST_F(ArquivoIni, OnlyWholeDecimalNumbersWithin32BitsAreRead)
{
    const struct {
        const char* valor;
        int esperado;
    } casos[] = {
        {"12", 12},          {"-5", -5},         {"+8", 8},          {"0", 0},
        {"2147483647", 2147483647}, {"-2147483648", -2147483647 - 1},
        {"2147483648", -99}, {"99999999999999999999", -99},
        {"", -99},           {"abc", -99},       {"12abc", -99},     {"1.5", -99},
        {"1,5", -99},        {"0x1A", -99},      {"+-3", -99},       {"- 3", -99},
        {"\"17\"", 17},      {"yes", -99},
    };
    for (const auto& caso : casos) {
        PEscreve((QByteArray("[S]\r\nK=") + caso.valor + "\r\n").constData());
        EXPECT_EQ(vIni.FLeInteiro(QStringLiteral("S"), QStringLiteral("K"), -99), caso.esperado) << caso.valor;
    }
}

TEST_F(ArquivoIni, FirstOfDuplicateSectionsAndKeysWins)
{
    PEscreve("[S]\nK=1\nK=2\n[s]\nK=3\nJ=4\n");
    EXPECT_EQ(vIni.FLeInteiro(QStringLiteral("S"), QStringLiteral("K"), 0), 1);
    // Windows looks only in the first section of a name.
    EXPECT_EQ(vIni.FLeInteiro(QStringLiteral("S"), QStringLiteral("J"), 0), 0);
}

TEST_F(ArquivoIni, OddFilesNeverCrashAndReadAsDefaults)
{
    static const char lixo[] = "\x00\x01\xff\xfe[\x80\x81]\n=\n==\n[\n]\nK\n";
    const QByteArray casos[] = {
        QByteArray(),
        QByteArray(lixo, sizeof lixo - 1),
        QByteArray(200000, 'x'),
        QByteArray("[S]\nK") + QByteArray(100000, ' ') + "=5",
        QByteArray("\xEF\xBB\xBF[S]\r\nK=9\r\n"),
        QByteArray("[S]\nK=\n"),
    };
    for (const QByteArray& conteudo : casos) {
        vDir.PGrava(QStringLiteral("teste.ini"), conteudo);
        const int lido = vIni.FLeInteiro(QStringLiteral("S"), QStringLiteral("K"), 3);
        EXPECT_TRUE(lido == 3 || lido == 5 || lido == 9) << lido;
    }
    vDir.PGrava(QStringLiteral("teste.ini"), QByteArray("\xEF\xBB\xBF[S]\r\nK=9\r\n"));
    EXPECT_EQ(vIni.FLeInteiro(QStringLiteral("S"), QStringLiteral("K"), 3), 9) << "a UTF-8 BOM hides nothing";
}

TEST_F(ArquivoIni, WriteChangesOneKeyAndKeepsEveryOtherByte)
{
    PEscreve("; Configuração da estação\r\n[Outra]\r\nX = texto livre\r\n\r\n[ABASTECIMENTO]\r\n"
             "  Id = 41\r\nAUTORIZAAUTO=0\r\n\r\n[FCM1]\r\nNUMBOMBAS=4\r\n");
    vIni.PGravaInteiro(QStringLiteral("abastecimento"), QStringLiteral("ID"), 42);
    EXPECT_EQ(FConteudo(), QByteArray("; Configuração da estação\r\n[Outra]\r\nX = texto livre\r\n\r\n[ABASTECIMENTO]\r\n"
                                      "Id=42\r\nAUTORIZAAUTO=0\r\n\r\n[FCM1]\r\nNUMBOMBAS=4\r\n"))
        << FVisivel(FConteudo());
}

TEST_F(ArquivoIni, WriteCreatesFileSectionAndKeyWhereMissing)
{
    vIni.PGravaInteiro(QStringLiteral("ABASTECIMENTO"), QStringLiteral("ID"), 2);
    EXPECT_EQ(FConteudo(), QByteArray("[ABASTECIMENTO]\r\nID=2\r\n"));
    vIni.PGravaBooleano(QStringLiteral("ABASTECIMENTO"), QStringLiteral("AUTORIZAAUTO"), true);
    vIni.PGravaInteiro(QStringLiteral("FCM2"), QStringLiteral("NUMBOMBAS"), 6);
    EXPECT_EQ(FConteudo(), QByteArray("[ABASTECIMENTO]\r\nID=2\r\nAUTORIZAAUTO=1\r\n[FCM2]\r\nNUMBOMBAS=6\r\n"))
        << FVisivel(FConteudo());
}

TEST_F(ArquivoIni, NewKeyGoesAfterTheSectionsLastKeyAndKeepsTheFilesLineEnds)
{
    PEscreve("[A]\nX=1\n\n[B]\nY=2");
    vIni.PGravaInteiro(QStringLiteral("A"), QStringLiteral("Z"), 3);
    vIni.PGravaInteiro(QStringLiteral("B"), QStringLiteral("W"), 4);
    EXPECT_EQ(FConteudo(), QByteArray("[A]\nX=1\nZ=3\n\n[B]\nY=2\nW=4\n")) << FVisivel(FConteudo());
}

TEST_F(ArquivoIni, WriteKeepsAByteOrderMarkAndEightBitText)
{
    vDir.PGrava(QStringLiteral("teste.ini"), QByteArray("\xEF\xBB\xBF[S]\r\nK=1\r\n"));
    vIni.PGravaInteiro(QStringLiteral("S"), QStringLiteral("K"), 2);
    EXPECT_EQ(FConteudo(), QByteArray("\xEF\xBB\xBF[S]\r\nK=2\r\n"));

    vDir.PGrava(QStringLiteral("teste.ini"), QByteArray("; esta\xE7\xE3o\r\n[S]\r\nK=1\r\n"));
    vIni.PGravaInteiro(QStringLiteral("S"), QStringLiteral("K"), 2);
    EXPECT_EQ(FConteudo(), QByteArray("; esta\xE7\xE3o\r\n[S]\r\nK=2\r\n")) << "a Windows 8-bit file stays 8-bit";
}

TEST_F(ArquivoIni, FailedWriteLeavesTheOldFileAndNoTemporaryFile)
{
    PEscreve("[S]\r\nK=1\r\n");
    TGravacaoAtomica::PDefineAntesDeRenomear([] { throw EErro(QStringLiteral("disco cheio")); });
    EXPECT_THROW(vIni.PGravaInteiro(QStringLiteral("S"), QStringLiteral("K"), 2), EErro);
    TGravacaoAtomica::PDefineAntesDeRenomear({});
    EXPECT_EQ(FConteudo(), QByteArray("[S]\r\nK=1\r\n"));
    EXPECT_EQ(QDir(vDir.FCaminho(QString())).entryList(QDir::Files), QStringList{QStringLiteral("teste.ini")});
}

// The capture writes the Id on its own thread while an operator window may
// write another key of the same file: neither change may be lost.
TEST_F(ArquivoIni, WritesOfTwoThreadsToOneFileLoseNeitherChange)
{
    PEscreve("[ABASTECIMENTO]\r\nID=5\r\n[FCM1]\r\nNUMBOMBAS=4\r\n");
    const std::unique_ptr<TGravacaoPreparada> id =
        vIni.FPreparaTexto(QStringLiteral("ABASTECIMENTO"), QStringLiteral("ID"), QStringLiteral("6"));
    vIni.PGravaInteiro(QStringLiteral("FCM1"), QStringLiteral("NUMBOMBAS"), 8); // while the Id waits for its rename
    id->PConclui();
    EXPECT_EQ(FConteudo(), QByteArray("[ABASTECIMENTO]\r\nID=6\r\n[FCM1]\r\nNUMBOMBAS=8\r\n"));

    constexpr int cVezes = 200;
    std::thread outra([&] {
        for (int i = 1; i <= cVezes; ++i)
            vIni.PGravaInteiro(QStringLiteral("FCM1"), QStringLiteral("NUMBOMBAS"), i);
    });
    for (int i = 1; i <= cVezes; ++i)
        vIni.FPreparaTexto(QStringLiteral("ABASTECIMENTO"), QStringLiteral("ID"), QString::number(i))->PConclui();
    outra.join();
    EXPECT_EQ(FConteudo(), QByteArray("[ABASTECIMENTO]\r\nID=200\r\n[FCM1]\r\nNUMBOMBAS=200\r\n"));
    EXPECT_EQ(QDir(vDir.FCaminho(QString())).entryList(QDir::Files), QStringList{QStringLiteral("teste.ini")})
        << "no temporary file left behind";
}

TEST_F(ArquivoIni, WriteIntoAMissingDirectoryRaisesAClearError)
{
    const TArquivoIni ini(vDir.FCaminho(QStringLiteral("nao/existe.ini")));
    try {
        ini.PGravaInteiro(QStringLiteral("S"), QStringLiteral("K"), 1);
        FAIL() << "no error";
    } catch (const EErro& erro) {
        EXPECT_TRUE(erro.Mensagem().startsWith(QStringLiteral("Não foi possível gravar o arquivo "))) << erro.what();
        EXPECT_TRUE(erro.Mensagem().contains(QStringLiteral("\rMotivo: "))) << erro.what();
    }
}

} // namespace
