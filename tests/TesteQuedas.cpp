// Power cuts at every disk step of the capture path. A process kill keeps
// whatever the program wrote; a power cut keeps only what reached the disk.
// A run of fuelings (off-line and live, one across the Id wrap) through the
// real connector and component server is recorded step by step; then, for
// each crash point, the run is made afresh and every process is held right
// after that step, the program's own files are turned into what the cut
// would leave (ApoioQuedas.h), the real programs start on that disk, the
// server delivers again what was not acknowledged, and the promises are
// checked. The station database is left as Firebird left it: with forced
// writes it holds exactly the commits made before the cut.
//
// TARNEX_QUEDAS=todos checks every crash point (make crash); otherwise a
// bounded set: the points where faults were once found, and
// TARNEX_QUEDAS_PONTOS (8) more spread over the run. TARNEX_QUEDAS_MOSTRA
// lists the recorded steps and keeps the directories for a look.
#include "ApoioQuedas.h"
#include "ApoioTestes.h"
#include "UArquivoIni.h"
#include "UDiarioAbastecimentos.h"
#include "UDiretorioPrograma.h"
#include "UEstacao.h"
#include "UFirebird.h"
#include "UGenerico.h"
#include "UProtocoloFcm.h"
#include "URegistroDisco.h"

#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalSocket>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <functional>
#include <set>
#include <sys/file.h>
#include <unistd.h>

