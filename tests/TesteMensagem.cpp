#include "ApoioTestes.h"
#include "ApoioTela.h"
#include "UGenerico.h"
#include "UMensagem.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace {

QPushButton* FBotao(QWidget* pJanela, const char* pNome)
{
    return pJanela->findChild<QPushButton*>(QString::fromLatin1(pNome));
}

struct TVisto {
    QString titulo;
    int largura = 0;
    int altura = 0;
    bool ok = false, sim = false, nao = false;
    QPoint posOk, posSim, posNao;
    QString foco;
    QString figura;
    int larguraTexto = 0;
};

TVisto FObserva(QWidget* pDialogo)
{
    TVisto v;
    v.titulo = pDialogo->windowTitle();
    v.largura = pDialogo->width();
    v.altura = pDialogo->height();
    v.ok = FBotao(pDialogo, "BtnOk")->isVisible();
    v.sim = FBotao(pDialogo, "BtnSim")->isVisible();
    v.nao = FBotao(pDialogo, "BtnNao")->isVisible();
    v.posOk = FBotao(pDialogo, "BtnOk")->pos();
    v.posSim = FBotao(pDialogo, "BtnSim")->pos();
    v.posNao = FBotao(pDialogo, "BtnNao")->pos();
    v.foco = QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : QString();
    for (const char* nome : {"ImgAlerta", "ImgErro", "ImgInformacao", "ImgConfirmacao"}) {
        if (pDialogo->findChild<QLabel*>(QString::fromLatin1(nome))->isVisible())
            v.figura += QString::fromLatin1(nome);
    }
    v.larguraTexto = pDialogo->findChild<QLabel*>(QStringLiteral("LbMensagem"))->width();
    return v;
}

class Mensagem : public ::testing::Test {
protected:
    TFrmMensagem vDialogo;

    // Shows a message, lets pAcao look at it and close it, and returns the result.
    int FMostra(const QString& pTexto, int pTipo, TBotoesMensagem pBotoes, std::function<void(QWidget*)> pAcao)
    {
        PAoAbrirModal(std::move(pAcao));
        return vDialogo.MessageDlg(pTexto, pTipo, pBotoes, 0);
    }
};

TEST_F(Mensagem, ShortInformationIsFourHundredWideWithOkCentred)
{
    TVisto visto;
    const int resultado = FMostra(QStringLiteral("Concentrador desconectado."), tmInformacao, bmOk, [&](QWidget* d) {
        visto = FObserva(d);
        QTest::keyClick(d, Qt::Key_Return);
    });
    EXPECT_EQ(resultado, mrOk);
    EXPECT_EQ(visto.titulo, QStringLiteral("Informação"));
    EXPECT_EQ(visto.largura, 400);
    EXPECT_EQ(visto.altura, 122);
    EXPECT_TRUE(visto.ok && !visto.sim && !visto.nao);
    EXPECT_EQ(visto.posOk, QPoint(125, 80));
    EXPECT_EQ(visto.figura, QStringLiteral("ImgInformacao"));
    EXPECT_EQ(visto.foco, QStringLiteral("BtnOk"));
}

TEST_F(Mensagem, LongTextWidensTheWindowAndKeepsButtonsCentred)
{
    const QString longo(120, QLatin1Char('W'));
    TVisto visto;
    FMostra(longo, tmAlerta, bmOk, [&](QWidget* d) {
        visto = FObserva(d);
        FBotao(d, "BtnOk")->click();
    });
    EXPECT_EQ(visto.largura, 70 + visto.larguraTexto + 50);
    EXPECT_GT(visto.largura, 400);
    EXPECT_EQ(visto.posOk.x(), visto.largura / 2 - 75);
    EXPECT_EQ(visto.titulo, QStringLiteral("Alerta"));
    EXPECT_EQ(visto.figura, QStringLiteral("ImgAlerta"));
}

TEST_F(Mensagem, OkDialogIgnoresEscAndAnswersCancelFromTheCloseBox)
{
    bool abertoDepoisDoEsc = false;
    const int resultado = FMostra(QStringLiteral("x"), tmInformacao, bmOk, [&](QWidget* d) {
        QTest::keyClick(d, Qt::Key_Escape);
        abertoDepoisDoEsc = d->isVisible();
        d->close();
    });
    EXPECT_TRUE(abertoDepoisDoEsc);
    EXPECT_EQ(resultado, mrCancelar);
}

