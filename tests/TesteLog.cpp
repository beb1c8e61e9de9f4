#include "ApoioTestes.h"
#include "UConfiguracaoRegional.h"
#include "UDisco.h"
#include "UErro.h"
#include "UFinalArquivo.h"
#include "UGenerico.h"
#include "UGravacaoAtomica.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QRegularExpression>
#include <QStringDecoder>

#include <gtest/gtest.h>

#include <map>
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
    // How many steps of this kind since the last call of FConta or FReescreveu.
    qsizetype FConta(TDisco::TTipo pTipo) const { return vTipos.count(pTipo); }
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

// Both ways of writing an entry, or a group of them, failing at each of
// their steps: the call raises, the file is as it was (no entry of the group
// there), no temporary file is left behind, and the next entry is written
// whole.
TEST_F(Log, FailedWriteRaisesAndKeepsTheOldFile)
{
    for (const auto& [acrescimo, emGrupo] : {std::pair{false, false}, std::pair{true, false}, std::pair{false, true},
                                             std::pair{true, true}}) {
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
                if (emGrupo)
                    TGenerico::PGeraLog(QStringList{QStringLiteral("terceira"), QStringLiteral("terceira b")});
                else
                    TGenerico::PGeraLog(QStringLiteral("terceira"));
            } catch (const EErro&) {
                levantou = true;
            }
            TDisco::PDefineObservador({});
            const std::string caso = (acrescimo ? "append" : "rewrite") + std::string(emGrupo ? " of a group" : "") +
                                     ", step " + std::to_string(passo);
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

// The program killed at each step of an entry or a group of them, and in
// the middle of each write: when it runs again, every earlier entry is there
// whole, the entries it was writing are there whole or none of them, and the
// next starts on its own line.
TEST_F(Log, CrashAtAnyStepLosesNoEarlierEntry)
{
    constexpr int cMorreu = 42;
    constexpr int cNaoSeAplica = 43;
    const QStringList grupo{QStringLiteral("terceira\rPreço"), QStringLiteral("terceira b")};
    for (const auto& [acrescimo, emGrupo] : {std::pair{false, false}, std::pair{true, false}, std::pair{false, true},
                                             std::pair{true, true}}) {
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
                    if (emGrupo)
                        TGenerico::PGeraLog(grupo);
                    else
                        TGenerico::PGeraLog(grupo.first());
                });
                const std::string caso = (acrescimo ? "append" : "rewrite") + std::string(emGrupo ? " of a group" : "") +
                                         ", step " + std::to_string(passo) + (noMeio ? ", write cut in half" : "");
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
                QStringList escritas{QStringLiteral("terceira\rPre\xE7o")};
                if (emGrupo)
                    escritas.append(grupo.last());
                const QString com =
                    QString::fromLatin1(FLogEsperado(anteriores + escritas + QStringList{QStringLiteral("quarta")}));
                EXPECT_TRUE(obtido == sem || obtido == com) << caso << "\n" << FVisivel(obtido.toLatin1());
            }
        }
    }
}

