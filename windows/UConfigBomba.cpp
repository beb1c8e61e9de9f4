#include "UConfigBomba.h"

#include "FcmMasterX_TLB.h"
#include "UArquivoIni.h"
#include "UAuxiliarJanelas.h"
#include "UConfiguracaoRegional.h"
#include "UFaixaBanner.h"
#include "UGenerico.h"
#include "UMensagem.h"
#include "UParametros.h"

#include <QCheckBox>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

using namespace AuxiliarJanelas;

TFrmConfigBomba::TFrmConfigBomba(QWidget* pDono)
    : TJanelaOperador(pDono, QStringLiteral("Configuração da Bomba"), QSize(520, 340))
{
    setObjectName(QStringLiteral("FrmConfigBomba"));
    PCriaControles();
    PLigaComandos();
    PDefineOrdem();
}

QPushButton* TFrmConfigBomba::FBotao(const QString& pNome, const QString& pTexto, int pColuna, int pLinha)
{
    auto* botao = new QPushButton(pTexto, vCentro);
    botao->setObjectName(pNome);
    vComandos->addWidget(botao, pLinha, pColuna);
    return botao;
}

QLineEdit* TFrmConfigBomba::FCampo(QHBoxLayout* pLinha, const QString& pRotulo, QLineEdit* pEdit, int pLargura)
{
    auto* rotulo = new QLabel(pRotulo, vCentro);
    rotulo->setBuddy(pEdit);
    pEdit->setFixedWidth(pLargura);
    pLinha->addWidget(rotulo);
    pLinha->addWidget(pEdit);
    pLinha->addSpacing(10);
    return pEdit;
}

void TFrmConfigBomba::PCriaControles()
{
    // Laid out by the texts' own sizes: a bold label never runs into its edit.
    vCentro = new QWidget(this);
    vCentro->setGeometry(FAreaCentral());
    auto* disposicao = new QVBoxLayout(vCentro);
    disposicao->setContentsMargins(12, 10, 12, 10);
    auto* endereco = new QHBoxLayout;
    const auto FEndereco = [this, endereco](const QString& pRotulo, const QString& pNome) {
        QLineEdit* edit = FCampo(endereco, pRotulo, FEditDigitos(vCentro, pNome, QStringLiteral("1")), 36);
        edit->installEventFilter(this);
        return edit;
    };
    EdtSlave = FEndereco(QStringLiteral("Slave:"), QStringLiteral("EdtSlave"));
    EdtBomba = FEndereco(QStringLiteral("Bomba:"), QStringLiteral("EdtBomba"));
    EdtBico = FEndereco(QStringLiteral("Bico:"), QStringLiteral("EdtBico"));
    endereco->addStretch();
    ChBoxAutoriza = new QCheckBox(QStringLiteral("Autorização Automática"), vCentro);
    ChBoxAutoriza->setObjectName(QStringLiteral("ChBoxAutoriza"));
    endereco->addWidget(ChBoxAutoriza);
    disposicao->addLayout(endereco);
    vComandos = new QGridLayout;
    vComandos->setHorizontalSpacing(10);
    disposicao->addLayout(vComandos);
    auto* valores = new QHBoxLayout;
    const QString umInteiro = QStringLiteral("1") + TConfiguracaoRegional::SeparadorDecimal() + QStringLiteral("00");
    const auto FValor = [this, valores, &umInteiro](const QString& pRotulo, const QString& pNome) {
        auto* edit = new QLineEdit(umInteiro, vCentro);
        edit->setObjectName(pNome);
        return FCampo(valores, pRotulo, edit, 90);
    };
    EdtPrePago = FValor(QStringLiteral("Vol Pré-Pago"), QStringLiteral("EdtPrePago"));
    EdtTotMec = FValor(QStringLiteral("Totalizador"), QStringLiteral("EdtTotMec"));
    valores->addStretch();
    disposicao->addLayout(valores);
    BtnOk = new QPushButton(QStringLiteral("&Ok"), FaixaInferior());
    BtnOk->setObjectName(QStringLiteral("BtnOk"));
    BtnOk->setGeometry((width() - 150) / 2, 8, 150, 25);
    connect(BtnOk, &QPushButton::clicked, this, [this] {
        TArquivoIni(TParametros::FCaminhoArquivo())
            .PGravaBooleano(QStringLiteral("ABASTECIMENTO"), QStringLiteral("AUTORIZAAUTO"), ChBoxAutoriza->isChecked());
        accept();
    });
    connect(EdtSlave, &QLineEdit::textChanged, this, [this] { PCarregaAutorizacao(); });
}

void TFrmConfigBomba::PDefineOrdem()
{
    // The command buttons come between the check box and the value edits,
    // row by row across the two columns, and "&Ok" last: an operator going
    // on with Enter from the address never lands on "&Ok" and closes the window.
    QList<QWidget*> ordem{EdtSlave, EdtBomba, EdtBico, ChBoxAutoriza};
    for (int linha = 0; linha < vComandos->rowCount(); ++linha) {
        for (int coluna = 0; coluna < vComandos->columnCount(); ++coluna) {
            if (const QLayoutItem* item = vComandos->itemAtPosition(linha, coluna))
                ordem.append(item->widget());
        }
    }
    ordem << EdtPrePago << EdtTotMec << BtnOk;
    for (qsizetype i = 1; i < ordem.size(); ++i)
        setTabOrder(ordem.at(i - 1), ordem.at(i));
}

