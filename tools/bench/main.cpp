// Benchmark of the fueling capture path (not a test): prints figures.
//   bench_captura
// With 0, 1,000, 5,000 and 50,000 fuelings (and as many day-log entries)
// already stored today, the medians of: one whole capture (event in, row
// committed, journal and log entry on disk), a bare insert-and-commit on the
// same database in the same run, the main thread's time per live fueling
// (the capture and its grid refresh), the refresh's part of it, the query's
// time on its own thread, and one log entry. Then the drain of 500 off-line
// fuelings kept by the real component server while the connector was down,
// over 5,000 stored today, against 500 bare insert-and-commits, with the
// longest time the main thread left a 10 ms timer waiting; the window's
// callbacks as the component calls them (fueling to acknowledgement and to
// its row, state "E" to its authorisation); and, in a process
// of its own, start-up to a filled grid and the peak memory with 50,000.
//   bench_captura --inicio DIR   (that process: start-up and memory in DIR)
//   bench_captura --tabela N[,N...]  (only the capture figures, N stored today)
//   bench_captura --janela  (only the callbacks' figures, through the window)
//   bench_captura --retomada  (only the drain of a backlog kept by the component server)
#include "UArquivoIni.h"
#include "UAtualizadorGrade.h"
#include "UBancoDados.h"
#include "UCapturaAbastecimento.h"
#include "UConfiguracaoRegional.h"
#include "UDiretorioPrograma.h"
#include "UEstacao.h"
#include "UGenerico.h"
#include "UParametros.h"
#include "UTarnex.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QDate>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTableView>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <sys/resource.h>
#include <vector>

