#include "UTeclado.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPushButton>

TTecladoJanela::TTecladoJanela(QWidget* pJanela) : QObject(pJanela), vJanela(pJanela)
{
    // On the application, not on the window: Qt hands a key to the focused
    // control first, and the window must see it before that control does.
    qApp->installEventFilter(this);
}

bool TTecladoJanela::eventFilter(QObject* pAlvo, QEvent* pEvento)
{
    if (pEvento->type() != QEvent::KeyPress || !pAlvo->isWidgetType())
        return false;
    auto* alvo = static_cast<QWidget*>(pAlvo);
    // A key a control ignores travels on to its parents; it is the window's
    // only once, at the control it was meant for.
    const QWidget* foco = QApplication::focusWidget();
    if (alvo->window() != vJanela || (foco ? alvo != foco : alvo != vJanela))
        return false;
    return FTrataTecla(static_cast<QKeyEvent*>(pEvento));
}

bool TTecladoJanela::FTrataTecla(QKeyEvent* pTecla)
{
    if (vTratador && vTratador(pTecla))
        return true;
    switch (pTecla->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        PEnter();
        return true;
    case Qt::Key_Escape:
        PEsc();
        return true;
    default:
        return false;
    }
}

void TTecladoJanela::PEnter()
{
    if (auto* botao = qobject_cast<QPushButton*>(QApplication::focusWidget())) {
        botao->click();
        return;
    }
    if (vBotaoPadrao && vBotaoPadrao->isVisible() && vBotaoPadrao->isEnabled()) {
        vBotaoPadrao->click();
        return;
    }
    PProximoControle();
}

void TTecladoJanela::PEsc()
{
    if (vBotaoCancelar && vBotaoCancelar->isVisible() && vBotaoCancelar->isEnabled())
        vBotaoCancelar->click();
    else
        vJanela->close();
}

void TTecladoJanela::PProximoControle()
{
    QWidget* atual = QApplication::focusWidget() ? QApplication::focusWidget() : vJanela;
    for (QWidget* w = atual->nextInFocusChain(); w && w != atual; w = w->nextInFocusChain()) {
        if (w->window() == vJanela && w->isVisible() && w->isEnabled() && (w->focusPolicy() & Qt::TabFocus)) {
            w->setFocus(Qt::TabFocusReason);
            return;
        }
    }
}