TEST_F(Mensagem, ConfirmationStartsOnNoAndAnswersEachWay)
{
    TVisto visto;
    EXPECT_EQ(FMostra(QStringLiteral("Deseja realmente abandonar o sistema?"), tmConfirmacao, bmSim | bmNao,
                      [&](QWidget* d) {
                          visto = FObserva(d);
                          QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
                      }),
              mrNao);
    EXPECT_EQ(visto.titulo, QStringLiteral("Confirmação"));
    EXPECT_EQ(visto.foco, QStringLiteral("BtnNao"));
    EXPECT_TRUE(!visto.ok && visto.sim && visto.nao);
    EXPECT_EQ(visto.posSim, QPoint(400 / 2 - 160, 80));
    EXPECT_EQ(visto.posNao, QPoint(400 / 2 + 10, 80));
    EXPECT_EQ(visto.figura, QStringLiteral("ImgConfirmacao"));

    const std::function<void(QWidget*)> respostas[] = {
        [](QWidget* d) { QTest::keyClick(d, Qt::Key_Escape); },
        [](QWidget* d) { FBotao(d, "BtnSim")->click(); },
        [](QWidget* d) { QTest::keyClick(FBotao(d, "BtnNao"), Qt::Key_S, Qt::AltModifier); },
        [](QWidget* d) { d->close(); },
    };
    const int esperados[] = {mrNao, mrSim, mrSim, mrCancelar};
    for (size_t i = 0; i < std::size(respostas); ++i)
        EXPECT_EQ(FMostra(QStringLiteral("?"), tmConfirmacao, bmSim | bmNao, respostas[i]), esperados[i]) << i;
}

TEST_F(Mensagem, UnknownButtonSetShowsNoButtonAndUnknownKindKeepsTheTitle)
{
    FMostra(QStringLiteral("a"), tmErro, bmOk, [](QWidget* d) { d->close(); });
    TVisto visto;
    const int resultado = FMostra(QStringLiteral("b"), 9, bmOk | bmCancelar, [&](QWidget* d) {
        visto = FObserva(d);
        d->close();
    });
    EXPECT_EQ(resultado, mrCancelar);
    EXPECT_TRUE(!visto.ok && !visto.sim && !visto.nao);
    EXPECT_EQ(visto.titulo, QStringLiteral("Erro"));
}

TEST_F(Mensagem, NestedRequestGetsItsOwnDialogAndEachCallerItsOwnAnswer)
{
    int interno = 0;
    QString textoInterno;
    const int externo = FMostra(QStringLiteral("primeira"), tmConfirmacao, bmSim | bmNao, [&](QWidget* primeira) {
        PAoAbrirModal(
            [&](QWidget* segunda) {
                textoInterno = segunda->findChild<QLabel*>(QStringLiteral("LbMensagem"))->text();
                FBotao(segunda, "BtnOk")->click();
            },
            primeira);
        interno = vDialogo.MessageDlg(QStringLiteral("segunda"), tmInformacao, bmOk, 0);
        FBotao(primeira, "BtnSim")->click();
    });
    EXPECT_EQ(interno, mrOk);
    EXPECT_EQ(textoInterno, QStringLiteral("segunda"));
    EXPECT_EQ(externo, mrSim);
}

TEST_F(Mensagem, CarriageReturnsStartNewLines)
{
    QString texto;
    int alturaTexto = 0;
    FMostra(QStringLiteral("linha 1\rlinha 2\rlinha 3"), tmInformacao, bmOk, [&](QWidget* d) {
        const auto* rotulo = d->findChild<QLabel*>(QStringLiteral("LbMensagem"));
        texto = rotulo->text();
        alturaTexto = rotulo->height();
        d->close();
    });
    EXPECT_EQ(texto, QStringLiteral("linha 1\nlinha 2\nlinha 3"));
    EXPECT_GT(alturaTexto, 2 * QFontMetrics(vDialogo.font()).height());
}

TEST(ErroConcentrador, OnlyCodesWithATextShowAWarning)
{
    QString visto;
    PAoAbrirModal([&](QWidget* d) {
        visto = d->windowTitle() + QLatin1Char('|') + d->findChild<QLabel*>(QStringLiteral("LbMensagem"))->text();
        FBotao(d, "BtnOk")->click();
    });
    EXPECT_FALSE(TGenerico::FRetornaErroConcentrador(-12));
    EXPECT_EQ(visto, QStringLiteral("Alerta|Este número de Fcm Master já foi iniciado."));

    // Neither of these may open anything: a dialog would block the test.
    EXPECT_TRUE(TGenerico::FRetornaErroConcentrador(1));
    EXPECT_FALSE(TGenerico::FRetornaErroConcentrador(0));
    EXPECT_FALSE(TGenerico::FRetornaErroConcentrador(2));
    EXPECT_FALSE(TGenerico::FRetornaErroConcentrador(-16));
}

} // namespace
