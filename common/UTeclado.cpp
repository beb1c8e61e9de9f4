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

void TTecladoJanela::PDefineBotaoPadrao(QPushButton* pBotao)
{
    if (vBotaoPadrao)
        vBotaoPadrao->setDefault(false);
    vBotaoPadrao = pBotao;
    if (pBotao)
        pBotao->setDefault(true);
}

bool TTecladoJanela::eventFilter(QObject* pAlvo, QEvent* pEvento)
{
    // The key just handled, on its way up from the control that ignored it
    // to the window. While the window answered it (a modal window, a
    // message) the focus may have gone, and the window would take it again.
    if (pEvento == vTratado)
        return false;
    vTratado = nullptr;
    if (pEvento->type() != QEvent::KeyPress || !pAlvo->isWidgetType())
        return false;
    auto* alvo = static_cast<QWidget*>(pAlvo);
    // A key a control ignores travels on to its parents; it is the window's
    // only once, at the control it was meant for.
    const QWidget* foco = QApplication::focusWidget();
    if (alvo->window() != vJanela || (foco ? alvo != foco : alvo != vJanela))
        return false;
    const bool tratada = FTrataTecla(static_cast<QKeyEvent*>(pEvento));
    vTratado = pEvento;
    return tratada;
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
    // Exactly where Tab would go: the same tab order, radio groups as one stop.
    QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier);
    QCoreApplication::sendEvent(QApplication::focusWidget() ? QApplication::focusWidget() : vJanela, &tab);
}
