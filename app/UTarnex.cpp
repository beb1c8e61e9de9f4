#include "UTarnex.h"

#include "FcmMasterX_TLB.h"
#include "UAparencia.h"
#include "UAplicacao.h"
#include "UConfiguracaoRegional.h"
#include "UBancoDados.h"
#include "UDiretorioPrograma.h"
#include "UCapturaAbastecimento.h"
#include "UEncerrantes.h"
#include "UExecutorBanco.h"
#include "UFaixaBanner.h"
#include "UGenerico.h"
#include "UGradeDados.h"
#include "UMensagem.h"
#include "UParametros.h"
#include "UPrecoBico.h"
#include "UStatusBico.h"
#include "UConfigConcentrador.h"
#include "UConfigBomba.h"
#include "UBicos.h"
#include "UTeclado.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QTableView>

namespace {

constexpr int cLargura = 844;
constexpr int cAltura = 572;
constexpr int cFaixa = TFaixaBanner::cEspessura;

// A button pressed while a failed start-up ends the program, or after a
// start-up step failed, finds no database or settings to work with.
void PExigeAbertura()
{
    if (!BancoDados || BancoDados->FimSolicitado() || !Parametros)
        throw EErro(QStringLiteral("A abertura do programa não foi concluída: o banco de dados do posto ou as "
                                   "configurações não estão disponíveis."));
}

} // namespace

TFrmTarnex::TFrmTarnex(QWidget* pPai)
    : QWidget(pPai), vFcmMaster(new TFcmMaster(this)), vTeclado(new TTecladoJanela(this))
{
    setObjectName(QStringLiteral("FrmTarnex"));
    setWindowTitle(QStringLiteral("Zelvio for Windows Connect Tarnex v15.11a"));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFixedSize(cLargura, cAltura);
    setFont(TAparencia::FFontePadrao());
    if (const QScreen* tela = QGuiApplication::primaryScreen())
        move(tela->availableGeometry().center() - rect().center());
    PCriaFaixas();
    PCriaGrade();
    PCriaBotoes();
    PLigaBotoes();
    PLigaEventos();
    vTeclado->PDefineTratador([this](QKeyEvent* pTecla) { return FormKeyDown(pTecla); });
    FormCreate();
}

TFrmTarnex::~TFrmTarnex()
{
    // Its thread uses the shared objects until it has ended.
    vExecutor.reset();
    // The shared references must not outlive what they point at.
    FrmMensagem = nullptr;
    BancoDados = nullptr;
    Parametros = nullptr;
    Generico = nullptr;
}

// --- layout ------------------------------------------------------------------

void TFrmTarnex::PCriaFaixas()
{
    const auto FFaixa = [this](Qt::Orientation pSentido, const QString& pNome, const QRect& pArea) {
        auto* faixa = new TFaixaBanner(pSentido, this);
        faixa->setObjectName(pNome);
        faixa->setGeometry(pArea);
        return faixa;
    };
    Panel1 = FFaixa(Qt::Horizontal, QStringLiteral("Panel1"), QRect(0, 0, cLargura, cFaixa));
    Panel2 = FFaixa(Qt::Horizontal, QStringLiteral("Panel2"), QRect(0, cAltura - cFaixa, cLargura, cFaixa));
    Panel3 = FFaixa(Qt::Vertical, QStringLiteral("Panel3"),
                    QRect(cLargura - cFaixa, cFaixa, cFaixa, cAltura - 2 * cFaixa));
    Panel4 = FFaixa(Qt::Vertical, QStringLiteral("Panel4"), QRect(0, cFaixa, cFaixa, cAltura - 2 * cFaixa));
}

void TFrmTarnex::PCriaGrade()
{
    GridAbastecimento = new TGradeDados(this);
    GridAbastecimento->setObjectName(QStringLiteral("GridAbastecimento"));
    GridAbastecimento->setGeometry(cFaixa, cFaixa, cLargura - 2 * cFaixa, cAltura - 2 * cFaixa);
    // One height for every row: a day of rows costs the view no sizing.
    GridAbastecimento->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    GridAbastecimento->verticalHeader()->setDefaultSectionSize(20);
}