void TFrmConfigBomba::PLigaComandos()
{
    const auto FLiga = [this](const QString& pNome, const QString& pTexto, int pColuna, int pLinha, bool pComBico,
                              std::function<int()> pChamada, std::function<QString()> pSucesso) {
        connect(FBotao(pNome, pTexto, pColuna, pLinha), &QPushButton::clicked, this,
                [this, pComBico, pChamada, pSucesso] { PComando(pComBico, pChamada, pSucesso()); });
    };
    const auto FTexto = [](const QString& t) { return [t] { return t; }; };
    const auto bloqueio = [this](const char* pEstado) {
        return [this, pEstado] {
            return QStringLiteral("Slave: ") + EdtSlave->text() + QStringLiteral(" Bomba: ") + EdtBomba->text() +
                   QStringLiteral(" foi ") + QLatin1String(pEstado) + QLatin1Char('.');
        };
    };
    FLiga(QStringLiteral("BtnAutoriza"), QStringLiteral("Autoriza"), 0, 0, true,
          [this] { return vFcmMaster->FcmAutorizaAbastecimento(vSlave, vBomba, vBico); }, FTexto(QStringLiteral("Autorizado com sucesso.")));
    FLiga(QStringLiteral("BtnUltVol"), QStringLiteral("Último Vol."), 1, 0, true,
          [this] { return vFcmMaster->FcmSolicitaUltimoAbastecimento(vSlave, vBomba, vBico); },
          FTexto(QStringLiteral("Ultimo volume retornado no log com sucesso.")));
    FLiga(QStringLiteral("BtnObtemPpl"), QStringLiteral("Obtem Preço"), 0, 1, true,
          [this] { return vFcmMaster->FcmSolicitaPrecoPorLitro(vSlave, vBomba, vBico); },
          FTexto(QStringLiteral("Preço retornado no log com sucesso.")));
    FLiga(QStringLiteral("BtnConfigTot"), QStringLiteral("Config Tot Mec"), 1, 1, true,
          [this] { return vFcmMaster->FcmConfigTotalizador(vSlave, vBomba, vBico, FMilesimos(EdtTotMec->text())); },
          FTexto(QStringLiteral("Totalizador configurado.")));
    FLiga(QStringLiteral("BtnTrava"), QStringLiteral("Trava"), 0, 2, true,
          [this] { return vFcmMaster->FcmTravaBomba(vSlave, vBomba); }, bloqueio("bloqueado"));
    FLiga(QStringLiteral("BtnDestrava"), QStringLiteral("Destrava"), 1, 2, true,
          [this] { return vFcmMaster->FcmDesTravaBomba(vSlave, vBomba); }, bloqueio("desbloqueado"));
    FLiga(QStringLiteral("BtnTot"), QStringLiteral("Totalizador"), 0, 3, true,
          [this] { return vFcmMaster->FcmSolicitaTotalizador(vSlave, vBomba, vBico); },
          FTexto(QStringLiteral("Totalizador retornado no log com sucesso.")));
    FLiga(QStringLiteral("BtnPrePago"), QStringLiteral("Pré-Pago"), 1, 3, true,
          [this] {
              quint8 cd = 3;
              return vFcmMaster->FcmProgramaPrePago(vSlave, vBomba, vBico, FMilesimos(EdtPrePago->text()), cd);
          },
          FTexto(QStringLiteral("Programado com sucesso.")));
    FLiga(QStringLiteral("BtnObtemStatusBo"), QStringLiteral("Status Bomba"), 0, 4, false,
          [this] { return vFcmMaster->FcmObtemStatusBomba(vSlave, vBomba); },
          FTexto(QStringLiteral("Status retornado no log com sucesso.")));
    // Feeds a zero fueling into the main window's capture, as the component would.
    connect(FBotao(QStringLiteral("Button1"), QStringLiteral("Abasteceu"), 1, 4), &QPushButton::clicked, this, [this] {
        if (vFcmMaster->OnAbasteceu2)
            vFcmMaster->OnAbasteceu2(sender(), vSlave, vBomba, vBico, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0);
    });
}

bool TFrmConfigBomba::eventFilter(QObject* pAlvo, QEvent* pEvento)
{
    auto* edit = qobject_cast<QLineEdit*>(pAlvo);
    if (pEvento->type() == QEvent::FocusOut && edit && edit->text().isEmpty())
        edit->setText(QStringLiteral("1"));
    return TJanelaOperador::eventFilter(pAlvo, pEvento);
}

void TFrmConfigBomba::PCarregaAutorizacao()
{
    ChBoxAutoriza->setChecked(TArquivoIni(TParametros::FCaminhoArquivo())
                                  .FLeBooleano(QStringLiteral("ABASTECIMENTO"), QStringLiteral("AUTORIZAAUTO"), false));
}

void TFrmConfigBomba::PEndereco(bool pComBico)
{
    vSlave = static_cast<quint8>(FInteiro(EdtSlave));
    vBomba = static_cast<quint8>(FInteiro(EdtBomba));
    if (pComBico)
        vBico = static_cast<quint8>(FInteiro(EdtBico));
}

void TFrmConfigBomba::PComando(bool pComBico, const std::function<int()>& pChamada, const QString& pSucesso)
{
    PEndereco(pComBico);
    if (TGenerico::FRetornaErroConcentrador(pChamada()))
        TFrmMensagem::FMessageDlg(pSucesso, tmInformacao, bmOk, 0);
}

void TFrmConfigBomba::PConfiguraBomba(TFcmMaster* pFcmMaster)
{
    vFcmMaster = pFcmMaster;
    PCarregaAutorizacao();
    exec();
}
