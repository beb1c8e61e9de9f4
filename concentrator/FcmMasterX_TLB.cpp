#include "FcmMasterX_TLB.h"

#include "UDiretorioPrograma.h"
#include "UErro.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QJsonValue>
#include <QProcess>
#include <QThread>

#include <algorithm>
#include <type_traits>

#include <fcntl.h>
#include <unistd.h>

namespace {

const QString cComponente = QStringLiteral("FcmMasterX");

TFcmMaster::TProtecao vProtecao = [](const std::function<void()>& pAcao) {
    try {
        pAcao();
    } catch (const std::exception& erro) {
        qWarning("FcmMasterX: %s", erro.what());
    } catch (...) {
        qWarning("FcmMasterX: erro desconhecido num evento");
    }
};

QString vPrograma;

// A number off the wire as the callback's argument type.
template <typename T>
T FConverte(qint64 pValor)
{
    static_assert(std::is_integral_v<T>);
    return static_cast<T>(static_cast<std::make_unsigned_t<T>>(static_cast<quint64>(pValor)));
}

qint64 FArg(const QList<qint64>& pArgs, size_t pIndice)
{
    return pIndice < static_cast<size_t>(pArgs.size()) ? pArgs[static_cast<qsizetype>(pIndice)] : 0;
}

QJsonArray FArgs(std::initializer_list<qint64> pValores)
{
    QJsonArray args;
    for (const qint64 v : pValores)
        args.append(v);
    return args;
}

} // namespace

TFcmMaster::TFcmMaster(QObject* pDono, bool pAssinaEventos) : QObject(pDono), vAssinaEventos(pAssinaEventos)
{
    vReconexao = new QTimer(this);
    vReconexao->setSingleShot(true);
    vReconexao->setInterval(cIntervaloReconexaoMs);
    connect(vReconexao, &QTimer::timeout, this, &TFcmMaster::PReconecta);
    vReentrega = new QTimer(this);
    vReentrega->setSingleShot(true);
    vReentrega->setInterval(cIntervaloReentregaMs);
    connect(vReentrega, &QTimer::timeout, this, &TFcmMaster::PPedeReentrega);
    PNovoSocket();
}

TFcmMaster::~TFcmMaster()
{
    disconnect(vSocket, nullptr, this, nullptr);
    vSocket->abort();
}

void TFcmMaster::PNovoSocket()
{
    if (vSocket) {
        disconnect(vSocket, nullptr, this, nullptr);
        vSocket->abort();
        vSocket->deleteLater(); // we may be inside one of its signals
    }
    vSocket = new QLocalSocket(this);
    connect(vSocket, &QLocalSocket::readyRead, this, &TFcmMaster::PLeDisponivel);
    connect(vSocket, &QLocalSocket::disconnected, this, &TFcmMaster::PAgendaReconexao);
}

void TFcmMaster::PAgendaReconexao()
{
    // The first attempt comes at once: a server that died is started again
    // before the pumps notice.
    if (vAssinado && !vReconexao->isActive())
        vReconexao->start(cTempoLimiteReconexaoMs);
}

void TFcmMaster::PReconecta()
{
    if (vEmChamada || vSocket->state() == QLocalSocket::ConnectedState)
        return;
    try {
        if (FTentaConectarSemEsperar()) {
            PRestabelece(cTempoLimiteReconexaoMs);
            PAssina(cTempoLimiteReconexaoMs);
            vEsperaReconexaoMs = cIntervaloReconexaoMs;
            vTentativasRapidas = 0;
            return;
        }
    } catch (const EErro&) {
        // the component is not back yet, or not answering: try later
    }
    if (vTentativasRapidas > 0) {
        --vTentativasRapidas;
        vReconexao->start(cTempoLimiteReconexaoMs);
        return;
    }
    // A server that cannot start, or dies at once, is tried less and less
    // often, never holding the window for long.
    vReconexao->start(vEsperaReconexaoMs);
    vEsperaReconexaoMs = std::min(vEsperaReconexaoMs * 2, cIntervaloReconexaoMaximoMs);
}

