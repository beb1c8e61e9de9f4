#include "UAuditoriaEncerrantes.h"

#include "UConfiguracaoRegional.h"
#include "UFirebird.h"
#include "UGenerico.h"

#include <QStringList>

#include <cmath>
#include <cstdlib>
#include <numeric>

namespace {

// Fuelings stored in the same second keep the order the connector gave
// them: sequencia, then id.
const QString cAbastecimentos = QStringLiteral(
    "select mvabast.codbico, mvabast.data, mvabast.hora, mvabast.litragem, mvabast.encerrantefinal from mvabast "
    "where mvabast.data between :PDe and :PAte "
    "order by mvabast.codbico, mvabast.data, mvabast.hora, mvabast.sequencia, mvabast.id");

struct TAbastecimentoLido {
    QDateTime vMomento;
    TMilesimos vInicio = 0;
    TMilesimos vFim = 0;
};

TMilesimos FMilesimos(double pLitros)
{
    return std::llround(pLitros * 1000.0);
}

TAbastecimentoLido FLeAbastecimento(const TResultadoSql& pResultado, int pLinha)
{
    const TMilesimos fim = FMilesimos(pResultado.FDouble(pLinha, QStringLiteral("encerrantefinal")));
    return {QDateTime(pResultado.Valor(pLinha, QStringLiteral("data")).toDate(),
                      pResultado.Valor(pLinha, QStringLiteral("hora")).toTime()),
            fim - FMilesimos(pResultado.FDouble(pLinha, QStringLiteral("litragem"))), fim};
}

void PAcrescenta(TBicoAuditado& pBico, const TAbastecimentoLido& pAbastecimento)
{
    if (pBico.vAbastecimentos == 0) {
        pBico.vPrimeiro = pAbastecimento.vInicio;
    } else {
        const TSaltoEncerrante salto{pAbastecimento.vMomento, pBico.vUltimo, pAbastecimento.vInicio};
        // A totaliser behind the last reading was set at the pump, replaced,
        // or wrapped past its largest value: the count starts again there,
        // and no fuel left the pump by it.
        if (salto.FLitros() < -TAuditoriaEncerrantes::cTolerancia) {
            pBico.vNovasBases.push_back(salto);
        } else {
            pBico.vDiferenca += salto.FLitros();
            if (salto.FLitros() > TAuditoriaEncerrantes::cTolerancia)
                pBico.vFaltas.push_back(salto);
        }
    }
    pBico.vUltimo = pAbastecimento.vFim;
    pBico.vLitros += pAbastecimento.vFim - pAbastecimento.vInicio;
    ++pBico.vAbastecimentos;
}

QString FMomento(const QDateTime& pMomento)
{
    return TGenerico::FFormataData(pMomento.date()) + QLatin1Char(' ') + TGenerico::FFormataHora(pMomento.time());
}

QString FLitros(TMilesimos pLitros)
{
    return TAuditoriaEncerrantes::FLitrosTexto(pLitros, TConfiguracaoRegional::SeparadorDecimal());
}

QString FPeriodo(const QDate& pDe, const QDate& pAte)
{
    if (pDe == pAte)
        return QStringLiteral("de %1").arg(TGenerico::FFormataData(pDe));
    return QStringLiteral("de %1 a %2").arg(TGenerico::FFormataData(pDe), TGenerico::FFormataData(pAte));
}

QString FLinhaResumo(const TBicoAuditado& pBico)
{
    return QStringLiteral("%1 %2 %3 %4 %5 %6\n")
        .arg(pBico.vCodBico, -10)
        .arg(pBico.vAbastecimentos, 15)
        .arg(FLitros(pBico.vPrimeiro), 19)
        .arg(FLitros(pBico.vUltimo), 17)
        .arg(FLitros(pBico.vLitros), 19)
        .arg(FLitros(pBico.vDiferenca), 11);
}

QString FLinhaSalto(const QString& pTipo, const TSaltoEncerrante& pSalto)
{
    return QStringLiteral("  %1  %2  de %3 a %4  %5 L\n")
        .arg(FMomento(pSalto.vMomento), pTipo.leftJustified(9), FLitros(pSalto.vDe), FLitros(pSalto.vAte),
             FLitros(pSalto.FLitros()));
}

QString FCabecalhoFaltas(const TBicoAuditado& pBico)
{
    if (pBico.vFaltas.empty())
        return QStringLiteral("Bico %1: sem falta.\n").arg(pBico.vCodBico);
    return QStringLiteral("Bico %1: %2 %3, %4 L saíram da bomba sem abastecimento.\n")
        .arg(pBico.vCodBico)
        .arg(pBico.vFaltas.size())
        .arg(pBico.vFaltas.size() == 1 ? QStringLiteral("falta") : QStringLiteral("faltas"),
             FLitros(pBico.FLitrosEmFalta()));
}

// Gaps and new bases in the order they happened.
QString FSaltos(const TBicoAuditado& pBico)
{
    std::vector<std::pair<const TSaltoEncerrante*, QString>> saltos;
    for (const TSaltoEncerrante& falta : pBico.vFaltas)
        saltos.emplace_back(&falta, QStringLiteral("falta"));
    for (const TSaltoEncerrante& base : pBico.vNovasBases)
        saltos.emplace_back(&base, QStringLiteral("nova base"));
    std::stable_sort(saltos.begin(), saltos.end(),
                     [](const auto& a, const auto& b) { return a.first->vMomento < b.first->vMomento; });
    QString texto = FCabecalhoFaltas(pBico);
    for (const auto& [salto, tipo] : saltos)
        texto += FLinhaSalto(tipo, *salto);
    return texto;
}

QString FCampoCsv(TMilesimos pLitros)
{
    return TAuditoriaEncerrantes::FLitrosTexto(pLitros, QLatin1Char(','));
}

QString FLinhaCsvSalto(const QString& pCodBico, const QString& pTipo, const TSaltoEncerrante& pSalto)
{
    return QStringList{pCodBico,
                       pTipo,
                       pSalto.vMomento.date().toString(QStringLiteral("dd/MM/yyyy")),
                       pSalto.vMomento.time().toString(QStringLiteral("HH:mm:ss")),
                       QString(),
                       FCampoCsv(pSalto.vDe),
                       FCampoCsv(pSalto.vAte),
                       QString(),
                       FCampoCsv(pSalto.FLitros())}
               .join(QLatin1Char(';')) +
           QLatin1Char('\n');
}

QString FLinhaCsvResumo(const TBicoAuditado& pBico)
{
    return QStringList{pBico.vCodBico,
                       QStringLiteral("resumo"),
                       QString(),
                       QString(),
                       QString::number(pBico.vAbastecimentos),
                       FCampoCsv(pBico.vPrimeiro),
                       FCampoCsv(pBico.vUltimo),
                       FCampoCsv(pBico.vLitros),
                       FCampoCsv(pBico.vDiferenca)}
               .join(QLatin1Char(';')) +
           QLatin1Char('\n');
}

} // namespace