// A power cut after an append returned, before the log file itself reached
// the disk: its new end is there in full, in part (the space reserved for it
// or not) or not at all, and only the redo record, synced, holds it. The
// recovery makes the file exactly what the append wrote. The append before
// it was deferred too: the bytes the record's guard is taken from are its.
TEST_F(Log, CutBeforeTheLogsOwnSyncIsCompletedFromTheRecord)
{
    const QString antesNome = QStringLiteral("antes.log");
    for (const bool emGrupo : {false, true}) {
        const TDiretorioTeste dir;
        const QStringList ultimas = emGrupo ? QStringList{QStringLiteral("terceira\rPreço"), QStringLiteral("quarta")}
                                            : QStringList{QStringLiteral("terceira\rPreço")};
        // Ended with nothing synced after the last call, as by the cut.
        ASSERT_EQ(FNoutroProcesso([&] {
                      TGenerico::PGeraLog(QStringLiteral("primeira"));
                      TGenerico::PGeraLog(QStringLiteral("segunda\rSl: 01"));
                      // Synced before the next record is written: what the disk holds.
                      QFile::copy(dir.FCaminho(vNome), dir.FCaminho(antesNome));
                      TGenerico::PGeraLog(ultimas);
                  }),
                  0);
        const QByteArray antes = dir.FLe(antesNome);
        const QByteArray depois = dir.FLe(vNome);
        const QByteArray registro = dir.FLe(cRefazer);
        ASSERT_EQ(FTextoSemCarimbo(depois),
                  QString::fromLatin1(FLogEsperado(QStringList{QStringLiteral("primeira"), QStringLiteral("segunda\rSl: 01")} +
                                                   QStringList{QStringLiteral("terceira\rPre\xE7o")} +
                                                   (emGrupo ? QStringList{QStringLiteral("quarta")} : QStringList{}))))
            << FVisivel(depois);
        ASSERT_TRUE(registro.startsWith("TNXREF01")) << "the record of the last append was annulled";
        qsizetype inicio = 0;
        while (antes.at(inicio) == depois.at(inicio))
            ++inicio;
        const qsizetype meio = (inicio + depois.size()) / 2;
        const QByteArray rasgado = depois.left(meio) + antes.mid(meio);
        const struct {
            const char* vNome;
            QByteArray vLog;
        } cortes[] = {
            {"new end lost", antes},
            {"new end lost, its space reserved", QByteArray(antes).leftJustified(depois.size(), '\0')},
            {"new end torn", rasgado},
            {"new end torn, its space reserved", QByteArray(rasgado).leftJustified(depois.size(), '\0')},
            {"new end whole", depois},
        };
        for (const auto& corte : cortes) {
            dir.PGrava(vNome, corte.vLog);
            dir.PGrava(cRefazer, registro);
            EXPECT_TRUE(TGenerico::FTemEntradaNoLog(QDate::currentDate(), ultimas.last())) << corte.vNome;
            EXPECT_EQ(dir.FLe(vNome), depois) << corte.vNome << (emGrupo ? ", group" : "") << "\n"
                                              << FVisivel(dir.FLe(vNome));
        }
    }
}

// Until the log is synced, the redo record is all that holds an appended
// end: on no path (appends one by one or in a group, a look for an entry,
// the event loop's turn, a rewrite) may the next record replace it, or an
// annulment void it, while the log has writes not yet on disk.
TEST_F(Log, RecordOutlivesEveryUnsyncedWriteOfTheLog)
{
    const QString log = QDir::cleanPath(vDir.FCaminho(vNome));
    const QString refazer = QDir::cleanPath(vDir.FCaminho(cRefazer));
    bool logNaoSincronizado = false;
    QStringList quebras;
    QString chamada;
    TDisco::PDefineObservador([&](const TDisco::TPasso& p) {
        const QString caminho = QDir::cleanPath(p.vCaminho);
        if (caminho == log)
            logNaoSincronizado = p.vTipo != TDisco::TTipo::Sincroniza &&
                                 (logNaoSincronizado || p.vTipo == TDisco::TTipo::Grava ||
                                  p.vTipo == TDisco::TTipo::Reserva || p.vTipo == TDisco::TTipo::Trunca);
        else if (caminho == refazer && p.vTipo == TDisco::TTipo::Grava && logNaoSincronizado)
            quebras.append(chamada);
    });
    const auto entrada = [&](const QStringList& pTextos) {
        chamada = pTextos.join(QLatin1Char('+'));
        TGenerico::PGeraLog(pTextos);
    };
    entrada({QStringLiteral("primeira")});
    entrada({QStringLiteral("segunda")});
    entrada({QStringLiteral("terceira")});
    entrada({QStringLiteral("quarta"), QStringLiteral("quinta")});
    chamada = QStringLiteral("FTemEntradaNoLog");
    EXPECT_TRUE(TGenerico::FTemEntradaNoLog(QDate::currentDate(), QStringLiteral("quinta")));
    entrada({QStringLiteral("sexta")});
    chamada = QStringLiteral("the event loop's turn");
    QCoreApplication::processEvents();
    entrada({QStringLiteral("sétima")});
    vDir.PGrava(vNome + QStringLiteral(".outro"), vDir.FLe(vNome));
    ASSERT_EQ(::rename(QFile::encodeName(vDir.FCaminho(vNome + QStringLiteral(".outro"))).constData(),
                       QFile::encodeName(vDir.FCaminho(vNome)).constData()),
              0);
    entrada({QStringLiteral("oitava, by a rewrite")});
    TDisco::PDefineObservador({});
    EXPECT_TRUE(quebras.isEmpty()) << "record written over while the log was unsynced, in: "
                                   << quebras.join(QStringLiteral(", ")).toStdString();
}

