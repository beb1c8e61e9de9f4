#pragma once

#include <QObject>
#include <QPointer>
#include <QPushButton>

#include <functional>

class QKeyEvent;
class QWidget;

// The keyboard every window of the program shares. The window sees each key
// before its controls: Enter moves the focus on as Tab does, unless a button
// has the focus or the window has a default button, which is then pressed;
// Esc presses the cancel button where there is one, otherwise closes the
// window. A window may look at each key first (the main window's F-keys).
class TTecladoJanela : public QObject {
    Q_OBJECT
public:
    // Answers true when it has handled the key and the controls must not see it.
    using TTratadorTecla = std::function<bool(QKeyEvent*)>;

    explicit TTecladoJanela(QWidget* pJanela);

    // Also drawn as the default button, so the operator sees what Enter presses.
    void PDefineBotaoPadrao(QPushButton* pBotao);
    void PDefineBotaoCancelar(QAbstractButton* pBotao) { vBotaoCancelar = pBotao; }
    void PDefineTratador(TTratadorTecla pTratador) { vTratador = std::move(pTratador); }

protected:
    bool eventFilter(QObject* pAlvo, QEvent* pEvento) override;

private:
    bool FTrataTecla(QKeyEvent* pTecla);
    void PEnter();
    void PEsc();
    void PProximoControle();

    QWidget* vJanela;
    QPointer<QPushButton> vBotaoPadrao;
    QPointer<QAbstractButton> vBotaoCancelar;
    TTratadorTecla vTratador;
    const QEvent* vTratado = nullptr;
};
