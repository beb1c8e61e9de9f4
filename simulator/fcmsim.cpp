// fcmsim: drives the component server as a station's pumps would.
// Its connections never subscribe to events, so they never take a
// connector's events or off-line fuelings. See README.md beside this file.
#include "FcmMasterX_TLB.h"
#include "UDiretorioPrograma.h"
#include "UErro.h"
#include "ULinhaComando.h"
#include "UServidorFcm.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QRandomGenerator>
#include <QThread>

#include <csignal>
#include <cstdio>

namespace {

volatile std::sig_atomic_t vInterrompido = 0;

void PImprime(const QString& pTexto)
{
    std::printf("%s\n", qPrintable(pTexto));
    std::fflush(stdout);
}

const QString cDir = QStringLiteral("dir");
const QString cMs = QStringLiteral("ms");
const QString cIntervalo = QStringLiteral("intervalo");
const QString cBicos = QStringLiteral("bicos");

// A verb, the fewest arguments it needs and the options it takes besides --dir.
struct TVerbo {
    QLatin1String vNome;
    qsizetype vMinimo;
    QStringList vOpcoes;
};

const TVerbo cVerbos[] = {
    {QLatin1String("abastece"), 4, {cMs}},
    {QLatin1String("perde"), 4, {}},
    {QLatin1String("evento"), 1, {}},
    {QLatin1String("falha"), 2, {}},
    {QLatin1String("silencio"), 1, {}},
    {QLatin1String("chama"), 1, {}},
    {QLatin1String("chamadas"), 0, {}},
    {QLatin1String("estado"), 0, {}},
    {QLatin1String("demo"), 0, {cIntervalo, cBicos}},
    {QLatin1String("derruba"), 0, {}},
    {QLatin1String("para"), 0, {}},
};

void PDefineOpcoes(TLinhaComando& pLinha)
{
    pLinha.PAdicionaOpcao(QCommandLineOption(
        cDir, QStringLiteral("O diretório do programa, onde está o servidor (padrão: o do fcmsim)."),
        QStringLiteral("DIR")));
    pLinha.PAdicionaOpcao(QCommandLineOption(
        cMs, QStringLiteral("abastece: quanto dura o abastecimento, em milissegundos (padrão: 300)."),
        QStringLiteral("N"), QStringLiteral("300")));
    pLinha.PAdicionaOpcao(QCommandLineOption(
        cIntervalo, QStringLiteral("demo: segundos entre um abastecimento e o seguinte (padrão: 5)."),
        QStringLiteral("S"), QStringLiteral("5")));
    pLinha.PAdicionaOpcao(QCommandLineOption(
        cBicos, QStringLiteral("demo: só os bicos 1 a N de cada bomba (padrão: 2)."), QStringLiteral("N"),
        QStringLiteral("2")));
    pLinha.PAdicionaArgumento(QStringLiteral("verbo"), QStringLiteral("Um dos verbos acima, com os seus argumentos."),
                              QStringLiteral("VERBO [ARGS...]"));
}

const QString cDescricao = QStringLiteral(
    "Comanda o servidor do componente FcmMasterX como as bombas do posto o fariam.\n"
    "\n"
    "Verbos:\n"
    "  abastece SL BO BI LITROS [--ms N]   um abastecimento completo nesse bico\n"
    "  perde SL BO BI LITROS               o totalizador do bico anda, sem evento\n"
    "  evento NUM ARG...                   entrega o evento NUM a todo conector\n"
    "  falha METODO CODIGO [VEZES]         as próximas chamadas respondem CODIGO\n"
    "  silencio METODO                     a próxima chamada fica sem resposta\n"
    "  chama METODO ARG...                 chama um método do componente\n"
    "  chamadas                            as chamadas recebidas até agora\n"
    "  estado                              dispositivos, slaves, bombas e bicos\n"
    "  demo [--intervalo S] [--bicos N]    abastecimentos aleatórios até Ctrl+C\n"
    "  derruba                             o servidor cai como numa pane\n"
    "  para                                o servidor termina normalmente\n"
    "\n"
    "Sai com 0 quando o pedido foi atendido, 1 quando o servidor o recusa ou não\n"
    "responde, 64 quando a linha de comando está errada.");

// The verb named first must be known, have its arguments and be given only its options.
void PConfereVerbo(const TLinhaComando& pLinha)
{
    const QStringList args = pLinha.FArgumentos();
    if (args.isEmpty())
        pLinha.PErroDeUso(QStringLiteral("falta o verbo."));
    for (const TVerbo& verbo : cVerbos) {
        if (args.first() != verbo.vNome)
            continue;
        if (args.size() - 1 < verbo.vMinimo)
            pLinha.PErroDeUso(QStringLiteral("faltam argumentos para %1.").arg(verbo.vNome));
        for (const QString& opcao : {cMs, cIntervalo, cBicos}) {
            if (pLinha.FTem(opcao) && !verbo.vOpcoes.contains(opcao))
                pLinha.PErroDeUso(QStringLiteral("--%1 não serve para %2.").arg(opcao, verbo.vNome));
        }
        return;
    }
    pLinha.PErroDeUso(QStringLiteral("verbo desconhecido: '%1'.").arg(args.first()));
}

qint64 FInteiro(const QString& pTexto)
{
    bool ok = false;
    const qint64 valor = pTexto.toLongLong(&ok);
    if (!ok)
        throw EErro(QStringLiteral("'%1' não é um número inteiro.").arg(pTexto));
    return valor;
}

// Litres as operators type them, with a point or a comma, in thousandths.
qint64 FMilesimos(QString pTexto)
{
    bool ok = false;
    const double litros = pTexto.replace(QLatin1Char(','), QLatin1Char('.')).toDouble(&ok);
    // Written so that "nan", which toDouble takes, is refused too.
    if (!ok || !(litros >= 0 && litros <= 2000000))
        throw EErro(QStringLiteral("'%1' não é um volume em litros.").arg(pTexto));
    return qRound64(litros * 1000);
}

QJsonArray FNumeros(const QStringList& pArgs, qsizetype pDe)
{
    QJsonArray numeros;
    for (qsizetype i = pDe; i < pArgs.size(); ++i)
        numeros.append(FInteiro(pArgs.at(i)));
    return numeros;
}

QString FTexto(const QJsonValue& pValor)
{
    if (pValor.isString())
        return pValor.toString();
    if (pValor.isArray()) {
        QStringList linhas;
        for (const QJsonValue& v : pValor.toArray())
            linhas.append(FTexto(v));
        return linhas.join(QLatin1Char('\n'));
    }
    return QString::number(pValor.toInteger());
}

int FAbastece(TFcmMaster& pFcm, const QJsonArray& pBico, qint64 pVolume, int pMs)
{
    QJsonArray args = pBico;
    args.append(pVolume);
    args.append(pMs);
    const int espera = pMs + 2 * TFcmMaster::cTempoLimiteMs + 10000;
    const QJsonObject resposta = pFcm.FEnviaControle(QStringLiteral("abastece"), args, espera);
    PImprime(QStringLiteral("Abastecimento no bico %1-%2-%3: %4 L%5")
                 .arg(pBico.at(0).toInt()).arg(pBico.at(1).toInt()).arg(pBico.at(2).toInt())
                 .arg(resposta.value(QStringLiteral("volume")).toInt() / 1000.0, 0, 'f', 3)
                 .arg(resposta.value(QStringLiteral("offline")).toBool() ? QStringLiteral(" (off-line)") : QString()));
    return 0;
}

// The nozzle and the litres are checked before the server hears of them: a
// word or a zero there is a wrong command line, not a refusal.
QJsonArray FArgsPerde(const TLinhaComando& pLinha, const QStringList& pArgs)
{
    QJsonArray args;
    try {
        args = FNumeros(pArgs.mid(0, 3), 0);
        args.append(FMilesimos(pArgs.at(3)));
    } catch (const EErro& erro) {
        pLinha.PErroDeUso(erro.Mensagem());
    }
    if (args.at(3).toInteger() <= 0)
        pLinha.PErroDeUso(QStringLiteral("perde precisa de um volume maior que zero, não '%1'.").arg(pArgs.at(3)));
    return args;
}

int FPerde(TFcmMaster& pFcm, const QJsonArray& pArgs)
{
    const QJsonObject resposta = pFcm.FEnviaControle(QStringLiteral("perde"), pArgs, TFcmMaster::cTempoLimiteMs);
    PImprime(QStringLiteral("Abastecimento perdido no bico %1-%2-%3: %4 L, sem evento; totalizador %5")
                 .arg(pArgs.at(0).toInt()).arg(pArgs.at(1).toInt()).arg(pArgs.at(2).toInt())
                 .arg(resposta.value(QStringLiteral("volume")).toInt() / 1000.0, 0, 'f', 3)
                 .arg(static_cast<double>(resposta.value(QStringLiteral("total")).toInteger()) / 100.0, 0, 'f', 2));
    return 0;
}

int FDemo(TFcmMaster& pFcm, const TLinhaComando& pLinha)
{
    const int intervaloMs = static_cast<int>(FInteiro(pLinha.FValor(cIntervalo))) * 1000;
    const int bicosPorBomba = static_cast<int>(FInteiro(pLinha.FValor(cBicos)));
    std::signal(SIGINT, [](int) { vInterrompido = 1; });
    std::signal(SIGTERM, [](int) { vInterrompido = 1; });
    PImprime(QStringLiteral("Demonstração: um abastecimento a cada %1 s; Ctrl+C para parar.").arg(intervaloMs / 1000));
    while (!vInterrompido) {
        QJsonArray bicos;
        for (const QJsonValue& b : pFcm.FEnviaControle(QStringLiteral("bicos"), {}, TFcmMaster::cTempoLimiteMs)
                                       .value(QStringLiteral("resultado")).toArray()) {
            if (b.toArray().at(2).toInt() <= bicosPorBomba)
                bicos.append(b);
        }
        if (!bicos.isEmpty()) {
            const QJsonArray bico = bicos.at(QRandomGenerator::global()->bounded(bicos.size())).toArray();
            try {
                FAbastece(pFcm, bico, QRandomGenerator::global()->bounded(5000, 60000), 1500);
            } catch (const EErro& erro) {
                PImprime(erro.Mensagem());
            }
        }
        for (int esperado = 0; esperado < (bicos.isEmpty() ? 1000 : intervaloMs) && !vInterrompido; esperado += 50)
            QThread::msleep(50);
    }
    return 0;
}

int FExecuta(const TLinhaComando& pLinha)
{
    QStringList pArgs = pLinha.FArgumentos();
    const QString verbo = pArgs.takeFirst();
    const bool paraServidor = verbo == QLatin1String("para") || verbo == QLatin1String("derruba");
    if (paraServidor && !TServidorFcm::FJaEmExecucao(TDiretorioPrograma::FCaminho())) {
        PImprime(QStringLiteral("FcmMasterX não está em execução."));
        return 0;
    }
    TFcmMaster fcm(nullptr, false);
    const int limite = TFcmMaster::cTempoLimiteMs;
    if (verbo == QLatin1String("abastece")) {
        const int ms = static_cast<int>(FInteiro(pLinha.FValor(cMs)));
        return FAbastece(fcm, FNumeros(pArgs.mid(0, 3), 0), FMilesimos(pArgs.at(3)), ms);
    }
    if (verbo == QLatin1String("perde"))
        return FPerde(fcm, FArgsPerde(pLinha, pArgs));
    if (verbo == QLatin1String("demo"))
        return FDemo(fcm, pLinha);
    if (verbo == QLatin1String("chama")) {
        const QJsonObject resposta = fcm.FChamaMetodo(pArgs.at(0), FNumeros(pArgs, 1));
        QString texto = FTexto(resposta.value(QStringLiteral("resultado")));
        if (resposta.contains(QStringLiteral("ref")))
            texto += QStringLiteral(" ref=") + FTexto(resposta.value(QStringLiteral("ref")));
        PImprime(texto);
        return 0;
    }
    if (verbo == QLatin1String("evento") || verbo == QLatin1String("falha") || verbo == QLatin1String("silencio")) {
        // The method's name goes before the numbers, beside them: "+" of two
        // arrays would nest the numbers as one element.
        QJsonArray args = FNumeros(pArgs, verbo == QLatin1String("evento") ? 0 : 1);
        if (verbo != QLatin1String("evento"))
            args.prepend(pArgs.at(0));
        fcm.FEnviaControle(verbo, args, limite);
        return 0;
    }
    if (verbo == QLatin1String("chamadas") || verbo == QLatin1String("estado")) {
        const QString texto = FTexto(fcm.FEnviaControle(verbo, {}, limite).value(QStringLiteral("resultado")));
        if (!texto.isEmpty())
            std::printf("%s%s", qPrintable(texto), texto.endsWith(QLatin1Char('\n')) ? "" : "\n");
        return 0;
    }
    if (verbo == QLatin1String("para")) {
        fcm.FEnviaControle(verbo, {}, limite);
        return 0;
    }
    try {
        fcm.FEnviaControle(verbo, {}, limite);
    } catch (const EErro&) {
        // derruba: the answer never comes, the server is gone
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication aplicacao(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("fcmsim"));
    TLinhaComando linha(cDescricao);
    PDefineOpcoes(linha);
    linha.PLe(QCoreApplication::arguments());
    PConfereVerbo(linha);
    if (linha.FTem(cDir))
        TDiretorioPrograma::PDefine(linha.FValor(cDir));
    try {
        return FExecuta(linha);
    } catch (const EErro& erro) {
        std::fprintf(stderr, "fcmsim: %s\n", qPrintable(QString(erro.Mensagem()).replace(QLatin1Char('\r'), QLatin1Char('\n'))));
        return 1;
    }
}