TMilesimos TBicoAuditado::FLitrosEmFalta() const
{
    return std::accumulate(vFaltas.begin(), vFaltas.end(), TMilesimos{0},
                           [](TMilesimos soma, const TSaltoEncerrante& falta) { return soma + falta.FLitros(); });
}

std::vector<TBicoAuditado> TAuditoriaEncerrantes::FAudita(TConexaoFirebird& pConexao, const QDate& pDe,
                                                          const QDate& pAte)
{
    const TResultadoSql resultado =
        pConexao.FConsulta(cAbastecimentos, {{QStringLiteral("PDe"), pDe.toString(QStringLiteral("dd.MM.yyyy"))},
                                             {QStringLiteral("PAte"), pAte.toString(QStringLiteral("dd.MM.yyyy"))}});
    std::vector<TBicoAuditado> bicos;
    for (int i = 0; i < resultado.Linhas(); ++i) {
        const QString codBico = resultado.FTexto(i, QStringLiteral("codbico"));
        if (bicos.empty() || bicos.back().vCodBico != codBico)
        {
            TBicoAuditado bico;
            bico.vCodBico = codBico;
            bicos.push_back(std::move(bico));
        }
        PAcrescenta(bicos.back(), FLeAbastecimento(resultado, i));
    }
    return bicos;
}

QString TAuditoriaEncerrantes::FTabela(const std::vector<TBicoAuditado>& pBicos, const QDate& pDe, const QDate& pAte)
{
    QString texto = QStringLiteral("Auditoria de encerrantes %1\n\n").arg(FPeriodo(pDe, pAte));
    if (pBicos.empty())
        return texto + QStringLiteral("Nenhum abastecimento no período.\n");
    texto += QStringLiteral("Bico        Abastecimentos  Encerrante inicial  Encerrante final  Litros abastecidos  "
                            "Diferença\n");
    for (const TBicoAuditado& bico : pBicos)
        texto += FLinhaResumo(bico);
    texto += QLatin1Char('\n');
    for (const TBicoAuditado& bico : pBicos)
        texto += FSaltos(bico);
    return texto;
}

QString TAuditoriaEncerrantes::FCsv(const std::vector<TBicoAuditado>& pBicos)
{
    QString texto = QStringLiteral("Bico;Tipo;Data;Hora;Abastecimentos;Encerrante inicial;Encerrante final;"
                                   "Litros abastecidos;Diferença\n");
    for (const TBicoAuditado& bico : pBicos) {
        texto += FLinhaCsvResumo(bico);
        for (const TSaltoEncerrante& falta : bico.vFaltas)
            texto += FLinhaCsvSalto(bico.vCodBico, QStringLiteral("falta"), falta);
        for (const TSaltoEncerrante& base : bico.vNovasBases)
            texto += FLinhaCsvSalto(bico.vCodBico, QStringLiteral("nova base"), base);
    }
    return texto;
}

QString TAuditoriaEncerrantes::FLitrosTexto(TMilesimos pLitros, QChar pSeparador)
{
    const TMilesimos absoluto = std::llabs(pLitros);
    return QStringLiteral("%1%2%3%4")
        .arg(pLitros < 0 ? QStringLiteral("-") : QString())
        .arg(absoluto / 1000)
        .arg(pSeparador)
        .arg(absoluto % 1000, 3, 10, QLatin1Char('0'));
}