QPushButton* TFrmTarnex::FCriaBotao(QWidget* pFaixa, const QString& pNome, const QString& pTexto, int pPosicao)
{
    auto* botao = new QPushButton(pTexto, pFaixa);
    botao->setObjectName(pNome);
    botao->setGeometry(49 + 150 * pPosicao, (cFaixa - 25) / 2, 150, 25);
    return botao;
}

void TFrmTarnex::PCriaBotoes()
{
    btnFcmOpen = FCriaBotao(Panel1, QStringLiteral("btnFcmOpen"), QStringLiteral("FCM Conectar &1"), 0);
    btnFcmOpen2 = FCriaBotao(Panel1, QStringLiteral("btnFcmOpen2"), QStringLiteral("FCM Conectar &2"), 1);
    btnFcmOpen3 = FCriaBotao(Panel1, QStringLiteral("btnFcmOpen3"), QStringLiteral("FCM Conectar &3"), 2);
    btnFcmOpen4 = FCriaBotao(Panel1, QStringLiteral("btnFcmOpen4"), QStringLiteral("FMC Conectar &4"), 3);
    btnDesconectar = FCriaBotao(Panel1, QStringLiteral("btnDesconectar"), QStringLiteral("&Desconectar"), 4);
    btnConcentrador = FCriaBotao(Panel2, QStringLiteral("btnConcentrador"), QStringLiteral("F2 - Concentrador"), 0);
    btnAlterarPreco = FCriaBotao(Panel2, QStringLiteral("btnAlterarPreco"), QStringLiteral("F3 - Alterar Preço"), 1);
    btnBombas = FCriaBotao(Panel2, QStringLiteral("btnBombas"), QStringLiteral("F5 - Bombas"), 2);
    btnStatusBico = FCriaBotao(Panel2, QStringLiteral("btnStatusBico"), QStringLiteral("F6 - Status Bico"), 3);
    btnVersao = FCriaBotao(Panel2, QStringLiteral("btnVersao"), QStringLiteral("F7 - Versão DLL"), 4);
    const QList<QWidget*> ordem{btnFcmOpen,      btnFcmOpen2,     btnFcmOpen3, btnFcmOpen4,   btnDesconectar,
                                GridAbastecimento, btnConcentrador, btnAlterarPreco, btnBombas, btnStatusBico,
                                btnVersao};
    for (qsizetype i = 1; i < ordem.size(); ++i)
        setTabOrder(ordem[i - 1], ordem[i]);
}

void TFrmTarnex::PLigaBotoes()
{
    using A = TAplicacao;
    connect(btnFcmOpen, &QPushButton::clicked, this, A::FProtegido(this, &TFrmTarnex::btnFcmOpenClick));
    connect(btnFcmOpen2, &QPushButton::clicked, this, A::FProtegido(this, &TFrmTarnex::btnFcmOpen2Click));
    connect(btnFcmOpen3, &QPushButton::clicked, this, A::FProtegido(this, &TFrmTarnex::btnFcmOpen3Click));
    connect(btnFcmOpen4, &QPushButton::clicked, this, A::FProtegido(this, &TFrmTarnex::btnFcmOpen4Click));
    connect(btnDesconectar, &QPushButton::clicked, this, A::FProtegido(this, &TFrmTarnex::btnDesconectarClick));
    connect(btnVersao, &QPushButton::clicked, this, A::FProtegido(this, &TFrmTarnex::btnVersaoClick));
    connect(btnConcentrador, &QPushButton::clicked, this, A::FProtegido(this, &TFrmTarnex::btnConcentradorClick));
    connect(btnBombas, &QPushButton::clicked, this, A::FProtegido(this, &TFrmTarnex::btnBombasClick));
    connect(btnStatusBico, &QPushButton::clicked, this, A::FProtegido(this, &TFrmTarnex::btnStatusBicoClick));
    connect(btnAlterarPreco, &QPushButton::clicked, this, A::FProtegido(this, &TFrmTarnex::btnAlterarPrecoClick));
}

