#include "ApoioTestes.h"
#include "UConfiguracaoRegional.h"
#include "UErro.h"
#include "UGenerico.h"
#include "UGravacaoAtomica.h"

#include <QDate>
#include <QDir>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

namespace {

const QByteArray cTracos(50, '-');

class Log : public ::testing::Test {
protected:
    void SetUp() override
    {
        TConfiguracaoRegional::PDefine(QLatin1Char(','), QLatin1Char('/'), QLatin1Char(':'));
        vNome = QFileInfo(TGenerico::FArquivoLog(QDate::currentDate())).fileName();
    }
    void TearDown() override
    {
        TGravacaoAtomica::PDefineAntesDeRenomear({});
        TConfiguracaoRegional::PCarregaDoSistema();
    }

    // The stamp changes with the clock; everything else must match byte for byte.
    QByteArray FSemCarimbo() const
    {
        QByteArray bytes = vDir.FLe(vNome);
        static const QRegularExpression carimbo(QStringLiteral("Data / Hora: \\d\\d/\\d\\d/\\d{4} / \\d\\d:\\d\\d:\\d\\d"));
        return QString::fromLatin1(bytes).replace(carimbo, QStringLiteral("Data / Hora: T")).toLatin1();
    }

    TDiretorioTeste vDir;
    QString vNome;
};

TEST_F(Log, FileIsNamedAfterTheDay)
{
    EXPECT_EQ(QFileInfo(TGenerico::FArquivoLog(QDate(2015, 3, 5))).fileName(),
              QStringLiteral("ConnectTarnex05032015.log"));
}

TEST_F(Log, TwoEntriesByteForByte)
{
    TGenerico::PGeraLog(QStringLiteral("Sl: 01\rBo: 02"));
    EXPECT_EQ(FSemCarimbo(), "Data / Hora: T\r" + cTracos + "\rSl: 01\rBo: 02\r" + cTracos + "\r\n")
        << FVisivel(vDir.FLe(vNome));

    TGenerico::PGeraLog(QStringLiteral("FcmOpen - OK"));
    EXPECT_EQ(FSemCarimbo(), "Data / Hora: T\r\n" + cTracos + "\r\nSl: 01\r\nBo: 02\r\n" + cTracos + "\r\n" +
                                 "Data / Hora: T\r" + cTracos + "\rFcmOpen - OK\r" + cTracos + "\r\n")
        << FVisivel(vDir.FLe(vNome));
}

TEST_F(Log, StampUsesTheWorkstationsSeparatorsAndTheCurrentDay)
{
    TConfiguracaoRegional::PDefine(QLatin1Char(','), QLatin1Char('-'), QLatin1Char('.'));
    TGenerico::PGeraLog(QString());
    const QString texto = QString::fromLatin1(vDir.FLe(vNome));
    const QString hoje = QDate::currentDate().toString(QStringLiteral("dd-MM-yyyy"));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^Data / Hora: %1 - \\d\\d\\.\\d\\d\\.\\d\\d\\r-{50}\\r\\r-{50}\\r\\n$")
                                       .arg(hoje))
                    .match(texto)
                    .hasMatch())
        << FVisivel(texto.toLatin1());
}

TEST_F(Log, EarlierEntriesAreResplitAtEveryKindOfLineEnd)
{
    vDir.PGrava(vNome, QByteArray("a\rb\nc\r\nd\n\re"));
    TGenerico::PGeraLog(QStringLiteral("x"));
    EXPECT_EQ(FSemCarimbo(), "a\r\nb\r\nc\r\nd\r\n\r\ne\r\nData / Hora: T\r" + cTracos + "\rx\r" + cTracos + "\r\n");
}

TEST_F(Log, EncodingIsKeptAsFound)
{
    TGenerico::PGeraLog(QStringLiteral("Preço"));
    EXPECT_TRUE(vDir.FLe(vNome).contains("Pre\xE7o")) << "8-bit text without a byte-order mark";

    vDir.PGrava(vNome, QByteArray("\xEF\xBB\xBFinício\r\n"));
    TGenerico::PGeraLog(QStringLiteral("Preço"));
    EXPECT_EQ(FSemCarimbo(), "\xEF\xBB\xBFinício\r\nData / Hora: T\r" + cTracos + "\rPreço\r" + cTracos + "\r\n");

    vDir.PGrava(vNome, QByteArray("\xFF\xFEo\0k\0\r\0\n\0", 10));
    TGenerico::PGeraLog(QStringLiteral("ç"));
    const QByteArray utf16 = vDir.FLe(vNome);
    EXPECT_TRUE(utf16.startsWith(QByteArray("\xFF\xFEo\0k\0\r\0\n\0D\0", 12))) << FVisivel(utf16);
    EXPECT_TRUE(utf16.endsWith(QByteArray("\r\0\n\0", 4)));
}

TEST_F(Log, CrashAtTheRenameLeavesTheOldDayLogIntact)
{
    TGenerico::PGeraLog(QStringLiteral("primeira"));
    const QByteArray antes = vDir.FLe(vNome);

    const pid_t filho = ::fork();
    ASSERT_GE(filho, 0);
    if (filho == 0) {
        TGravacaoAtomica::PDefineAntesDeRenomear([] { ::_exit(42); });
        TGenerico::PGeraLog(QStringLiteral("segunda"));
        ::_exit(0);
    }
    int estado = 0;
    ASSERT_EQ(::waitpid(filho, &estado, 0), filho);
    ASSERT_TRUE(WIFEXITED(estado) && WEXITSTATUS(estado) == 42) << "the write did not reach the rename";
    EXPECT_EQ(vDir.FLe(vNome), antes) << FVisivel(vDir.FLe(vNome));

    TGenerico::PGeraLog(QStringLiteral("terceira"));
    EXPECT_TRUE(vDir.FLe(vNome).startsWith(QByteArray(antes).replace("\r" + cTracos + "\rprimeira\r", "\r\n" + cTracos + "\r\nprimeira\r\n")));
}

TEST_F(Log, FailedWriteRaisesAndKeepsTheOldFile)
{
    TGenerico::PGeraLog(QStringLiteral("primeira"));
    const QByteArray antes = vDir.FLe(vNome);
    TGravacaoAtomica::PDefineAntesDeRenomear([] { throw EErro(QStringLiteral("sem espaço")); });
    EXPECT_THROW(TGenerico::PGeraLog(QStringLiteral("segunda")), EErro);
    EXPECT_EQ(vDir.FLe(vNome), antes);
    EXPECT_EQ(QDir(vDir.FCaminho(QString())).entryList(QDir::Files), QStringList{vNome}) << "temporary file left";
}

} // namespace