namespace {

constexpr int cSequenciaInicial = 7;
constexpr int cIdInicial = 9998;
// Thousandths of a litre, one value per fueling, and the nozzle: the first
// two made while no connector listens, the others live. The second one is
// numbered 9999: the sequence rises after it.
struct TAbastecimentoCenario {
    int vMililitros;
    int vBomba;
    bool vOffLine;
};
const std::vector<TAbastecimentoCenario> cAbastecimentos{
    {1001, 1, true}, {1002, 2, true}, {1003, 3, false}, {1004, 4, false}, {1005, 1, false}};
const QByteArray cIni("[FCM1]\r\nMODOOPERACAO=0\r\nMENSAGEMABAST=0\r\nNUMBOMBAS=4\r\n[ABASTECIMENTO]\r\nID=9998\r\n");
// An entry made earlier today, before the run: a cut may never take it.
const QByteArray cLogAnterior = "Data / Hora: " + QDate::currentDate().toString(QStringLiteral("dd/MM/yyyy")).toLatin1() +
                                " / 06:00:00\r\n" + QByteArray(50, '-') + "\r\nAntes da corrida\r\n" +
                                QByteArray(50, '-') + "\r\n";
const QString cUsuario = QStringLiteral("SYSDBA");
const QString cSenha = QStringLiteral("masterkey");
constexpr int cEsperaMs = 20000;

QByteArray FLeArquivo(const QString& pCaminho)
{
    QFile arquivo(pCaminho);
    return arquivo.open(QIODevice::ReadOnly) ? arquivo.readAll() : QByteArray();
}

void PGravaArquivo(const QString& pCaminho, const QByteArray& pBytes)
{
    QFile arquivo(pCaminho);
    if (!arquivo.open(QIODevice::WriteOnly | QIODevice::Truncate) || arquivo.write(pBytes) != pBytes.size())
        throw std::runtime_error("não foi possível gravar " + pCaminho.toStdString());
}

QString FNomeLog()
{
    return QFileInfo(TGenerico::FArquivoLog(QDate::currentDate())).fileName();
}

// --- the day log, read as entries ------------------------------------------------

struct TEntradaLog {
    QString vCarimbo;
    QStringList vTexto;
    bool operator==(const TEntradaLog&) const = default;
};

// The entries of a day log; false when a line belongs to no entry.
bool FLeEntradas(const QByteArray& pBytes, std::vector<TEntradaLog>& pEntradas)
{
    const QString separador(50, QLatin1Char('-'));
    QStringList linhas = TGenerico::FDivideLinhas(QString::fromLatin1(pBytes));
    qsizetype i = 0;
    while (i < linhas.size()) {
        if (!linhas[i].startsWith(QStringLiteral("Data / Hora: ")) || i + 1 >= linhas.size() ||
            linhas[i + 1] != separador)
            return false;
        TEntradaLog entrada{linhas[i], {}};
        i += 2;
        while (i < linhas.size() && linhas[i] != separador)
            entrada.vTexto.append(linhas[i++]);
        if (i >= linhas.size())
            return false;
        ++i;
        pEntradas.push_back(entrada);
    }
    return true;
}

// --- the processes of one directory ---------------------------------------------

// A program directory of the test's own: the programs beside their files,
// as a station runs them, with a copy of the station database.
class TPosto {
public:
    explicit TPosto(const QString& pBase) : vDiretorio(pBase + QStringLiteral("/posto-XXXXXX"))
    {
        vDiretorio.setAutoRemove(!qEnvironmentVariableIsSet("TARNEX_QUEDAS_MOSTRA"));
        for (const char* nome : {"ConcentradorTarnex", "FcmMasterX"}) {
            const QString origem = TDiretorioPrograma::FDiretorioExecutavel() + QLatin1String(nome);
            const QString destino = FCaminho(QLatin1String(nome));
            // A hard link costs nothing; another file system needs a copy.
            if (::link(QFile::encodeName(origem).constData(), QFile::encodeName(destino).constData()) != 0)
                QFile::copy(origem, destino);
        }
    }
    QString FCaminho(const QString& pNome) const { return vDiretorio.filePath(pNome); }
    QString FDiretorio() const { return vDiretorio.path(); }
    void PColocaBanco(const QString& pOrigem) const
    {
        QFile::copy(pOrigem, FCaminho(QStringLiteral("posto.fdb")));
        TEstacao::PGravaConfiguracao(FDiretorio(), FCaminho(QStringLiteral("posto.fdb")), cUsuario, cSenha, false);
    }
    // The program's own files, by absolute path: what a power cut may touch.
    std::map<QString, QByteArray> FArquivosDoPrograma() const
    {
        std::map<QString, QByteArray> arquivos;
        const QStringList fixos{QStringLiteral("ConcentradorTarnex"), QStringLiteral("FcmMasterX"),
                                QStringLiteral("posto.fdb"), QStringLiteral("ZelvioECF.ini"),
                                QStringLiteral("FcmMasterX.trava")};
        for (const QFileInfo& info : QDir(FDiretorio()).entryInfoList(QDir::Files)) {
            if (!fixos.contains(info.fileName()))
                arquivos[info.absoluteFilePath()] = FLeArquivo(info.absoluteFilePath());
        }
        return arquivos;
    }

private:
    QTemporaryDir vDiretorio;
};

// Everything started for one directory: the connector, the component
// server, fcmsim, all recording their disk steps into one trace and, when
// asked, held after step pParada. Ended at the end whatever their state.
class TProcessos {
public:
    TProcessos(const TPosto& pPosto, QString pTrace, qint64 pParada)
        : vPosto(pPosto), vTrace(std::move(pTrace)), vParada(pParada)
    {
        TDiretorioPrograma::PDefine(vPosto.FDiretorio());
        // Every process started from here on, and every server those start,
        // inherits the recorder.
        qputenv("TARNEX_REGISTRO_DISCO", QFile::encodeName(vTrace));
        qputenv("TARNEX_PARADA_DISCO", QByteArray::number(vParada));
        qputenv("ASAN_OPTIONS", "detect_leaks=0");
        for (const QString& arquivo : {vTrace, TRegistroDisco::FArquivoContador(vTrace), TRegistroDisco::FArquivoProcessos(vTrace)})
            QFile::remove(arquivo);
        vContador = ::open(QFile::encodeName(TRegistroDisco::FArquivoContador(vTrace)).constData(),
                           O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    }
    ~TProcessos()
    {
        PEncerraTodos();
        qunsetenv("TARNEX_REGISTRO_DISCO");
        qunsetenv("TARNEX_PARADA_DISCO");
        if (vContador >= 0)
            ::close(vContador);
    }
    TProcessos(const TProcessos&) = delete;
    TProcessos& operator=(const TProcessos&) = delete;

    qint64 FPassos() const
    {
        char texto[32] = {};
        return ::pread(vContador, texto, sizeof texto - 1, 0) > 0 ? std::atoll(texto) : 0;
    }
    bool FCortado() const { return vParada > 0 && FPassos() >= vParada; }

    QProcess& PInicia(const QString& pPrograma, const QStringList& pArgs)
    {
        auto processo = std::make_unique<QProcess>();
        processo->setProcessChannelMode(QProcess::MergedChannels);
        processo->start(pPrograma, pArgs);
        processo->waitForStarted();
        vFilhos.push_back(std::move(processo));
        return *vFilhos.back();
    }
    QProcess& PIniciaConector()
    {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        vConector = &PInicia(vPosto.FCaminho(QStringLiteral("ConcentradorTarnex")), {});
        return *vConector;
    }
    // fcmsim to its end: its exit code, or -1 when the cut came first.
    int FFcmsim(const QStringList& pArgs, QString* pSaida = nullptr)
    {
        QProcess& processo = PInicia(TDiretorioPrograma::FDiretorioExecutavel() + QStringLiteral("fcmsim"),
                                     QStringList{QStringLiteral("--dir"), vPosto.FDiretorio()} + pArgs);
        while (!processo.waitForFinished(20)) {
            if (FCortado() || processo.state() == QProcess::NotRunning)
                break;
        }
        if (processo.state() != QProcess::NotRunning)
            return -1;
        if (pSaida)
            *pSaida = QString::fromUtf8(processo.readAll());
        return processo.exitStatus() == QProcess::NormalExit ? processo.exitCode() : -1;
    }
    // Waits for pCondicao; false when the cut or the time limit came first.
    bool FEspera(const std::function<bool()>& pCondicao, int pMs = cEsperaMs) const
    {
        QElapsedTimer relogio;
        relogio.start();
        while (relogio.elapsed() < pMs && !FCortado()) {
            if (pCondicao())
                return true;
            QTest::qWait(20);
        }
        return false;
    }
    // Until no process has taken a disk step for a while.
    void PEsperaSossego(int pQuietoMs = 400) const
    {
        QElapsedTimer relogio;
        relogio.start();
        qint64 ultimo = FPassos();
        QElapsedTimer quieto;
        quieto.start();
        while (quieto.elapsed() < pQuietoMs && relogio.elapsed() < cEsperaMs && !FCortado()) {
            QTest::qWait(20);
            const qint64 agora = FPassos();
            if (agora != ultimo) {
                ultimo = agora;
                quieto.restart();
            }
        }
    }
    bool FServidorAtende() const
    {
        QLocalSocket teste;
        teste.connectToServer(ProtocoloFcm::FCaminhoSocket(vPosto.FDiretorio()));
        return teste.waitForConnected(200);
    }
    bool FSemNaoConfirmados()
    {
        QString saida;
        return FFcmsim({QStringLiteral("estado")}, &saida) == 0 &&
               saida.contains(QStringLiteral("Abastecimentos não confirmados: 0"));
    }
    // Ends the connector with SIGTERM, as a service stop does: true when it
    // left by itself with exit code 0.
    bool FTerminaConector()
    {
        if (!vConector)
            return false;
        ::kill(static_cast<pid_t>(vConector->processId()), SIGTERM);
        return vConector->waitForFinished(10000) && vConector->exitStatus() == QProcess::NormalExit &&
               vConector->exitCode() == 0;
    }
    // The cut: once the step that ended the run has been recorded, every
    // process is killed while none can take another step.
    void PEncerraTodos()
    {
        ::flock(vContador, LOCK_EX);
        for (auto& filho : vFilhos) {
            if (filho->state() != QProcess::NotRunning) {
                filho->kill();
                filho->waitForFinished(5000);
            }
        }
        // Servers were started by the connector or fcmsim, not by the test:
        // the recorder names them. Only processes running from this
        // directory's programs are ended.
        for (int volta = 0; volta < 2; ++volta) {
            for (const QByteArray& linha : FLeArquivo(TRegistroDisco::FArquivoProcessos(vTrace)).split('\n')) {
                const pid_t pid = static_cast<pid_t>(linha.toLongLong());
                const QString programa =
                    QFileInfo(QStringLiteral("/proc/%1/exe").arg(pid)).symLinkTarget();
                if (pid > 0 && programa.startsWith(vPosto.FDiretorio() + QLatin1Char('/')))
                    ::kill(pid, SIGKILL);
            }
            QTest::qWait(50);
        }
        ::flock(vContador, LOCK_UN);
    }

private:
    const TPosto& vPosto;
    QString vTrace;
    qint64 vParada;
    int vContador = -1;
    std::vector<std::unique_ptr<QProcess>> vFilhos;
    QProcess* vConector = nullptr;
};

// --- the station database -------------------------------------------------------

// The station every run starts from: nozzles 1 to 4 of slave 1, sequence 7.
QString FCriaBancoModelo(const QString& pDiretorio)
{
    const QString banco = QDir(pDiretorio).filePath(QStringLiteral("modelo.fdb"));
    TEstacao::PCriaBanco(banco, cUsuario, cSenha, false);
    TConexaoFirebird conexao;
    conexao.PConecta(banco, cUsuario, cSenha, QString());
    conexao.PExecuta(QStringLiteral("insert into paraposto (sequenciaabast) values (%1)").arg(cSequenciaInicial));
    conexao.PExecuta(QStringLiteral("insert into tanques (codtanque, codprod) values ('01-02', '000002')"));
    for (int bomba = 1; bomba <= 4; ++bomba) {
        const QString b = TGenerico::FCompletaZero(bomba, 2);
        conexao.PExecuta(QStringLiteral("insert into bombas (codbico, codempresa, codtanque, descricao, precovenda, "
                                        "statusbico, codconcentrador) values (:b, '001', '01-02', 'GASOLINA COMUM', "
                                        "5.799, 'L', :c)"),
                         {{QStringLiteral("b"), b + QStringLiteral("-01")},
                          {QStringLiteral("c"), QStringLiteral("01") + b + QStringLiteral("01")}});
    }
    return banco;
}

struct TLinhaAbastecimento {
    int vMililitros;
    int vSequencia;
    int vId;
};

struct TBancoLido {
    std::vector<TLinhaAbastecimento> vLinhas;
    int vSequencia = 0;
    bool vEscritaForcada = false;
};

// Read through a copy when asked: the database the recovery will find stays
// exactly as the cut left it.
TBancoLido FLeBanco(const QString& pBanco)
{
    TBancoLido lido;
    TConexaoFirebird conexao;
    conexao.PConecta(pBanco, cUsuario, cSenha, QString());
    const TResultadoSql linhas =
        conexao.FConsulta(QStringLiteral("select litragem, sequencia, id from mvabast order by sequencia, id"));
    for (int i = 0; i < linhas.Linhas(); ++i)
        lido.vLinhas.push_back({qRound(linhas.FTexto(i, QStringLiteral("litragem")).toDouble() * 1000),
                                linhas.FInteiro(i, QStringLiteral("sequencia")), linhas.FInteiro(i, QStringLiteral("id"))});
    lido.vSequencia = conexao.FConsulta(QStringLiteral("select max(sequenciaabast) s from paraposto"))
                          .FInteiro(0, QStringLiteral("s"));
    lido.vEscritaForcada = conexao.FConsulta(QStringLiteral("select mon$forced_writes f from mon$database"))
                               .FInteiro(0, QStringLiteral("f")) == 1;
    return lido;
}

// The numbering of the n-th fueling of the run.
std::pair<int, int> FNumeracao(int pOrdem)
{
    const int id = cIdInicial + pOrdem;
    return id <= 9999 ? std::pair{cSequenciaInicial, id} : std::pair{cSequenciaInicial + 1, id - 9999};
}

// --- the scenario ---------------------------------------------------------------

// The run of fuelings: configured concentrator, two fuelings kept off-line by
// the server, the connector started (it takes them, the second across the
// wrap), three live fuelings. Ends early at the cut.
struct TCenario {
    std::set<int> vConfirmados; // fuelings fcmsim saw made: on the server's disk

