#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QLocalSocket>
#include <QTimer>
#include <QObject>
#include <QVariant>

#include <deque>
#include <functional>
#include <optional>
#include <vector>

#include "UProtocoloFcm.h"

// The concentrator component as the program binds it. The component itself
// is a separate server program (FcmMasterX) beside this one; the binding
// attaches to it at the first method call, starting it when none runs, and
// from then on delivers its events on the user-interface thread through the
// event loop, so they keep arriving while a modal window is open.
//
// Methods answer the component's signed 32-bit code (1 is success). A
// failure of the binding itself (no server, no answer, connection lost,
// malformed message) raises EErro; the next call attaches again.
//
// Fueling events are acknowledged to the component once their callback has
// ended, unless it gave the delivery back; until then the component keeps
// them and delivers them again to the next subscription.
// A connection lost is made again by itself, in the background, opening
// again the devices this binding had open and sending again their slave
// configuration before subscribing.
class TFcmMaster : public QObject {
    Q_OBJECT
public:
    // The time a call waits for its answer.
    static constexpr int cTempoLimiteMs = 5000;
    static constexpr int cIntervaloReconexaoMs = 1000;
    static constexpr int cIntervaloReconexaoMaximoMs = 30000;
    // The most a reconnection attempt may hold the window.
    static constexpr int cTempoLimiteReconexaoMs = 100;
    // The most events are delivered for, in one go, before the window gets
    // its turn.
    static constexpr int cFatiaEntregaMs = 50;
    // A fueling given back is asked for again after this long.
    static constexpr int cIntervaloReentregaMs = 30000;
    // The most fuelings held for one OnLoteEntregue: a backlog is stored in
    // groups small enough for the window to get its turn between them.
    static constexpr int cMaximoAdiadas = 25;

    // Which fueling the event being delivered is, for the component.
    struct TEntrega {
        QString vInstancia; // names the component's numbering
        qint64 vNumero = 0;
        // Every delivery of this instance below it is acknowledged for good.
        qint64 vBase = 0;
    };

    // A connection that does not subscribe never receives events, and so
    // never takes a connector's off-line fuelings (the simulator tool's).
    explicit TFcmMaster(QObject* pDono = nullptr, bool pAssinaEventos = true);
    ~TFcmMaster() override;

    int FcmOpen(quint8 device);
    QVariant FcmClose();
    int FcmSetNumSlaves(quint8 NumeroDeSlaves);
    int FcmConfiguraSlave(quint8 sl, quint8 NumeroDeBombas);
    int FcmTrocaPreco(quint8 sl, quint8 bo, quint8 bi, int preco, quint8 cd);
    int FcmAutorizaAbastecimento(quint8 sl, quint8 bo, quint8 bi);
    int FcmProgramaPrePago(quint8 sl, quint8 bo, quint8 bi, int vol, quint8& cd);
    int FcmTravaBomba(quint8 sl, quint8 bo);
    int FcmDesTravaBomba(quint8 sl, quint8 bo);
    int FcmSolicitaPrecoPorLitro(quint8 sl, quint8 bo, quint8 bi);
    int FcmSolicitaUltimoAbastecimento(quint8 sl, quint8 bo, quint8 bi);
    int FcmSolicitaTotalizador(quint8 sl, quint8 bo, quint8 bi);
    int FcmSolicitaVersaoSlave(quint8 sl);
    QString FcmVersaoDll();
    int FcmVersaoFcmMaster();
    int FcmConfigTotalizador(quint8 sl, quint8 bo, quint8 bi, int tot);
    int FcmObtemStatusBomba(quint8 sl, quint8 bo);
    int FcmCmdEspecial(quint8 sl, quint8 bo, quint8 bi, int codigo, int param1, int param2, int param3);
    int FcmConfigConcentradorFcm(quint8 Slave, quint8 NumeroDeBombas, quint8 ModoOperacao,
                                 quint8 TipoMsgAbastecimento);

    // The events, by number 1 to 11; the first argument is the sender.
    std::function<void(QObject*, quint8 sl, quint8 bo, quint8 bi, quint8 estado)> OnMudancaDeEstado;
    std::function<void(QObject*, quint8 sl, quint8 bo, quint8 bi, int total, quint8 cd)> OnTotalizador;
    std::function<void(QObject*, quint8 sl, quint8 bo, quint8 bi, int vol, quint8 cd)> OnVolume;
    std::function<void(QObject*, quint8 sl, quint8 bo, quint8 bi, int ppl, quint8 cd)> OnPrecoPorLitro;
    std::function<void(QObject*, quint8 sl, quint8 bo, quint8 bi, int vol, int total, int ppl, quint8 cdvol,
                       quint8 cdtot, quint8 cdppl)>
        OnAbasteceu;
    std::function<void(QObject*, quint8 sl, int versao)> OnVersaoFcmSlave;
    std::function<void(QObject*, quint8 erro)> OnErroDLL;
    std::function<void(QObject*, quint8 sl, quint8 bo, quint8 bi, int vol, int total, int ppl, quint8 cdvol,
                       quint8 cdtot, quint8 cdppl, int hora_min_seg, int dia_mes_ano)>
        OnAbasteceuOff;
    std::function<void(QObject*, quint8 sl, quint8 bo, quint8 bi, int evento)> OnEventoFcmSlave;
    std::function<void(QObject*, quint8 sl, quint8 bo, quint8 bi, int retcod, int retorno1, int retorno2,
                       int retorno3)>
        OnRetornoEspecial;
    std::function<void(QObject*, quint8 sl, quint8 bo, quint8 bi, int vol, int total_ini, int total_final, int ppl,
                       quint8 cdvol, quint8 cdtot_ini, quint8 cdtot_final, quint8 cdppl, int hora_min_seg,
                       int dia_mes_ano)>
        OnAbasteceu2;