void TFrmTarnex::PLigaEventos()
{
    // The component calls into the program only through these; each runs
    // through the failure convention, so nothing is thrown back into it.
    TFcmMaster::PDefineProtecao([](const std::function<void()>& pAcao) { TAplicacao::FExecutaProtegido(pAcao); });
    TFcmMaster& c = *vFcmMaster;
    c.OnConexaoRestabelecida = [](const QString& pTexto) { TGenerico::PGeraLog(pTexto); };
    c.OnBaseConfirmada = [this](const QString& pInstancia, qint64 pBase) {
        if (vCaptura)
            vCaptura->PInformaBase(pInstancia, pBase);
    };
    c.OnTotalizadorConfigurado = [this](quint8 sl, quint8 bo, quint8 bi, int tot) {
        PNovoEncerrante(sl, bo, bi, TEncerrantes::FValor(tot, 3), true);
    };
    c.OnMudancaDeEstado = std::bind_front(&TFrmTarnex::FcmMasterMudancaDeEstado, this);
    c.OnTotalizador = std::bind_front(&TFrmTarnex::FcmMasterTotalizador, this);
    c.OnVolume = std::bind_front(&TFrmTarnex::FcmMasterVolume, this);
    c.OnPrecoPorLitro = std::bind_front(&TFrmTarnex::FcmMasterPrecoPorLitro, this);
    c.OnAbasteceu = std::bind_front(&TFrmTarnex::FcmMasterAbasteceu, this);
    c.OnAbasteceuOff = std::bind_front(&TFrmTarnex::FcmMasterAbasteceuOff, this);
    c.OnVersaoFcmSlave = std::bind_front(&TFrmTarnex::FcmMasterVersaoFcmSlave, this);
    c.OnErroDLL = std::bind_front(&TFrmTarnex::FcmMasterErroDLL, this);
    c.OnEventoFcmSlave = std::bind_front(&TFrmTarnex::FcmMasterEventoFcmSlave, this);
    c.OnRetornoEspecial = std::bind_front(&TFrmTarnex::FcmMasterRetornoEspecial, this);
    c.OnAbasteceu2 = std::bind_front(&TFrmTarnex::FcmMasterAbasteceu2, this);
    c.OnLoteEntregue = [this] { PGravaLote(); };
}

// --- start-up, keyboard, closing -------------------------------------------------

void TFrmTarnex::FormCreate()
{
    FrmMensagem = new TFrmMensagem(this);
    try {
        vBancoDados = std::make_unique<TBancoDados>();
        BancoDados = vBancoDados.get();
        // The program is ending: a failed attach has asked it to, and the
        // steps below would only fail on the database it could not reach.
        if (BancoDados->FimSolicitado())
            return;
        vParametros = std::make_unique<TParametros>();
        Parametros = vParametros.get();
        vGenerico = std::make_unique<TGenerico>();
        Generico = vGenerico.get();
        vCaptura = std::make_unique<TCapturaAbastecimento>(GridAbastecimento, TDiarioAbastecimentos::FCaminhoPadrao());
        vEncerrantes = std::make_unique<TEncerrantes>(TDiretorioPrograma::FArquivo(TEncerrantes::FNomeArquivo()));
        vCaptura->PDefineEncerrantes(vEncerrantes.get());
        vExecutor = std::make_unique<TExecutorBanco>(*vCaptura, BancoDados->FDadosConexao(), vEncerrantes.get());
        vCaptura->PDefineBanco(&vExecutor->Banco());
        BancoDados->PDadosGridAbastecimento(GridAbastecimento);
        TGenerico::PFormataCamposGrid(GridAbastecimento);
        // A pending fueling that fails again is shown; the concentrators are
        // connected all the same, or nothing more would be captured.
        vExecutor->PReprocessaPendentes();
        if (Parametros->Fcm2().NumBombas() != 0)
            btnFcmOpen2Click();
        if (Parametros->Fcm3().NumBombas() != 0)
            btnFcmOpen3Click();
        if (Parametros->Fcm4().NumBombas() != 0)
            btnFcmOpen4Click();
        btnFcmOpen->click();
    } catch (...) {
        TAplicacao::PMostraErro(std::current_exception());
    }
}

