// auditoria-encerrantes: shows, nozzle by nozzle, whether every litre the
// pump's totaliser counted is in a stored fueling.
#include "UArquivoIni.h"
#include "UAuditoriaEncerrantes.h"
#include "UDiretorioPrograma.h"
#include "UErro.h"
#include "UFirebird.h"
#include "UGenerico.h"
#include "ULinhaComando.h"

#include <QCoreApplication>
#include <QDir>

#include <cstdio>

namespace {

const QString cDir = QStringLiteral("dir");
const QString cDia = QStringLiteral("dia");
const QString cDe = QStringLiteral("de");
const QString cAte = QStringLiteral("ate");
const QString cCsv = QStringLiteral("csv");

const QString cDescricao = QStringLiteral(
    "Confere, bico a bico, se cada litro que o encerrante da bomba contou está num abastecimento\n"
    "gravado em mvabast: cada abastecimento deve começar onde o anterior terminou. Lista cada\n"
    "falta (litros que saíram da bomba sem abastecimento) e cada nova base (encerrante que voltou).\n"
    "Só lê o banco, com o conector e o caixa funcionando; o banco é o de ZelvioECF.ini em DIR.\n"
    "Sai com 0 quando o relatório foi feito, com ou sem faltas; 1 quando o banco não pôde ser lido.");

void PDefineOpcoes(TLinhaComando& pLinha)
{
    const QString data = QStringLiteral("DD/MM/AAAA");
    pLinha.PAdicionaOpcao(QCommandLineOption(
        cDir, QStringLiteral("Onde está ZelvioECF.ini (padrão: o diretório do programa)."), QStringLiteral("DIR")));
    pLinha.PAdicionaOpcao(QCommandLineOption(cDia, QStringLiteral("Um só dia (padrão: hoje)."), data));
    pLinha.PAdicionaOpcao(QCommandLineOption(cDe, QStringLiteral("O primeiro dia do período."), data));
    pLinha.PAdicionaOpcao(
        QCommandLineOption(cAte, QStringLiteral("O último dia do período (padrão: hoje; pede --de)."), data));
    pLinha.PAdicionaOpcao(QCommandLineOption(
        cCsv, QStringLiteral("Para planilha: campos separados por \";\", decimais com \",\", em UTF-8.")));
}

QDate FData(const TLinhaComando& pLinha, const QString& pOpcao)
{
    const QString texto = pLinha.FValor(pOpcao);
    const QDate data = QDate::fromString(texto, QStringLiteral("dd/MM/yyyy"));
    if (!data.isValid())
        pLinha.PErroDeUso(QStringLiteral("data inválida em --%1: '%2' (use DD/MM/AAAA).").arg(pOpcao, texto));
    return data;
}

std::pair<QDate, QDate> FPeriodo(const TLinhaComando& pLinha)
{
    if (pLinha.FTem(cDia)) {
        if (pLinha.FTem(cDe) || pLinha.FTem(cAte))
            pLinha.PErroDeUso(QStringLiteral("--dia não se junta a --de nem a --ate."));
        const QDate dia = FData(pLinha, cDia);
        return {dia, dia};
    }
    if (pLinha.FTem(cAte) && !pLinha.FTem(cDe))
        pLinha.PErroDeUso(QStringLiteral("--ate pede --de."));
    const QDate hoje = QDate::currentDate();
    const QDate de = pLinha.FTem(cDe) ? FData(pLinha, cDe) : hoje;
    const QDate ate = pLinha.FTem(cAte) ? FData(pLinha, cAte) : hoje;
    if (de > ate)
        pLinha.PErroDeUso(QStringLiteral("--de depois de --ate."));
    return {de, ate};
}

// The connector's own settings: the same database, user and password, so
// the report reads what the connector writes.
void PConecta(TConexaoFirebird& pConexao, const QString& pDiretorio)
{
    const TArquivoIni zelvio(QDir(pDiretorio).filePath(QStringLiteral("ZelvioECF.ini")));
    const QString secao = QStringLiteral("CONEXAO");
    const QString caminho = zelvio.FLeTexto(secao, QStringLiteral("CAMINHO"), QString());
    if (caminho.isEmpty())
        throw EErro(QStringLiteral("%1 não diz onde está o banco (CONEXAO, CAMINHO).").arg(zelvio.Caminho()));
    const QString senha = zelvio.FLeTexto(secao, QStringLiteral("PASSWORD"), QString());
    pConexao.PConecta(caminho, zelvio.FLeTexto(secao, QStringLiteral("USER"), QString()),
                      TGenerico::FDescripta(senha, static_cast<int>(senha.size() / 3)), QStringLiteral("RoleName"));
}

void PEscreve(const QByteArray& pBytes)
{
    std::fwrite(pBytes.constData(), 1, static_cast<size_t>(pBytes.size()), stdout);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication aplicacao(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("auditoria-encerrantes"));
    TLinhaComando linha(cDescricao);
    PDefineOpcoes(linha);
    linha.PLe(QCoreApplication::arguments());
    if (!linha.FArgumentos().isEmpty())
        linha.PErroDeUso(QStringLiteral("argumento a mais: '%1'.").arg(linha.FArgumentos().first()));
    const auto [de, ate] = FPeriodo(linha);
    try {
        const QString diretorio =
            QDir(linha.FTem(cDir) ? linha.FValor(cDir) : TDiretorioPrograma::FDiretorioExecutavel()).absolutePath();
        // Read-only transactions: the report holds back neither the
        // connector's writes nor the point of sale's.
        TConexaoFirebird conexao(true);
        PConecta(conexao, diretorio);
        const std::vector<TBicoAuditado> bicos = TAuditoriaEncerrantes::FAudita(conexao, de, ate);
        // A spreadsheet takes a file without this mark for the machine's
        // old code page and garbles the accents.
        if (linha.FTem(cCsv))
            PEscreve(QByteArrayLiteral("\xEF\xBB\xBF") + TAuditoriaEncerrantes::FCsv(bicos).toUtf8());
        else
            PEscreve(TAuditoriaEncerrantes::FTabela(bicos, de, ate).toLocal8Bit());
        return 0;
    } catch (const EErro& erro) {
        std::fprintf(stderr, "auditoria-encerrantes: o banco não pôde ser lido: %s\n",
                     qPrintable(QString(erro.Mensagem()).replace(QLatin1Char('\r'), QLatin1Char('\n'))));
        return 1;
    }
}
