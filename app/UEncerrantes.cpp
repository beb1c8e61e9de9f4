#include "UEncerrantes.h"

#include "UErro.h"
#include "UGenerico.h"
#include "UGravacaoAtomica.h"

#include <QFile>
#include <QStringList>

#include <cstdlib>

namespace {

const QString cCabecalho = QStringLiteral("# Último encerrante visto em cada bico: milésimos;unidade;origem");
const QString cChaveData = QStringLiteral("DATA");
const QString cChaveUltima = QStringLiteral("ULTIMO");

// Where a base came from, as the file keeps it and the log tells it.
QString FTextoOrigem(QChar pOrigem)
{
    if (pOrigem == QLatin1Char('L'))
        return QStringLiteral("leitura do totalizador");
    if (pOrigem == QLatin1Char('O'))
        return QStringLiteral("totalizador configurado pelo operador");
    return QStringLiteral("fim do abastecimento anterior");
}

QString FTexto(qint64 pMilesimos)
{
    return TGenerico::FFormataNumero(static_cast<double>(pMilesimos) / 1000.0, 3);
}

bool FDepois(const QPair<int, int>& pA, const QPair<int, int>& pB)
{
    return pA.first > pB.first || (pA.first == pB.first && pA.second > pB.second);
}

} // namespace

std::optional<TEncerrantes::TValor> TEncerrantes::FValor(qint64 pLeitura, int pCasas)
{
    switch (pCasas) {
    case 1:
        return TValor{pLeitura * 100, 100};
    case 2:
        return TValor{pLeitura * 10, 10};
    case 3:
        return TValor{pLeitura, 1};
    default:
        return std::nullopt;
    }
}

TEncerrantes::TEncerrantes(QString pCaminho) : vCaminho(std::move(pCaminho))
{
    PCarrega();
}

// A file that cannot be read, or a line that makes no sense, costs only the
// bases it held: they are taken afresh from the fuelings that follow.
void TEncerrantes::PCarrega()
{
    QFile arquivo(vCaminho);
    if (!arquivo.open(QIODevice::ReadOnly))
        return;
    for (const QByteArray& bruta : arquivo.readAll().split('\n')) {
        const QString linha = QString::fromUtf8(bruta).trimmed();
        const qsizetype igual = linha.indexOf(QLatin1Char('='));
        if (linha.startsWith(QLatin1Char('#')) || igual <= 0)
            continue;
        const QString chave = linha.left(igual);
        const QStringList partes = linha.mid(igual + 1).split(QLatin1Char(';'));
        if (chave == cChaveData) {
            vGravadoEm = QDate::fromString(partes.value(0), Qt::ISODate);
            continue;
        }
        bool ok1 = false, ok2 = false;
        const qint64 a = partes.value(0).toLongLong(&ok1);
        const qint64 b = partes.value(1).toLongLong(&ok2);
        if (!ok1 || !ok2)
            continue;
        if (chave == cChaveUltima)
            vUltima = QPair<int, int>(static_cast<int>(a), static_cast<int>(b));
        else if (b > 0)
        {
            const QString origem = partes.value(2);
            vBases[chave] = TBase{TValor{a, b}, origem.isEmpty() ? QLatin1Char('A') : origem.at(0)};
        }
    }
}

QByteArray TEncerrantes::FConteudo() const
{
    QString texto = cCabecalho + QLatin1Char('\n');
    texto += cChaveData + QLatin1Char('=') + QDate::currentDate().toString(Qt::ISODate) + QLatin1Char('\n');
    if (vUltima)
        texto += cChaveUltima + QStringLiteral("=%1;%2\n").arg(vUltima->first).arg(vUltima->second);
    for (const auto& [codigo, base] : vBases) {
        texto += codigo + QStringLiteral("=%1;%2;").arg(base.vValor.vMilesimos).arg(base.vValor.vUnidade) +
                 base.vOrigem + QLatin1Char('\n');
    }
    return texto.toUtf8();
}

void TEncerrantes::PGrava()
{
    QByteArray conteudo;
    {
        const std::lock_guard trava(vTrava);
        if (!vAlterado)
            return;
        conteudo = FConteudo();
        vAlterado = false;
    }
    try {
        TGravacaoAtomica::PGrava(vCaminho, conteudo);
    } catch (const EErro&) {
        const std::lock_guard trava(vTrava);
        vAlterado = true;
        throw;
    }
    const std::lock_guard trava(vTrava);
    vGravadoEm = QDate::currentDate();
}

bool TEncerrantes::FAlterado() const
{
    const std::lock_guard trava(vTrava);
    return vAlterado;
}

QDate TEncerrantes::FDesde() const
{
    const std::lock_guard trava(vTrava);
    // A file written before midnight has not seen the fuelings of the rest
    // of that day.
    return vGravadoEm.isValid() ? vGravadoEm : QDate::currentDate();
}

std::optional<TEncerrantes::TValor> TEncerrantes::FBase(const QString& pCodigo) const
{
    const std::lock_guard trava(vTrava);
    const auto base = vBases.find(pCodigo);
    if (base == vBases.end())
        return std::nullopt;
    return base->second.vValor;
}