bool TFrmTarnex::FormKeyDown(QKeyEvent* pTecla)
{
    // The key goes on to the focused control afterwards; Shift, Ctrl and Alt
    // do not matter.
    switch (pTecla->key()) {
    case Qt::Key_F2:
        btnConcentrador->click();
        break;
    case Qt::Key_F3:
        btnAlterarPreco->click();
        break;
    case Qt::Key_F5:
        btnBombas->click();
        break;
    case Qt::Key_F6:
        btnStatusBico->click();
        break;
    case Qt::Key_F7:
        btnVersao->click();
        break;
    default:
        break;
    }
    return false;
}

void TFrmTarnex::PTrazParaFrente()
{
    if (isMinimized())
        showNormal();
    else
        show();
    raise();
    activateWindow();
}

void TFrmTarnex::closeEvent(QCloseEvent* pEvento)
{
    if (BancoDados && BancoDados->FimSolicitado())
        return pEvento->accept();
    const int resposta =
        FrmMensagem->MessageDlg(QStringLiteral("Deseja realmente abandonar o sistema?"), tmConfirmacao, bmSim | bmNao, 0);
    if (resposta == mrSim)
        pEvento->accept();
    else
        pEvento->ignore();
}

QString TFrmTarnex::FTextoVersao(int pVersao)
{
    const QString texto = QString::number(pVersao);
    static const QString aberturas[] = {QStringLiteral("Versao FcmMaster V 000"), QStringLiteral("Versao FcmMaster V 00"),
                                        QStringLiteral("Versao FcmMaster V 0"), QStringLiteral("Versao FcmMaster V ")};
    return texto.size() <= 4 ? aberturas[texto.size() - 1] + texto : QString();
}

void TFrmTarnex::btnVersaoClick()
{
    const QString texto = FTextoVersao(vFcmMaster->FcmVersaoFcmMaster());
    if (!texto.isEmpty())
        FrmMensagem->MessageDlg(texto, tmInformacao, bmOk, 0);
}

// --- operator windows ----------------------------------------------------------

void TFrmTarnex::btnStatusBicoClick()
{
    PExigeAbertura();
    const std::unique_ptr<TFrmStatusBico> janela = std::make_unique<TFrmStatusBico>(this);
    janela->PVerificaStatusBomba(vFcmMaster);
}

void TFrmTarnex::btnConcentradorClick()
{
    const std::unique_ptr<TFrmConfigConcentrador> janela = std::make_unique<TFrmConfigConcentrador>(this);
    janela->PConfigConcentrador(vFcmMaster);
}

void TFrmTarnex::btnBombasClick()
{
    const std::unique_ptr<TFrmConfigBomba> janela = std::make_unique<TFrmConfigBomba>(this);
    janela->PConfiguraBomba(vFcmMaster);
}

