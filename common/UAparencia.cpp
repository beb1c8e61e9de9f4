#include "UAparencia.h"

#include <QLinearGradient>
#include <QPainter>

namespace {

const QColor cAzulMedio(0x1f, 0x5f, 0xbf);
const QColor cAzulMarinho(0x00, 0x14, 0x5a);
const QColor cAzulClaro(0x6f, 0xa8, 0xe8);

// A navy banner with a light sweep across it, the look of the station
// product's other windows.
QPixmap FFaixa(int pLargura, int pAltura, Qt::Orientation pSentido)
{
    QPixmap faixa(pLargura, pAltura);
    QPainter pintor(&faixa);
    const bool horizontal = pSentido == Qt::Horizontal;
    QLinearGradient fundo(0, 0, horizontal ? 0 : pLargura, horizontal ? pAltura : 0);
    fundo.setColorAt(0, cAzulClaro);
    fundo.setColorAt(0.45, cAzulMedio);
    fundo.setColorAt(1, cAzulMarinho);
    pintor.fillRect(faixa.rect(), fundo);
    pintor.setPen(QPen(QColor(255, 255, 255, 60), 1));
    if (horizontal)
        pintor.drawLine(0, 1, pLargura, 1);
    else
        pintor.drawLine(1, 0, 1, pAltura);
    return faixa;
}

} // namespace

QFont TAparencia::FFontePadrao()
{
    QFont fonte;
    fonte.setFamilies({QStringLiteral("Verdana"), QStringLiteral("DejaVu Sans"), QStringLiteral("Sans Serif")});
    fonte.setPointSize(8);
    fonte.setBold(true);
    return fonte;
}

QPixmap TAparencia::FFaixaHorizontal()
{
    static const QPixmap faixa = FFaixa(256, 41, Qt::Horizontal);
    return faixa;
}

QPixmap TAparencia::FFaixaVertical()
{
    static const QPixmap faixa = FFaixa(41, 256, Qt::Vertical);
    return faixa;
}

QPixmap TAparencia::FFundoMensagem()
{
    QPixmap fundo(16, 122);
    QPainter pintor(&fundo);
    QLinearGradient gradiente(0, 0, 0, fundo.height());
    gradiente.setColorAt(0, cAzulMedio);
    gradiente.setColorAt(1, QColor(0x00, 0x00, 0x80));
    pintor.fillRect(fundo.rect(), gradiente);
    return fundo;
}
