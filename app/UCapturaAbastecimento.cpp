#include "UCapturaAbastecimento.h"

#include "UAbastecimento.h"
#include "UBancoDados.h"
#include "UEncerrantes.h"
#include "UErro.h"
#include "UGenerico.h"
#include "UGravacaoAtomica.h"
#include "ULoteLog.h"
#include "UParametros.h"

#include <QScopeGuard>
#include <QTableView>
#include <QThread>

#include <algorithm>

#include <future>

#include <limits>
#include <set>
#include <utility>

// One fueling event's arguments, in the component's types.
struct TCapturaAbastecimento::TLeitura {
    int vEvento = 0;
    quint8 sl = 0, bo = 0, bi = 0;
    int vol = 0, total = 0, ppl = 0, total_ini = 0;
    quint8 cdvol = 0, cdtot = 0, cdppl = 0, cdtot_ini = 0;
    int hora_min_seg = 0, dia_mes_ano = 0;
    QList<qint64> vBrutos;

    explicit TLeitura(const TDiarioAbastecimentos::TEntrada& pEntrada)
        : vEvento(pEntrada.vEvento), vBrutos(pEntrada.vArgs)
    {
        const auto n = [&](int i) { return static_cast<int>(static_cast<quint32>(pEntrada.vArgs.value(i))); };
        const auto b = [&](int i) { return static_cast<quint8>(pEntrada.vArgs.value(i) & 0xFF); };
        sl = b(0);
        bo = b(1);
        bi = b(2);
        vol = n(3);
        if (vEvento == cAbasteceu2) {
            // total_ini and cdtot_ini (4 and 8) serve the totaliser check only
            total_ini = n(4);
            cdtot_ini = b(8);
            total = n(5);
            ppl = n(6);
            cdvol = b(7);
            cdtot = b(9);
            cdppl = b(10);
            hora_min_seg = n(11);
            dia_mes_ano = n(12);
        } else {
            total = n(4);
            ppl = n(5);
            cdvol = b(6);
            cdtot = b(7);
            cdppl = b(8);
            hora_min_seg = n(9);
            dia_mes_ano = n(10);
        }
    }
};

TCapturaAbastecimento::TCapturaAbastecimento(QTableView* pGrid, const QString& pDiario)
    : vGrid(pGrid), vDiario(pDiario)
{
}

// --- the off-line date and time --------------------------------------------------

QString TCapturaAbastecimento::FTextoData(int pDiaMesAno)
{
    const QString t = TGenerico::FCompletaZero(pDiaMesAno, 6);
    return t.mid(0, 2) + QLatin1Char('/') + t.mid(2, 2) + QLatin1Char('/') + t.mid(4, 2);
}

QString TCapturaAbastecimento::FTextoHora(int pHoraMinSeg)
{
    const QString t = TGenerico::FCompletaZero(pHoraMinSeg, 6);
    return t.mid(0, 2) + QLatin1Char(':') + t.mid(2, 2) + QLatin1Char(':') + t.mid(4, 2);
}

std::optional<QDateTime> TCapturaAbastecimento::FDecodificaDataHora(int pDiaMesAno, int pHoraMinSeg,
                                                                     const QDate& pHoje)
{
    const QString data = TGenerico::FCompletaZero(pDiaMesAno, 6);
    const QString hora = TGenerico::FCompletaZero(pHoraMinSeg, 6);
    const auto FPar = [](const QString& pTexto, int pInicio) {
        bool ok = false;
        const QString par = pTexto.mid(pInicio, 2);
        const int valor = par.toInt(&ok);
        return (ok && par.size() == 2 && par.at(0).isDigit() && par.at(1).isDigit()) ? valor : -1;
    };
    const int dia = FPar(data, 0), mes = FPar(data, 2), ano = FPar(data, 4);
    const int h = FPar(hora, 0), m = FPar(hora, 2), s = FPar(hora, 4);
    if (dia < 0 || mes < 0 || ano < 0 || h < 0 || m < 0 || s < 0)
        return std::nullopt;
    const int inicio = pHoje.year() - 50;
    int anoCompleto = inicio / 100 * 100 + ano;
    if (anoCompleto < inicio)
        anoCompleto += 100;
    const QDate d(anoCompleto, mes, dia);
    const QTime t(h, m, s);
    if (!d.isValid() || !t.isValid())
        return std::nullopt;
    return QDateTime(d, t);
}