// One short attempt; starts the server when none answers.
bool TFcmMaster::FTentaConectarSemEsperar()
{
    vLeitor.PLimpa();
    PNovoSocket();
    vSocket->connectToServer(ProtocoloFcm::FCaminhoSocket(TDiretorioPrograma::FCaminho()));
    if (vSocket->waitForConnected(cTempoLimiteReconexaoMs / 2))
        return true;
    if (vTentativasRapidas == 0) {
        PIniciaServidor();
        vTentativasRapidas = 10;
    }
    return false;
}

void TFcmMaster::PDefineProtecao(TProtecao pProtecao)
{
    vProtecao = std::move(pProtecao);
}

void TFcmMaster::PDefinePrograma(const QString& pCaminho)
{
    vPrograma = pCaminho;
}

QString TFcmMaster::FPrograma()
{
    return vPrograma.isEmpty() ? TDiretorioPrograma::FDiretorioExecutavel() + cComponente : vPrograma;
}

// --- methods -------------------------------------------------------------

int TFcmMaster::FcmOpen(quint8 device)
{
    const int codigo = FCodigo(QStringLiteral("FcmOpen"), FArgs({device}));
    if (codigo == 1 && std::find(vDispositivos.begin(), vDispositivos.end(), device) == vDispositivos.end())
        vDispositivos.push_back(device);
    return codigo;
}

QVariant TFcmMaster::FcmClose()
{
    const QVariant resultado =
        FChamaMetodo(QStringLiteral("FcmClose"), {}).value(QStringLiteral("resultado")).toVariant();
    vDispositivos.clear();
    vConfiguracao.clear();
    return resultado;
}

int TFcmMaster::FcmSetNumSlaves(quint8 NumeroDeSlaves)
{
    const QJsonArray args = FArgs({NumeroDeSlaves});
    return FLembra(FCodigo(QStringLiteral("FcmSetNumSlaves"), args), QStringLiteral("FcmSetNumSlaves"), args);
}

int TFcmMaster::FcmConfiguraSlave(quint8 sl, quint8 NumeroDeBombas)
{
    const QJsonArray args = FArgs({sl, NumeroDeBombas});
    return FLembra(FCodigo(QStringLiteral("FcmConfiguraSlave"), args), QStringLiteral("FcmConfiguraSlave"), args);
}

// The latest successful configuration of each slave is what a new server
// must be told again.
int TFcmMaster::FLembra(int pCodigo, const QString& pMetodo, const QJsonArray& pArgs)
{
    if (pCodigo != 1)
        return pCodigo;
    const auto mesmo = [&](const QPair<QString, QJsonArray>& c) {
        return c.first == pMetodo && (pArgs.isEmpty() || pMetodo == QLatin1String("FcmSetNumSlaves") ||
                                      c.second.first() == pArgs.first());
    };
    vConfiguracao.erase(std::remove_if(vConfiguracao.begin(), vConfiguracao.end(), mesmo), vConfiguracao.end());
    vConfiguracao.emplace_back(pMetodo, pArgs);
    return pCodigo;
}

int TFcmMaster::FcmTrocaPreco(quint8 sl, quint8 bo, quint8 bi, int preco, quint8 cd)
{
    return FCodigo(QStringLiteral("FcmTrocaPreco"), FArgs({sl, bo, bi, preco, cd}));
}

int TFcmMaster::FcmAutorizaAbastecimento(quint8 sl, quint8 bo, quint8 bi)
{
    return FCodigo(QStringLiteral("FcmAutorizaAbastecimento"), FArgs({sl, bo, bi}));
}

int TFcmMaster::FcmProgramaPrePago(quint8 sl, quint8 bo, quint8 bi, int vol, quint8& cd)
{
    const QJsonObject resposta = FChamaMetodo(QStringLiteral("FcmProgramaPrePago"), FArgs({sl, bo, bi, vol, cd}));
    const QJsonArray ref = resposta.value(QStringLiteral("ref")).toArray();
    if (!ref.isEmpty())
        cd = FConverte<quint8>(ref.first().toInteger());
    return FConverte<int>(resposta.value(QStringLiteral("resultado")).toInteger());
}