// The check itself: pInicio against the base, which then becomes pFim.
// Returns the log entry it calls for, if any. Under vTrava.
QString TEncerrantes::FConfere(const QString& pCodigo, const TValor& pInicio, const TValor& pFim, QChar pOrigem)
{
    const auto existente = vBases.find(pCodigo);
    vAlterado = true;
    if (existente == vBases.end()) {
        vBases[pCodigo] = TBase{pFim, pOrigem};
        return {};
    }
    TBase& base = existente->second;
    const qint64 tolerancia = base.vValor.vUnidade + pInicio.vUnidade;
    const qint64 anterior = base.vValor.vMilesimos;
    const QChar origemAnterior = base.vOrigem;
    // The same fueling again (a capture taken up again): already counted.
    if (std::llabs(pFim.vMilesimos - anterior) <= base.vValor.vUnidade + pFim.vUnidade)
        return {};
    base = TBase{pFim, pOrigem};
    const QChar cr = QLatin1Char('\r');
    const QString cabeca = QStringLiteral("Bico: ") + pCodigo + cr + QStringLiteral("Encerrante anterior: ") +
                           FTexto(anterior) + QStringLiteral(" (") + FTextoOrigem(origemAnterior) + QLatin1Char(')') + cr;
    const QString agora = QStringLiteral("Encerrante no início do abastecimento: ");
    if (pInicio.vMilesimos > anterior + tolerancia) {
        return QStringLiteral("Litros saíram da bomba sem abastecimento.") + cr + cabeca + agora +
               FTexto(pInicio.vMilesimos) + cr + QStringLiteral("Litros sem abastecimento: ") +
               FTexto(pInicio.vMilesimos - anterior);
    }
    if (pInicio.vMilesimos < anterior - tolerancia) {
        return QStringLiteral("Nova base do encerrante: o encerrante voltou (totalizador acertado na bomba, medidor "
                              "trocado ou volta do contador).") +
               cr + cabeca + agora + FTexto(pInicio.vMilesimos);
    }
    return {};
}

// A gap found again after a crash (its entry written, the file not yet) is
// not told twice.
void TEncerrantes::PRegistra(const QString& pTexto)
{
    if (pTexto.isEmpty())
        return;
    if (TGenerico::FTemEntradaNoLog(QDate::currentDate(), pTexto))
        return;
    TGenerico::PGeraLog(pTexto);
}

void TEncerrantes::PAbastecimento(const QString& pCodigo, const TValor& pInicio, const TValor& pFim,
                                  const std::optional<QPair<int, int>>& pNumeracao)
{
    QString texto;
    {
        const std::lock_guard trava(vTrava);
        texto = FConfere(pCodigo, pInicio, pFim, QLatin1Char('A'));
        if (pNumeracao && (!vUltima || FDepois(*pNumeracao, *vUltima)))
            vUltima = pNumeracao;
    }
    PRegistra(texto);
}

// A reading becomes the base without a check: it may come while the
// nozzle is fueling, or while the fuelings before it still wait in the
// journal for the database, and the litres it counts would be told as lost.
// Litres lost before it still show in the report.
void TEncerrantes::PLeitura(const QString& pCodigo, const TValor& pTotal)
{
    const std::lock_guard trava(vTrava);
    vBases[pCodigo] = TBase{pTotal, QLatin1Char('L')};
    vAlterado = true;
}

void TEncerrantes::PDefinido(const QString& pCodigo, const TValor& pTotal)
{
    QString texto;
    {
        const std::lock_guard trava(vTrava);
        const auto existente = vBases.find(pCodigo);
        const QChar cr = QLatin1Char('\r');
        if (existente != vBases.end()) {
            texto = QStringLiteral("Nova base do encerrante: totalizador configurado pelo operador.") + cr +
                    QStringLiteral("Bico: ") + pCodigo + cr + QStringLiteral("Encerrante anterior: ") +
                    FTexto(existente->second.vValor.vMilesimos) + cr + QStringLiteral("Encerrante configurado: ") +
                    FTexto(pTotal.vMilesimos);
        }
        vBases[pCodigo] = TBase{pTotal, QLatin1Char('O')};
        vAlterado = true;
    }
    if (!texto.isEmpty())
        TGenerico::PGeraLog(texto);
}

std::optional<QPair<int, int>> TEncerrantes::FUltima() const
{
    const std::lock_guard trava(vTrava);
    return vUltima;
}

void TEncerrantes::PAtualiza(const std::vector<TLinha>& pLinhas)
{
    QStringList textos;
    {
        const std::lock_guard trava(vTrava);
        for (const TLinha& l : pLinhas) {
            const QPair<int, int> numeracao(l.vSequencia, l.vId);
            if (vUltima && !FDepois(numeracao, *vUltima))
                continue;
            vUltima = numeracao;
            // The table keeps three decimals: the unit of its readings.
            const QString texto = FConfere(l.vCodigo, TValor{l.vFim - l.vLitros, 1}, TValor{l.vFim, 1}, QLatin1Char('A'));
            if (!texto.isEmpty())
                textos.append(texto);
        }
    }
    for (const QString& texto : textos)
        PRegistra(texto);
}