// The log's own sync runs when the event loop next gets its turn; failing
// there it raises nothing into the loop, and the record, still valid, is
// concluded by the next entry.
TEST_F(Log, LogsOwnSyncRunsOnTheEventLoopsNextTurn)
{
    TGenerico::PGeraLog(QStringLiteral("primeira"));
    TGenerico::PGeraLog(QStringLiteral("segunda"));
    ASSERT_TRUE(TFinalArquivo::FHaPendente());
    TDisco::PDefineObservador([](const TDisco::TPasso& p) {
        if (p.vTipo == TDisco::TTipo::Sincroniza)
            throw EErro(QStringLiteral("erro de E/S"));
    });
    QCoreApplication::processEvents();
    TDisco::PDefineObservador({});
    EXPECT_TRUE(TFinalArquivo::FHaPendente());
    EXPECT_TRUE(vDir.FLe(cRefazer).startsWith("TNXREF01")) << "the record of an unsynced append was annulled";

    TGenerico::PGeraLog(QStringLiteral("terceira"));
    QCoreApplication::processEvents();
    EXPECT_FALSE(TFinalArquivo::FHaPendente());
    EXPECT_TRUE(vDir.FLe(cRefazer).startsWith(QByteArray(8, '\0'))) << "the record of a synced append is still valid";
    EXPECT_EQ(FTextoSemCarimbo(vDir.FLe(vNome)),
              QString::fromLatin1(FLogEsperado({QStringLiteral("primeira"), QStringLiteral("segunda"),
                                                QStringLiteral("terceira")})));
}

// Files another program left or changed, with odd line ends or none at the
// end, a byte-order mark, an entry cut short: entries written while the
// file is as this process left it are appended, the others rewrite it, and
// either way the bytes are those of rewriting the whole file every time,
// whether the later entries come one by one or as one group (one sync of
// the redo record when appended, one rewrite otherwise).
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
    // Line ends of every kind inside an entry that is not the last.
    const QStringList seguintes{QString::fromLatin1("Pre\xE7o: 5,799\rBi: 03\nLitragem\r\n1,500"), QString()};
    for (const auto& caso : casos) {
        std::map<std::pair<bool, bool>, QString> porCaminho;
        for (const bool emGrupo : {false, true}) {
            for (const bool sempreReescreve : {false, true}) {
                const TDiretorioTeste dir;
                if (!caso.vInicial.isEmpty())
                    dir.PGrava(vNome, caso.vInicial);
                TPassos passos;
                TGenerico::PGeraLog(QStringLiteral("Sl: 01\rBo: 02"));
                caso.vEntre(dir, vNome);
                EXPECT_TRUE(passos.FReescreveu()) << caso.vNome << ": a file this process never wrote";
                if (emGrupo) {
                    if (sempreReescreve)
                        copia(dir, vNome);
                    TGenerico::PGeraLog(seguintes);
                    const bool acrescenta = !sempreReescreve && caso.vAcrescentaSegunda;
                    if (acrescenta)
                        EXPECT_EQ(passos.FConta(TDisco::TTipo::Sincroniza), 1) << caso.vNome << ", group";
                    else
                        EXPECT_EQ(passos.FConta(TDisco::TTipo::Renomeia), 1) << caso.vNome << ", group";
                    EXPECT_EQ(passos.FReescreveu(), !acrescenta) << caso.vNome << ", group";
                } else {
                    for (const auto& [texto, acrescenta] : {std::pair{seguintes.first(), caso.vAcrescentaSegunda},
                                                            std::pair{seguintes.last(), caso.vAcrescentaTerceira}}) {
                        if (sempreReescreve)
                            copia(dir, vNome);
                        TGenerico::PGeraLog(texto);
                        EXPECT_EQ(passos.FReescreveu(), sempreReescreve || !acrescenta)
                            << caso.vNome << ", entry " << texto.toStdString();
                    }
                }
                porCaminho[{emGrupo, sempreReescreve}] = FTextoSemCarimbo(dir.FLe(vNome));
            }
        }
        const QString& umAUm = porCaminho[{false, false}];
        for (const auto& [modo, texto] : porCaminho)
            EXPECT_EQ(texto, umAUm) << caso.vNome << (modo.first ? ", as a group" : ", one by one")
                                    << (modo.second ? ", rewritten" : ", appended");
        EXPECT_TRUE(umAUm.endsWith(QStringLiteral("Data / Hora: T\r") + QString::fromLatin1(cTracos) +
                                   QStringLiteral("\r\r") + QString::fromLatin1(cTracos) + QStringLiteral("\r\n")))
            << caso.vNome << "\n" << FVisivel(umAUm.toLatin1());
    }
}

} // namespace