    void PRoda(TProcessos& p)
    {
        p.PInicia(TDiretorioPrograma::FDiretorioExecutavel() + QStringLiteral("FcmMasterX"),
                  {QStringLiteral("--dir"), TDiretorioPrograma::FCaminho()});
        if (!p.FEspera([&] { return p.FServidorAtende(); }))
            return;
        for (const QStringList& chamada : {QStringList{QStringLiteral("FcmOpen"), QStringLiteral("1")},
                                           QStringList{QStringLiteral("FcmSetNumSlaves"), QStringLiteral("1")},
                                           QStringList{QStringLiteral("FcmConfigConcentradorFcm"), QStringLiteral("1"),
                                                       QStringLiteral("4"), QStringLiteral("10"), QStringLiteral("1")}}) {
            if (p.FFcmsim(QStringList{QStringLiteral("chama")} + chamada) != 0)
                return;
        }
        for (const TAbastecimentoCenario& a : cAbastecimentos) {
            if (!a.vOffLine && !vConectorIniciado) {
                p.PIniciaConector();
                vConectorIniciado = true;
                if (!p.FEspera([&] { return p.FSemNaoConfirmados(); }))
                    return;
            }
            if (!FAbastece(p, a))
                return;
        }
        p.PEsperaSossego();
    }

private:
    bool FAbastece(TProcessos& p, const TAbastecimentoCenario& a)
    {
        const int codigo = p.FFcmsim({QStringLiteral("abastece"), QStringLiteral("1"), QString::number(a.vBomba),
                                      QStringLiteral("1"), QString::number(a.vMililitros / 1000.0, 'f', 3),
                                      QStringLiteral("--ms"), QStringLiteral("0")});
        if (codigo != 0)
            return false;
        vConfirmados.insert(a.vMililitros);
        return a.vOffLine || p.FEspera([&] { return p.FSemNaoConfirmados(); });
    }