// --- the capture -----------------------------------------------------------------

TBancoDados& TCapturaAbastecimento::FBanco() const
{
    if (vBanco)
        return *vBanco;
    if (!BancoDados)
        throw EErro(QStringLiteral("O banco de dados não está disponível: o abastecimento não foi gravado."));
    return *BancoDados;
}

namespace {

std::optional<QPair<int, int>> FSeguinte(const QPair<int, int>& pNumeracao)
{
    // The sequence rises after 9999.
    if (pNumeracao.first == 9999)
        return QPair<int, int>(1, pNumeracao.second + 1);
    if (pNumeracao.first == std::numeric_limits<int>::max())
        return QPair<int, int>(1, pNumeracao.second);
    return QPair<int, int>(pNumeracao.first + 1, pNumeracao.second);
}

} // namespace

void TCapturaAbastecimento::PRegistraRecebidos(const std::vector<TNovo>& pNovos, std::vector<bool>& pRecebidos)
{
    pRecebidos.assign(pNovos.size(), false);
    const std::lock_guard trava(vTravaPrevisao);
    std::vector<TDiarioAbastecimentos::TEntrada> entradas;
    std::vector<size_t> indices;
    std::set<std::pair<QString, qint64>> noLote;
    std::optional<QPair<int, int>> previsao = vPrevisao;
    for (size_t i = 0; i < pNovos.size(); ++i) {
        const TNovo& n = pNovos[i];
        // Delivered again because its acknowledgement never reached the
        // component, or twice in one run (a subscription made again while
        // the first delivery was on its way): captured once.
        if (n.vEntrega && (vDiario.FConhece(*n.vEntrega) || !noLote.insert({n.vEntrega->vInstancia, n.vEntrega->vNumero}).second)) {
            pRecebidos[i] = true;
            continue;
        }
        entradas.push_back({0, n.vMomento, n.vEvento, n.vArgs, previsao, n.vEntrega});
        indices.push_back(i);
        if (previsao)
            previsao = FSeguinte(*previsao);
    }
    vDiario.FRegistraLote(std::move(entradas));
    vPrevisao = previsao;
    for (const size_t i : indices)
        pRecebidos[i] = true;
}

// The numbering afresh, once nothing is pending: the settings file's Id and
// the sequence of the last capture (asked of the database after the wrap).
void TCapturaAbastecimento::PAtualizaPrevisao()
{
    if (vDiario.FTemPendentes())
        return;
    std::optional<QPair<int, int>> previsao;
    try {
        const int id = Parametros->Id();
        if (!vUltimaSequencia || id == 1)
            vUltimaSequencia = FBanco().FRetornaSequencia();
        previsao = QPair<int, int>(id, *vUltimaSequencia);
    } catch (const EErro&) {
        vUltimaSequencia.reset(); // the fuelings go without, each journaling its own attempt
    }
    const std::lock_guard trava(vTravaPrevisao);
    // A fueling journaled meanwhile was numbered by the old guess, and the
    // ones behind it follow on from there.
    if (!vDiario.FTemPendentes())
        vPrevisao = previsao;
}

