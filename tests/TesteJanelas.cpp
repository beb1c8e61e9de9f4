// What the operator sees and types: where Tab and Enter take the focus in
// every window, grids that show all their columns at the windows' fixed
// sizes, and texts that stay clear of each other.
#include "ApoioBanco.h"
#include "ApoioConcentrador.h"
#include "ApoioTela.h"
#include "UConfiguracaoRegional.h"
#include "UTarnex.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

namespace {

// The real main window over a real station database and component server.
// The server refuses to open any concentrator, so every connect button
// stays enabled and takes its place in the tab order.
class Janelas : public ::testing::Test {
protected:
    void SetUp() override
    {
        TConfiguracaoRegional::PDefine(QLatin1Char(','), QLatin1Char('/'), QLatin1Char(':'));
        vPosto.PCadastraTanque(QStringLiteral("01-02"), QStringLiteral("000002"));
        vPosto.PCadastraBico(QStringLiteral("010203"), QStringLiteral("05-02"), QStringLiteral("01-02"));
        vPosto.PCadastraBico(QStringLiteral("010201"), QStringLiteral("05-01"), QStringLiteral("01-02"));
    }
    void TearDown() override
    {
        vJanela.reset();
        TConfiguracaoRegional::PCarregaDoSistema();
    }

    void PAbre()
    {
        vServidor.FControle(QStringLiteral("falha"), {QStringLiteral("FcmOpen"), -12});
        vPosto.Diretorio().PGrava(QStringLiteral("ConcentradorTarnex.ini"), "[FCM1]\r\nNUMBOMBAS=4\r\n");
        vJanela = std::make_unique<TFrmTarnex>();
        vJanela->show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(vJanela.get()));
    }

    TPostoTeste vPosto;
    TServidorTeste vServidor;
    std::unique_ptr<TFrmTarnex> vJanela;
};

// The control the operator's guide would name: a radio button stands for
// its group, and only its selected item may take the focus from outside.
QString FControle(const QWidget* pFoco)
{
    const auto* botao = qobject_cast<const QAbstractButton*>(pFoco);
    if (!botao || !botao->group())
        return pFoco ? pFoco->objectName() : QStringLiteral("(nenhum)");
    const QAbstractButton* marcado = botao->group()->checkedButton();
    return botao->group()->objectName() + (marcado && marcado != botao ? QStringLiteral(" (item não marcado)") : QString());
}

QString FFoco()
{
    return FControle(QApplication::focusWidget());
}

void PFoca(QWidget* pJanela, const QString& pControle)
{
    auto* alvo = pJanela->findChild<QWidget*>(pControle);
    if (!alvo) {
        // A group: its selected item.
        const auto* grupo = pJanela->findChild<QButtonGroup*>(pControle);
        ASSERT_TRUE(grupo) << pControle.toStdString();
        alvo = grupo->checkedButton() ? grupo->checkedButton() : grupo->buttons().value(0);
    }
    alvo->setFocus(Qt::OtherFocusReason);
    ASSERT_EQ(FFoco(), pControle);
}

// The controls the focus visits from the first one, pressing pTecla once
// more than there are controls: the walk ends where it began.
QStringList FPercorre(QWidget* pJanela, const QStringList& pOrdem, Qt::Key pTecla)
{
    PFoca(pJanela, pOrdem.first());
    QStringList visitados{FFoco()};
    for (qsizetype i = 0; i < pOrdem.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), pTecla);
        visitados.append(FFoco());
    }
    return visitados;
}

// One window's keyboard, as the operator meets it.
struct TOrdem {
    const char* janela;
    std::function<void(TFrmTarnex&)> abre; // empty: the main window itself
    QStringList ordem;                     // the tab order
    const char* padrao;                    // the default button, pressed by Enter from any control
};