    bool vConectorIniciado = false;
};

// --- one crash state ------------------------------------------------------------

// What the cut left and what it may not lose.
struct TEstadoQueda {
    std::map<QString, QByteArray> vArquivos; // by file name
    QByteArray vLogDuravel; // the day log as synced before the cut
    std::set<int> vDevidos; // fuelings that must end up stored exactly once
};

QByteArray FNaoVazio(const std::map<QString, QByteArray>& pArquivos, const QString& pNome)
{
    const auto a = pArquivos.find(pNome);
    return a == pArquivos.end() ? QByteArray() : a->second;
}

// Fuelings the server still holds in its state file.
std::set<int> FNoEstadoDoServidor(const QByteArray& pEstado)
{
    std::set<int> volumes;
    const QJsonArray guardados =
        QJsonDocument::fromJson(pEstado).object().value(QStringLiteral("naoConfirmados")).toArray();
    for (const QJsonValue& g : guardados)
        volumes.insert(g.toObject().value(QStringLiteral("args")).toArray().at(3).toInt());
    return volumes;
}

// Fuelings the journal holds, taken or pending: a scratch copy is read, as
// reading it cuts a torn tail.
std::set<int> FNoDiario(const QByteArray& pDiario, const QString& pRascunho)
{
    std::set<int> volumes;
    PGravaArquivo(pRascunho, pDiario);
    for (const auto& entrada : TDiarioAbastecimentos(pRascunho).FPendentes())
        volumes.insert(static_cast<int>(entrada.vArgs.value(3)));
    QFile::remove(pRascunho);
    return volumes;
}

// The start on the cut's disk, and the promises checked after it. Each
// broken promise is one line of pFalhas.
class TRecuperacao {
public:
    TRecuperacao(const QString& pBase, const QString& pBancoCortado, const TEstadoQueda& pEstado)
        : vPosto(pBase), vEstado(pEstado)
    {
        vPosto.PColocaBanco(pBancoCortado);
        for (const auto& [nome, conteudo] : vEstado.vArquivos)
            PGravaArquivo(vPosto.FCaminho(nome), conteudo);
    }