void TCapturaAbastecimento::PCapturaPendentes(bool pRepeticao)
{
    vRepeticao = pRepeticao;
    const auto fim = qScopeGuard([this] {
        vRepeticao = false;
        PAtualizaPrevisao();
    });
    for (;;) {
        std::vector<TDiarioAbastecimentos::TEntrada> pendentes = vDiario.FPendentes();
        if (pendentes.empty())
            return;
        // An attempt that may have stored its row is looked for first, one
        // at a time; so is a fueling alone, which gains nothing from a group.
        const bool semTentativaReal = std::none_of(pendentes.begin(), pendentes.end(), [](const auto& e) {
            return e.vTentativa && !e.vTentativaPrevista;
        });
        std::vector<TDiarioAbastecimentos::TEntrada> grupo = pendentes;
        if (pendentes.size() < 2 || !semTentativaReal || !FPreveGrupo(grupo))
            return PProcessa(pendentes, {}, nullptr);
        if (!FCapturaGrupo(grupo))
            return;
    }
}

// The group's numbering ahead, from the settings file's Id and the
// database's sequence, for the fuelings journaled without it (a backlog
// that came before the numbering was known), in one synced write: the group
// then costs the journal no trip to the disk per fueling. The group ends at
// the fueling numbered 9999: the sequence rises before the ones behind are
// stored. False when it cannot be done: they go one at a time, each with its
// own failure.
bool TCapturaAbastecimento::FPreveGrupo(std::vector<TDiarioAbastecimentos::TEntrada>& pEntradas)
{
    constexpr size_t cMaximoGrupo = 100;
    if (pEntradas.size() > cMaximoGrupo)
        pEntradas.resize(cMaximoGrupo);
    std::vector<std::pair<qint64, QPair<int, int>>> novas;
    try {
        const bool todasPrevistas = std::all_of(pEntradas.begin(), pEntradas.end(),
                                                [](const auto& e) { return e.vTentativaPrevista; });
        std::optional<QPair<int, int>> numeracao;
        if (!todasPrevistas)
            numeracao = QPair<int, int>(Parametros->Id(), FBanco().FRetornaSequencia());
        size_t tamanho = 0;
        for (auto& e : pEntradas) {
            if (!e.vTentativa) {
                e.vTentativa = numeracao;
                e.vTentativaPrevista = true;
                novas.emplace_back(e.vNumero, *numeracao);
            }
            ++tamanho;
            if (e.vTentativa->first == 9999)
                break;
            if (numeracao)
                numeracao = FSeguinte(*e.vTentativa);
        }
        pEntradas.resize(tamanho);
        vDiario.PPreveTentativas(novas);
    } catch (const EErro&) {
        return false;
    }
    return true;
}

// False when a capture of the group is still pending: the ones behind wait
// for it.
bool TCapturaAbastecimento::FCapturaGrupo(const std::vector<TDiarioAbastecimentos::TEntrada>& pEntradas)
{
    std::exception_ptr erro;
    PCapturaGrupo(pEntradas, erro);
    if (erro)
        std::rethrow_exception(erro);
    return std::none_of(pEntradas.begin(), pEntradas.end(), [this](const auto& e) { return vDiario.FAberta(e.vNumero); });
}

void TCapturaAbastecimento::PRecebe(int pEvento, const QList<qint64>& pArgs,
                                    const std::optional<TDiarioAbastecimentos::TEntrega>& pEntrega, bool& pRecebido)
{
    PRecebe(TNovo{pEvento, pArgs, pEntrega, QDateTime::currentDateTime()}, pRecebido);
}

void TCapturaAbastecimento::PRecebe(const TNovo& pNovo, bool& pRecebido)
{
    // Delivered again because its acknowledgement never reached the
    // component: it is in the journal or stored already.
    if (pNovo.vEntrega && vDiario.FConhece(*pNovo.vEntrega)) {
        pRecebido = true;
        return;
    }
    TDiarioAbastecimentos::TEntrada nova{cAdiada, pNovo.vMomento, pNovo.vEvento, pNovo.vArgs, {}, pNovo.vEntrega};
    std::vector<TDiarioAbastecimentos::TEntrada> entradas = vDiario.FPendentes();
    std::exception_ptr erroDiario;
    if (!entradas.empty()) {
        // Behind fuelings still pending it waits its turn on disk.
        try {
            nova.vNumero = vDiario.FRegistra(nova.vEvento, nova.vArgs, nova.vMomento, nova.vEntrega);
        } catch (const EErro&) {
            erroDiario = std::current_exception(); // the fueling is still captured
            nova.vNumero = cSemDiario;
        }
    }
    entradas.push_back(nova);
    PProcessa(entradas, erroDiario, &pRecebido);
}

