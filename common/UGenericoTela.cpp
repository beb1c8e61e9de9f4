// The helpers of TGenerico that put something before the operator; the rest
// of the class needs no widgets and lives in UGenerico.cpp.
#include "UGenerico.h"

#include "UMensagem.h"
#include "UModeloGrade.h"

#include <QTableView>

bool TGenerico::FRetornaErroConcentrador(int pMetodo)
{
    if (pMetodo == 1)
        return true;
    const QString texto = FTextoErroConcentrador(pMetodo);
    if (!texto.isEmpty())
        TFrmMensagem::FMessageDlg(texto, tmAlerta, bmOk, 0);
    return false;
}

void TGenerico::FormataDecimal(const QVariant& Campo, QString& Texto, bool DisplayText)
{
    (void)DisplayText;
    Texto = FFormataNumero(Campo.isValid() ? Campo.toDouble() : 0.0, 3);
}

void TGenerico::PFormataCamposGrid(QTableView* pGrid)
{
    auto* modelo = qobject_cast<TModeloGrade*>(pGrid->model());
    if (!modelo)
        return;
    for (int coluna = 0; coluna < modelo->columnCount(); ++coluna) {
        const TTipoColuna tipo = modelo->Tipo(coluna);
        if (tipo == TTipoColuna::Flutuante || tipo == TTipoColuna::Decimal) {
            modelo->PDefineAlinhamento(coluna, Qt::AlignRight | Qt::AlignVCenter);
            modelo->PDefineFormatador(coluna, [](const QVariant& pValor) {
                QString texto;
                FormataDecimal(pValor, texto, true);
                return texto;
            });
        }
        if (modelo->Nome(coluna) == QLatin1String("DATA"))
            pGrid->setColumnWidth(coluna, 100);
        if (modelo->Nome(coluna) == QLatin1String("ID"))
            pGrid->setColumnWidth(coluna, 60);
    }
}
