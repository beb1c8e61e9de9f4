// What the operator sees and types: where Tab and Enter take the focus in
// every window, grids that show all their columns at the windows' fixed
// sizes, and texts that stay clear of each other.
#include "ApoioBanco.h"
#include "UBancoDados.h"
#include "ApoioConcentrador.h"
#include "ApoioTela.h"
#include "UConfiguracaoRegional.h"
#include "UGenerico.h"
#include "UTarnex.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QButtonGroup>
#include <QDialog>
#include <QDate>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTableView>
#include <QTableWidget>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
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

// A busy day: more fuelings than the grid shows at once, the largest
// values a station sees, in a comma locale.
void PDiaMovimentado(TPostoTeste& pPosto)
{
    const QString hoje = QDate::currentDate().toString(QStringLiteral("dd.MM.yyyy"));
    for (int i = 0; i < 40; ++i) {
        const double litros = i == 0 ? 999.999 : 12.345 + i * 7.5;
        const double preco = i % 2 ? 6.099 : 5.799;
        pPosto.Conexao().PExecuta(
            QStringLiteral("insert into mvabast (data, hora, codbico, litragem, precounit, valor, sequencia, id) "
                           "values (:d, :h, :b, :l, :p, :v, 1234, :i)"),
            {{QStringLiteral("d"), hoje},
             {QStringLiteral("h"), QTime(23, 59, 59).addSecs(-i * 1500).toString(QStringLiteral("HH:mm:ss"))},
             {QStringLiteral("b"), i % 2 ? QStringLiteral("05-01") : QStringLiteral("05-02")},
             {QStringLiteral("l"), litros},
             {QStringLiteral("p"), preco},
             {QStringLiteral("v"), std::round(litros * preco * 100) / 100},
             {QStringLiteral("i"), 9999 - i}});
    }
}

// Every column of a grid in view without scrolling sideways, and every
// title and value whole in its column.
void PVerificaColunasInteiras(QTableView* pGrade, const char* pJanela)
{
    QApplication::processEvents();
    const QHeaderView* titulos = pGrade->horizontalHeader();
    const int margem = 2 * pGrade->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, titulos);
    EXPECT_FALSE(pGrade->horizontalScrollBar()->isVisible()) << pJanela;
    const QAbstractItemView* vista = pGrade; // sizeHintForColumn is public here
    for (int c = 0; c < pGrade->model()->columnCount(); ++c) {
        if (pGrade->isColumnHidden(c))
            continue;
        const QString titulo = pGrade->model()->headerData(c, Qt::Horizontal).toString();
        const int largura = pGrade->columnWidth(c);
        EXPECT_LE(pGrade->columnViewportPosition(c) + largura, pGrade->viewport()->width())
            << pJanela << ": " << titulo.toStdString() << " runs past the grid's edge";
        EXPECT_LE(titulos->fontMetrics().horizontalAdvance(titulo) + margem, largura)
            << pJanela << ": title " << titulo.toStdString() << " is cut";
        EXPECT_LE(vista->sizeHintForColumn(c), largura) << pJanela << ": values of " << titulo.toStdString() << " are cut";
    }
}

TEST_F(Janelas, MainGridShowsEveryColumnWholeAtTheWindowsFixedSize)
{
    PDiaMovimentado(vPosto);
    PAbre();
    auto* grade = vJanela->findChild<QTableView*>(QStringLiteral("GridAbastecimento"));
    ASSERT_EQ(grade->model()->rowCount(), 40);
    EXPECT_EQ(grade->model()->index(0, 5).data().toString(), QStringLiteral("999,999"));
    EXPECT_EQ(grade->model()->index(0, 7).data().toString(), QStringLiteral("5798,990"));
    PVerificaColunasInteiras(grade, "main window");
    EXPECT_EQ(grade->columnWidth(0), 100);
    EXPECT_EQ(grade->columnWidth(9), 60);
}