void TFrmTarnex::btnAlterarPrecoClick()
{
    PExigeAbertura();
    const std::unique_ptr<TFrmPrecoBico> janela = std::make_unique<TFrmPrecoBico>(this);
    const std::unique_ptr<TListaBicos> lista = janela->FAlteraPrecoBico();
    if (!lista)
        return;
    for (int i = 0; i < lista->Count(); ++i) {
        const TBico* bico = lista->FBico(i);
        Slave = static_cast<quint8>(bico->Tanque());
        Bomba = static_cast<quint8>(bico->Bomba());
        Bico = static_cast<quint8>(bico->Bico());
        const QString texto = TGenerico::FFormataNumero(bico->Preco(), 3);
        // Exactly the thousandths the text states: 5.4996 shows and goes as 5.500.
        QString digitos = texto;
        digitos.remove(TConfiguracaoRegional::SeparadorDecimal());
        bool cabe = false;
        const int preco = digitos.toInt(&cabe);
        // A price the call cannot carry would reach the pump as 0.
        if (!cabe)
            throw EErro(QStringLiteral("O preço %1 do bico %2 não pode ser enviado ao concentrador.")
                            .arg(texto, TBancoDados::FCodigoConcentrador(Slave, Bomba, Bico)));
        if (!TGenerico::FRetornaErroConcentrador(vFcmMaster->FcmTrocaPreco(Slave, Bomba, Bico, preco, 3)))
            return;
        FrmMensagem->MessageDlg(QStringLiteral("Tanque: ") + TGenerico::FCompletaZero(Slave, 2) + QStringLiteral(" Bomba: ") +
                                    TGenerico::FCompletaZero(Bomba, 2) + QStringLiteral(" Bico: ") +
                                    TGenerico::FCompletaZero(Bico, 2) + QStringLiteral("\r\rNovo valor: R$") + texto,
                                tmInformacao, bmOk, 0);
    }
}

// --- concentrator connection ---------------------------------------------------

void TFrmTarnex::PConecta(int n, QPushButton* pBotao)
{
    PExigeAbertura();
    Master = static_cast<quint8>(n);
    Slave = static_cast<quint8>(n);
    const TConcentrador& fcm = Parametros->Fcm(n);
    if (fcm.NumBombas() == 0 && n != 1) {
        FrmMensagem->MessageDlg(QStringLiteral("Clique no botão \"Concentrador - F2\" para configurar o número de "
                                               "bombas para o FCM%1.").arg(n),
                                tmInformacao, bmOk, 0);
        return;
    }
    Bomba = fcm.NumBombas() == 0 ? 1 : static_cast<quint8>(fcm.NumBombas());
    TGenerico::PGeraLog(QStringLiteral("Device= ") + QString::number(n));
    if (vFlagOpen[n - 1]) {
        TGenerico::PGeraLog(QStringLiteral("Erro - FcmOpen ") + QString::number(n) + QStringLiteral(" Já Efetuado!"));
        return;
    }
    if (vFcmMaster->FcmOpen(static_cast<quint8>(n)) != 1) {
        TGenerico::PGeraLog(QStringLiteral("Erro - FcmOpen"));
        return;
    }
    vFlagOpen[n - 1] = true;
    if (vFcmMaster->FcmSetNumSlaves(static_cast<quint8>(n)) != 1) {
        TGenerico::PGeraLog(QStringLiteral("Erro - FcmSetNumSlaves"));
        return;
    }
    const int modos[] = {10, 11, 12};
    const int modo = (fcm.ModoOperacao() >= 0 && fcm.ModoOperacao() <= 2) ? modos[fcm.ModoOperacao()] : 0;
    const auto mensagem = static_cast<quint8>(fcm.MensagemAbast() + 1);
    if (vFcmMaster->FcmConfigConcentradorFcm(static_cast<quint8>(n), Bomba, static_cast<quint8>(modo), mensagem) != 1) {
        TGenerico::PGeraLog(QStringLiteral("Erro - FcmConfiguraSlave"));
        return;
    }
    TGenerico::PGeraLog(QStringLiteral("FcmOpen - OK"));
    pBotao->setEnabled(false);
}

void TFrmTarnex::btnFcmOpenClick()
{
    PConecta(1, btnFcmOpen);
}

void TFrmTarnex::btnFcmOpen2Click()
{
    PConecta(2, btnFcmOpen2);
}

void TFrmTarnex::btnFcmOpen3Click()
{
    PConecta(3, btnFcmOpen3);
}

void TFrmTarnex::btnFcmOpen4Click()
{
    PConecta(4, btnFcmOpen4);
}

