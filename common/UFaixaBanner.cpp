#include "UFaixaBanner.h"

#include "UAparencia.h"

#include <QLabel>

TFaixaBanner::TFaixaBanner(Qt::Orientation pSentido, QWidget* pPai) : QWidget(pPai), vImagem(new QLabel(this))
{
    if (pSentido == Qt::Horizontal)
        setFixedHeight(cEspessura);
    else
        setFixedWidth(cEspessura);
    vImagem->setScaledContents(true);
    vImagem->setPixmap(pSentido == Qt::Horizontal ? TAparencia::FFaixaHorizontal() : TAparencia::FFaixaVertical());
    vImagem->lower();
}

void TFaixaBanner::resizeEvent(QResizeEvent* pEvento)
{
    QWidget::resizeEvent(pEvento);
    vImagem->setGeometry(rect());
}