// A station that opens with no fueling yet: the grid, sized on an empty
// view, must fit the rows that the refresher brings later.
TEST_F(Janelas, MainGridOpenedOnAnEmptyDayFitsTheRowsThatCome)
{
    PAbre();
    auto* grade = vJanela->findChild<QTableView*>(QStringLiteral("GridAbastecimento"));
    ASSERT_EQ(grade->model()->rowCount(), 0);
    // A small first fueling sizes the columns; the day's bigger ones come
    // with later refreshes, and must not be cut.
    vPosto.Conexao().PExecuta(
        QStringLiteral("insert into mvabast (data, hora, codbico, litragem, precounit, valor, sequencia, id) "
                       "values (:d, '00:00:01', '05-02', 1, 5.799, 5.8, 1, 1)"),
        {{QStringLiteral("d"), QDate::currentDate().toString(QStringLiteral("dd.MM.yyyy"))}});
    BancoDados->PSolicitaAtualizacaoGrid(grade);
    QTRY_COMPARE_WITH_TIMEOUT(grade->model()->rowCount(), 1, 10000);
    PDiaMovimentado(vPosto);
    BancoDados->PSolicitaAtualizacaoGrid(grade);
    QTRY_COMPARE_WITH_TIMEOUT(grade->model()->rowCount(), 41, 10000);
    PVerificaColunasInteiras(grade, "main window after the first fuelings");
    EXPECT_EQ(grade->columnWidth(0), 100);
    EXPECT_EQ(grade->columnWidth(9), 60);
}

// Every label, check box, edit and button of a window shows its whole
// text, keeps clear of the controls beside it, and stays off the edge.
void PVerificaTextos(QWidget* pJanela, const char* pNome)
{
    QList<QWidget*> controles;
    for (QWidget* w : pJanela->findChildren<QWidget*>()) {
        const auto* rotulo = qobject_cast<QLabel*>(w);
        const bool controle = (rotulo && rotulo->pixmap().isNull()) || qobject_cast<QLineEdit*>(w) || qobject_cast<QAbstractButton*>(w);
        // A grid's own parts (its corner button) are the grid's business.
        const bool daGrade = qobject_cast<QAbstractScrollArea*>(w->parentWidget());
        if (controle && !daGrade && w->isVisible())
            controles.append(w);
    }
    const auto FArea = [pJanela](const QWidget* w) { return QRect(w->mapTo(pJanela, QPoint(0, 0)), w->size()); };
    for (const QWidget* w : controles) {
        const QString nome = w->objectName().isEmpty() ? w->property("text").toString() : w->objectName();
        if (!qobject_cast<const QLineEdit*>(w)) {
            EXPECT_GE(w->width(), w->sizeHint().width()) << pNome << ": the text of " << nome.toStdString() << " is cut";
        }
        const QRect area = FArea(w);
        EXPECT_TRUE(QRect(4, 0, pJanela->width() - 8, pJanela->height()).contains(area))
            << pNome << ": " << nome.toStdString() << " touches the window's edge";
        for (const QWidget* outro : controles) {
            if (outro != w && !w->isAncestorOf(outro) && !outro->isAncestorOf(w)) {
                EXPECT_FALSE(area.adjusted(-2, 0, 2, 0).intersects(FArea(outro)))
                    << pNome << ": " << nome.toStdString() << " runs into " << outro->objectName().toStdString();
            }
        }
    }
}

TEST_F(Janelas, OperatorWindowsShowTheirColumnsAndTextsWhole)
{
    PAbre();
    const auto FAbre = [&](void (TFrmTarnex::*pBotao)(), const std::function<void(QWidget*)>& pVerifica) {
        TOperador operador;
        bool aberta = false;
        operador.PDepois([&](QWidget* janela) {
            aberta = true;
            pVerifica(janela);
            janela->close();
        });
        ((*vJanela).*pBotao)();
        EXPECT_TRUE(aberta);
    };
    const auto FBarraVertical = [](QWidget* janela) {
        QApplication::processEvents();
        return janela->findChild<QTableWidget*>(QStringLiteral("GridStatusBomba"))->verticalScrollBar()->isVisible();
    };
    FAbre(&TFrmTarnex::btnStatusBicoClick, [&](QWidget* janela) {
        EXPECT_FALSE(FBarraVertical(janela)) << "two nozzles fit: no scroll bar";
        EXPECT_EQ(janela->findChild<QTableWidget*>()->columnWidth(3), 237);
        PVerificaTextos(janela, "status window");
    });
    const char* descricoes[] = {"GASOLINA COMUM", "GASOLINA ADITIVADA PODIUM", "ETANOL HIDRATADO", "DIESEL S10 ADITIVADO"};
    for (int i = 0; i < 8; ++i)
        vPosto.PCadastraBico(QStringLiteral("02%1%2").arg(i / 2 + 1, 2, 10, QLatin1Char('0')).arg(i % 2 + 1, 2, 10, QLatin1Char('0')),
                             QStringLiteral("1%1-0%2").arg(i / 2).arg(i % 2 + 1), QStringLiteral("01-02"),
                             QString::fromLatin1(descricoes[i % 4]), 6.099);
    FAbre(&TFrmTarnex::btnStatusBicoClick, [&](QWidget* janela) { EXPECT_TRUE(FBarraVertical(janela)) << "ten nozzles do not"; });
    FAbre(&TFrmTarnex::btnAlterarPrecoClick, [&](QWidget* janela) {
        auto* grade = janela->findChild<QTableView*>(QStringLiteral("GridPrecoAbast"));
        PVerificaColunasInteiras(grade, "price window");
        for (int c = 0; c < 3; ++c)
            EXPECT_LT(grade->columnWidth(c), 70) << "two digits need no more";
        EXPECT_TRUE(janela->findChild<QPushButton*>(QStringLiteral("btnAlterar"))->isDefault());
        PVerificaTextos(janela, "price window");
    });
    FAbre(&TFrmTarnex::btnBombasClick, [&](QWidget* janela) { PVerificaTextos(janela, "pump window"); });
    FAbre(&TFrmTarnex::btnConcentradorClick, [&](QWidget* janela) { PVerificaTextos(janela, "concentrator window"); });
}