void TFrmTarnex::btnDesconectarClick()
{
    vFcmMaster->FcmClose();
    for (bool& aberto : vFlagOpen)
        aberto = false;
    FrmMensagem->MessageDlg(QStringLiteral("Concentrador desconectado."), tmInformacao, bmOk, 0);
    for (QPushButton* botao : {btnFcmOpen, btnFcmOpen2, btnFcmOpen3, btnFcmOpen4})
        botao->setEnabled(true);
}

// --- fueling capture -------------------------------------------------------------

void TFrmTarnex::PAbastecimento(int pEvento, const QList<qint64>& pArgs)
{
    const std::optional<TFcmMaster::TEntrega>& entrega = vFcmMaster->EntregaAtual();
    bool recebido = false;
    // Given back on every path that did not take the fueling, exceptions
    // included: the component keeps it and delivers it again.
    const auto devolve = qScopeGuard([&] {
        if (!recebido)
            vFcmMaster->PDevolveEntregaAtual();
    });
    if (!vCaptura || !vExecutor)
        throw EErro(QStringLiteral("O banco de dados não está disponível: o abastecimento não foi gravado."));
    if (entrega) {
        // Stored with the others the component delivers in the same run,
        // each group on disk in one go.
        vLote.push_back({{pEvento, pArgs, TDiarioAbastecimentos::TEntrega{entrega->vInstancia, entrega->vNumero},
                          QDateTime::currentDateTime()},
                         *entrega});
        vFcmMaster->PAdiaEntregaAtual();
        recebido = true;
        return;
    }
    std::vector<bool> recebidos;
    PRegistraOuCaptura({{pEvento, pArgs, std::nullopt, QDateTime::currentDateTime()}}, recebidos);
    recebido = recebidos.front();
}

// The fuelings go to the journal here, and the database's thread stores
// them: the window waits for the disk, never for the database. A journal
// that cannot take them leaves nowhere for them to wait: they are stored
// at once, by that thread, before the component hears of them.
void TFrmTarnex::PRegistraOuCaptura(const std::vector<TCapturaAbastecimento::TNovo>& pNovos,
                                    std::vector<bool>& pRecebidos)
{
    try {
        vCaptura->PRegistraRecebidos(pNovos, pRecebidos);
    } catch (const EErro&) {
        vExecutor->PExecutaAguardando([&] { vCaptura->PRecebeLote(pNovos, pRecebidos); });
        return;
    }
    vExecutor->PCapturaPendentes();
}

void TFrmTarnex::PGravaLote()
{
    std::vector<TItemLote> lote = std::exchange(vLote, {});
    std::vector<bool> recebidos(lote.size(), false);
    // Answered on every path, before a failure is shown: a message waiting
    // for the operator must not hold the component's fuelings.
    const auto responde = qScopeGuard([&] {
        for (size_t i = 0; i < lote.size(); ++i) {
            if (i < recebidos.size() && recebidos[i])
                vFcmMaster->PConfirmaEntrega(lote[i].vEntrega);
            else
                vFcmMaster->PDevolveEntrega(lote[i].vEntrega);
        }
    });
    if (!vCaptura || !vExecutor)
        throw EErro(QStringLiteral("O banco de dados não está disponível: o abastecimento não foi gravado."));
    std::vector<TCapturaAbastecimento::TNovo> novos;
    novos.reserve(lote.size());
    for (const TItemLote& f : lote) {
        vCaptura->PInformaBase(f.vEntrega.vInstancia, f.vEntrega.vBase);
        novos.push_back(f.vNovo);
    }
    PRegistraOuCaptura(novos, recebidos);
}

void TFrmTarnex::FcmMasterAbasteceu(QObject*, quint8 sl, quint8 bo, quint8 bi, int vol, int total, int ppl,
                                    quint8 cdvol, quint8 cdtot, quint8 cdppl)
{
    PAbastecimento(TCapturaAbastecimento::cAbasteceu, {sl, bo, bi, vol, total, ppl, cdvol, cdtot, cdppl});
}

