#include "UStatusBico.h"

#include "UBancoDados.h"
#include "UBicos.h"
#include "UFaixaBanner.h"
#include "UGenerico.h"

#include <QHeaderView>
#include <QPainter>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTableWidget>

namespace {

// The status letter travels with the row, never shown.
constexpr int cPapelStatus = Qt::UserRole + 1;

class TPintorStatus : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* pPintor, const QStyleOptionViewItem& pOpcao, const QModelIndex& pIndice) const override
    {
        const QString status = pIndice.siblingAtColumn(0).data(cPapelStatus).toString();
        const bool selecionada = pOpcao.state & QStyle::State_Selected;
        const auto [fundo, texto] = TFrmStatusBico::FCores(status, selecionada);
        pPintor->fillRect(pOpcao.rect, fundo);
        pPintor->setPen(texto);
        pPintor->setFont(pOpcao.font);
        pPintor->drawText(pOpcao.rect.adjusted(2, 2, 0, 0), Qt::AlignLeft | Qt::AlignTop,
                          pIndice.data(Qt::DisplayRole).toString());
    }
};

} // namespace

TFrmStatusBico::TFrmStatusBico(QWidget* pDono) : TJanelaOperador(pDono, QStringLiteral("Status do Bico"), QSize(524, 222))
{
    setObjectName(QStringLiteral("FrmStatusBico"));
    PCriaControles();
}

QPair<QColor, QColor> TFrmStatusBico::FCores(const QString& pStatus, bool pSelecionada)
{
    QColor fundo(192, 192, 192);
    QColor texto(Qt::black);
    if (pStatus == QLatin1String("L")) {
        fundo = QColor(0, 128, 0);
        texto = Qt::white;
    } else if (pStatus == QLatin1String("P")) {
        fundo = QColor(240, 202, 166);
        texto = Qt::white;
    } else if (pStatus == QLatin1String("B")) {
        fundo = QColor(255, 0, 0);
        texto = Qt::white;
    } else if (pStatus == QLatin1String("A")) {
        fundo = QColor(255, 255, 0);
    }
    return pSelecionada ? qMakePair(texto, fundo) : qMakePair(fundo, texto);
}

QPushButton* TFrmStatusBico::FLegenda(QWidget* pFaixa, const QString& pTexto, const QColor& pCor, int pEsquerda)
{
    auto* legenda = new QPushButton(pTexto, pFaixa);
    legenda->setObjectName(QStringLiteral("Legenda") + pTexto);
    legenda->setFocusPolicy(Qt::NoFocus); // explains a colour; does nothing
    QPixmap marca(12, 12);
    marca.fill(pCor);
    legenda->setIcon(QIcon(marca));
    legenda->setGeometry(pEsquerda, 3, 120, 35);
    return legenda;
}

void TFrmStatusBico::PCriaControles()
{
    FLegenda(FaixaSuperior(), QStringLiteral("Bloqueado"), QColor(255, 0, 0), 20);
    FLegenda(FaixaSuperior(), QStringLiteral("Abastecendo"), QColor(255, 255, 0), 202);
    FLegenda(FaixaSuperior(), QStringLiteral("Falha"), QColor(192, 192, 192), 384);
    FLegenda(FaixaInferior(), QStringLiteral("Livre"), QColor(0, 128, 0), 20);
    FLegenda(FaixaInferior(), QStringLiteral("Pronta"), QColor(240, 202, 166), 384);
    BtnOk = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton), QStringLiteral("&Ok"), FaixaInferior());
    BtnOk->setObjectName(QStringLiteral("BtnOk"));
    BtnOk->setGeometry((width() - 150) / 2, 8, 150, 25);
    connect(BtnOk, &QPushButton::clicked, this, &QDialog::accept);

    GridStatusBomba = new QTableWidget(1, 5, this);
    GridStatusBomba->setObjectName(QStringLiteral("GridStatusBomba"));
    GridStatusBomba->setGeometry(FAreaCentral());
    GridStatusBomba->setEditTriggers(QAbstractItemView::NoEditTriggers);
    GridStatusBomba->setSelectionBehavior(QAbstractItemView::SelectRows);
    GridStatusBomba->setSelectionMode(QAbstractItemView::ExtendedSelection);
    // Only when there are more nozzles than rows in view.
    GridStatusBomba->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    GridStatusBomba->setTabKeyNavigation(false);
    GridStatusBomba->verticalHeader()->hide();
    GridStatusBomba->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    GridStatusBomba->verticalHeader()->setDefaultSectionSize(24);
    GridStatusBomba->setItemDelegate(new TPintorStatus(GridStatusBomba));
    const int larguras[] = {64, 64, 64, 237, 71};
    for (int c = 0; c < 5; ++c)
        GridStatusBomba->setColumnWidth(c, larguras[c]);
    setTabOrder(GridStatusBomba, BtnOk);
}

void TFrmStatusBico::PVerificaStatusBomba(TFcmMaster* pFcmMaster)
{
    vFcmMaster = pFcmMaster;
    GridStatusBomba->setHorizontalHeaderLabels({QStringLiteral("SLAVE"), QStringLiteral("BOMBA"), QStringLiteral("BICO"),
                                                QStringLiteral("DESCRIÇÃO"), QStringLiteral("PREÇO")});
    PPreencheGrid();
    GridStatusBomba->setFocus();
    exec();
}

void TFrmStatusBico::PPreencheGrid()
{
    const std::unique_ptr<TListaBicos> lista = BancoDados->FRetornaDadosBico();
    for (int i = 0; i < lista->Count(); ++i) {
        const TBico* bico = lista->FBico(i);
        const QStringList textos{TGenerico::FCompletaZero(bico->Tanque(), 2), TGenerico::FCompletaZero(bico->Bomba(), 2),
                                 TGenerico::FCompletaZero(bico->Bico(), 2), bico->Descricao(),
                                 TGenerico::FFormataNumero(bico->Preco(), 3)};
        for (int c = 0; c < 5; ++c)
            GridStatusBomba->setItem(i, c, new QTableWidgetItem(textos[c]));
        GridStatusBomba->item(i, 0)->setData(cPapelStatus, bico->Status());
        GridStatusBomba->insertRow(GridStatusBomba->rowCount());
    }
    // The grid ends with exactly one row per nozzle.
    GridStatusBomba->removeRow(GridStatusBomba->rowCount() - 1);
    if (GridStatusBomba->rowCount() > 0)
        GridStatusBomba->selectRow(0);
}