void TCapturaAbastecimento::PRecebeLote(const std::vector<TNovo>& pNovos, std::vector<bool>& pRecebidos)
{
    try {
        PRegistraRecebidos(pNovos, pRecebidos);
    } catch (const EErro&) {
        return PRecebeUmAUm(pNovos, pRecebidos); // each where it can, with its own failure
    }
    PCapturaPendentes(false);
}

void TCapturaAbastecimento::PRecebeUmAUm(const std::vector<TNovo>& pNovos, std::vector<bool>& pRecebidos)
{
    pRecebidos.assign(pNovos.size(), false);
    std::exception_ptr erro;
    for (size_t i = 0; i < pNovos.size(); ++i) {
        bool recebido = false;
        try {
            PRecebe(pNovos[i], recebido);
        } catch (const EErro&) {
            if (!erro)
                erro = std::current_exception();
        }
        pRecebidos[i] = recebido;
    }
    if (erro)
        std::rethrow_exception(erro);
}

void TCapturaAbastecimento::PCapturaGrupo(const std::vector<TDiarioAbastecimentos::TEntrada>& pEntradas,
                                          std::exception_ptr& pErro)
{
    TLoteLog log;
    TAdiamentoDiretorios diretorios;
    vEmGrupo = true;
    const auto fim = qScopeGuard([this] {
        vEmGrupo = false;
        vBicosDoGrupo.clear();
        vConclusoesAdiadas.clear();
    });
    try {
        PProcessa(pEntradas, {}, nullptr);
    } catch (const EErro&) {
        if (!pErro)
            pErro = std::current_exception();
    }
    // A capture ends in the journal only once what it rests on is on disk:
    // the renamed Ids' file and its log entry. Were the log to fail, the
    // stored fuelings stay open and are taken up again with the next one,
    // which writes the entries the log lacks.
    diretorios.PConclui();
    try {
        log.PGrava();
        vDiario.PConclui(vConclusoesAdiadas);
    } catch (const EErro&) {
        if (!pErro)
            pErro = std::current_exception();
    }
}

// The registry look-ups of a nozzle; within a group, once per nozzle.
std::optional<TAbastecimento> TCapturaAbastecimento::FDadosBico(const TLeitura& l)
{
    const QString codigo = TBancoDados::FCodigoConcentrador(l.sl, l.bo, l.bi);
    if (vEmGrupo) {
        if (const auto achado = vBicosDoGrupo.find(codigo); achado != vBicosDoGrupo.end())
            return achado->second;
    }
    const std::unique_ptr<TAbastecimento> dados = FBanco().FRetornaDadosBicoCadastrado(l.sl, l.bo, l.bi);
    std::optional<TAbastecimento> resultado;
    if (dados)
        resultado = *dados;
    if (vEmGrupo)
        vBicosDoGrupo[codigo] = resultado;
    return resultado;
}

// A failure after the one shown goes to the log, saying what became of the
// fueling; when the log cannot take it either, that failure is shown
// instead. Either way the loop goes on.
void TCapturaAbastecimento::PRegistraFalha(const TDiarioAbastecimentos::TEntrada& pEntrada, const EErro& pErro,
                                           std::exception_ptr& pErroMostrado) const
{
    // Told already, at the attempt that failed first.
    if (vRepeticao)
        return;
    QString texto;
    if (vConcluida || vGravada)
        texto = QStringLiteral("Abastecimento gravado; ocorreu um erro depois da gravação.");
    else if (dynamic_cast<const ENumeracaoPendente*>(&pErro))
        texto = QStringLiteral("Abastecimento gravado; a numeração fica pendente para nova tentativa.");
    else if (pEntrada.vNumero > 0)
        texto = QStringLiteral("Abastecimento não gravado; fica pendente para nova tentativa.");
    else if (pEntrada.vEntrega)
        texto = QStringLiteral("Abastecimento não gravado; o concentrador o enviará novamente.");
    else
        texto = QStringLiteral("Abastecimento não gravado.");
    try {
        TGenerico::PGeraLog(texto + QStringLiteral("\rMotivo: ") + pErro.Mensagem());
    } catch (const EErro&) {
        if (!pErroMostrado)
            pErroMostrado = std::current_exception();
    }
}

