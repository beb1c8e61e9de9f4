#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

// Kinds of message, in the order of their values.
enum TTipoMensagem : int { tmAlerta = 0, tmErro = 1, tmInformacao = 2, tmConfirmacao = 3 };

// A set of buttons; MessageDlg recognises {bmOk} and {bmSim, bmNao}.
enum TBotaoMensagem : unsigned { bmSim = 1, bmNao = 2, bmOk = 4, bmCancelar = 8 };
using TBotoesMensagem = unsigned;

// Results, the platform's standard dialog answers.
constexpr int mrOk = 1;
constexpr int mrCancelar = 2; // closed from the title bar
constexpr int mrSim = 6;
constexpr int mrNao = 7;

// The program's own message box: every notice, warning and question the
// operator sees goes through MessageDlg, with one look for all of them.
class TFrmMensagem : public QDialog {
    Q_OBJECT
public:
    explicit TFrmMensagem(QWidget* pDono = nullptr);

    // Returns when the operator has closed the window. Help has no effect.
    int MessageDlg(const QString& Mensagem, int Tipo, TBotoesMensagem Btn, int Help);

    // Through the shared dialog, or one of its own before start-up has made it.
    static int FMessageDlg(const QString& Mensagem, int Tipo, TBotoesMensagem Btn, int Help);

    void reject() override;

protected:
    void keyPressEvent(QKeyEvent* pTecla) override;
    void showEvent(QShowEvent* pEvento) override;

private:
    void PCriaControles();
    QPushButton* FCriaBotao(const QString& pNome, const QString& pTexto, int pResultado);
    QLabel* FCriaFigura(const QString& pNome, int pIconePadrao);
    void PPreparaTexto(const QString& pMensagem);
    void PPreparaBotoes(TBotoesMensagem pBotoes);
    void PPreparaFigura(int pTipo);
    void PAjustaLargura();
    void PCentraliza();
    int FMostra();

    QLabel* Image1;
    QLabel* LbMensagem;
    QLabel* ImgConfirmacao;
    QLabel* ImgInformacao;
    QLabel* ImgErro;
    QLabel* ImgAlerta;
    QPushButton* BtnOk;
    QPushButton* BtnSim;
    QPushButton* BtnNao;
};

// The one shared dialog, made by the main window first of all shared objects.
inline TFrmMensagem* FrmMensagem = nullptr;