void TFrmTarnex::FcmMasterAbasteceu2(QObject*, quint8 sl, quint8 bo, quint8 bi, int vol, int total_ini,
                                     int total_final, int ppl, quint8 cdvol, quint8 cdtot_ini, quint8 cdtot_final,
                                     quint8 cdppl, int hora_min_seg, int dia_mes_ano)
{
    PAbastecimento(TCapturaAbastecimento::cAbasteceu2, {sl, bo, bi, vol, total_ini, total_final, ppl, cdvol,
                                                         cdtot_ini, cdtot_final, cdppl, hora_min_seg, dia_mes_ano});
}

void TFrmTarnex::FcmMasterAbasteceuOff(QObject*, quint8 sl, quint8 bo, quint8 bi, int vol, int total, int ppl,
                                       quint8 cdvol, quint8 cdtot, quint8 cdppl, int hora_min_seg, int dia_mes_ano)
{
    PAbastecimento(TCapturaAbastecimento::cAbasteceuOff,
                   {sl, bo, bi, vol, total, ppl, cdvol, cdtot, cdppl, hora_min_seg, dia_mes_ano});
}

// --- pump state tracking ---------------------------------------------------------

QString TFrmTarnex::FLetraEstado(int pEstado)
{
    switch (pEstado) {
    case 1:
        return QStringLiteral("P");
    case 3:
        return QStringLiteral("E");
    case 4:
    case 8:
    case 10:
    case 29:
    case 41:
        return QStringLiteral("L");
    case 5:
        return QStringLiteral("A");
    case 6:
        return QStringLiteral("C");
    case 7:
        return QStringLiteral("B");
    default:
        return QStringLiteral("F");
    }
}

void TFrmTarnex::FcmMasterMudancaDeEstado(QObject*, quint8 sl, quint8 bo, quint8 bi, quint8 estado)
{
    PExigeAbertura();
    const QString letra = FLetraEstado(estado);
    const bool bomba = estado == 7 || estado == 8;
    if (!vExecutor)
        throw EErro(QStringLiteral("A abertura do programa não foi concluída: o banco de dados do posto ou as "
                                   "configurações não estão disponíveis."));
    if (Parametros->AutorizaAuto() && letra == QLatin1String("E")) {
        const int codigo = vFcmMaster->FcmAutorizaAbastecimento(sl, bo, bi);
        // Recorded before the warning waits for the operator: a newer state
        // that arrives meanwhile is recorded after this one, never before.
        vExecutor->PGravaStatus(bomba, letra, sl, bo, bi);
        TGenerico::FRetornaErroConcentrador(codigo);
        return;
    }
    vExecutor->PGravaStatus(bomba, letra, sl, bo, bi);
}

// --- concentrator reports --------------------------------------------------------

void TFrmTarnex::PLeitura(quint8 sl, quint8 bo, quint8 bi, int pValor, quint8 cd, const QString& pRotulo)
{
    TGenerico::PGeraLog(QStringLiteral("sl=%1 bo=%2 bi=%3").arg(sl).arg(bo).arg(bi) + pRotulo +
                        TGenerico::FFormataGeral(TGenerico::FRetornaCasasDecimais(cd, pValor)));
}

void TFrmTarnex::FcmMasterTotalizador(QObject*, quint8 sl, quint8 bo, quint8 bi, int total, quint8 cd)
{
    PLeitura(sl, bo, bi, total, cd, QStringLiteral(" Totalizador="));
    PNovoEncerrante(sl, bo, bi, TEncerrantes::FValor(total, cd), false);
}

// A totaliser read at the pump, or set there by the operator, is the
// nozzle's new base for the check of its next fueling.
void TFrmTarnex::PNovoEncerrante(quint8 sl, quint8 bo, quint8 bi, const std::optional<TEncerrantes::TValor>& pValor,
                                 bool pDefinido)
{
    if (!vExecutor || !pValor)
        return;
    vExecutor->PNovoEncerrante(TBancoDados::FCodigoConcentrador(sl, bo, bi), *pValor, pDefinido);
}