int TFcmMaster::FcmTravaBomba(quint8 sl, quint8 bo)
{
    return FCodigo(QStringLiteral("FcmTravaBomba"), FArgs({sl, bo}));
}

int TFcmMaster::FcmDesTravaBomba(quint8 sl, quint8 bo)
{
    return FCodigo(QStringLiteral("FcmDesTravaBomba"), FArgs({sl, bo}));
}

int TFcmMaster::FcmSolicitaPrecoPorLitro(quint8 sl, quint8 bo, quint8 bi)
{
    return FCodigo(QStringLiteral("FcmSolicitaPrecoPorLitro"), FArgs({sl, bo, bi}));
}

int TFcmMaster::FcmSolicitaUltimoAbastecimento(quint8 sl, quint8 bo, quint8 bi)
{
    return FCodigo(QStringLiteral("FcmSolicitaUltimoAbastecimento"), FArgs({sl, bo, bi}));
}

int TFcmMaster::FcmSolicitaTotalizador(quint8 sl, quint8 bo, quint8 bi)
{
    return FCodigo(QStringLiteral("FcmSolicitaTotalizador"), FArgs({sl, bo, bi}));
}

int TFcmMaster::FcmSolicitaVersaoSlave(quint8 sl)
{
    return FCodigo(QStringLiteral("FcmSolicitaVersaoSlave"), FArgs({sl}));
}

QString TFcmMaster::FcmVersaoDll()
{
    return FChamaMetodo(QStringLiteral("FcmVersaoDll"), {}).value(QStringLiteral("resultado")).toString();
}

int TFcmMaster::FcmVersaoFcmMaster()
{
    return FCodigo(QStringLiteral("FcmVersaoFcmMaster"), {});
}

int TFcmMaster::FcmConfigTotalizador(quint8 sl, quint8 bo, quint8 bi, int tot)
{
    const int codigo = FCodigo(QStringLiteral("FcmConfigTotalizador"), FArgs({sl, bo, bi, tot}));
    if (codigo == 1 && OnTotalizadorConfigurado)
        OnTotalizadorConfigurado(sl, bo, bi, tot);
    return codigo;
}

int TFcmMaster::FcmObtemStatusBomba(quint8 sl, quint8 bo)
{
    return FCodigo(QStringLiteral("FcmObtemStatusBomba"), FArgs({sl, bo}));
}

int TFcmMaster::FcmCmdEspecial(quint8 sl, quint8 bo, quint8 bi, int codigo, int param1, int param2, int param3)
{
    return FCodigo(QStringLiteral("FcmCmdEspecial"), FArgs({sl, bo, bi, codigo, param1, param2, param3}));
}

int TFcmMaster::FcmConfigConcentradorFcm(quint8 Slave, quint8 NumeroDeBombas, quint8 ModoOperacao,
                                         quint8 TipoMsgAbastecimento)
{
    const QJsonArray args = FArgs({Slave, NumeroDeBombas, ModoOperacao, TipoMsgAbastecimento});
    return FLembra(FCodigo(QStringLiteral("FcmConfigConcentradorFcm"), args),
                   QStringLiteral("FcmConfigConcentradorFcm"), args);
}

int TFcmMaster::FCodigo(const QString& pMetodo, const QJsonArray& pArgs)
{
    return FConverte<int>(FChamaMetodo(pMetodo, pArgs).value(QStringLiteral("resultado")).toInteger());
}

QJsonObject TFcmMaster::FChamaMetodo(const QString& pNome, const QJsonArray& pArgs)
{
    QJsonObject pedido{{QStringLiteral("metodo"), pNome}, {QStringLiteral("args"), pArgs}};
    return FTroca(std::move(pedido), pNome, cTempoLimiteMs);
}

QJsonObject TFcmMaster::FEnviaControle(const QString& pVerbo, const QJsonArray& pArgs, int pTempoLimiteMs)
{
    QJsonObject pedido{{QStringLiteral("controle"), pVerbo}, {QStringLiteral("args"), pArgs}};
    return FTroca(std::move(pedido), pVerbo, pTempoLimiteMs);
}

