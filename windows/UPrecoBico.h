#pragma once

#include "UJanelaOperador.h"

#include <memory>

class QPushButton;
class QTableView;
class TListaBicos;
class TModeloGrade;

// The nozzles with the prices the station database holds; the operator
// picks the row from which prices are sent to the pumps.
class TFrmPrecoBico : public TJanelaOperador {
    Q_OBJECT
public:
    explicit TFrmPrecoBico(QWidget* pDono);

    // The nozzles from the current row to the last, or nothing when the
    // operator cancelled.
    std::unique_ptr<TListaBicos> FAlteraPrecoBico();

private:
    static std::unique_ptr<TListaBicos> FRetornaListaBicos(const TModeloGrade& pDataSet, int pLinhaAtual);

    QTableView* GridPrecoAbast;
    QPushButton* btnAlterar;
    QPushButton* btnCancelar;
};
