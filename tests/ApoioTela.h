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


#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QPointer>

#include <deque>

// An operator at the keyboard: answers each modal window that comes up, in
// order, with the next of its actions, and notes the messages it has read.
// A window is answered only once it is active: before that its event loop
// may not have started, and a window closed then would never return.
class TOperador {
public:
    TOperador()
    {
        vVigia.vDono = this;
        QObject::connect(&vRelogio, &QTimer::timeout, [this] { PVerifica(); });
        vRelogio.start(10);
    }
    void PDepois(std::function<void(QWidget*)> pAcao) { vAcoes.push_back(std::move(pAcao)); }
    // Once the queued actions are used up, every further window gets OK.
    void PRespondeSempreOk() { vSempreOk = true; }
    const QStringList& Lidas() const { return vLidas; }

private:
    void PVerifica()
    {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || modal == vUltima || !modal->isVisible() || (vAcoes.empty() && !vSempreOk))
            return;
        if (!modal->isActiveWindow()) {
            // A window under a nested one that has closed is not made
            // active again on this platform; an operator would click it.
            modal->activateWindow();
            return;
        }
        vUltima = modal;
        // The shared message dialog comes back for the next message: once it
        // has been hidden it counts as a new window.
        modal->installEventFilter(&vVigia);
        if (const auto* rotulo = modal->findChild<QLabel*>(QStringLiteral("LbMensagem")))
            vLidas.append(modal->windowTitle() + QLatin1Char('|') + rotulo->text());
        else if (const auto* caixa = qobject_cast<QMessageBox*>(modal))
            vLidas.append(caixa->windowTitle() + QLatin1Char('|') + caixa->text());
        if (vAcoes.empty()) {
            PClicaOk(modal);
            return;
        }
        auto acao = std::move(vAcoes.front());
        vAcoes.pop_front();
        acao(modal);
    }

    struct TVigia : QObject {
        TOperador* vDono = nullptr;
        bool eventFilter(QObject* pAlvo, QEvent* pEvento) override
        {
            if (pEvento->type() == QEvent::Hide && pAlvo == vDono->vUltima) {
                vDono->vUltima = nullptr;
                pAlvo->removeEventFilter(this);
            }
            return false;
        }
    };

    static void PClicaOk(QWidget* pModal)
    {
        if (auto* caixa = qobject_cast<QMessageBox*>(pModal))
            caixa->button(QMessageBox::Ok) ? caixa->button(QMessageBox::Ok)->click() : caixa->reject();
        else if (auto* ok = pModal->findChild<QPushButton*>(QStringLiteral("BtnOk")))
            ok->click();
    }

    QTimer vRelogio;
    TVigia vVigia;
    bool vSempreOk = false;
    std::deque<std::function<void(QWidget*)>> vAcoes;
    QPointer<QWidget> vUltima;
    QStringList vLidas;
};