// --- the exchange ----------------------------------------------------------

void TFcmMaster::PFalha(const QString& pTexto)
{
    // Whatever state the connection was left in, the next call starts afresh.
    vSocket->abort();
    vLeitor.PLimpa();
    throw EErro(pTexto);
}

QJsonObject TFcmMaster::FTroca(QJsonObject pPedido, const QString& pNome, int pTempoLimiteMs)
{
    PGaranteConexao();
    const int id = ++vProximoId;
    pPedido.insert(QStringLiteral("id"), id);
    vSocket->write(ProtocoloFcm::FCodifica(pPedido));
    if (!vSocket->flush() && vSocket->state() != QLocalSocket::ConnectedState)
        PFalha(QStringLiteral("A conexão com o componente %1 foi perdida durante %2.").arg(cComponente, pNome));
    return FAguardaResposta(id, pNome, pTempoLimiteMs);
}

QJsonObject TFcmMaster::FAguardaResposta(int pId, const QString& pNome, int pTempoLimiteMs)
{
    // No event loop runs while a call waits: events that arrive meanwhile are
    // kept and delivered once the caller has its answer.
    vEmChamada = true;
    const struct TFimDaChamada {
        TFcmMaster* vBinding;
        ~TFimDaChamada()
        {
            vBinding->vEmChamada = false;
            vBinding->PAgendaEntrega();
        }
    } fim{this};
    const QDeadlineTimer prazo(pTempoLimiteMs);
    QJsonObject resposta;
    for (;;) {
        while (const auto linha = vLeitor.FProxima()) {
            if (FTrataLinha(*linha, pId, resposta))
                return resposta;
        }
        if (vLeitor.FExcedeu())
            PFalha(QStringLiteral("Mensagem inválida do componente %1 durante %2.").arg(cComponente, pNome));
        if (prazo.hasExpired())
            PFalha(QStringLiteral("O componente %1 não respondeu a %2 em %3 segundos.")
                       .arg(cComponente, pNome)
                       .arg(pTempoLimiteMs / 1000.0));
        if (vSocket->bytesAvailable() == 0 && !vSocket->waitForReadyRead(static_cast<int>(prazo.remainingTime())) &&
            vSocket->state() != QLocalSocket::ConnectedState)
            PFalha(QStringLiteral("A conexão com o componente %1 foi perdida durante %2 (%3).")
                       .arg(cComponente, pNome, vSocket->errorString()));
        vLeitor.PAdiciona(vSocket->readAll());
    }
}

// True when the line is the answer to pIdEsperado; events are kept.
bool TFcmMaster::FTrataLinha(const QByteArray& pLinha, int pIdEsperado, QJsonObject& pResposta)
{
    const auto mensagem = ProtocoloFcm::FDecodifica(pLinha);
    if (!mensagem)
        PFalha(QStringLiteral("Mensagem inválida do componente %1.").arg(cComponente));
    if (mensagem->contains(QStringLiteral("evento"))) {
        TEvento evento{mensagem->value(QStringLiteral("evento")).toInt(), {}, {}, false};
        for (const QJsonValue& arg : mensagem->value(QStringLiteral("args")).toArray())
            evento.vArgs.append(arg.toInteger());
        const qint64 entrega = mensagem->value(QStringLiteral("entrega")).toInteger();
        if (entrega > 0)
            evento.vEntrega =
                TEntrega{vInstancia, entrega, mensagem->value(QStringLiteral("base")).toInteger()};
        vPendentes.push_back(std::move(evento));
        return false;
    }
    if (!mensagem->contains(QStringLiteral("id")) && mensagem->contains(QStringLiteral("base"))) {
        // Delivered in its place among the events, never inside a call.
        vPendentes.push_back(TEvento{0, {},
                                     TEntrega{mensagem->value(QStringLiteral("instancia")).toString(), 0,
                                              mensagem->value(QStringLiteral("base")).toInteger()},
                                     true});
        return false;
    }
    if (mensagem->value(QStringLiteral("id")).toInt() != pIdEsperado)
        return false; // an answer to nobody: its caller gave up on it
    if (mensagem->contains(QStringLiteral("erro")))
        throw EErro(QStringLiteral("O componente %1 recusou o pedido: %2")
                        .arg(cComponente, mensagem->value(QStringLiteral("erro")).toString()));
    pResposta = *mensagem;
    return true;
}

