#include "UTarnex.h"

#include "UAparencia.h"
#include "UFaixaBanner.h"
#include "UTeclado.h"

#include <QHeaderView>
#include <QPushButton>
#include <QTableView>

namespace {

constexpr int cLargura = 844;
constexpr int cAltura = 572;
constexpr int cFaixa = TFaixaBanner::cEspessura;

} // namespace

TFrmTarnex::TFrmTarnex(QWidget* pPai) : QWidget(pPai), vTeclado(new TTecladoJanela(this))
{
    setObjectName(QStringLiteral("FrmTarnex"));
    setWindowTitle(QStringLiteral("Zelvio for Windows Connect Tarnex v15.11a"));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFixedSize(cLargura, cAltura);
    setFont(TAparencia::FFontePadrao());
    PCriaFaixas();
    PCriaBotoes();
}

void TFrmTarnex::PCriaFaixas()
{
    Panel1 = new TFaixaBanner(Qt::Horizontal, this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(0, 0, cLargura, cFaixa);
    Panel2 = new TFaixaBanner(Qt::Horizontal, this);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    Panel2->setGeometry(0, cAltura - cFaixa, cLargura, cFaixa);
    Panel3 = new TFaixaBanner(Qt::Vertical, this);
    Panel3->setObjectName(QStringLiteral("Panel3"));
    Panel3->setGeometry(cLargura - cFaixa, cFaixa, cFaixa, cAltura - 2 * cFaixa);
    Panel4 = new TFaixaBanner(Qt::Vertical, this);
    Panel4->setObjectName(QStringLiteral("Panel4"));
    Panel4->setGeometry(0, cFaixa, cFaixa, cAltura - 2 * cFaixa);
    GridAbastecimento = new QTableView(this);
    GridAbastecimento->setObjectName(QStringLiteral("GridAbastecimento"));
    GridAbastecimento->setGeometry(cFaixa, cFaixa, cLargura - 2 * cFaixa, cAltura - 2 * cFaixa);
    GridAbastecimento->setEditTriggers(QAbstractItemView::NoEditTriggers);
}

QPushButton* TFrmTarnex::FCriaBotao(QWidget* pFaixa, const QString& pNome, const QString& pTexto, int pPosicao)
{
    auto* botao = new QPushButton(pTexto, pFaixa);
    botao->setObjectName(pNome);
    botao->setGeometry(49 + 150 * pPosicao, 8, 150, 25);
    return botao;
}

void TFrmTarnex::PCriaBotoes()
{
    FCriaBotao(Panel1, QStringLiteral("btnFcmOpen"), QStringLiteral("FCM Conectar &1"), 0);
    FCriaBotao(Panel1, QStringLiteral("btnFcmOpen2"), QStringLiteral("FCM Conectar &2"), 1);
    FCriaBotao(Panel1, QStringLiteral("btnFcmOpen3"), QStringLiteral("FCM Conectar &3"), 2);
    FCriaBotao(Panel1, QStringLiteral("btnFcmOpen4"), QStringLiteral("FMC Conectar &4"), 3);
    FCriaBotao(Panel1, QStringLiteral("btnDesconectar"), QStringLiteral("&Desconectar"), 4);
    FCriaBotao(Panel2, QStringLiteral("btnConcentrador"), QStringLiteral("F2 - Concentrador"), 0);
    FCriaBotao(Panel2, QStringLiteral("btnAlterarPreco"), QStringLiteral("F3 - Alterar Preço"), 1);
    FCriaBotao(Panel2, QStringLiteral("btnBombas"), QStringLiteral("F5 - Bombas"), 2);
    FCriaBotao(Panel2, QStringLiteral("btnStatusBico"), QStringLiteral("F6 - Status Bico"), 3);
    FCriaBotao(Panel2, QStringLiteral("btnVersao"), QStringLiteral("F7 - Versão DLL"), 4);
}