void TFrmTarnex::FcmMasterVolume(QObject*, quint8 sl, quint8 bo, quint8 bi, int vol, quint8 cd)
{
    PLeitura(sl, bo, bi, vol, cd, QStringLiteral(" Volume ="));
}

void TFrmTarnex::FcmMasterPrecoPorLitro(QObject*, quint8 sl, quint8 bo, quint8 bi, int ppl, quint8 cd)
{
    PLeitura(sl, bo, bi, ppl, cd, QStringLiteral(" PrecoPorLitro="));
}

void TFrmTarnex::FcmMasterVersaoFcmSlave(QObject*, quint8, int versao)
{
    static const QString modelos[] = {
        QStringLiteral("Bomba Gilbarco V "),           QStringLiteral("Bomba Wayne Duplex V "),
        QStringLiteral("Bomba Wayne Rifran V "),       QStringLiteral("Bomba Aspro Develco V "),
        QStringLiteral("Bomba Simulador Tarnex V "),   QStringLiteral("Bomba Mecânica Bolachão V "),
        QStringLiteral("Bomba Wayne Minnow V "),       QStringLiteral("Bomba Wayne 3G V "),
        QStringLiteral("Bomba Wayne Duplex  - Minnow V "), QStringLiteral("Bomba Mecânica Veeder V "),
        QStringLiteral("RESERVADO "),                  QStringLiteral("Bomba Wayne 3G - Minnow V "),
        QStringLiteral("Bomba Aspro Metroval V "),     QStringLiteral("Bomba Mecânica Polipetro V "),
        QStringLiteral("Bomba Stratema V "),           QStringLiteral("RESERVADO "),
        QStringLiteral("RESERVADO ")};
    const QString texto = QString::number(versao);
    if (texto.size() < 2 || texto.startsWith(QLatin1Char('-')))
        return;
    const int modelo = texto.size() == 4 ? texto.left(1).toInt() : texto.left(2).toInt();
    if (modelo >= 1 && modelo <= 17)
        TGenerico::PGeraLog(modelos[modelo - 1] + texto);
}

void TFrmTarnex::FcmMasterEventoFcmSlave(QObject*, quint8 sl, quint8 bo, quint8 bi, int evento)
{
    const QString texto = QStringLiteral("sl=%1 bo=%2 bi=%3 - INFORMOU EVENTO ").arg(sl).arg(bo).arg(bi) +
                          QLatin1Char('\r') +
                          (evento >= 1000 ? QStringLiteral("EVENTO: ") : QStringLiteral("EVENTO: 0")) +
                          QString::number(evento);
    FrmMensagem->MessageDlg(texto, tmInformacao, bmOk, 0);
}

void TFrmTarnex::FcmMasterRetornoEspecial(QObject*, quint8 sl, quint8 bo, quint8 bi, int retcod, int retorno1,
                                          int retorno2, int retorno3)
{
    const QString texto = QStringLiteral("sl=%1 bo=%2 bi=%3 - RETORNO ESPECIAL ").arg(sl).arg(bo).arg(bi) +
                          QStringLiteral("\rCÓDIGO    : ") + QString::number(retcod) +
                          QStringLiteral("\rRetorno   : ") + QString::number(retorno1) +
                          QStringLiteral("\rRetorno 2 : ") + QString::number(retorno2) +
                          QStringLiteral("\rRetorno 3 : ") + QString::number(retorno3);
    FrmMensagem->MessageDlg(texto, tmInformacao, bmOk, 0);
}

void TFrmTarnex::FcmMasterErroDLL(QObject*, quint8 erro)
{
    static const QString aberturas[] = {QStringLiteral("ERRO_LRC - Parâmetro:"), QStringLiteral("ERRO_PRT - Parâmetro:"),
                                        QStringLiteral("ERRO_FINALIZOU - Parâmetro:")};
    if (erro < 20 || erro > 22)
        return;
    FrmMensagem->MessageDlg(aberturas[erro - 20] + QString::number(erro) + QStringLiteral("  DLL"), tmAlerta, bmOk, 0);
}