// A nozzle row another program left without its concentrator address: it
// is no nozzle 0-0-0. The status and price windows stop with the error
// before anything is shown or sent.
TEST_F(Janelas, NozzleWithoutAnAddressStopsTheStatusAndPriceWindowsBeforeAnythingIsSent)
{
    vPosto.PExecuta(QStringLiteral("insert into bombas (codbico, codtanque, descricao, precovenda, statusbico) "
                                   "values ('09-01', '01-02', 'SEM ENDERECO', 4.2, 'L')"));
    PAbre();
    for (const auto& [nome, tecla] : {std::pair{"F3", Qt::Key_F3}, std::pair{"F6", Qt::Key_F6}}) {
        TOperador operador;
        if (tecla == Qt::Key_F3) // the prices are listed as they are; confirming builds the nozzle list
            operador.PDepois([](QWidget* janela) { janela->findChild<QPushButton*>(QStringLiteral("btnAlterar"))->click(); });
        operador.PRespondeSempreOk();
        const qsizetype chamadas = vServidor.FChamadas().size();
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : vJanela.get(), tecla);
        ASSERT_TRUE(FEspera([&] { return !operador.Lidas().isEmpty() && !QApplication::activeModalWidget(); })) << nome;
        EXPECT_EQ(operador.Lidas(), QStringList{QStringLiteral("ConcentradorTarnex|'' não é um valor inteiro válido.")}) << nome;
        EXPECT_EQ(vServidor.FChamadas().size(), chamadas) << nome << ": nothing sent";
        EXPECT_TRUE(vJanela->findChildren<QDialog*>(QString(), Qt::FindDirectChildrenOnly).size() <= 1)
            << nome << ": the window is gone";
    }
}

// The station's program directory cannot be written and the database
// cannot be reached: the program ends as after any failed attach, without
// a question or a message, and a button pressed before it has ended shows
// an error instead of reaching objects start-up never made.
TEST_F(Janelas, FailedAttachWithALogThatCannotBeWrittenEndsQuietlyAndButtonsOnlyShowAnError)
{
    vPosto.Diretorio().PGrava(QStringLiteral("ZelvioECF.ini"), "[CONEXAO]\r\nCAMINHO=/nao/existe.fdb\r\n");
    // A directory where the day log goes: neither read nor written.
    ASSERT_TRUE(QDir().mkpath(TGenerico::FArquivoLog(QDate::currentDate())));
    TOperador operador;
    operador.PRespondeSempreOk();
    vJanela = std::make_unique<TFrmTarnex>();
    vJanela->show();
    EXPECT_TRUE(operador.Lidas().isEmpty()) << operador.Lidas().join(QLatin1Char('\n')).toStdString();
    const QString erro =
        QStringLiteral("ConcentradorTarnex|A abertura do programa não foi concluída: o banco de dados do posto ou as "
                       "configurações não estão disponíveis.");
    for (const char* botao : {"btnFcmOpen", "btnFcmOpen2", "btnFcmOpen3", "btnFcmOpen4", "btnAlterarPreco", "btnStatusBico"}) {
        const qsizetype lidas = operador.Lidas().size();
        vJanela->findChild<QPushButton*>(QLatin1String(botao))->click();
        ASSERT_TRUE(FEspera([&] { return operador.Lidas().size() > lidas && !QApplication::activeModalWidget(); })) << botao;
        EXPECT_EQ(operador.Lidas().last(), erro) << botao;
    }
    vJanela->close(); // no question: the program is ending
    EXPECT_FALSE(vJanela->isVisible());
    EXPECT_FALSE(TServidorTeste::FEmExecucao()) << "no concentrator was connected";
}

} // namespace