    // Calls the callback of event pNumero with these arguments, each cut to
    // its declared type; missing arguments are 0, unknown numbers ignored.
    void PDespachaEvento(int pNumero, const QList<qint64>& pArgs);

    // Any method by name, as the simulator tool calls them; answers the whole
    // reply ("resultado" and, for by-reference arguments, "ref").
    QJsonObject FChamaMetodo(const QString& pNome, const QJsonArray& pArgs);
    // A request to the server that is not a component method (the simulator's
    // controls); answers the reply.
    QJsonObject FEnviaControle(const QString& pVerbo, const QJsonArray& pArgs, int pTempoLimiteMs);

    // Every callback runs through this, so that a failing callback neither
    // stops the delivery of the events behind it nor reaches the component.
    using TProtecao = std::function<void(const std::function<void()>&)>;
    static void PDefineProtecao(TProtecao pProtecao);

    // The server program started when none runs: FcmMasterX beside this
    // program unless told otherwise.
    static void PDefinePrograma(const QString& pCaminho);
    static QString FPrograma();

    // The delivery of the fueling event whose callback runs now; nothing for
    // other events and outside callbacks.
    const std::optional<TEntrega>& EntregaAtual() const { return vEntregaAtual; }
    // The callback could not take its fueling: it is not acknowledged, and
    // the component delivers it again.
    void PDevolveEntregaAtual() { vDevolvida = true; }
    // The callback took its fueling, but it is not yet where a crash cannot
    // reach it: it is answered later, from OnLoteEntregue, with
    // PConfirmaEntrega or PDevolveEntrega.
    void PAdiaEntregaAtual() { vAdiada = true; }
    void PConfirmaEntrega(const TEntrega& pEntrega);
    void PDevolveEntrega(const TEntrega& pEntrega);
    // Called once a run of held fuelings ends: before any other event is
    // delivered, and before the window gets its turn. Fuelings it leaves
    // unanswered are given back.
    std::function<void()> OnLoteEntregue;

    // Told, for the log, when a lost component came back and the devices
    // were opened and configured again.
    std::function<void(const QString& pTexto)> OnConexaoRestabelecida;
    // Told, in order with the events, that every delivery of pInstancia
    // below pBase is acknowledged for good and will never come again.
    std::function<void(const QString& pInstancia, qint64 pBase)> OnBaseConfirmada;
    // Told when the component took a totaliser set at a nozzle (in
    // thousandths), whoever asked for it.
    std::function<void(quint8 sl, quint8 bo, quint8 bi, int tot)> OnTotalizadorConfigurado;

private:
    int FCodigo(const QString& pMetodo, const QJsonArray& pArgs);
    QJsonObject FTroca(QJsonObject pPedido, const QString& pNome, int pTempoLimiteMs);
    QJsonObject FAguardaResposta(int pId, const QString& pNome, int pTempoLimiteMs);
    bool FTrataLinha(const QByteArray& pLinha, int pIdEsperado, QJsonObject& pResposta);
    void PGaranteConexao();
    bool FConecta(int pTempoMs);
    void PIniciaServidor();
    [[noreturn]] void PFalha(const QString& pTexto);
    void PLeDisponivel();
    void PLeSocket();
    void PAgendaEntrega();
    void PEntregaPendentes();

    template <typename... T>
    void PInvoca(const std::function<void(QObject*, T...)>& pCallback, const QList<qint64>& pArgs);

    struct TEvento {
        int vNumero;
        QList<qint64> vArgs;
        std::optional<TEntrega> vEntrega;
        bool vAvisoBase = false; // not an event: the component's base moved on
    };

    void PNovoSocket();
    void PAgendaReconexao();
    void PReconecta();
    bool FTentaConectarSemEsperar();
    void PRestabelece(int pTempoLimiteMs);
    void PAssina(int pTempoLimiteMs);
    void PDespachaEConfirma(const TEvento& pEvento);
    void PFechaLote();
    bool FRetiraAdiada(const TEntrega& pEntrega);
    void PConfirma(const TEntrega& pEntrega);
    void PPedeReentrega();
    int FLembra(int pCodigo, const QString& pMetodo, const QJsonArray& pArgs);

    // A fresh socket for every connection: a socket reused after a failure
    // can still deliver the end of the old connection into the new one.
    QLocalSocket* vSocket = nullptr;
    ProtocoloFcm::TLeitorLinhas vLeitor;
    std::deque<TEvento> vPendentes;
    const bool vAssinaEventos;
    // Events flow only over a live subscription: once one has been made, a
    // lost connection is made again by itself, so a component that died and
    // came back delivers what it kept without waiting for the next call.
    bool vAssinado = false;
    QTimer* vReconexao = nullptr;
    QTimer* vReentrega = nullptr;
    int vEsperaReconexaoMs = cIntervaloReconexaoMs;
    int vTentativasRapidas = 0; // a server just started needs a moment
    // What a new connection must do again: the devices open (in the order
    // they were opened) and the slave configuration calls that succeeded.
    std::vector<quint8> vDispositivos;
    std::vector<QPair<QString, QJsonArray>> vConfiguracao;
    bool vJaConectou = false;
    QString vInstancia;
    std::optional<TEntrega> vEntregaAtual;
    bool vDevolvida = false;
    bool vAdiada = false;
    // Held fuelings, oldest first, waiting for OnLoteEntregue.
    std::vector<TEntrega> vAdiadas;
    bool vEmChamada = false;
    bool vEntregaAgendada = false;
    int vProximoId = 0;
};