void TCapturaAbastecimento::PReprocessaPendentes()
{
    if (!vDiario.Reparo().isEmpty()) {
        try {
            TGenerico::PGeraLog(vDiario.Reparo());
            vDiario.PReparoRegistrado();
        } catch (const EErro&) {
            // The journal is mended all the same; the log's failure shows at
            // its next entry.
        }
    }
    // A backlog the component delivered while the program was starting is
    // in the journal too: in groups where it can be, as any other.
    PCapturaPendentes(false);
}

void TCapturaAbastecimento::PProcessa(const std::vector<TDiarioAbastecimentos::TEntrada>& pEntradas,
                                      std::exception_ptr pErroDiario, bool* pRecebido)
{
    std::exception_ptr primeiroErro = pErroDiario;
    bool parado = false;
    for (size_t i = 0; i < pEntradas.size(); ++i) {
        TDiarioAbastecimentos::TEntrada entrada = pEntradas[i];
        // A capture that failed part way may have stored its row without
        // moving the numbering on: the ones behind it would take its Id. They
        // wait in the journal, in their order, for the next attempt; only an
        // event the journal could not take is tried at once, as it has
        // nowhere else to wait.
        if (parado && entrada.vNumero > 0)
            continue;
        vConcluida = false;
        vGravada = false;
        vErroDiario = nullptr;
        try {
            FCaptura(entrada);
            vFalhaMostrada = false;
        } catch (const EErro& erro) {
            if (!primeiroErro && !vFalhaMostrada)
                primeiroErro = std::current_exception();
            else
                PRegistraFalha(entrada, erro, primeiroErro);
            // A row stored with its numbering moved on holds nobody up, even
            // if its log entry failed: the ones behind cannot take its Id.
            parado = parado || !(vConcluida || vGravada);
        }
        if (vErroDiario && !primeiroErro)
            primeiroErro = vErroDiario;
        // The event being received: an event the journal holds is received
        // whatever fails next; one it could not take only once it has ended.
        if (pRecebido && i + 1 == pEntradas.size())
            *pRecebido = entrada.vNumero > 0 || vConcluida || vGravada;
    }
    if (primeiroErro) {
        vFalhaMostrada = true;
        std::rethrow_exception(primeiroErro);
    }
}