// Enter from each control that is not a push button: the next control, or
// the default button pressed (which closes the window).
void PVerificaEnter(QWidget* pJanela, const TOrdem& pCaso)
{
    for (qsizetype i = 0; i < pCaso.ordem.size() && pJanela->isVisible(); ++i) {
        auto* botao = pJanela->findChild<QPushButton*>(pCaso.ordem.at(i));
        if (botao)
            continue; // a focused button takes Enter and is pressed
        PFoca(pJanela, pCaso.ordem.at(i));
        if (pCaso.padrao) {
            auto* padrao = pJanela->findChild<QPushButton*>(QLatin1String(pCaso.padrao));
            ASSERT_TRUE(padrao);
            EXPECT_TRUE(padrao->isDefault()) << pCaso.janela << ": drawn as the default button";
            QSignalSpy clicado(padrao, &QPushButton::clicked);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
            EXPECT_EQ(clicado.size(), 1) << pCaso.janela << ": Enter on " << pCaso.ordem.at(i).toStdString();
            return;
        }
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        EXPECT_EQ(FFoco(), pCaso.ordem.at((i + 1) % pCaso.ordem.size()))
            << pCaso.janela << ": Enter on " << pCaso.ordem.at(i).toStdString();
    }
}

void PVerificaTeclado(QWidget* pJanela, const TOrdem& pCaso)
{
    QStringList ida = pCaso.ordem;
    ida.append(pCaso.ordem.first());
    EXPECT_EQ(FPercorre(pJanela, pCaso.ordem, Qt::Key_Tab), ida) << pCaso.janela << ": Tab";
    QStringList volta = ida;
    std::reverse(volta.begin(), volta.end());
    EXPECT_EQ(FPercorre(pJanela, pCaso.ordem, Qt::Key_Backtab), volta) << pCaso.janela << ": Shift+Tab";
    PVerificaEnter(pJanela, pCaso);
}

TEST_F(Janelas, TabAndEnterFollowEachWindowsOrder)
{
    PAbre();
    const TOrdem casos[] = {
        {"main window", {},
         {QStringLiteral("btnFcmOpen"), QStringLiteral("btnFcmOpen2"), QStringLiteral("btnFcmOpen3"),
          QStringLiteral("btnFcmOpen4"), QStringLiteral("btnDesconectar"), QStringLiteral("GridAbastecimento"),
          QStringLiteral("btnConcentrador"), QStringLiteral("btnAlterarPreco"), QStringLiteral("btnBombas"),
          QStringLiteral("btnStatusBico"), QStringLiteral("btnVersao")},
         nullptr},
        {"concentrator window", &TFrmTarnex::btnConcentradorClick,
         {QStringLiteral("EdtNumSl"), QStringLiteral("EdtNumBo"), QStringLiteral("RgModoOperacao"),
          QStringLiteral("RdoGroupFormatAbast"), QStringLiteral("BtnConfigura"), QStringLiteral("BtnVersaoSlave")},
         nullptr},
        {"pump window", &TFrmTarnex::btnBombasClick,
         {QStringLiteral("EdtSlave"), QStringLiteral("EdtBomba"), QStringLiteral("EdtBico"),
          QStringLiteral("ChBoxAutoriza"), QStringLiteral("BtnAutoriza"), QStringLiteral("BtnUltVol"),
          QStringLiteral("BtnObtemPpl"), QStringLiteral("BtnConfigTot"), QStringLiteral("BtnTrava"),
          QStringLiteral("BtnDestrava"), QStringLiteral("BtnTot"), QStringLiteral("BtnPrePago"),
          QStringLiteral("BtnObtemStatusBo"), QStringLiteral("Button1"), QStringLiteral("EdtPrePago"),
          QStringLiteral("EdtTotMec"), QStringLiteral("BtnOk")},
         nullptr},
        {"status window", &TFrmTarnex::btnStatusBicoClick, {QStringLiteral("GridStatusBomba"), QStringLiteral("BtnOk")},
         nullptr},
        {"price window", &TFrmTarnex::btnAlterarPrecoClick,
         {QStringLiteral("GridPrecoAbast"), QStringLiteral("btnAlterar"), QStringLiteral("btnCancelar")}, "btnAlterar"},
    };
    for (const TOrdem& caso : casos) {
        if (!caso.abre) {
            PVerificaTeclado(vJanela.get(), caso);
            continue;
        }
        bool aberta = false;
        TOperador operador;
        operador.PDepois([&](QWidget* janela) {
            aberta = true;
            PVerificaTeclado(janela, caso);
            if (janela->isVisible())
                janela->close();
        });
        operador.PRespondeSempreOk(); // the prices an Enter sends are each confirmed
        caso.abre(*vJanela);
        EXPECT_TRUE(aberta) << caso.janela;
    }
}

} // namespace
