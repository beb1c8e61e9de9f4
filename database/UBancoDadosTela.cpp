// The two station views, which bind a grid; the rest of TBancoDados needs
// no widgets and lives in UBancoDados.cpp.
#include "UBancoDados.h"

#include "UAtualizadorGrade.h"
#include "UModeloGrade.h"

#include <QItemSelectionModel>
#include <QTableView>

void TBancoDados::PDadosGridAbastecimento(QTableView* pGrid)
{
    PLigaGrade(pGrid, FAbastecimentosDoDia(vConexao));
}

void TBancoDados::PSolicitaAtualizacaoGrid(QTableView* pGrid)
{
    auto* atualizador = pGrid->findChild<TAtualizadorGrade*>(QString(), Qt::FindDirectChildrenOnly);
    if (!atualizador)
        atualizador = new TAtualizadorGrade(vConexao.FDados(), pGrid);
    atualizador->PSolicita();
}

void TBancoDados::PDadosGridPrecoAbast(QTableView* pGrid)
{
    PLigaGrade(pGrid,
               FConsultaAguardando(QStringLiteral(
                   "select substring(bombas.codconcentrador from 1 for 2) as Slave, substring(bombas.codconcentrador "
                   "from 3 for 2) as bomba, substring(bombas.codconcentrador from 5 for 2) as Bico, "
                   "bombas.descricao, bombas.precovenda as preco, bombas.statusbico from bombas order by slave, "
                   "bomba, bico")));
}

namespace {

// Binds a grid to a view (or to none) and releases the view it had, with the
// selection model Qt leaves behind on every change of model.
void PTrocaModelo(QTableView* pGrid, QAbstractItemModel* pModelo)
{
    QAbstractItemModel* anterior = pGrid->model();
    QItemSelectionModel* selecaoAnterior = pGrid->selectionModel();
    pGrid->setModel(pModelo);
    delete selecaoAnterior;
    if (anterior && anterior->parent() == pGrid)
        delete anterior;
}

} // namespace

void TBancoDados::PLigaGrade(QTableView* pGrid, TResultadoSql pResultado)
{
    // The query has run: only now does the grid give up the view it had, so
    // a failed reload leaves it showing the old rows.
    PTrocaModelo(pGrid, new TModeloGrade(std::move(pResultado), pGrid));
}

void TBancoDados::PDesligaGrade(QTableView* pGrid)
{
    PTrocaModelo(pGrid, nullptr);
}