TCapturaAbastecimento::TFim TCapturaAbastecimento::FCaptura(TDiarioAbastecimentos::TEntrada& pEntrada)
{
    const TLeitura l(pEntrada);
    std::unique_ptr<TAbastecimento> abastecimento;
    QDateTime momento = pEntrada.vMomento;
    try {
        const std::optional<TAbastecimento> dados = FDadosBico(l);
        if (!dados) {
            PConclui(pEntrada);
            PConfereEncerrante(l, std::nullopt);
            return TFim::Descartado;
        }
        if (l.vEvento != cAbasteceu) {
            // A date of 0 is no fueling (the pump window's test call sends
            // zeros); a time of 0 is a fueling made at midnight.
            const auto decodificado = FDecodificaDataHora(l.dia_mes_ano, l.hora_min_seg, QDate::currentDate());
            if (l.dia_mes_ano == 0 || !decodificado) {
                if (l.dia_mes_ano != 0)
                    PRegistraDataInvalida(l);
                PConclui(pEntrada);
                PConfereEncerrante(l, std::nullopt);
                return TFim::Descartado;
            }
            momento = *decodificado;
        }
        abastecimento = std::make_unique<TAbastecimento>(*dados);
    } catch (const EErro&) {
        PRegistraAdiada(pEntrada); // it waits in the journal for the next attempt
        throw;
    }
    abastecimento->SetLitragem(TGenerico::FRetornaCasasDecimais(l.cdvol, l.vol));
    abastecimento->SetEncerrantefinal(TGenerico::FRetornaCasasDecimais(l.cdtot, l.total));
    abastecimento->SetPrecounit(TGenerico::FRetornaCasasDecimais(l.cdppl, l.ppl));
    abastecimento->SetValor(TGenerico::FArredondaValor(abastecimento->Precounit() * abastecimento->Litragem()));
    abastecimento->SetDataHora(momento);
    if (FJaGravado(pEntrada, *abastecimento)) {
        PRegistraRetomada(pEntrada, FTextoLog(l, *abastecimento));
        PConfereEncerrante(l, QPair<int, int>(abastecimento->Sequencia(), abastecimento->Id()));
        PRecarregaGrade();
        return TFim::Gravado;
    }
    abastecimento->SetId(Parametros->Id());
    PRegistraTentativa(pEntrada, abastecimento->Id(), abastecimento->Sequencia());
    vUltimaSequencia = abastecimento->Sequencia();
    // A failure that may pass raises and leaves the capture pending; a
    // refusal for good has been logged with its reason and its Id is used
    // up: retrying would only be refused again, so it ends here.
    // The next Id is written beside the settings file while the insert
    // runs; it replaces the file only once the insert has ended.
    auto numeracao = std::async(std::launch::async,
                                [id = abastecimento->Id()] { return TBancoDados::FPreparaNumeracao(id); });
    const bool gravado = FBanco().FInsereAbastecimento(*abastecimento);
    const QString texto = FTextoLog(l, *abastecimento);
    // The entry goes to disk while the numbering moves on: a crash between
    // the two leaves the capture open, and the capture taken up again does
    // not write an entry the log already holds.
    std::shared_future<void> entrada;
    if (gravado)
        entrada = TGenerico::FGeraLogEmParalelo(texto);
    try {
        // The Id is used up whether or not the row went in.
        FBanco().PAvancaNumeracao(abastecimento->Id(), numeracao.get());
    } catch (const EErro&) {
        if (entrada.valid())
            entrada.wait();
        throw;
    }
    if (gravado) {
        // Ended only once its entry is in the log, as a capture taken up again
        // does (PRegistraRetomada).
        vGravada = true;
        entrada.get();
        PConclui(pEntrada);
    } else {
        // A refusal leaves no row for a retry to find: were its end lost to a
        // power cut, the start-up would insert it again under a new Id, to be
        // refused again. Refusals are rare; the sync costs nothing else.
        PConclui(pEntrada, true);
        TGenerico::PGeraLog(texto);
    }
    PConfereEncerrante(l, gravado ? std::optional(QPair<int, int>(abastecimento->Sequencia(), abastecimento->Id()))
                                  : std::nullopt);
    PRecarregaGrade();
    return gravado ? TFim::Gravado : TFim::Recusado;
}

// An event not in the journal yet goes there when its capture must wait.
void TCapturaAbastecimento::PRegistraAdiada(TDiarioAbastecimentos::TEntrada& pEntrada)
{
    if (pEntrada.vNumero != cAdiada)
        return;
    try {
        pEntrada.vNumero = vDiario.FRegistra(pEntrada.vEvento, pEntrada.vArgs, pEntrada.vMomento, pEntrada.vEntrega);
    } catch (const EErro&) {
        pEntrada.vNumero = cSemDiario; // the failure already under way is the one shown
    }
}