namespace {

const QString cUsuario = QStringLiteral("SYSDBA");
const QString cSenha = QStringLiteral("masterkey");

double FMediana(std::vector<double> pValores)
{
    std::sort(pValores.begin(), pValores.end());
    return pValores[pValores.size() / 2];
}

double FMsDesde(const QElapsedTimer& pRelogio)
{
    return static_cast<double>(pRelogio.nsecsElapsed()) / 1e6;
}

double FPicoMemoriaMb()
{
    rusage uso{};
    getrusage(RUSAGE_SELF, &uso);
    return static_cast<double>(uso.ru_maxrss) / 1024.0;
}

QString FBanco(const QTemporaryDir& pDir)
{
    return pDir.filePath(QStringLiteral("posto.fdb"));
}

// Today's fuelings, all in one statement and one transaction, spread over
// the day; the day log gets as many entries, written directly.
void PPreenche(TConexaoFirebird& pConexao, int pQuantos)
{
    const QString hoje = QDate::currentDate().toString(QStringLiteral("dd.MM.yyyy"));
    QStringList digitos;
    for (int d = 0; d < 10; ++d)
        digitos.append(QStringLiteral("select %1 d from rdb$database").arg(d));
    const QString digito = QStringLiteral("(") + digitos.join(QStringLiteral(" union all ")) + QStringLiteral(")");
    if (pQuantos > 0)
        pConexao.PExecuta(
            QStringLiteral("insert into mvabast (data, hora, codbico, litragem, precounit, valor, id, sequencia) "
                           "select '%2', cast('00:00:00' as time) + mod(n, 86400), '01-01', 10, 5.799, 57.99, "
                           "mod(n, 9999) + 1, n / 9999 + 1 from (select a.d + 10 * b.d + 100 * c.d + 1000 * e.d + "
                           "10000 * f.d as n from %3 a, %3 b, %3 c, %3 e, %3 f) t where n < %1")
                .arg(pQuantos)
                .arg(hoje, digito));
    const QByteArray entrada = "Data / Hora: 10/12/2026 / 08:00:00\r\n" + QByteArray(50, '-') +
                               "\r\nSl: 01\r\nBo: 01\r\nBi: 01\r\nCodBico: 01-01\r\nLitragem: 10,000\r\n"
                               "Pre\xE7o Unit\xE1rio: 5,799\r\nValor: 57,99\r\nData: 10/12/2026\r\nHora: 08:00:00\r\n"
                               "Id: 1\r\nSequencia: 1\r\n" +
                               QByteArray(50, '-') + "\r\n";
    QFile arquivo(TGenerico::FArquivoLog(QDate::currentDate()));
    arquivo.open(QIODevice::WriteOnly);
    arquivo.write(entrada.repeated(pQuantos));
}

// A demo station with pQuantos fuelings today in pDir, the program's directory.
void PCriaPosto(const QTemporaryDir& pDir, int pQuantos)
{
    TDiretorioPrograma::PDefine(pDir.path());
    TEstacao::PCriaBanco(FBanco(pDir), cUsuario, cSenha, true);
    TEstacao::PGravaConfiguracao(pDir.path(), FBanco(pDir), cUsuario, cSenha, true);
    TConexaoFirebird conexao;
    conexao.PConecta(FBanco(pDir), cUsuario, cSenha, QString());
    PPreenche(conexao, pQuantos);
}

double FInsercaoPura(TConexaoFirebird& pConexao, int pId)
{
    QElapsedTimer relogio;
    relogio.start();
    pConexao.PExecuta(QStringLiteral("insert into mvabast (data, hora, codbico, litragem, id, sequencia) values "
                                     "('01.01.2000', '08:00:00', '99-99', 1, :i, 0)"),
                      {{QStringLiteral("i"), pId}});
    return FMsDesde(relogio);
}

// Turns the event loop until pFeito holds and nothing is left to do; the
// time the main thread spent handling events meanwhile.
double FMsOcupadoAte(const std::function<bool()>& pFeito)
{
    QAbstractEventDispatcher* despachante = QAbstractEventDispatcher::instance();
    double ocupado = 0;
    int ociosas = 0;
    QElapsedTimer limite;
    limite.start();
    while ((!pFeito() || ociosas < 3) && limite.elapsed() < 60000) {
        QElapsedTimer relogio;
        relogio.start();
        if (despachante->processEvents(QEventLoop::AllEvents)) {
            ocupado += FMsDesde(relogio);
            ociosas = 0;
        } else {
            ++ociosas;
            QThread::usleep(200);
        }
    }
    return ocupado;
}

struct TLinhaTabela {
    int vArmazenados = 0;
    double vCaptura = 0;
    double vInsercao = 0;
    double vPrincipal = 0;
    double vGrade = 0;
    double vConsulta = 0;
    double vLog = 0;
};

TLinhaTabela FMede(int pArmazenados)
{
    QTemporaryDir dir;
    PCriaPosto(dir, pArmazenados);
    TConexaoFirebird conexao;
    conexao.PConecta(FBanco(dir), cUsuario, cSenha, QString());
    TBancoDados bancoDados;
    TParametros parametros;
    BancoDados = &bancoDados;
    Parametros = &parametros;
    QTableView grade;
    grade.resize(760, 490);
    grade.show();
    bancoDados.PDadosGridAbastecimento(&grade);
    TGenerico::PFormataCamposGrid(&grade);
    TCapturaAbastecimento captura(&grade, dir.filePath(QStringLiteral("ConcentradorTarnex.jrn")));

    std::vector<double> capturas, insercoes, principal, grades, consultas;
    for (int i = 0; i < 32; ++i) {
        QElapsedTimer relogio;
        relogio.start();
        // The window's part (the journal) and the database thread's part, as
        // the program runs them, one after the other here.
        std::vector<bool> recebidos;
        captura.PRegistraRecebidos({{TCapturaAbastecimento::cAbasteceu, {1, 1, 1, 12345, 1234567, 5799, 3, 2, 3},
                                     std::nullopt, QDateTime::currentDateTime()}},
                                   recebidos);
        const double tempoRegistro = FMsDesde(relogio);
        captura.PCapturaPendentes(false);
        const double tempoCaptura = FMsDesde(relogio);
        relogio.restart();
        bool atualizada = false;
        const auto ligacao = QObject::connect(grade.findChild<TAtualizadorGrade*>(), &TAtualizadorGrade::Atualizada,
                                              [&] { atualizada = true; });
        const double tempoGrade = FMsOcupadoAte([&] { return atualizada; });
        const double tempoConsulta = FMsDesde(relogio) - tempoGrade;
        QObject::disconnect(ligacao);
        const double tempoInsercao = FInsercaoPura(conexao, i);
        if (i == 0)
            continue; // the first entry of a run rewrites the whole log; the refresher attaches
        capturas.push_back(tempoCaptura);
        grades.push_back(tempoGrade);
        principal.push_back(tempoRegistro + tempoGrade);
        consultas.push_back(tempoConsulta);
        insercoes.push_back(tempoInsercao);
    }
    std::vector<double> logs;
    for (int i = 0; i < 11; ++i) {
        QElapsedTimer relogio;
        relogio.start();
        TGenerico::PGeraLog(QStringLiteral("Sl: 01\rBo: 01\rBi: 01\rCodBico: 01-01\rLitragem: 12,345"));
        logs.push_back(FMsDesde(relogio));
    }
    BancoDados = nullptr;
    Parametros = nullptr;
    return {pArmazenados,         FMediana(capturas), FMediana(insercoes), FMediana(principal),
            FMediana(grades),     FMediana(consultas), FMediana(logs)};
}

void PImprimeTabela(const std::vector<TLinhaTabela>& pLinhas)
{
    std::printf("Captura de um abastecimento (medianas; insert+commit puro no mesmo banco, na mesma execução)\n\n");
    std::printf("| armazenados hoje | captura | insert+commit | razão | linha principal por abastecimento | razão "
                "| atualização da grade (linha principal) | consulta da grade (linha própria) | entrada no log |\n");
    std::printf("|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n");
    for (const TLinhaTabela& l : pLinhas)
        std::printf("| %d | %.2f ms | %.2f ms | %.1fx | %.2f ms | %.1fx | %.2f ms | %.1f ms | %.2f ms |\n",
                    l.vArmazenados, l.vCaptura, l.vInsercao, l.vCaptura / l.vInsercao, l.vPrincipal,
                    l.vPrincipal / l.vInsercao, l.vGrade, l.vConsulta, l.vLog);
    std::fflush(stdout);
}

// --- the backlog after an outage, through the real component server -------------

int FFcmsim(const QTemporaryDir& pDir, const QStringList& pArgs)
{
    QProcess fcmsim;
    fcmsim.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    fcmsim.start(TDiretorioPrograma::FDiretorioExecutavel() + QStringLiteral("fcmsim"),
                 QStringList{QStringLiteral("--dir"), pDir.path()} + pArgs);
    fcmsim.waitForFinished(60000);
    fcmsim.readAllStandardOutput();
    return fcmsim.exitCode();
}

// Messages the operator would answer: the benchmark reads them aloud and
// goes on, rather than wait for nobody.
void PRespondeMensagens(QObject* pDono)
{
    auto* relogio = new QTimer(pDono);
    QObject::connect(relogio, &QTimer::timeout, [] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            std::printf("  (mensagem: %s)\n", qPrintable(modal->windowTitle()));
            modal->close();
        }
    });
    relogio->start(200);
}