void TFcmMaster::PGaranteConexao()
{
    if (vSocket->state() == QLocalSocket::ConnectedState)
        return;
    vLeitor.PLimpa();
    if (!FConecta(0)) {
        PIniciaServidor();
        if (!FConecta(cTempoLimiteMs))
            PFalha(QStringLiteral("O componente %1 foi iniciado mas não aceitou a conexão em %2 segundos.")
                       .arg(cComponente)
                       .arg(cTempoLimiteMs / 1000));
    }
    PRestabelece(cTempoLimiteMs);
    PAssina(cTempoLimiteMs);
}

// A new connection holds no device: the component released them with the
// old one, or is a new server that never knew them. They are opened and
// configured again before events flow, so that the fuelings behind the
// subscription find their slaves configured.
void TFcmMaster::PRestabelece(int pTempoLimiteMs)
{
    const bool novo = vJaConectou;
    vJaConectou = true;
    if (!novo || vDispositivos.empty())
        return;
    QStringList chamadas;
    const auto chama = [&](const QString& pMetodo, const QJsonArray& pArgs) {
        QJsonObject pedido{{QStringLiteral("metodo"), pMetodo}, {QStringLiteral("args"), pArgs}};
        const qint64 codigo = FTroca(std::move(pedido), pMetodo, pTempoLimiteMs).value(QStringLiteral("resultado")).toInteger();
        QStringList args;
        for (const QJsonValue& a : pArgs)
            args.append(QString::number(a.toInteger()));
        chamadas.append(QStringLiteral("%1(%2) = %3").arg(pMetodo, args.join(QStringLiteral(", "))).arg(codigo));
    };
    for (const quint8 dispositivo : vDispositivos)
        chama(QStringLiteral("FcmOpen"), FArgs({dispositivo}));
    for (const auto& [metodo, args] : vConfiguracao)
        chama(metodo, args);
    if (OnConexaoRestabelecida)
        vProtecao([&] {
            OnConexaoRestabelecida(
                QStringLiteral("Conexão com o componente %1 restabelecida: dispositivos abertos e slaves "
                               "configurados novamente.\r")
                    .arg(cComponente) +
                chamadas.join(QLatin1Char('\r')));
        });
}

void TFcmMaster::PAssina(int pTempoLimiteMs)
{
    if (!vAssinaEventos)
        return;
    const QJsonObject resposta = FTroca(QJsonObject{{QStringLiteral("controle"), QStringLiteral("assina")}},
                                        QStringLiteral("assina"), pTempoLimiteMs);
    vInstancia = resposta.value(QStringLiteral("instancia")).toString();
    vAssinado = true;
}

bool TFcmMaster::FConecta(int pTempoMs)
{
    const QString caminho = ProtocoloFcm::FCaminhoSocket(TDiretorioPrograma::FCaminho());
    const QDeadlineTimer prazo(pTempoMs);
    for (;;) {
        PNovoSocket();
        vSocket->connectToServer(caminho);
        if (vSocket->waitForConnected(200))
            return true;
        if (prazo.hasExpired())
            return false;
        QThread::msleep(20);
    }
}

namespace {

// The server outlives this program: it must not inherit its open files. An
// inherited station database keeps the database's lock after this program
// has ended, and the next start cannot open it.
void PNaoHerdarArquivos()
{
    if (::close_range(3, ~0U, CLOSE_RANGE_CLOEXEC) == 0)
        return;
    const QDir descritores(QStringLiteral("/proc/self/fd"));
    for (const QString& nome : descritores.entryList(QDir::Files | QDir::System)) {
        bool numero = false;
        const int fd = nome.toInt(&numero);
        if (numero && fd > 2)
            ::fcntl(fd, F_SETFD, ::fcntl(fd, F_GETFD) | FD_CLOEXEC);
    }
}

} // namespace

