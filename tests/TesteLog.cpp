#include "ApoioTestes.h"
#include "UConfiguracaoRegional.h"
#include "UDisco.h"
#include "UErro.h"
#include "UGenerico.h"
#include "UGravacaoAtomica.h"

#include <QDate>
#include <QDir>
#include <QRegularExpression>
#include <QStringDecoder>

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

namespace {

const QByteArray cTracos(50, '-');
const QString cRefazer = QStringLiteral("ConnectTarnex.refazer");

// Runs pAcao in a process of its own, as another run of the program: it
// knows nothing of what this process wrote. Its exit code; 3 when it raised.
int FNoutroProcesso(const std::function<void()>& pAcao)
{
    const pid_t filho = ::fork();
    if (filho == 0) {
        try {
            pAcao();
        } catch (...) {
            ::_exit(3);
        }
        ::_exit(0);
    }
    int estado = 0;
    if (filho < 0 || ::waitpid(filho, &estado, 0) != filho)
        return -1;
    return WIFEXITED(estado) ? WEXITSTATUS(estado) : -1;
}

// A day log's text with the stamps, which change with the clock, masked.
QString FTextoSemCarimbo(const QByteArray& pBytes)
{
    QString texto;
    if (pBytes.startsWith("\xFF\xFE"))
        texto = QStringDecoder(QStringDecoder::Utf16LE).decode(pBytes.mid(2));
    else
        texto = QString::fromLatin1(pBytes);
    static const QRegularExpression carimbo(QStringLiteral("Data / Hora: \\d\\d/\\d\\d/\\d{4} / \\d\\d:\\d\\d:\\d\\d"));
    return texto.replace(carimbo, QStringLiteral("Data / Hora: T"));
}

// The log of these entries as the program writes it: CR LF after every line
// of the earlier ones, single CRs inside the newest.
QByteArray FLogEsperado(const QStringList& pTextos)
{
    QByteArray log;
    for (qsizetype i = 0; i < pTextos.size(); ++i) {
        const QByteArray quebra = i + 1 < pTextos.size() ? "\r\n" : "\r";
        log += "Data / Hora: T" + quebra + cTracos + quebra + pTextos.at(i).toLatin1().replace('\r', quebra) + quebra +
               cTracos + "\r\n";
    }
    return log;
}

// The steps each entry took on the disk.
class TPassos {
public:
    TPassos()
    {
        TDisco::PDefineObservador([this](const TDisco::TPasso& pPasso) { vTipos.append(pPasso.vTipo); });
    }
    ~TPassos() { TDisco::PDefineObservador({}); }
    // Whether the steps since the last call replaced the file by a rename.
    bool FReescreveu()
    {
        const bool renomeou = vTipos.contains(TDisco::TTipo::Renomeia);
        vTipos.clear();
        return renomeou;
    }

private:
    QList<TDisco::TTipo> vTipos;
};

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
        TDisco::PDefineObservador({});
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
    // Written by an earlier run: the next entry replaces the whole file.
    ASSERT_EQ(FNoutroProcesso([] { TGenerico::PGeraLog(QStringLiteral("primeira")); }), 0);
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

// Both ways of writing an entry, failing at each of their steps: the call
// raises, the file is as it was, no temporary file is left behind, and the
// next entry is written whole.
TEST_F(Log, FailedWriteRaisesAndKeepsTheOldFile)
{
    for (const bool acrescimo : {false, true}) {
        for (int passo = 0;; ++passo) {
            const TDiretorioTeste dir;
            ASSERT_EQ(FNoutroProcesso([] { TGenerico::PGeraLog(QStringLiteral("primeira")); }), 0);
            if (acrescimo)
                TGenerico::PGeraLog(QStringLiteral("segunda"));
            const QByteArray antes = dir.FLe(vNome);
            int contados = 0;
            TDisco::PDefineObservador([&](const TDisco::TPasso& p) {
                // Syncing a directory is best effort: it never fails a write.
                if (p.vTipo != TDisco::TTipo::SincronizaDiretorio && contados++ == passo)
                    throw EErro(QStringLiteral("sem espaço"));
            });
            bool levantou = false;
            try {
                TGenerico::PGeraLog(QStringLiteral("terceira"));
            } catch (const EErro&) {
                levantou = true;
            }
            TDisco::PDefineObservador({});
            const std::string caso = (acrescimo ? "append, step " : "rewrite, step ") + std::to_string(passo);
            if (!levantou) {
                EXPECT_GT(passo, 2) << caso << ": no step failed";
                break; // past the last step
            }
            EXPECT_EQ(dir.FLe(vNome), antes) << caso << "\n" << FVisivel(dir.FLe(vNome));
            QStringList arquivos = QDir(dir.FCaminho(QString())).entryList(QDir::Files);
            arquivos.removeOne(cRefazer);
            EXPECT_EQ(arquivos, QStringList{vNome}) << caso << ": temporary file left";
            TGenerico::PGeraLog(QStringLiteral("quarta"));
            const QStringList esperadas = acrescimo ? QStringList{QStringLiteral("primeira"), QStringLiteral("segunda"),
                                                                  QStringLiteral("quarta")}
                                                    : QStringList{QStringLiteral("primeira"), QStringLiteral("quarta")};
            EXPECT_EQ(FTextoSemCarimbo(dir.FLe(vNome)), QString::fromLatin1(FLogEsperado(esperadas))) << caso;
        }
    }
}

// The program killed at each step of an entry, and in the middle of each
// write: when it runs again, every earlier entry is there whole, the entry it
// was writing is there whole or not at all, and the next starts on its own line.
TEST_F(Log, CrashAtAnyStepLosesNoEarlierEntry)
{
    constexpr int cMorreu = 42;
    constexpr int cNaoSeAplica = 43;
    for (const bool acrescimo : {false, true}) {
        for (int passo = 0, fim = 0; !fim; ++passo) {
            for (const bool noMeio : {false, true}) {
                const TDiretorioTeste dir;
                ASSERT_EQ(FNoutroProcesso([] { TGenerico::PGeraLog(QStringLiteral("primeira")); }), 0);
                const int saida = FNoutroProcesso([&] {
                    if (acrescimo)
                        TGenerico::PGeraLog(QStringLiteral("segunda"));
                    int contados = 0;
                    TDisco::PDefineObservador([&](const TDisco::TPasso& p) {
                        if (contados++ != passo)
                            return;
                        if (noMeio && p.vTipo != TDisco::TTipo::Grava)
                            ::_exit(cNaoSeAplica);
                        if (noMeio)
                            (void)!::pwrite(p.vDescritor, p.vDados->constData(), static_cast<size_t>(p.vDados->size() / 2),
                                            p.vPosicao);
                        ::_exit(cMorreu);
                    });
                    TGenerico::PGeraLog(QStringLiteral("terceira\rPreço"));
                });
                const std::string caso = (acrescimo ? "append" : "rewrite") + std::string(", step ") +
                                         std::to_string(passo) + (noMeio ? ", write cut in half" : "");
                if (saida == 0) {
                    fim = 1; // past the last step
                    break;
                }
                if (saida == cNaoSeAplica)
                    continue;
                ASSERT_EQ(saida, cMorreu) << caso;
                TGenerico::PGeraLog(QStringLiteral("quarta"));
                QStringList anteriores{QStringLiteral("primeira")};
                if (acrescimo)
                    anteriores.append(QStringLiteral("segunda"));
                const QString obtido = FTextoSemCarimbo(dir.FLe(vNome));
                const QString sem = QString::fromLatin1(FLogEsperado(anteriores + QStringList{QStringLiteral("quarta")}));
                const QString com = QString::fromLatin1(
                    FLogEsperado(anteriores + QStringList{QStringLiteral("terceira\rPre\xE7o"), QStringLiteral("quarta")}));
                EXPECT_TRUE(obtido == sem || obtido == com) << caso << "\n" << FVisivel(obtido.toLatin1());
            }
        }
    }
}

// Files another program left or changed, with odd line ends or none at the
// end, a byte-order mark, an entry cut short: entries written while the
// file is as this process left it are appended, the others rewrite it, and
// either way the bytes are those of rewriting the whole file every time.
TEST_F(Log, AppendGivesTheBytesOfTheWholeRewrite)
{
    using TMuda = std::function<void(const TDiretorioTeste&, const QString&)>;
    const TMuda nada = [](const TDiretorioTeste&, const QString&) {};
    const struct {
        const char* vNome;
        QByteArray vInicial; // empty: no file yet
        TMuda vEntre;        // what another program does after the first entry
        bool vAcrescentaSegunda;
        bool vAcrescentaTerceira;
    } casos[] = {
        {"new file", {}, nada, true, true},
        {"CR-only lines", "a\rb\r", nada, true, true},
        {"LF-only lines", "a\nb\n", nada, true, true},
        {"no final line break", "a\r\nb", nada, true, true},
        {"every kind of line end", "a\rb\nc\r\nd\n\re", nada, true, true},
        {"8-bit text", "Pre\xE7o\r\n", nada, true, true},
        {"entry cut short by a crash", "Data / Hora: 01/01/2026 / 00:00:00\r" + cTracos.left(20), nada, true, true},
        {"UTF-8 byte-order mark", "\xEF\xBB\xBFin\xC3\xAD" "cio\r\n", nada, false, false},
        {"UTF-16 byte-order mark", QByteArray("\xFF\xFEo\0k\0\r\0\n\0", 10), nada, false, false},
        {"another program appends", {},
         [](const TDiretorioTeste& d, const QString& n) { d.PGrava(n, d.FLe(n) + "de outro programa"); }, false, true},
        {"another program changes the newest entry", {},
         [](const TDiretorioTeste& d, const QString& n) { d.PGrava(n, d.FLe(n).replace("Sl: 01", "Sl: 02")); }, false,
         true},
    };
    // Another copy of the same bytes: a file this process did not write.
    const TMuda copia = [](const TDiretorioTeste& d, const QString& n) {
        d.PGrava(n + QStringLiteral(".copia"), d.FLe(n));
        ASSERT_EQ(::rename(QFile::encodeName(d.FCaminho(n + QStringLiteral(".copia"))).constData(),
                           QFile::encodeName(d.FCaminho(n)).constData()),
                  0);
    };
    for (const auto& caso : casos) {
        QString porCaminho[2];
        for (const bool sempreReescreve : {false, true}) {
            const TDiretorioTeste dir;
            if (!caso.vInicial.isEmpty())
                dir.PGrava(vNome, caso.vInicial);
            TPassos passos;
            TGenerico::PGeraLog(QStringLiteral("Sl: 01\rBo: 02"));
            caso.vEntre(dir, vNome);
            EXPECT_TRUE(passos.FReescreveu()) << caso.vNome << ": a file this process never wrote";
            for (const auto& [texto, acrescenta] : {std::pair{"Pre\xE7o: 5,799", caso.vAcrescentaSegunda},
                                                    std::pair{"", caso.vAcrescentaTerceira}}) {
                if (sempreReescreve)
                    copia(dir, vNome);
                TGenerico::PGeraLog(QString::fromLatin1(texto));
                EXPECT_EQ(passos.FReescreveu(), sempreReescreve || !acrescenta) << caso.vNome << ", entry " << texto;
            }
            porCaminho[sempreReescreve] = FTextoSemCarimbo(dir.FLe(vNome));
        }
        EXPECT_EQ(porCaminho[0], porCaminho[1]) << caso.vNome;
        EXPECT_TRUE(porCaminho[0].endsWith(QStringLiteral("Data / Hora: T\r") + QString::fromLatin1(cTracos) +
                                           QStringLiteral("\r\r") + QString::fromLatin1(cTracos) + QStringLiteral("\r\n")))
            << caso.vNome << "\n" << FVisivel(porCaminho[0].toLatin1());
    }
}

} // namespace
