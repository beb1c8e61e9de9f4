#include "UConfigConcentrador.h"

#include "FcmMasterX_TLB.h"
#include "UArquivoIni.h"
#include "UAuxiliarJanelas.h"
#include "UFaixaBanner.h"
#include "UGenerico.h"
#include "UParametros.h"

#include <QButtonGroup>
#include <QEvent>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

using namespace AuxiliarJanelas;

namespace {

QButtonGroup* FGrupo(QWidget* pPai, const QString& pNome, const QString& pTitulo, const QStringList& pItens,
                     const QRect& pArea)
{
    auto* caixa = new QGroupBox(pTitulo, pPai);
    caixa->setGeometry(pArea);
    auto* disposicao = new QVBoxLayout(caixa);
    auto* grupo = new QButtonGroup(caixa);
    grupo->setObjectName(pNome);
    for (int i = 0; i < pItens.size(); ++i) {
        auto* opcao = new QRadioButton(pItens.at(i), caixa);
        disposicao->addWidget(opcao);
        grupo->addButton(opcao, i);
    }
    AuxiliarJanelas::PUmaParadaPorGrupo(grupo);
    return grupo;
}

} // namespace

TFrmConfigConcentrador::TFrmConfigConcentrador(QWidget* pDono)
    : TJanelaOperador(pDono, QStringLiteral("Configuração do Concentrador"), QSize(420, 330))
{
    setObjectName(QStringLiteral("FrmConfigConcentrador"));
    PCriaControles();
}

void TFrmConfigConcentrador::PCriaControles()
{
    auto* quadro = new QFrame(this);
    quadro->setFrameShape(QFrame::StyledPanel);
    quadro->setGeometry(10, 50, 400, 40);
    new QLabel(QStringLiteral("Nº FcmSlave:"), quadro);
    EdtNumSl = FEditDigitos(quadro, QStringLiteral("EdtNumSl"), QStringLiteral("1"));
    EdtNumSl->setGeometry(100, 8, 60, 22);
    auto* rotuloBombas = new QLabel(QStringLiteral("Nº de Bombas:"), quadro);
    rotuloBombas->move(190, 12);
    EdtNumBo = FEditDigitos(quadro, QStringLiteral("EdtNumBo"), QString());
    EdtNumBo->setGeometry(300, 8, 60, 22);
    quadro->findChild<QLabel*>()->move(10, 12);
    RgModoOperacao = FGrupo(this, QStringLiteral("RgModoOperacao"), QStringLiteral("Modo de Operação"),
                            {QStringLiteral("A- Autoriza pelo Concentrador com Off-Line."),
                             QStringLiteral("B- Autoriza pelo Computador com Off-Line."),
                             QStringLiteral("C- Autoriza pelo Computador sem Off-Line.")},
                            QRect(10, 96, 400, 100));
    RdoGroupFormatAbast = FGrupo(this, QStringLiteral("RdoGroupFormatAbast"), QStringLiteral("Tipo Mensagem Abastecimento"),
                                 {QStringLiteral("Sem Totalizador Inicial"), QStringLiteral("Com Totalizador Inicial")},
                                 QRect(10, 200, 400, 80));
    BtnConfigura = new QPushButton(QStringLiteral("Enviar Configuração"), FaixaInferior());
    BtnConfigura->setObjectName(QStringLiteral("BtnConfigura"));
    BtnConfigura->setGeometry(45, 8, 160, 25);
    BtnVersaoSlave = new QPushButton(QStringLiteral("Versão Slave"), FaixaInferior());
    BtnVersaoSlave->setObjectName(QStringLiteral("BtnVersaoSlave"));
    BtnVersaoSlave->setGeometry(215, 8, 160, 25);
    connect(BtnConfigura, &QPushButton::clicked, this, [this] { BtnConfiguraClick(); });
    connect(BtnVersaoSlave, &QPushButton::clicked, this, [this] { BtnVersaoSlaveClick(); });
    connect(EdtNumSl, &QLineEdit::textChanged, this, [this] { PCarregaConfiguracao(); });
    EdtNumSl->installEventFilter(this);
    EdtNumBo->installEventFilter(this);
}

bool TFrmConfigConcentrador::eventFilter(QObject* pAlvo, QEvent* pEvento)
{
    if (pEvento->type() == QEvent::FocusOut) {
        if (pAlvo == EdtNumSl && EdtNumSl->text().isEmpty())
            EdtNumSl->setText(QStringLiteral("1"));
        if (pAlvo == EdtNumBo && EdtNumBo->text().isEmpty())
            EdtNumBo->setText(QStringLiteral("0"));
    }
    return TJanelaOperador::eventFilter(pAlvo, pEvento);
}

int TFrmConfigConcentrador::FCodigoModo(int pIndice)
{
    return (pIndice >= 0 && pIndice <= 2) ? 10 + pIndice : 0;
}

QString TFrmConfigConcentrador::FSecao() const
{
    return QStringLiteral("FCM") + (EdtNumSl->text().isEmpty() ? QStringLiteral("1") : EdtNumSl->text());
}

void TFrmConfigConcentrador::PCarregaConfiguracao()
{
    const TArquivoIni arquivo(TParametros::FCaminhoArquivo());
    PSeleciona(RgModoOperacao, arquivo.FLeInteiro(FSecao(), QStringLiteral("MODOOPERACAO"), 1));
    PSeleciona(RdoGroupFormatAbast, arquivo.FLeInteiro(FSecao(), QStringLiteral("MENSAGEMABAST"), 1));
    EdtNumBo->setText(QString::number(arquivo.FLeInteiro(FSecao(), QStringLiteral("NUMBOMBAS"), 0)));
}

void TFrmConfigConcentrador::PConfigConcentrador(TFcmMaster* pFcmMaster)
{
    vFcmMaster = pFcmMaster;
    PCarregaConfiguracao();
    if (exec() == QDialog::Accepted)
        PEnviaConfiguracao();
}

void TFrmConfigConcentrador::BtnConfiguraClick()
{
    const TArquivoIni arquivo(TParametros::FCaminhoArquivo());
    arquivo.PGravaInteiro(FSecao(), QStringLiteral("MODOOPERACAO"), RgModoOperacao->checkedId());
    arquivo.PGravaInteiro(FSecao(), QStringLiteral("MENSAGEMABAST"), RdoGroupFormatAbast->checkedId());
    arquivo.PGravaInteiro(FSecao(), QStringLiteral("NUMBOMBAS"), FInteiro(EdtNumBo));
    accept();
}

void TFrmConfigConcentrador::PEnviaConfiguracao()
{
    const auto slave = static_cast<quint8>(FInteiro(EdtNumSl) % 256);
    const auto bombas = static_cast<quint8>(FInteiro(EdtNumBo) % 256);
    const int mensagem = RdoGroupFormatAbast->checkedId();
    const int tipo = (mensagem >= 0 && mensagem <= 1) ? mensagem + 1 : 0;
    if (bombas == 0)
        return;
    TGenerico::FRetornaErroConcentrador(vFcmMaster->FcmConfigConcentradorFcm(
        slave, bombas, static_cast<quint8>(FCodigoModo(RgModoOperacao->checkedId())), static_cast<quint8>(tipo)));
}

void TFrmConfigConcentrador::BtnVersaoSlaveClick()
{
    TGenerico::FRetornaErroConcentrador(vFcmMaster->FcmSolicitaVersaoSlave(static_cast<quint8>(FInteiro(EdtNumSl) % 256)));
}