void TFcmMaster::PIniciaServidor()
{
    const QString programa = FPrograma();
    if (!QFileInfo(programa).isExecutable())
        PFalha(QStringLiteral("Não foi possível iniciar o componente %1: o programa %2 não foi encontrado.")
                   .arg(cComponente, programa));
    QProcess processo;
    processo.setProgram(programa);
    processo.setArguments({QStringLiteral("--dir"), TDiretorioPrograma::FCaminho()});
    // The server outlives this program; it must not hold its output open.
    processo.setStandardInputFile(QProcess::nullDevice());
    processo.setStandardOutputFile(QProcess::nullDevice());
    processo.setStandardErrorFile(QProcess::nullDevice());
    PNaoHerdarArquivos();
    if (!processo.startDetached())
        PFalha(QStringLiteral("Não foi possível iniciar o componente %1: %2").arg(programa, processo.errorString()));
}

// --- events ----------------------------------------------------------------

void TFcmMaster::PLeDisponivel()
{
    if (vEmChamada)
        return; // the waiting call reads for itself
    PLeSocket();
    // Delivered from a queued call, never from inside this signal: Qt does
    // not raise readyRead again while a handler of it runs, and a callback
    // may keep a modal window open for minutes.
    PAgendaEntrega();
}

void TFcmMaster::PLeSocket()
{
    vLeitor.PAdiciona(vSocket->readAll());
    vProtecao([this] {
        QJsonObject ignorada;
        while (const auto linha = vLeitor.FProxima())
            FTrataLinha(*linha, -1, ignorada);
        if (vLeitor.FExcedeu())
            PFalha(QStringLiteral("Mensagem inválida do componente %1.").arg(cComponente));
    });
}

void TFcmMaster::PAgendaEntrega()
{
    // Lines read by a call after its answer (events sent right behind it)
    // wait in the reader: no further readyRead will announce them.
    if (vEntregaAgendada || (vPendentes.empty() && vSocket->bytesAvailable() == 0 && !vLeitor.FTemLinha()))
        return;
    vEntregaAgendada = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            vEntregaAgendada = false;
            if (vEmChamada)
                return;
            PLeSocket();
            PEntregaPendentes();
        },
        Qt::QueuedConnection);
}

void TFcmMaster::PEntregaPendentes()
{
    // A callback may open a modal window; events that arrive meanwhile are
    // delivered from inside it by a nested call of this loop. A backlog (the
    // fuelings a concentrator kept while nobody listened) is delivered in
    // slices, so that the window repaints and answers keys in between.
    const QDeadlineTimer fatia(cFatiaEntregaMs);
    while (!vPendentes.empty() && !vEmChamada && !fatia.hasExpired() &&
           vAdiadas.size() < static_cast<size_t>(cMaximoAdiadas)) {
        const TEvento evento = std::move(vPendentes.front());
        vPendentes.pop_front();
        // The events behind this one must not wait for a message it may show.
        PAgendaEntrega();
        // Held fuelings are dealt with before anything else happens, so that
        // what the program does keeps the order the events came in.
        if (!evento.vEntrega || evento.vAvisoBase)
            PFechaLote();
        PDespachaEConfirma(evento);
    }
    PFechaLote();
}

void TFcmMaster::PFechaLote()
{
    if (vAdiadas.empty())
        return;
    if (OnLoteEntregue)
        vProtecao([this] { OnLoteEntregue(); });
    // Nobody answered for these: the component delivers them again.
    if (!vAdiadas.empty()) {
        vAdiadas.clear();
        if (!vReentrega->isActive())
            vReentrega->start();
    }
}

bool TFcmMaster::FRetiraAdiada(const TEntrega& pEntrega)
{
    const auto adiada = std::find_if(vAdiadas.begin(), vAdiadas.end(), [&](const TEntrega& e) {
        return e.vInstancia == pEntrega.vInstancia && e.vNumero == pEntrega.vNumero;
    });
    if (adiada == vAdiadas.end())
        return false;
    vAdiadas.erase(adiada);
    return true;
}

