#include "UJanelaOperador.h"

#include "UAparencia.h"
#include "UFaixaBanner.h"
#include "UTeclado.h"

TJanelaOperador::TJanelaOperador(QWidget* pDono, const QString& pTitulo, QSize pAreaCliente)
    : QDialog(pDono), vSuperior(new TFaixaBanner(Qt::Horizontal, this)),
      vInferior(new TFaixaBanner(Qt::Horizontal, this)), vTeclado(new TTecladoJanela(this))
{
    setWindowTitle(pTitulo);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setModal(true);
    setFont(TAparencia::FFontePadrao());
    setFixedSize(pAreaCliente);
    vSuperior->setGeometry(0, 0, width(), TFaixaBanner::cEspessura);
    vInferior->setGeometry(0, height() - TFaixaBanner::cEspessura, width(), TFaixaBanner::cEspessura);
}

QRect TJanelaOperador::FAreaCentral() const
{
    return QRect(0, TFaixaBanner::cEspessura, width(), height() - 2 * TFaixaBanner::cEspessura);
}

void TJanelaOperador::showEvent(QShowEvent* pEvento)
{
    QDialog::showEvent(pEvento);
    if (const QWidget* dono = parentWidget() ? parentWidget()->window() : nullptr; dono && dono->isVisible())
        move(dono->frameGeometry().center() - rect().center());
}
