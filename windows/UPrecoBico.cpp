#include "UPrecoBico.h"

#include "UBancoDados.h"
#include "UBicos.h"
#include "UFaixaBanner.h"
#include "UGenerico.h"
#include "UGradeDados.h"
#include "UModeloGrade.h"
#include "UTeclado.h"

#include <QHeaderView>
#include <QPushButton>
#include <QTableView>

TFrmPrecoBico::TFrmPrecoBico(QWidget* pDono) : TJanelaOperador(pDono, QStringLiteral("Preços Bicos"), QSize(560, 320))
{
    setObjectName(QStringLiteral("FrmPrecoBico"));
    GridPrecoAbast = new TGradeDados(this);
    GridPrecoAbast->setObjectName(QStringLiteral("GridPrecoAbast"));
    GridPrecoAbast->setGeometry(FAreaCentral());
    GridPrecoAbast->setSelectionMode(QAbstractItemView::SingleSelection);
    btnAlterar = new QPushButton(QStringLiteral("&Alterar"), FaixaInferior());
    btnAlterar->setObjectName(QStringLiteral("btnAlterar"));
    btnAlterar->setGeometry(width() / 2 - 160, 8, 150, 25);
    btnCancelar = new QPushButton(QStringLiteral("&Cancelar"), FaixaInferior());
    btnCancelar->setObjectName(QStringLiteral("btnCancelar"));
    btnCancelar->setGeometry(width() / 2 + 10, 8, 150, 25);
    connect(btnAlterar, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancelar, &QPushButton::clicked, this, &QDialog::reject);
    Teclado()->PDefineBotaoPadrao(btnAlterar);
    Teclado()->PDefineBotaoCancelar(btnCancelar);
    setTabOrder(GridPrecoAbast, btnAlterar);
    setTabOrder(btnAlterar, btnCancelar);
}

std::unique_ptr<TListaBicos> TFrmPrecoBico::FAlteraPrecoBico()
{
    BancoDados->PDadosGridPrecoAbast(GridPrecoAbast);
    const auto* modelo = qobject_cast<TModeloGrade*>(GridPrecoAbast->model());
    for (int c = 0; c < modelo->columnCount(); ++c) {
        GridPrecoAbast->setColumnHidden(c, modelo->Nome(c).compare(QLatin1String("STATUSBICO"), Qt::CaseInsensitive) == 0);
        // The codes and the price are short: the description takes the rest.
        if (modelo->Nome(c).compare(QLatin1String("DESCRICAO"), Qt::CaseInsensitive) == 0)
            GridPrecoAbast->horizontalHeader()->setSectionResizeMode(c, QHeaderView::Stretch);
    }
    TGenerico::PFormataCamposGrid(GridPrecoAbast);
    if (modelo->rowCount() > 0)
        GridPrecoAbast->selectRow(0);
    GridPrecoAbast->setFocus();
    std::unique_ptr<TListaBicos> lista;
    if (exec() == QDialog::Accepted) {
        const int atual = GridPrecoAbast->currentIndex().isValid() ? GridPrecoAbast->currentIndex().row() : 0;
        lista = FRetornaListaBicos(*modelo, atual);
    }
    TBancoDados::PDesligaGrade(GridPrecoAbast);
    return lista;
}

std::unique_ptr<TListaBicos> TFrmPrecoBico::FRetornaListaBicos(const TModeloGrade& pDataSet, int pLinhaAtual)
{
    const TResultadoSql& dados = pDataSet.Resultado();
    auto lista = std::make_unique<TListaBicos>();
    for (int i = pLinhaAtual; i < dados.Linhas(); ++i)
        lista->PAdiciona(TBancoDados::FBicoDaLinha(dados, i));
    return lista;
}
