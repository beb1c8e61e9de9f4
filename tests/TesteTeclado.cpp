#include "ApoioTestes.h"
#include "ApoioTela.h"
#include "UAplicacao.h"
#include "UErro.h"
#include "UTeclado.h"

#include <QCheckBox>
#include <QDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace {

// A small window: two edits, a check box and two buttons, in tab order.
class TJanelaTeste : public QWidget {
public:
    TJanelaTeste() : vTeclado(new TTecladoJanela(this))
    {
        for (QWidget* w : {static_cast<QWidget*>(vEdit1), static_cast<QWidget*>(vEdit2),
                           static_cast<QWidget*>(vCaixa), static_cast<QWidget*>(vOk),
                           static_cast<QWidget*>(vCancelar)})
            w->setParent(this);
        vEdit1->setObjectName(QStringLiteral("Edt1"));
        vEdit2->setObjectName(QStringLiteral("Edt2"));
        vCaixa->setObjectName(QStringLiteral("Caixa"));
        vOk->move(0, 100);
        vCancelar->move(100, 100);
        QObject::connect(vOk, &QPushButton::clicked, [this] { ++vCliquesOk; });
        QObject::connect(vCancelar, &QPushButton::clicked, [this] { ++vCliquesCancelar; });
        show();
        activateWindow();
    }

    TTecladoJanela* vTeclado;
    QLineEdit* vEdit1 = new QLineEdit;
    QLineEdit* vEdit2 = new QLineEdit;
    QCheckBox* vCaixa = new QCheckBox;
    QPushButton* vOk = new QPushButton(QStringLiteral("&Ok"));
    QPushButton* vCancelar = new QPushButton(QStringLiteral("&Cancelar"));
    int vCliquesOk = 0;
    int vCliquesCancelar = 0;
};

class Teclado : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(QTest::qWaitForWindowActive(&vJanela)); }
    TJanelaTeste vJanela;
};

TEST_F(Teclado, EnterMovesOnAsTabDoesAndPressesAFocusedButton)
{
    vJanela.vEdit1->setFocus();
    QTest::keyClick(vJanela.vEdit1, Qt::Key_Return);
    EXPECT_EQ(QApplication::focusWidget(), vJanela.vEdit2);
    QTest::keyClick(vJanela.vEdit2, Qt::Key_Enter, Qt::ShiftModifier);
    EXPECT_EQ(QApplication::focusWidget(), vJanela.vCaixa);
    QTest::keyClick(vJanela.vCaixa, Qt::Key_Return);
    EXPECT_EQ(QApplication::focusWidget(), vJanela.vOk);
    EXPECT_EQ(vJanela.vCliquesOk, 0);
    QTest::keyClick(vJanela.vOk, Qt::Key_Return);
    EXPECT_EQ(vJanela.vCliquesOk, 1);
}

TEST_F(Teclado, DefaultButtonTakesEnterFromAnyControl)
{
    vJanela.vTeclado->PDefineBotaoPadrao(vJanela.vOk);
    vJanela.vEdit1->setFocus();
    QTest::keyClick(vJanela.vEdit1, Qt::Key_Return);
    EXPECT_EQ(vJanela.vCliquesOk, 1);
    EXPECT_EQ(QApplication::focusWidget(), vJanela.vEdit1);
}

TEST_F(Teclado, EscPressesTheCancelButtonOrClosesTheWindow)
{
    vJanela.vTeclado->PDefineBotaoCancelar(vJanela.vCancelar);
    vJanela.vEdit1->setFocus();
    QTest::keyClick(vJanela.vEdit1, Qt::Key_Escape);
    EXPECT_EQ(vJanela.vCliquesCancelar, 1);
    EXPECT_TRUE(vJanela.isVisible());

    vJanela.vTeclado->PDefineBotaoCancelar(nullptr);
    QTest::keyClick(vJanela.vEdit1, Qt::Key_Escape);
    EXPECT_FALSE(vJanela.isVisible());
}

