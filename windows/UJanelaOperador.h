#pragma once

#include <QDialog>

class TFaixaBanner;
class TTecladoJanela;

// What every operator window shares: a fixed single border with only the
// close box, bold Verdana 8 pt, the banner strips at top and bottom, the
// keyboard of the program, and opening centred over the main window.
class TJanelaOperador : public QDialog {
    Q_OBJECT
public:
    TJanelaOperador(QWidget* pDono, const QString& pTitulo, QSize pAreaCliente);

protected:
    TFaixaBanner* FaixaSuperior() const { return vSuperior; }
    TFaixaBanner* FaixaInferior() const { return vInferior; }
    TTecladoJanela* Teclado() const { return vTeclado; }
    // The area between the strips.
    QRect FAreaCentral() const;
    void showEvent(QShowEvent* pEvento) override;

private:
    TFaixaBanner* vSuperior;
    TFaixaBanner* vInferior;
    TTecladoJanela* vTeclado;
};