    void PVerifica(QStringList& pFalhas)
    {
        const bool subiu = FSobe(pFalhas);
        if (!subiu)
            return;
        PVerificaBanco(pFalhas);
        PVerificaConfiguracao(pFalhas);
        PVerificaLog(pFalhas);
        if (!TDiarioAbastecimentos(vPosto.FCaminho(QStringLiteral("ConcentradorTarnex.jrn"))).FPendentes().empty())
            pFalhas.append(QStringLiteral("o diário ficou com abastecimentos pendentes"));
    }

private:
    int FContaConexoes() const
    {
        return static_cast<int>(FLeArquivo(vPosto.FCaminho(FNomeLog())).count("FcmOpen - OK"));
    }

    // Start-up on the cut's disk, the server's deliveries taken, the
    // connector ended as a service stop ends it.
    bool FSobe(QStringList& pFalhas)
    {
        const int conexoesAntes = FContaConexoes();
        const QString trace = vPosto.FCaminho(QStringLiteral("../recuperacao.trace"));
        TProcessos p(vPosto, trace, 0);
        p.PIniciaConector();
        if (!p.FEspera([&] { return FContaConexoes() > conexoesAntes; })) {
            pFalhas.append(QStringLiteral("o conector não completou a partida (concentrador 1 não conectado)"));
            return false;
        }
        if (!p.FEspera([&] { return p.FSemNaoConfirmados(); })) {
            pFalhas.append(QStringLiteral("o servidor não teve todas as suas entregas confirmadas"));
            return false;
        }
        p.PEsperaSossego();
        if (!p.FTerminaConector())
            pFalhas.append(QStringLiteral("o conector não terminou bem com SIGTERM"));
        p.FFcmsim({QStringLiteral("para")});
        p.FEspera([&] { return !p.FServidorAtende(); }, 5000);
        return true;
    }

    void PVerificaBanco(QStringList& pFalhas)
    {
        const TBancoLido banco = FLeBanco(vPosto.FCaminho(QStringLiteral("posto.fdb")));
        std::map<int, int> vezes;
        for (const TLinhaAbastecimento& l : banco.vLinhas)
            ++vezes[l.vMililitros];
        for (const TAbastecimentoCenario& a : cAbastecimentos) {
            const int n = vezes[a.vMililitros];
            if (n > 1 || (n == 0 && vEstado.vDevidos.contains(a.vMililitros)))
                pFalhas.append(QStringLiteral("abastecimento de %1 ml gravado %2 vezes em mvabast").arg(a.vMililitros).arg(n));
        }
        // Numbered one after the other from the first, none twice, none
        // skipped; the numbering moves on from the last one stored.
        for (size_t i = 0; i < banco.vLinhas.size(); ++i) {
            const auto esperado = FNumeracao(static_cast<int>(i));
            const TLinhaAbastecimento& l = banco.vLinhas[i];
            if (l.vSequencia != esperado.first || l.vId != esperado.second)
                pFalhas.append(QStringLiteral("linha %1 de mvabast numerada (%2, %3), esperado (%4, %5)")
                                   .arg(i + 1).arg(l.vSequencia).arg(l.vId).arg(esperado.first).arg(esperado.second));
        }
        const auto proximo = FNumeracao(static_cast<int>(banco.vLinhas.size()));
        const int id = TArquivoIni(vPosto.FCaminho(QStringLiteral("ConcentradorTarnex.ini")))
                           .FLeInteiro(QStringLiteral("ABASTECIMENTO"), QStringLiteral("ID"), -1);
        if (banco.vSequencia != proximo.first || id != proximo.second)
            pFalhas.append(QStringLiteral("a próxima numeração é (%1, %2), esperado (%3, %4)")
                               .arg(banco.vSequencia).arg(id).arg(proximo.first).arg(proximo.second));
        vLinhas = banco.vLinhas;
    }

    void PVerificaConfiguracao(QStringList& pFalhas) const
    {
        const TArquivoIni ini(vPosto.FCaminho(QStringLiteral("ConcentradorTarnex.ini")));
        const QString fcm1 = QStringLiteral("FCM1");
        if (ini.FLeInteiro(fcm1, QStringLiteral("NUMBOMBAS"), -1) != 4 ||
            ini.FLeInteiro(fcm1, QStringLiteral("MODOOPERACAO"), -1) != 0 ||
            ini.FLeInteiro(fcm1, QStringLiteral("MENSAGEMABAST"), -1) != 0)
            pFalhas.append(QStringLiteral("ConcentradorTarnex.ini perdeu a configuração do concentrador 1: ") +
                           QString::fromLatin1(FLeArquivo(ini.Caminho())));
    }

