#pragma once

#include <QFont>
#include <QPixmap>

// The look every window shares: bold Verdana 8 pt (the closest sans-serif
// where Verdana is not installed) and the banner artwork of the strips.
class TAparencia {
public:
    static QFont FFontePadrao();
    // Drawn in code, so no image file has to travel with the program.
    static QPixmap FFaixaHorizontal();
    static QPixmap FFaixaVertical();
    static QPixmap FFundoMensagem();
};
