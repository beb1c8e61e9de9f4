#include "UModeloGrade.h"

#include "UGenerico.h"

#include <QDate>
#include <QDateTime>
#include <QTime>

TModeloGrade::TModeloGrade(TResultadoSql pResultado, QObject* pDono)
    : QAbstractTableModel(pDono), vResultado(std::move(pResultado)),
      vFormatadores(static_cast<size_t>(vResultado.Colunas())),
      vAlinhamentos(static_cast<size_t>(vResultado.Colunas()), Qt::AlignLeft | Qt::AlignVCenter)
{
}

int TModeloGrade::rowCount(const QModelIndex& pPai) const
{
    return pPai.isValid() ? 0 : vResultado.Linhas();
}

int TModeloGrade::columnCount(const QModelIndex& pPai) const
{
    return pPai.isValid() ? 0 : vResultado.Colunas();
}

QString TModeloGrade::FTextoPadrao(const QVariant& pValor, TTipoColuna pTipo)
{
    if (!pValor.isValid())
        return {};
    switch (pTipo) {
    case TTipoColuna::Data:
        return TGenerico::FFormataData(pValor.toDate());
    case TTipoColuna::Hora:
        return TGenerico::FFormataHora(pValor.toTime());
    case TTipoColuna::DataHora:
        return TGenerico::FFormataData(pValor.toDateTime().date()) + QLatin1Char(' ') +
               TGenerico::FFormataHora(pValor.toDateTime().time());
    case TTipoColuna::Decimal:
    case TTipoColuna::Flutuante:
        return TGenerico::FFormataGeral(pValor.toDouble());
    default:
        return pValor.toString();
    }
}

QVariant TModeloGrade::data(const QModelIndex& pIndice, int pPapel) const
{
    if (!checkIndex(pIndice, CheckIndexOption::IndexIsValid))
        return {};
    const auto coluna = static_cast<size_t>(pIndice.column());
    const QVariant& valor = vResultado.Valor(pIndice.row(), pIndice.column());
    switch (pPapel) {
    case Qt::DisplayRole:
        return vFormatadores[coluna] ? vFormatadores[coluna](valor) : FTextoPadrao(valor, Tipo(pIndice.column()));
    case Qt::EditRole:
        return valor;
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(vAlinhamentos[coluna]);
    default:
        return {};
    }
}

QVariant TModeloGrade::headerData(int pSecao, Qt::Orientation pSentido, int pPapel) const
{
    if (pPapel != Qt::DisplayRole)
        return {};
    if (pSentido == Qt::Vertical)
        return pSecao + 1;
    return pSecao >= 0 && pSecao < vResultado.Colunas() ? Nome(pSecao) : QVariant();
}

void TModeloGrade::PDefineFormatador(int pColuna, TFormatador pFormatador)
{
    vFormatadores.at(static_cast<size_t>(pColuna)) = std::move(pFormatador);
    if (rowCount() > 0)
        Q_EMIT dataChanged(index(0, pColuna), index(rowCount() - 1, pColuna), {Qt::DisplayRole});
}

void TModeloGrade::PDefineAlinhamento(int pColuna, Qt::Alignment pAlinhamento)
{
    vAlinhamentos.at(static_cast<size_t>(pColuna)) = pAlinhamento;
    if (rowCount() > 0)
        Q_EMIT dataChanged(index(0, pColuna), index(rowCount() - 1, pColuna), {Qt::TextAlignmentRole});
}

bool TModeloGrade::FMesmasColunas(const TResultadoSql& pResultado) const
{
    return pResultado.Nomes() == vResultado.Nomes() && pResultado.Tipos() == vResultado.Tipos();
}

TResultadoSql TModeloGrade::FTrocaResultado(TResultadoSql pNovo)
{
    Q_ASSERT(FMesmasColunas(pNovo));
    const int antigas = vResultado.Linhas();
    if (antigas > 0)
        beginRemoveRows({}, 0, antigas - 1);
    TResultadoSql antigo = std::exchange(vResultado, TResultadoSql(pNovo.Nomes(), pNovo.Tipos()));
    if (antigas > 0)
        endRemoveRows();
    if (pNovo.Linhas() > 0)
        beginInsertRows({}, 0, pNovo.Linhas() - 1);
    vResultado = std::move(pNovo);
    if (vResultado.Linhas() > 0)
        endInsertRows();
    return antigo;
}