void TFcmMaster::PConfirmaEntrega(const TEntrega& pEntrega)
{
    if (FRetiraAdiada(pEntrega))
        PConfirma(pEntrega);
}

void TFcmMaster::PDevolveEntrega(const TEntrega& pEntrega)
{
    if (FRetiraAdiada(pEntrega) && !vReentrega->isActive())
        vReentrega->start();
}

void TFcmMaster::PDespachaEConfirma(const TEvento& pEvento)
{
    if (pEvento.vAvisoBase) {
        if (OnBaseConfirmada)
            vProtecao([&] { OnBaseConfirmada(pEvento.vEntrega->vInstancia, pEvento.vEntrega->vBase); });
        return;
    }
    // A callback that opens a modal window lets later events be delivered
    // from inside it; each sees its own delivery.
    const std::optional<TEntrega> anterior = std::exchange(vEntregaAtual, pEvento.vEntrega);
    const bool devolvidaAnterior = std::exchange(vDevolvida, false);
    const bool adiadaAnterior = std::exchange(vAdiada, false);
    vProtecao([&] { PDespachaEvento(pEvento.vNumero, pEvento.vArgs); });
    const bool devolvida = std::exchange(vDevolvida, devolvidaAnterior);
    const bool adiada = std::exchange(vAdiada, adiadaAnterior);
    vEntregaAtual = anterior;
    if (!devolvida && adiada && pEvento.vEntrega)
        vAdiadas.push_back(*pEvento.vEntrega);
    else if (!devolvida && pEvento.vEntrega)
        PConfirma(*pEvento.vEntrega);
    else if (pEvento.vEntrega && !vReentrega->isActive())
        vReentrega->start();
}

// A fueling given back waits in the component for the next subscription;
// while the connection lives, subscribing again asks for it (and for any
// other not yet acknowledged, which the journal recognises).
void TFcmMaster::PPedeReentrega()
{
    if (vEmChamada || vSocket->state() != QLocalSocket::ConnectedState) {
        vReentrega->start();
        return;
    }
    try {
        PAssina(cTempoLimiteReconexaoMs);
    } catch (const EErro&) {
        // the connection is being made again, which subscribes anew
    }
}

void TFcmMaster::PConfirma(const TEntrega& pEntrega)
{
    // A number means something only to the numbering it came from: after a
    // component that lost its memory it would name another fueling. Not
    // acknowledged, the fueling comes again and the journal knows it.
    if (vSocket->state() != QLocalSocket::ConnectedState || pEntrega.vInstancia != vInstancia)
        return;
    vSocket->write(ProtocoloFcm::FCodifica(QJsonObject{{QStringLiteral("confirma"), pEntrega.vNumero}}));
    vSocket->flush();
}

template <typename... T>
void TFcmMaster::PInvoca(const std::function<void(QObject*, T...)>& pCallback, const QList<qint64>& pArgs)
{
    if (!pCallback)
        return;
    [&]<size_t... I>(std::index_sequence<I...>) {
        pCallback(this, FConverte<T>(FArg(pArgs, I))...);
    }(std::index_sequence_for<T...>{});
}

void TFcmMaster::PDespachaEvento(int pNumero, const QList<qint64>& pArgs)
{
    switch (pNumero) {
    case 1: return PInvoca(OnMudancaDeEstado, pArgs);
    case 2: return PInvoca(OnTotalizador, pArgs);
    case 3: return PInvoca(OnVolume, pArgs);
    case 4: return PInvoca(OnPrecoPorLitro, pArgs);
    case 5: return PInvoca(OnAbasteceu, pArgs);
    case 6: return PInvoca(OnVersaoFcmSlave, pArgs);
    case 7: return PInvoca(OnErroDLL, pArgs);
    case 8: return PInvoca(OnAbasteceuOff, pArgs);
    case 9: return PInvoca(OnEventoFcmSlave, pArgs);
    case 10: return PInvoca(OnRetornoEspecial, pArgs);
    case 11: return PInvoca(OnAbasteceu2, pArgs);
    default: return;
    }
}