    void PVerificaLog(QStringList& pFalhas) const
    {
        const QByteArray bytes = FLeArquivo(vPosto.FCaminho(FNomeLog()));
        std::vector<TEntradaLog> entradas;
        if (!FLeEntradas(bytes, entradas)) {
            pFalhas.append(QStringLiteral("o log do dia não se lê como entradas: ") + QString::fromStdString(FVisivel(bytes)));
            return;
        }
        std::vector<TEntradaLog> duraveis;
        FLeEntradas(vEstado.vLogDuravel, duraveis);
        auto posicao = entradas.begin();
        for (const TEntradaLog& d : duraveis) {
            posicao = std::find(posicao, entradas.end(), d);
            if (posicao == entradas.end()) {
                pFalhas.append(QStringLiteral("o log perdeu uma entrada gravada antes da queda: ") + d.vTexto.join(QLatin1Char('|')));
                return;
            }
        }
        for (const TLinhaAbastecimento& l : vLinhas) {
            const QString id = QStringLiteral("Id: %1").arg(l.vId), sequencia = QStringLiteral("Sequencia: %1").arg(l.vSequencia);
            const auto n = std::count_if(entradas.begin(), entradas.end(), [&](const TEntradaLog& e) {
                return e.vTexto.size() >= 2 && e.vTexto.at(e.vTexto.size() - 2) == id && e.vTexto.back() == sequencia;
            });
            if (n != 1)
                pFalhas.append(QStringLiteral("o abastecimento (%1, %2) tem %3 entradas no log").arg(l.vSequencia).arg(l.vId).arg(n));
        }
        const QByteArray diario = FNaoVazio(vEstado.vArquivos, QStringLiteral("ConcentradorTarnex.jrn"));
        if (!diario.isEmpty() && !diario.endsWith('\n') &&
            !std::any_of(entradas.begin(), entradas.end(), [](const TEntradaLog& e) {
                return e.vTexto.join(QLatin1Char(' ')).contains(QStringLiteral("Diário de abastecimentos reparado"));
            }))
            pFalhas.append(QStringLiteral("o diário tinha uma linha rasgada, cortada sem entrada no log"));
    }

    TPosto vPosto;
    const TEstadoQueda& vEstado;
    std::vector<TLinhaAbastecimento> vLinhas;
};

// --- the journal alone -----------------------------------------------------------

// Every line the journal synced (an event and its insert attempt, before the
// insert runs) is there after a cut right behind it, whatever the cut keeps
// of the rest: in a journal that already held lines, and in one the call
// itself made.
class DiarioSobQueda : public ::testing::TestWithParam<bool> {};

TEST_P(DiarioSobQueda, SyncedLineSurvivesEveryCutRightAfterIt)
{
    const bool novo = GetParam();
    TDiretorioTeste dir;
    // As the recorder names it: the path the descriptor stands for.
    const QString caminho = QDir(dir.FCaminho(QString())).canonicalPath() + QStringLiteral("/ConcentradorTarnex.jrn");
    const QDateTime momento(QDate(2026, 1, 2), QTime(3, 4, 5));
    std::map<QString, QByteArray> iniciais;
    if (!novo) {
        const QByteArray anterior = "A 1 1767323045000 5 1 2 3 1500 1000 5799 3 3 3\nF 1\n";
        PGravaArquivo(caminho, anterior);
        iniciais[caminho] = anterior;
    }
    const QString trace = dir.FCaminho(QStringLiteral("disco.trace"));
    TRegistroDisco::PInstala(trace);
    TDiarioAbastecimentos(caminho).FRegistraComTentativa(5, {1, 2, 3, 2500, 1000, 5799, 3, 3, 3}, momento,
                                                         TDiarioAbastecimentos::TEntrega{QStringLiteral("abc"), 1},
                                                         9998, 7);
    TRegistroDisco::PDesinstala();

    TQuedaEnergia queda(iniciais);
    for (const TQuedaEnergia::TPasso& passo : TQuedaEnergia::FLeTrace(trace))
        queda.PAplica(passo);
    for (const auto variante : TQuedaEnergia::cVariantes) {
        const QByteArray diario = FNaoVazio(queda.FArquivos(variante), caminho);
        const QString rascunho = dir.FCaminho(QStringLiteral("rascunho.jrn"));
        PGravaArquivo(rascunho, diario);
        const auto pendentes = TDiarioAbastecimentos(rascunho).FPendentes();
        ASSERT_EQ(pendentes.size(), 1u) << TQuedaEnergia::FNome(variante) << ": " << FVisivel(diario);
        EXPECT_EQ(pendentes[0].vTentativa, (QPair<int, int>(9998, 7))) << TQuedaEnergia::FNome(variante);
    }
}

INSTANTIATE_TEST_SUITE_P(Quedas, DiarioSobQueda, ::testing::Bool(),
                         [](const auto& pInfo) { return std::string(pInfo.param ? "DiarioNovo" : "DiarioExistente"); });

// --- the harness ----------------------------------------------------------------

class Quedas : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(vBase.isValid());
        if (qEnvironmentVariableIsSet("TARNEX_QUEDAS_MOSTRA")) {
            vBase.setAutoRemove(false);
            std::printf("[  quedas  ] diretório %s\n", qPrintable(vBase.path()));
        }
        vModelo = FCriaBancoModelo(vBase.path());
        ASSERT_TRUE(FLeBanco(vModelo).vEscritaForcada)
            << "the harness relies on Firebird's forced writes: a commit is on disk when it returns";
    }

