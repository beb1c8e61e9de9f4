// Texts in the station's Windows code page: what bytes 0x80 to 0x9F mean,
// and that every byte comes back as itself in the day log.
#include "ApoioTestes.h"
#include "UConfiguracaoRegional.h"
#include "UGenerico.h"
#include "UWindows1252.h"

#include <QDate>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace {

QByteArray FTodosOsBytes()
{
    QByteArray bytes;
    for (int b = 0; b < 256; ++b)
        bytes += static_cast<char>(b);
    return bytes;
}

TEST(Windows1252, EveryByteComesBackAsItself)
{
    const QByteArray bytes = FTodosOsBytes();
    const QString texto = TWindows1252::FDecodifica(bytes);
    ASSERT_EQ(texto.size(), 256);
    EXPECT_EQ(TWindows1252::FCodifica(texto), bytes);
    const struct {
        unsigned char byte;
        char16_t caractere;
    } casos[] = {{0x41, u'A'},     {0x80, u'\u20AC'}, {0x85, u'\u2026'}, {0x93, u'\u201C'}, {0x94, u'\u201D'},
                 {0x96, u'\u2013'}, {0x97, u'\u2014'}, {0x99, u'\u2122'}, {0x9F, u'\u0178'}, {0xA0, u'\u00A0'},
                 {0xC7, u'\u00C7'}, {0xE3, u'\u00E3'}, {0xFF, u'\u00FF'},
                 // undefined in the page: the character of the same number
                 {0x81, u'\u0081'}, {0x8D, u'\u008D'}, {0x8F, u'\u008F'}, {0x90, u'\u0090'}, {0x9D, u'\u009D'}};
    for (const auto& caso : casos)
        EXPECT_EQ(texto.at(caso.byte).unicode(), caso.caractere) << std::hex << int(caso.byte);
}

TEST(Windows1252, CharactersThePageLacksBecomeAQuestionMark)
{
    EXPECT_EQ(TWindows1252::FCodifica(u"Preço “5,799” – € ™"), QByteArray("Pre\xE7o \x93" "5,799\x94 \x96 \x80 \x99"));
    EXPECT_EQ(TWindows1252::FCodifica(u"\u4E2D\U0001F600\u0080\u009F!"), QByteArray("???" "?!"))
        << "one mark per character, also beyond 16 bits; Latin-1's controls are not in the page";
}

// A day log in the 8-bit code page, written by an earlier run or by another
// program: a new entry keeps every byte of it and is written in the page.
TEST(Windows1252, DayLogKeepsItsBytesAndWritesThePage)
{
    TDiretorioTeste dir;
    TConfiguracaoRegional::PDefine(QLatin1Char(','), QLatin1Char('/'), QLatin1Char(':'));
    const QString nome = QFileInfo(TGenerico::FArquivoLog(QDate::currentDate())).fileName();
    const QByteArray antes = "Data / Hora: 05/03/2015 / 14:07:09\r\n" + QByteArray(50, '-') + "\r\n" +
                             FTodosOsBytes().mid(0x80, 0x80) + "\r\n" + QByteArray(50, '-') + "\r\n";
    dir.PGrava(nome, antes);
    TGenerico::PGeraLog(QStringLiteral("Combustível: “GASOLINA” – R$ 5,799 €"));
    const QByteArray depois = dir.FLe(nome);
    EXPECT_TRUE(depois.startsWith(antes)) << FVisivel(depois);
    EXPECT_TRUE(depois.contains("\rCombust\xEDvel: \x93GASOLINA\x94 \x96 R$ 5,799 \x80\r")) << FVisivel(depois);
    TConfiguracaoRegional::PCarregaDoSistema();
}

} // namespace
