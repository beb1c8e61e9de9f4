#include "UMensagem.h"

#include "UAparencia.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStyle>

namespace {

constexpr int cAltura = 122;
constexpr int cLarguraMinima = 400;
constexpr int cEsquerdaTexto = 70;
constexpr int cTopoBotoes = 80;

const QString cTitulos[] = {QStringLiteral("Alerta"), QStringLiteral("Erro"), QStringLiteral("Informação"),
                            QStringLiteral("Confirmação")};

} // namespace

TFrmMensagem::TFrmMensagem(QWidget* pDono) : QDialog(pDono)
{
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setModal(true);
    setFont(TAparencia::FFontePadrao());
    PCriaControles();
    setFixedSize(cLarguraMinima, cAltura);
}

void TFrmMensagem::PCriaControles()
{
    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setScaledContents(true);
    Image1->setPixmap(TAparencia::FFundoMensagem());
    ImgConfirmacao = FCriaFigura(QStringLiteral("ImgConfirmacao"), QStyle::SP_MessageBoxQuestion);
    ImgInformacao = FCriaFigura(QStringLiteral("ImgInformacao"), QStyle::SP_MessageBoxInformation);
    ImgErro = FCriaFigura(QStringLiteral("ImgErro"), QStyle::SP_MessageBoxCritical);
    ImgAlerta = FCriaFigura(QStringLiteral("ImgAlerta"), QStyle::SP_MessageBoxWarning);
    LbMensagem = new QLabel(QStringLiteral("Texto a ser informado"), this);
    LbMensagem->setObjectName(QStringLiteral("LbMensagem"));
    LbMensagem->setTextFormat(Qt::PlainText);
    LbMensagem->setWordWrap(false);
    LbMensagem->move(cEsquerdaTexto, 25);
    QPalette cores = LbMensagem->palette();
    cores.setColor(QPalette::WindowText, QApplication::palette().color(QPalette::Button));
    LbMensagem->setPalette(cores);
    BtnOk = FCriaBotao(QStringLiteral("BtnOk"), QStringLiteral("&OK"), mrOk);
    BtnSim = FCriaBotao(QStringLiteral("BtnSim"), QStringLiteral("&Sim"), mrSim);
    BtnNao = FCriaBotao(QStringLiteral("BtnNao"), QStringLiteral("&Não"), mrNao);
    BtnOk->setDefault(true);
    setTabOrder(BtnOk, BtnSim);
    setTabOrder(BtnSim, BtnNao);
}

QPushButton* TFrmMensagem::FCriaBotao(const QString& pNome, const QString& pTexto, int pResultado)
{
    auto* botao = new QPushButton(pTexto, this);
    botao->setObjectName(pNome);
    botao->setFixedSize(150, 25);
    botao->move(0, cTopoBotoes);
    connect(botao, &QPushButton::clicked, this, [this, pResultado] { done(pResultado); });
    return botao;
}

QLabel* TFrmMensagem::FCriaFigura(const QString& pNome, int pIconePadrao)
{
    auto* figura = new QLabel(this);
    figura->setObjectName(pNome);
    figura->setGeometry(25, 18, 32, 32);
    figura->setPixmap(style()->standardIcon(static_cast<QStyle::StandardPixmap>(pIconePadrao)).pixmap(32, 32));
    return figura;
}

int TFrmMensagem::MessageDlg(const QString& Mensagem, int Tipo, TBotoesMensagem Btn, int Help)
{
    (void)Help;
    // A handler may ask for a message while this one waits for the operator:
    // the second gets a dialog of its own on top, so neither is lost and each
    // caller gets its own answer.
    if (isVisible()) {
        TFrmMensagem outra(parentWidget());
        return outra.MessageDlg(Mensagem, Tipo, Btn, Help);
    }
    PPreparaTexto(Mensagem);
    PPreparaBotoes(Btn);
    PPreparaFigura(Tipo);
    PAjustaLargura();
    if (Tipo >= tmAlerta && Tipo <= tmConfirmacao)
        setWindowTitle(cTitulos[Tipo]);
    return FMostra();
}

int TFrmMensagem::FMessageDlg(const QString& Mensagem, int Tipo, TBotoesMensagem Btn, int Help)
{
    if (FrmMensagem)
        return FrmMensagem->MessageDlg(Mensagem, Tipo, Btn, Help);
    TFrmMensagem propria;
    return propria.MessageDlg(Mensagem, Tipo, Btn, Help);
}

void TFrmMensagem::PPreparaTexto(const QString& pMensagem)
{
    QString texto = pMensagem;
    texto.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    LbMensagem->setText(texto);
    LbMensagem->adjustSize();
    LbMensagem->setAttribute(Qt::WA_TranslucentBackground);
}

void TFrmMensagem::PPreparaBotoes(TBotoesMensagem pBotoes)
{
    BtnOk->setVisible(pBotoes == bmOk);
    BtnSim->setVisible(pBotoes == (bmSim | bmNao));
    BtnNao->setVisible(pBotoes == (bmSim | bmNao));
}

void TFrmMensagem::PPreparaFigura(int pTipo)
{
    ImgAlerta->setVisible(pTipo == tmAlerta);
    ImgErro->setVisible(pTipo == tmErro);
    ImgInformacao->setVisible(pTipo == tmInformacao);
    ImgConfirmacao->setVisible(pTipo == tmConfirmacao);
}

void TFrmMensagem::PAjustaLargura()
{
    const int largura = std::max(cLarguraMinima, cEsquerdaTexto + LbMensagem->width() + 50);
    setFixedSize(largura, cAltura);
    Image1->setGeometry(0, 0, largura, cAltura);
    const int w = Image1->width();
    BtnOk->move(w / 2 - 75, cTopoBotoes);
    BtnSim->move(w / 2 - 160, cTopoBotoes);
    BtnNao->move(w / 2 + 10, cTopoBotoes);
}

void TFrmMensagem::PCentraliza()
{
    const QWidget* dono = parentWidget() ? parentWidget()->window() : nullptr;
    const QRect area = (dono && dono->isVisible() && !dono->isMinimized()) ? dono->frameGeometry()
                       : screen()                                          ? screen()->availableGeometry()
                                                                           : QRect();
    if (area.isValid())
        move(area.center() - rect().center());
}

int TFrmMensagem::FMostra()
{
    PCentraliza();
    return exec();
}

void TFrmMensagem::showEvent(QShowEvent* pEvento)
{
    QDialog::showEvent(pEvento);
    if (ImgConfirmacao->isVisibleTo(this) && BtnNao->isVisibleTo(this))
        BtnNao->setFocus(Qt::ActiveWindowFocusReason);
    else if (BtnOk->isVisibleTo(this))
        BtnOk->setFocus(Qt::ActiveWindowFocusReason);
}

void TFrmMensagem::keyPressEvent(QKeyEvent* pTecla)
{
    // Esc answers No where there is a No, and does nothing in the OK dialog.
    if (pTecla->key() == Qt::Key_Escape) {
        if (BtnNao->isVisible())
            BtnNao->click();
        return;
    }
    QDialog::keyPressEvent(pTecla);
}

void TFrmMensagem::reject()
{
    done(mrCancelar);
}