    // One run of the scenario, held after step pParada (0: to its end).
    struct TCorrida {
        std::unique_ptr<TPosto> vPosto;
        std::vector<TQuedaEnergia::TPasso> vPassos;
        std::map<QString, QByteArray> vIniciais;
        std::set<int> vConfirmados;
        QString vTrace;
    };
    TCorrida FRoda(qint64 pParada)
    {
        TCorrida corrida;
        corrida.vPosto = std::make_unique<TPosto>(vBase.path());
        corrida.vPosto->PColocaBanco(vModelo);
        PGravaArquivo(corrida.vPosto->FCaminho(QStringLiteral("ConcentradorTarnex.ini")), cIni);
        PGravaArquivo(corrida.vPosto->FCaminho(FNomeLog()), cLogAnterior);
        corrida.vIniciais = corrida.vPosto->FArquivosDoPrograma();
        corrida.vTrace = vBase.filePath(QStringLiteral("corrida.trace"));
        {
            TProcessos processos(*corrida.vPosto, corrida.vTrace, pParada);
            TCenario cenario;
            cenario.PRoda(processos);
            corrida.vConfirmados = cenario.vConfirmados;
        }
        corrida.vPassos = TQuedaEnergia::FLeTrace(corrida.vTrace);
        return corrida;
    }

    // Every distinct state the cut after pParada may leave, each started on
    // and checked.
    void PVerificaCorte(qint64 pParada)
    {
        TCorrida corrida = FRoda(pParada);
        TQuedaEnergia queda(corrida.vIniciais);
        QString ultimo = QStringLiteral("nenhum passo");
        for (const TQuedaEnergia::TPasso& passo : corrida.vPassos) {
            if (!passo.vFeito && passo.vTipo != "SincronizaDiretorio")
                vFalhas.append(QStringLiteral("corte %1: o passo %2 falhou").arg(pParada).arg(passo.FDescricao()));
            queda.PAplica(passo);
            ultimo = passo.FDescricao();
        }
        const QString banco = corrida.vPosto->FCaminho(QStringLiteral("posto.fdb"));
        const QString rascunho = vBase.filePath(QStringLiteral("rascunho.fdb"));
        QFile::remove(rascunho);
        QFile::copy(banco, rascunho);
        std::set<int> noBanco;
        for (const TLinhaAbastecimento& l : FLeBanco(rascunho).vLinhas)
            noBanco.insert(l.vMililitros);
        QFile::remove(rascunho);

        const QString log = corrida.vPosto->FCaminho(FNomeLog());
        const QByteArray logDuravel = FNaoVazio(queda.FArquivos(TQuedaEnergia::TVariante::Perdida), log);
        std::vector<std::map<QString, QByteArray>> vistos;
        for (const auto variante : TQuedaEnergia::cVariantes) {
            const std::map<QString, QByteArray> arquivos = queda.FArquivos(variante);
            if (std::find(vistos.begin(), vistos.end(), arquivos) != vistos.end())
                continue;
            vistos.push_back(arquivos);
            TEstadoQueda estado;
            for (const auto& [caminho, conteudo] : arquivos)
                estado.vArquivos[QFileInfo(caminho).fileName()] = conteudo;
            estado.vLogDuravel = logDuravel;
            estado.vDevidos = corrida.vConfirmados;
            estado.vDevidos.insert(noBanco.begin(), noBanco.end());
            for (const int v : FNoEstadoDoServidor(FNaoVazio(estado.vArquivos, QStringLiteral("FcmMasterX.estado"))))
                estado.vDevidos.insert(v);
            for (const int v : FNoDiario(FNaoVazio(estado.vArquivos, QStringLiteral("ConcentradorTarnex.jrn")),
                                         vBase.filePath(QStringLiteral("rascunho.jrn"))))
                estado.vDevidos.insert(v);
            QStringList falhas;
            TRecuperacao(vBase.path(), banco, estado).PVerifica(falhas);
            ++vEstados;
            for (const QString& f : falhas)
                vFalhas.append(QStringLiteral("corte após o passo %1 (%2), %3: %4")
                                   .arg(pParada).arg(ultimo, QString::fromUtf8(TQuedaEnergia::FNome(variante)), f));
        }
    }

