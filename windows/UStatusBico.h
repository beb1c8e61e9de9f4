#pragma once

#include "UJanelaOperador.h"

class QPushButton;
class QTableWidget;
class TFcmMaster;

// Every registered nozzle with its address, description and price, painted
// in the colour of its last recorded state: a snapshot of the station
// database taken when the window opens.
class TFrmStatusBico : public TJanelaOperador {
    Q_OBJECT
public:
    explicit TFrmStatusBico(QWidget* pDono);

    // Fills the grid and shows the window modally. A failure to read the
    // nozzles stops the opening: the window is never shown.
    void PVerificaStatusBomba(TFcmMaster* pFcmMaster);

    // Background and text colours of a row by status letter and selection.
    static QPair<QColor, QColor> FCores(const QString& pStatus, bool pSelecionada);

private:
    void PCriaControles();
    QPushButton* FLegenda(QWidget* pFaixa, const QString& pTexto, const QColor& pCor, int pEsquerda);
    void PPreencheGrid();

    TFcmMaster* vFcmMaster = nullptr;
    QTableWidget* GridStatusBomba;
    QPushButton* BtnOk;
};