int FHoje(TConexaoFirebird& pConexao)
{
    return pConexao
        .FConsulta(QStringLiteral("select count(*) n from mvabast where data = :d"),
                   {{QStringLiteral("d"), QDate::currentDate().toString(QStringLiteral("dd.MM.yyyy"))}})
        .FInteiro(0, QStringLiteral("n"));
}

void PMedeRetomada()
{
    constexpr int cArmazenados = 5000;
    constexpr int cPendentes = 500;
    QTemporaryDir dir;
    PCriaPosto(dir, cArmazenados);
    // The connector is down; the concentrator keeps its fuelings.
    FFcmsim(dir, {QStringLiteral("chama"), QStringLiteral("FcmOpen"), QStringLiteral("1")});
    FFcmsim(dir, {QStringLiteral("chama"), QStringLiteral("FcmConfigConcentradorFcm"), QStringLiteral("1"),
                  QStringLiteral("4"), QStringLiteral("10"), QStringLiteral("1")});
    for (int i = 0; i < cPendentes; ++i)
        FFcmsim(dir, {QStringLiteral("abastece"), QStringLiteral("1"), QStringLiteral("1"), QStringLiteral("1"),
                      QStringLiteral("1,234"), QStringLiteral("--ms"), QStringLiteral("0")});

    TConexaoFirebird conexao;
    conexao.PConecta(FBanco(dir), cUsuario, cSenha, QString());
    double puras = 0;
    for (int i = 0; i < cPendentes; ++i)
        puras += FInsercaoPura(conexao, i);

    QObject dono;
    PRespondeMensagens(&dono);
    QElapsedTimer vigia;
    double maiorEspera = 0;
    QTimer relogio;
    QObject::connect(&relogio, &QTimer::timeout, [&] {
        maiorEspera = std::max(maiorEspera, FMsDesde(vigia) - 10);
        vigia.restart();
    });
    QElapsedTimer total;
    total.start();
    auto janela = std::make_unique<TFrmTarnex>();
    janela->show();
    const double inicio = FMsDesde(total);
    vigia.start();
    relogio.start(10);
    int hoje = 0;
    while (hoje < cArmazenados + cPendentes && total.elapsed() < 600000) {
        QElapsedTimer espera;
        espera.start();
        while (espera.elapsed() < 100)
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 10);
        hoje = FHoje(conexao);
    }
    const double drenagem = FMsDesde(total);
    relogio.stop();
    std::printf("\nRetomada: %d abastecimentos off-line guardados pelo FcmMasterX, %d armazenados hoje\n", cPendentes,
                cArmazenados);
    std::printf("| gravados | drenagem (início incluído) | %d insert+commit puros | razão | início da janela | maior "
                "espera da linha principal (vigia de 10 ms) |\n",
                cPendentes);
    std::printf("|---:|---:|---:|---:|---:|---:|\n");
    std::printf("| %d de %d | %.2f s | %.2f s | %.1fx | %.0f ms | %.0f ms |\n", hoje - cArmazenados, cPendentes,
                drenagem / 1000, puras / 1000, drenagem / puras, inicio, maiorEspera);
    std::fflush(stdout);
    janela.reset();
    FFcmsim(dir, {QStringLiteral("para")});
}