    QTemporaryDir vBase;
    QString vModelo;
    QStringList vFalhas;
    int vEstados = 0;
};

// The crash points of the bounded run: the steps right after which faults
// were once found, picked from the recorded run by what they are, and a
// few more spread evenly over it.
struct TPontoNotavel {
    const char* vPorque;
    std::function<bool(const TQuedaEnergia::TPasso&)> vPasso;
};

bool FArquivo(const TQuedaEnergia::TPasso& p, const char* pTipo, const char* pNome)
{
    return p.vTipo == pTipo && QFileInfo(p.vCaminho).fileName().startsWith(QLatin1String(pNome));
}

const std::vector<TPontoNotavel> cPontosNotaveis{
    {"the first journal line is synced, its new name not yet: the insert follows",
     [](const auto& p) { return FArquivo(p, "Sincroniza", "ConcentradorTarnex.jrn"); }},
    {"the fueling numbered 9999 is in the journal: its insert and the sequence rise follow, the Id file not yet",
     [](const auto& p) { return FArquivo(p, "Grava", "ConcentradorTarnex.jrn") && p.vDados.contains("\nT ") &&
                                p.vDados.contains(" 9999 "); }},
    {"the Id file of the wrap is written, not yet renamed: the sequence has risen",
     [](const auto& p) { return FArquivo(p, "Grava", "ConcentradorTarnex.ini.") && p.vDados.contains("ID=1\r\n"); }},
    {"a capture's end is in the journal, unsynced: lost, kept or torn, its log entry still comes once",
     [](const auto& p) { return FArquivo(p, "Grava", "ConcentradorTarnex.jrn") && p.vDados.startsWith("F "); }},
};

std::vector<qint64> FPontosLimitados(const std::vector<TQuedaEnergia::TPasso>& pPassos, int pEspalhados)
{
    std::set<qint64> pontos;
    for (const TPontoNotavel& notavel : cPontosNotaveis) {
        const auto passo = std::find_if(pPassos.begin(), pPassos.end(), notavel.vPasso);
        if (passo != pPassos.end())
            pontos.insert(passo->vNumero);
        else
            ADD_FAILURE() << "the recorded run has no step where " << notavel.vPorque;
    }
    const qint64 total = static_cast<qint64>(pPassos.size());
    for (int i = 1; i <= pEspalhados; ++i)
        pontos.insert(total * i / (pEspalhados + 1));
    pontos.insert(total);
    pontos.erase(0);
    return {pontos.begin(), pontos.end()};
}

TEST_F(Quedas, EveryCrashPointOfTheCapturePathRecoversWithNothingLostOrStoredTwice)
{
    const TCorrida gravada = FRoda(0);
    const qint64 total = static_cast<qint64>(gravada.vPassos.size());
    if (qEnvironmentVariableIsSet("TARNEX_QUEDAS_MOSTRA")) {
        for (const auto& passo : gravada.vPassos)
            std::printf("[  quedas  ] %lld %s\n", static_cast<long long>(passo.vNumero), qPrintable(passo.FDescricao()));
    }
    ASSERT_GT(total, 50) << "the recorded run is too short: the scenario did not run";
    {
        // The recorded run itself stored every fueling once.
        const TBancoLido banco = FLeBanco(gravada.vPosto->FCaminho(QStringLiteral("posto.fdb")));
        ASSERT_EQ(banco.vLinhas.size(), cAbastecimentos.size());
    }
    const bool todos = qgetenv("TARNEX_QUEDAS") == "todos";
    std::vector<qint64> pontos;
    if (todos) {
        for (qint64 k = 1; k <= total; ++k)
            pontos.push_back(k);
    } else {
        pontos = FPontosLimitados(gravada.vPassos, qEnvironmentVariableIntValue("TARNEX_QUEDAS_PONTOS") > 0
                                                       ? qEnvironmentVariableIntValue("TARNEX_QUEDAS_PONTOS")
                                                       : 8);
    }
    for (const qint64 k : pontos) {
        PVerificaCorte(k);
        std::printf("[  quedas  ] corte %lld de %lld: %d estados verificados, %lld invariantes quebradas\n",
                    static_cast<long long>(k), static_cast<long long>(total), vEstados,
                    static_cast<long long>(vFalhas.size()));
        std::fflush(stdout);
    }
    std::printf("[  quedas  ] %lld passos de disco na corrida gravada; %zu pontos de corte; %d estados de queda "
                "verificados; %lld invariantes quebradas\n",
                static_cast<long long>(total), pontos.size(), vEstados, static_cast<long long>(vFalhas.size()));
    EXPECT_TRUE(vFalhas.isEmpty()) << vFalhas.join(QLatin1Char('\n')).toStdString();
}

} // namespace
