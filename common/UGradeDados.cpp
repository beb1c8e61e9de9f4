#include "UGradeDados.h"

#include "UGenerico.h"
#include "UModeloGrade.h"

#include <QHeaderView>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace {

constexpr int cIndicador = 12;

// The row indicator: a blank title cell per row, with a mark at the
// current row, as wide for ten rows as for ten thousand.
class TIndicador : public QHeaderView {
public:
    explicit TIndicador(QWidget* pPai) : QHeaderView(Qt::Vertical, pPai) { setFixedWidth(cIndicador); }

protected:
    void paintSection(QPainter* pPintor, const QRect& pArea, int pLinha) const override
    {
        QStyleOptionHeader opcao;
        initStyleOption(&opcao);
        opcao.rect = pArea;
        opcao.section = pLinha;
        style()->drawControl(QStyle::CE_Header, &opcao, pPintor, this);
        const auto* grade = qobject_cast<const QAbstractItemView*>(parentWidget());
        if (!grade || grade->currentIndex().row() != pLinha)
            return;
        const QPointF centro = QRectF(pArea).center();
        QPainterPath seta;
        seta.moveTo(centro.x() - 2.5, centro.y() - 4);
        seta.lineTo(centro.x() + 2.5, centro.y());
        seta.lineTo(centro.x() - 2.5, centro.y() + 4);
        seta.closeSubpath();
        pPintor->save();
        pPintor->setClipRect(pArea); // the style leaves the painter clipped to nothing
        pPintor->setRenderHint(QPainter::Antialiasing);
        pPintor->fillPath(seta, palette().color(QPalette::WindowText));
        pPintor->restore();
    }
};

} // namespace

TGradeDados::TGradeDados(QWidget* pPai) : QTableView(pPai)
{
    setVerticalHeader(new TIndicador(this));
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setTabKeyNavigation(false);
    setWordWrap(false);
    // Measured widths hold even below the style's minimum, which allows
    // for the widest glyph of the font.
    horizontalHeader()->setMinimumSectionSize(16);
}

void TGradeDados::setModel(QAbstractItemModel* pModelo)
{
    disconnect(vAlarga);
    QTableView::setModel(pModelo);
    if (!pModelo)
        return;
    PAjustaColunas();
    // Rows a refresh brings into the same view may be wider than the ones
    // the columns were sized to (a day that began with small fuelings).
    vAlarga = connect(pModelo, &QAbstractItemModel::rowsInserted, this, &TGradeDados::PAlargaColunas);
    // A view opens at its first row, which the indicator marks; nothing is
    // selected until the operator moves.
    if (pModelo->rowCount() > 0)
        selectionModel()->setCurrentIndex(pModelo->index(0, 0), QItemSelectionModel::NoUpdate);
}

void TGradeDados::currentChanged(const QModelIndex& pAtual, const QModelIndex& pAnterior)
{
    QTableView::currentChanged(pAtual, pAnterior);
    verticalHeader()->viewport()->update();
}

void TGradeDados::PAjustaColunas()
{
    for (int c = 0; c < model()->columnCount(); ++c)
        setColumnWidth(c, std::max(FLarguraTitulo(c), FLarguraValores(c)));
}

// Only ever wider: a column that shrank back would make the grid jump
// under the operator's eyes at every refresh.
void TGradeDados::PAlargaColunas()
{
    for (int c = 0; c < model()->columnCount(); ++c) {
        const int largura = FLarguraValores(c);
        if (largura > columnWidth(c))
            setColumnWidth(c, largura);
    }
}

int TGradeDados::FLarguraTitulo(int pColuna) const
{
    const QString titulo = model()->headerData(pColuna, Qt::Horizontal).toString();
    const int margem = style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, horizontalHeader());
    return horizontalHeader()->fontMetrics().horizontalAdvance(titulo) + 2 * margem + 8;
}

int TGradeDados::FLarguraValores(int pColuna) const
{
    // Numbers measured as the grid formats show them, with three decimals,
    // whether or not those formats are in place yet.
    const auto* modelo = qobject_cast<const TModeloGrade*>(model());
    const bool numero = modelo && (modelo->Tipo(pColuna) == TTipoColuna::Decimal ||
                                   modelo->Tipo(pColuna) == TTipoColuna::Flutuante);
    const QFontMetrics medida = fontMetrics();
    int maior = 0;
    for (int r = 0; r < std::min(model()->rowCount(), cLinhasMedidas); ++r) {
        const QModelIndex indice = model()->index(r, pColuna);
        maior = std::max(maior, medida.horizontalAdvance(indice.data().toString()));
        if (numero && indice.data(Qt::EditRole).isValid())
            maior = std::max(maior, medida.horizontalAdvance(TGenerico::FFormataNumero(indice.data(Qt::EditRole).toDouble(), 3)));
    }
    // The text margins of a cell, the grid line and some air.
    const int margem = style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1;
    return maior + 2 * margem + 1 + 6;
}