// On disk before the insert: after a crash, the retry must know that a row
// may already be there.
void TCapturaAbastecimento::PRegistraTentativa(TDiarioAbastecimentos::TEntrada& pEntrada, int pId, int pSequencia)
{
    if (pEntrada.vNumero > 0 && pEntrada.vTentativaPrevista && pEntrada.vTentativa == QPair<int, int>(pId, pSequencia))
        return vDiario.PUsaTentativaPrevista(pEntrada.vNumero);
    if (pEntrada.vNumero > 0)
        return vDiario.PTentativa(pEntrada.vNumero, pId, pSequencia);
    if (pEntrada.vNumero != cAdiada)
        return;
    try {
        pEntrada.vNumero = vDiario.FRegistraComTentativa(pEntrada.vEvento, pEntrada.vArgs, pEntrada.vMomento,
                                                         pEntrada.vEntrega, pId, pSequencia);
    } catch (const EErro&) {
        // The fueling is still stored; the operator learns the journal failed.
        vErroDiario = std::current_exception();
        pEntrada.vNumero = cSemDiario;
    }
}

// An earlier attempt died between its insert and the end of its capture:
// its row may be there, with its numbering.
bool TCapturaAbastecimento::FJaGravado(const TDiarioAbastecimentos::TEntrada& pEntrada, TAbastecimento& pAbastecimento)
{
    if (!pEntrada.vTentativa || pEntrada.vTentativaPrevista)
        return false;
    const int sequencia = pAbastecimento.Sequencia();
    pAbastecimento.SetId(pEntrada.vTentativa->first);
    pAbastecimento.SetSequencia(pEntrada.vTentativa->second);
    if (!FBanco().FExisteAbastecimento(pAbastecimento)) {
        pAbastecimento.SetSequencia(sequencia);
        return false;
    }
    // The numbering may not have moved past it before the program died.
    if (Parametros->Id() == pEntrada.vTentativa->first)
        FBanco().PRetomaNumeracao(pEntrada.vTentativa->first, pEntrada.vTentativa->second);
    return true;
}

void TCapturaAbastecimento::PConclui(const TDiarioAbastecimentos::TEntrada& pEntrada, bool pSincroniza)
{
    // From here on the fueling is dealt with, even if the journal cannot
    // say so: a retry finds its row.
    vConcluida = true;
    if (pEntrada.vNumero <= 0)
        return;
    // In a group the end waits for the group's log entries and Ids.
    if (vEmGrupo && !pSincroniza)
        vConclusoesAdiadas.push_back(pEntrada.vNumero);
    else
        vDiario.PConclui(pEntrada.vNumero, pSincroniza);
}

// A stored fueling ends in the journal only once its log entry is written:
// a crash between the two loses neither, as the capture taken up again finds
// the row, and writes the entry only when the log does not hold it yet. (The
// end of a capture is not synced; had it come first, a cut could keep it and
// lose the entry, or lose it and have the entry written twice.)
void TCapturaAbastecimento::PRegistraRetomada(const TDiarioAbastecimentos::TEntrada& pEntrada, const QString& pTexto)
{
    vGravada = true;
    if (!FJaNoLog(pEntrada, pTexto))
        TGenerico::PGeraLog(pTexto);
    PConclui(pEntrada);
}

// The attempt that died wrote to the log of its own day, between the event's
// arrival and now.
bool TCapturaAbastecimento::FJaNoLog(const TDiarioAbastecimentos::TEntrada& pEntrada, const QString& pTexto)
{
    const QDate hoje = QDate::currentDate();
    for (QDate dia = std::max(pEntrada.vMomento.date(), hoje.addDays(-31)); dia <= hoje; dia = dia.addDays(1)) {
        if (TGenerico::FTemEntradaNoLog(dia, pTexto))
            return true;
    }
    return false;
}