// --- what the component waits for, through the window ----------------------------

// The window's callbacks as the component calls them, with 1,000 stored
// today, automatic authorisation on: how long the component waits for a
// fueling callback to answer (the acknowledgement), how long until that
// fueling's capture has ended (row committed, log entry written), and how long a state change "E" takes to
// authorise the nozzle (the callback's whole time, the letter included).
void PMedeJanela()
{
    QTemporaryDir dir;
    PCriaPosto(dir, 1000);
    const TArquivoIni ini(TParametros::FCaminhoArquivo());
    ini.PGravaInteiro(QStringLiteral("ABASTECIMENTO"), QStringLiteral("AUTORIZAAUTO"), 1);
    ini.PGravaInteiro(QStringLiteral("FCM1"), QStringLiteral("NUMBOMBAS"), 4);
    ini.PGravaInteiro(QStringLiteral("FCM1"), QStringLiteral("MODOOPERACAO"), 1);
    QObject dono;
    PRespondeMensagens(&dono);
    auto janela = std::make_unique<TFrmTarnex>();
    janela->show();
    FMsOcupadoAte([] { return true; });
    const QString log = TGenerico::FArquivoLog(QDate::currentDate());
    qint64 tamanhoLog = QFileInfo(log).size();
    std::vector<double> confirmacoes, gravacoes, autorizacoes;
    for (int i = 0; i < 32; ++i) {
        QElapsedTimer relogio;
        relogio.start();
        janela->FcmMasterAbasteceu(nullptr, 1, 1, 1, 12345 + i, 1234567, 5799, 3, 2, 3);
        const double confirmacao = FMsDesde(relogio);
        // The log entry is the capture's last step; its size is cheap to
        // watch, where a query would compete with the capture itself.
        while (QFileInfo(log).size() == tamanhoLog && relogio.elapsed() < 10000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        tamanhoLog = QFileInfo(log).size();
        const double gravacao = FMsDesde(relogio);
        relogio.restart();
        janela->FcmMasterMudancaDeEstado(nullptr, 1, 2, 1, 3);
        const double autorizacao = FMsDesde(relogio);
        FMsOcupadoAte([] { return true; });
        if (i == 0)
            continue; // the first entry of a run rewrites the whole log
        confirmacoes.push_back(confirmacao);
        gravacoes.push_back(gravacao);
        autorizacoes.push_back(autorizacao);
    }
    std::printf("\nPela janela, como o componente a chama (medianas, 1000 armazenados hoje, autorização automática)\n");
    std::printf("| evento de abastecimento até a confirmação | evento até a captura concluída (linha e entrada no log) | estado \"E\" até a "
                "autorização |\n|---:|---:|---:|\n");
    std::printf("| %.2f ms | %.2f ms | %.2f ms |\n", FMediana(confirmacoes), FMediana(gravacoes),
                FMediana(autorizacoes));
    std::fflush(stdout);
    janela.reset();
    FFcmsim(dir, {QStringLiteral("para")});
}

// --- start-up and memory with a full day, in a process of their own -------------

// In the child: the window from nothing to a filled grid, then live fuelings
// through the component's callback; prints "inicio_ms pico_mb".
int FInicio(const QString& pDir)
{
    TDiretorioPrograma::PDefine(pDir);
    QObject dono;
    PRespondeMensagens(&dono);
    QElapsedTimer relogio;
    relogio.start();
    TFrmTarnex janela;
    janela.show();
    const auto* grade = janela.findChild<QTableView*>(QStringLiteral("GridAbastecimento"));
    while (grade->model() == nullptr || grade->model()->rowCount() == 0)
        QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    const double inicio = FMsDesde(relogio);
    for (int i = 0; i < 20; ++i) {
        janela.FcmMasterAbasteceu(nullptr, 1, 1, 1, 12345, 1234567, 5799, 3, 2, 3);
        FMsOcupadoAte([] { return true; });
    }
    QThread::msleep(500);
    FMsOcupadoAte([] { return true; });
    std::printf("%.1f %.1f\n", inicio, FPicoMemoriaMb());
    return 0;
}

void PMedeInicio(const char* pPrograma)
{
    constexpr int cArmazenados = 50000;
    QTemporaryDir dir;
    PCriaPosto(dir, cArmazenados);
    QProcess filho;
    filho.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    filho.start(QString::fromLocal8Bit(pPrograma), {QStringLiteral("--inicio"), dir.path()});
    filho.waitForFinished(600000);
    const QStringList numeros = QString::fromLocal8Bit(filho.readAllStandardOutput()).split(QLatin1Char(' '));
    FFcmsim(dir, {QStringLiteral("para")});
    if (numeros.size() < 2) {
        std::printf("\nInício com %d armazenados: o processo não respondeu\n", cArmazenados);
        return;
    }
    std::printf("\nCom %d armazenados hoje, num processo só do conector (20 abastecimentos ao vivo depois)\n",
                cArmazenados);
    std::printf("| início até a grade preenchida | pico de memória residente |\n|---:|---:|\n");
    std::printf("| %s ms | %s MB |\n", qPrintable(numeros.at(0)), qPrintable(numeros.at(1).trimmed()));
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication aplicacao(argc, argv);
    TConfiguracaoRegional::PCarregaDoSistema();
    if (argc == 3 && QByteArray(argv[1]) == "--inicio")
        return FInicio(QString::fromLocal8Bit(argv[2]));
    std::vector<TLinhaTabela> linhas;
    if (argc == 2 && QByteArray(argv[1]) == "--janela") {
        PMedeJanela();
        return 0;
    }
    if (argc == 2 && QByteArray(argv[1]) == "--retomada") {
        PMedeRetomada();
        return 0;
    }
    if (argc == 3 && QByteArray(argv[1]) == "--tabela") {
        for (const QByteArray& n : QByteArray(argv[2]).split(','))
            linhas.push_back(FMede(n.toInt()));
        PImprimeTabela(linhas);
        return 0;
    }
    for (const int armazenados : {0, 1000, 5000, 50000})
        linhas.push_back(FMede(armazenados));
    PImprimeTabela(linhas);
    PMedeJanela();
    PMedeRetomada();
    PMedeInicio(argv[0]);
    std::printf("\npico de memória deste processo (todas as medidas): %.1f MB\n", FPicoMemoriaMb());
    return 0;
}
