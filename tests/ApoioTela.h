#pragma once

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <functional>

// Answers the next modal window the way an operator would: the action runs
// once that window is open, from inside its own event loop.
inline void PAoAbrirModal(std::function<void(QWidget*)> pAcao, QWidget* pAlemDe = nullptr)
{
    auto* relogio = new QTimer;
    relogio->setInterval(5);
    QObject::connect(relogio, &QTimer::timeout, [relogio, pAcao = std::move(pAcao), pAlemDe] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || modal == pAlemDe || !modal->isVisible() || !modal->isActiveWindow())
            return;
        relogio->stop();
        relogio->deleteLater();
        pAcao(modal);
    });
    relogio->start();
}