// Litres that left the pump without a fueling are told in the log; the
// check never holds a fueling back, whatever it meets.
void TCapturaAbastecimento::PConfereEncerrante(const TLeitura& l, const std::optional<QPair<int, int>>& pNumeracao)
{
    if (!vEncerrantes)
        return;
    const auto fim = TEncerrantes::FValor(l.total, l.cdtot);
    const auto volume = TEncerrantes::FValor(l.vol, l.cdvol);
    if (!fim || !volume)
        return;
    std::optional<TEncerrantes::TValor> inicio;
    if (l.vEvento == cAbasteceu2)
        inicio = TEncerrantes::FValor(l.total_ini, l.cdtot_ini);
    else
        inicio = TEncerrantes::TValor{fim->vMilesimos - volume->vMilesimos, fim->vUnidade + volume->vUnidade};
    if (!inicio)
        return;
    try {
        vEncerrantes->PAbastecimento(TBancoDados::FCodigoConcentrador(l.sl, l.bo, l.bi), *inicio, *fim, pNumeracao);
    } catch (const EErro&) {
        // the log could not take the entry; the base has moved on all the same
    }
}

void TCapturaAbastecimento::PRecarregaGrade()
{
    // The grid and its refresher live on the main thread, with the program's
    // one database object.
    if (!vGrid)
        return;
    if (QThread::currentThread() == vGrid->thread()) {
        if (BancoDados)
            BancoDados->PSolicitaAtualizacaoGrid(vGrid);
        return;
    }
    QMetaObject::invokeMethod(
        vGrid,
        [grid = vGrid] {
            if (BancoDados)
                BancoDados->PSolicitaAtualizacaoGrid(grid);
        },
        Qt::QueuedConnection);
}

QString TCapturaAbastecimento::FTextoLog(const TLeitura& l, const TAbastecimento& a)
{
    const QChar cr = QLatin1Char('\r');
    QString dataHora;
    if (l.vEvento == cAbasteceu)
        dataHora = QStringLiteral("Data: ") + TGenerico::FFormataData(a.DataHora().date()) + cr +
                   QStringLiteral("Hora: ") + TGenerico::FFormataHora(a.DataHora().time());
    else
        dataHora = QStringLiteral("Data: ") + FTextoData(l.dia_mes_ano) + QStringLiteral(" Hora: ") +
                   FTextoHora(l.hora_min_seg);
    return QStringLiteral("Sl: ") + TGenerico::FCompletaZero(l.sl, 2) + cr + QStringLiteral("Bo: ") +
           TGenerico::FCompletaZero(l.bo, 2) + cr + QStringLiteral("Bi: ") + TGenerico::FCompletaZero(l.bi, 2) + cr +
           QStringLiteral("CodBico: ") + a.Codbico() + cr + QStringLiteral("Litragem: ") +
           TGenerico::FFormataNumero(a.Litragem(), 3) + cr + QStringLiteral("Preço Unitário: ") +
           TGenerico::FFormataNumero(a.Precounit(), 3) + cr + QStringLiteral("Valor: ") +
           TGenerico::FFormataNumero(a.Valor(), 2) + cr + dataHora + cr + QStringLiteral("Id: ") +
           QString::number(a.Id()) + cr + QStringLiteral("Sequencia: ") + QString::number(a.Sequencia());
}

void TCapturaAbastecimento::PRegistraDataInvalida(const TLeitura& l)
{
    // Kept out of the database, but never out of sight: the raw values let
    // an operator enter the sale by hand.
    QStringList brutos;
    for (const qint64 a : l.vBrutos)
        brutos.append(QString::number(a));
    TGenerico::PGeraLog(QStringLiteral("Abastecimento com data ou hora inválida, não gravado no banco de dados.\r") +
                        QStringLiteral("Evento: %1\r").arg(l.vEvento == cAbasteceu2 ? QStringLiteral("OnAbasteceu2")
                                                                                    : QStringLiteral("OnAbasteceuOff")) +
                        QStringLiteral("Sl: %1\rBo: %2\rBi: %3\r")
                            .arg(TGenerico::FCompletaZero(l.sl, 2), TGenerico::FCompletaZero(l.bo, 2),
                                 TGenerico::FCompletaZero(l.bi, 2)) +
                        QStringLiteral("dia_mes_ano: %1\rhora_min_seg: %2\r").arg(l.dia_mes_ano).arg(l.hora_min_seg) +
                        QStringLiteral("Argumentos: ") + brutos.join(QLatin1Char(' ')));
}