TEST_F(Teclado, WindowSeesEachKeyOnceBeforeItsControls)
{
    int vistas = 0;
    vJanela.vTeclado->PDefineTratador([&](QKeyEvent* tecla) {
        if (tecla->key() == Qt::Key_F5)
            ++vistas;
        return false; // the key goes on to the control afterwards
    });
    vJanela.vEdit1->setFocus();
    // A line edit ignores F5, so Qt hands it on to the window as well.
    QTest::keyClick(vJanela.vEdit1, Qt::Key_F5, Qt::ShiftModifier);
    EXPECT_EQ(vistas, 1);

    vJanela.vTeclado->PDefineTratador([](QKeyEvent* tecla) { return tecla->key() == Qt::Key_A; });
    QTest::keyClick(vJanela.vEdit1, Qt::Key_A);
    QTest::keyClick(vJanela.vEdit1, Qt::Key_B);
    EXPECT_EQ(vJanela.vEdit1->text(), QStringLiteral("b")) << "a key the window takes never reaches the control";
}

TEST_F(Teclado, KeyTheWindowAnsweredWithAModalWindowIsNotAnsweredAgain)
{
    int aberturas = 0;
    vJanela.vTeclado->PDefineTratador([&](QKeyEvent* tecla) {
        if (tecla->key() != Qt::Key_F3)
            return false;
        ++aberturas;
        QDialog janela(&vJanela);
        PAoAbrirModal([](QWidget* modal) { modal->close(); });
        janela.exec();
        // The platform gives the focus back later, if at all.
        if (QApplication::focusWidget())
            QApplication::focusWidget()->clearFocus();
        return false; // the key goes on to the control, which ignores it
    });
    vJanela.vEdit1->setFocus();
    QTest::keyClick(vJanela.vEdit1, Qt::Key_F3);
    EXPECT_EQ(aberturas, 1) << "the key reached the window again on its way up from the control";
}

// Closes the error box and returns its text.
QString FFechaCaixaDeErro(QWidget* pCaixa)
{
    auto* caixa = qobject_cast<QMessageBox*>(pCaixa);
    const QString texto = caixa ? caixa->icon() == QMessageBox::Critical ? caixa->text() : QString() : QString();
    pCaixa->close();
    return texto;
}

TEST(Falhas, ExceptionInAHandlerIsShownAndTheProgramGoesOn)
{
    QPushButton botao;
    int chamadas = 0;
    struct TDono : QObject {
        int* vChamadas;
        void PFalha()
        {
            ++*vChamadas;
            throw EErro(QStringLiteral("Falhou.\rMotivo: teste"));
        }
    } dono;
    dono.vChamadas = &chamadas;
    QObject::connect(&botao, &QPushButton::clicked, &dono, TAplicacao::FProtegido(&dono, &TDono::PFalha));

    for (int vez = 0; vez < 2; ++vez) {
        QString texto;
        PAoAbrirModal([&](QWidget* caixa) { texto = FFechaCaixaDeErro(caixa); });
        botao.click();
        EXPECT_EQ(texto, QStringLiteral("Falhou.\nMotivo: teste"));
    }
    EXPECT_EQ(chamadas, 2);
}

TEST(Falhas, ExceptionLeavingAnEventReachesTheSameErrorBox)
{
    struct TReceptor : QObject {
        bool event(QEvent* pEvento) override
        {
            if (pEvento->type() == QEvent::User)
                throw std::runtime_error("falha no evento");
            return QObject::event(pEvento);
        }
    } receptor;
    QString texto;
    PAoAbrirModal([&](QWidget* caixa) { texto = FFechaCaixaDeErro(caixa); });
    QCoreApplication::postEvent(&receptor, new QEvent(QEvent::User));
    QTRY_COMPARE(texto, QStringLiteral("falha no evento"));
}

} // namespace
