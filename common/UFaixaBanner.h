#pragma once

#include <QWidget>

class QLabel;

// A 41-pixel strip along one edge of a window, filled by a stretched banner
// picture; the window places its buttons on it.
class TFaixaBanner : public QWidget {
    Q_OBJECT
public:
    static constexpr int cEspessura = 41;

    TFaixaBanner(Qt::Orientation pSentido, QWidget* pPai);

    QLabel* Imagem() const { return vImagem; }

protected:
    void resizeEvent(QResizeEvent* pEvento) override;

private:
    QLabel* vImagem;
};
