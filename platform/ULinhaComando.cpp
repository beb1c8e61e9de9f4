#include "ULinhaComando.h"

#include <QCoreApplication>
#include <QHash>
#include <QRegularExpression>
#include <QTranslator>

#include <cstdio>
#include <cstdlib>

namespace {

// Qt's parser words its usage and errors in English and the station's
// machines carry no Qt translation; the few texts it writes are given here,
// so the tools speak Portuguese whatever the locale.
class TTraducaoParser : public QTranslator {
public:
    QString translate(const char* pContexto, const char* pTexto, const char*, int) const override
    {
        if (qstrcmp(pContexto, "QCommandLineParser") != 0)
            return {};
        return vTextos.value(QLatin1String(pTexto));
    }
    bool isEmpty() const override { return false; }

private:
    const QHash<QLatin1String, QString> vTextos{
        {QLatin1String("Usage: %1"), QStringLiteral("Uso: %1")},
        {QLatin1String("[options]"), QStringLiteral("[opções]")},
        {QLatin1String("Options:"), QStringLiteral("Opções:")},
        {QLatin1String("Arguments:"), QStringLiteral("Argumentos:")},
        {QLatin1String("Unknown option '%1'."), QStringLiteral("Opção desconhecida: '%1'.")},
        {QLatin1String("Unknown options: %1."), QStringLiteral("Opções desconhecidas: %1.")},
        {QLatin1String("Missing value after '%1'."), QStringLiteral("Falta o valor depois de '%1'.")},
        {QLatin1String("Unexpected value after '%1'."), QStringLiteral("'%1' não leva valor.")},
    };
};

// "-7" on a command line is a component's return code or an event's
// argument, never an option.
bool FNumeroNegativo(const QString& pArgumento)
{
    static const QRegularExpression numero(QStringLiteral("^-[0-9]+([.,][0-9]*)?$"));
    return numero.match(pArgumento).hasMatch();
}

void PEscreve(FILE* pSaida, const QString& pTexto)
{
    std::fputs(pTexto.toLocal8Bit().constData(), pSaida);
    std::fflush(pSaida);
}

} // namespace

TLinhaComando::TLinhaComando(const QString& pDescricao)
    : vAjuda({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Mostra esta ajuda e termina.")),
      vVersao({QStringLiteral("v"), QStringLiteral("version")},
              QStringLiteral("Mostra o nome e a versão do programa e termina."))
{
    static TTraducaoParser traducao;
    QCoreApplication::installTranslator(&traducao);
    QCoreApplication::setApplicationVersion(QStringLiteral(TARNEX_VERSAO));
    vParser.setApplicationDescription(pDescricao);
    PAdicionaOpcao(vAjuda);
    PAdicionaOpcao(vVersao);
}

void TLinhaComando::PAdicionaOpcao(const QCommandLineOption& pOpcao)
{
    vParser.addOption(pOpcao);
    vOpcoes.append(pOpcao);
}

void TLinhaComando::PAdicionaArgumento(const QString& pNome, const QString& pDescricao, const QString& pSintaxe)
{
    vParser.addPositionalArgument(pNome, pDescricao, pSintaxe);
}

void TLinhaComando::PLe(const QStringList& pArgumentos)
{
    if (!vParser.parse(FOpcoesAntes(pArgumentos)))
        PErroDeUso(vParser.errorText());
    if (vParser.isSet(vAjuda)) {
        PEscreve(stdout, FAjuda());
        std::exit(0);
    }
    if (vParser.isSet(vVersao)) {
        PEscreve(stdout, QStringLiteral("%1 %2\n").arg(QCoreApplication::applicationName(),
                                                         QCoreApplication::applicationVersion()));
        std::exit(0);
    }
}

void TLinhaComando::PErroDeUso(const QString& pMotivo) const
{
    PEscreve(stderr, QStringLiteral("%1: %2\n\n%3").arg(QCoreApplication::applicationName(), pMotivo, FAjuda()));
    std::exit(cErroDeUso);
}

// Qt names the program in the usage line as it was called, path and all.
QString TLinhaComando::FAjuda() const
{
    QString texto = vParser.helpText();
    const QString chamado = QCoreApplication::arguments().value(0);
    const qsizetype inicio = texto.indexOf(chamado);
    if (!chamado.isEmpty() && inicio >= 0 && inicio < texto.indexOf(QLatin1Char('\n')))
        texto.replace(inicio, chamado.size(), QCoreApplication::applicationName());
    return texto;
}

// Options may follow a verb's arguments ("abastece 1 2 1 1.5 --ms 0") and
// an argument may be a negative number, which Qt's parser would take for an
// option: the options go first, then "--", then the arguments in their order.
QStringList TLinhaComando::FOpcoesAntes(const QStringList& pArgumentos) const
{
    QStringList opcoes{pArgumentos.value(0)};
    QStringList argumentos;
    for (qsizetype i = 1; i < pArgumentos.size(); ++i) {
        const QString& argumento = pArgumentos.at(i);
        if (argumento == QLatin1String("--")) {
            argumentos += pArgumentos.mid(i + 1);
            break;
        }
        if (argumento.size() < 2 || !argumento.startsWith(QLatin1Char('-')) || FNumeroNegativo(argumento)) {
            argumentos.append(argumento);
            continue;
        }
        opcoes.append(argumento);
        if (!FLevaValor(argumento))
            continue;
        // Qt's parser would take the "--" put before the arguments for the value.
        if (i + 1 == pArgumentos.size())
            PErroDeUso(QCoreApplication::translate("QCommandLineParser", "Missing value after '%1'.").arg(argumento));
        opcoes.append(pArgumentos.at(++i));
    }
    return opcoes + QStringList{QStringLiteral("--")} + argumentos;
}

bool TLinhaComando::FLevaValor(const QString& pArgumento) const
{
    if (pArgumento.contains(QLatin1Char('=')))
        return false;
    const QString nome = pArgumento.mid(pArgumento.startsWith(QLatin1String("--")) ? 2 : 1);
    for (const QCommandLineOption& opcao : vOpcoes) {
        if (opcao.names().contains(nome))
            return !opcao.valueName().isEmpty();
    }
    return false;
}
