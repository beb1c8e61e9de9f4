#include "UExecutorBanco.h"

#include "UAplicacao.h"
#include "UBancoDados.h"
#include "UCapturaAbastecimento.h"
#include "UEncerrantes.h"
#include "UErro.h"
#include "UGenerico.h"

#include <QCoreApplication>

#include <algorithm>
#include <future>

// A failure is shown on the main thread, where the operator is; the
// executor goes on meanwhile. One not shown yet when the executor ends is
// dropped with it.
void TExecutorBanco::PMostraNaJanela(const std::exception_ptr& pErro)
{
    QMetaObject::invokeMethod(vNaJanela.get(), [pErro] { TAplicacao::PMostraErro(pErro); }, Qt::QueuedConnection);
}

QString TExecutorBanco::TStatus::FCodigo() const
{
    return vBomba ? TGenerico::FCompletaZero(vTanque, 2) + TGenerico::FCompletaZero(vNumBomba, 2)
                  : TBancoDados::FCodigoConcentrador(vTanque, vNumBomba, vBico);
}

// Whether writing this letter writes every row pOutro would.
bool TExecutorBanco::TStatus::FCobre(const TStatus& pOutro) const
{
    if (vTanque != pOutro.vTanque || vNumBomba != pOutro.vNumBomba)
        return false;
    return vBomba || (!pOutro.vBomba && vBico == pOutro.vBico);
}

TExecutorBanco::TExecutorBanco(TCapturaAbastecimento& pCaptura, const TDadosConexao& pDados, TEncerrantes* pEncerrantes)
    : vCaptura(pCaptura), vBanco(std::make_unique<TBancoDados>(pDados)), vNaLinha(std::make_unique<QObject>()),
      vNaJanela(std::make_unique<QObject>()), vEncerrantes(pEncerrantes)
{
    vGravaEncerrantes = new QTimer(vNaLinha.get());
    vGravaEncerrantes->setSingleShot(true);
    vGravaEncerrantes->setInterval(cEsperaEncerrantesMs);
    QObject::connect(vGravaEncerrantes, &QTimer::timeout, vNaLinha.get(), [this] { PGravaEncerrantes(); });
    vLinha.setObjectName(QStringLiteral("ExecutorBanco"));
    vRepeteCaptura = new QTimer(vNaLinha.get());
    vRepeteCaptura->setSingleShot(true);
    vRepeteCaptura->setInterval(cNovaTentativaMs);
    QObject::connect(vRepeteCaptura, &QTimer::timeout, vNaLinha.get(), [this] { PTrataCaptura(true); });
    vRepeteStatus = new QTimer(vNaLinha.get());
    vRepeteStatus->setSingleShot(true);
    vRepeteStatus->setInterval(cNovaTentativaMs);
    QObject::connect(vRepeteStatus, &QTimer::timeout, vNaLinha.get(), [this] { PTrataStatus(); });
    vNaLinha->moveToThread(&vLinha);
    vLinha.start();
}

TExecutorBanco::~TExecutorBanco()
{
    QThread* const principal = QThread::currentThread();
    // Behind what is queued: the letters and fuelings handed over last
    // still get their turn. The attachment ends on the thread that used it.
    QMetaObject::invokeMethod(vNaLinha.get(), [this, principal] {
        vRepeteCaptura->stop();
        vRepeteStatus->stop();
        vGravaEncerrantes->stop();
        PGravaEncerrantes();
        const std::lock_guard trava(vTravaBanco);
        vBanco.reset();
        vNaLinha->moveToThread(principal);
        vLinha.quit();
    }, Qt::QueuedConnection);
    constexpr int cEsperaFimMs = 3000;
    if (!vLinha.wait(cEsperaFimMs)) {
        vEncerrando = true;
        {
            const std::lock_guard trava(vTravaBanco);
            if (vBanco)
                vBanco->PAbandona();
        }
        vLinha.wait();
    }
}

void TExecutorBanco::PNaLinha(std::function<void()> pAcao)
{
    QMetaObject::invokeMethod(
        vNaLinha.get(),
        [this, acao = std::move(pAcao)] {
            if (!vEncerrando)
                acao();
        },
        Qt::QueuedConnection);
}

void TExecutorBanco::PReprocessaPendentes()
{
    PNaLinha([this] {
        PAtualizaEncerrantes();
        try {
            vCaptura.PReprocessaPendentes();
        } catch (...) {
            PMostraNaJanela(std::current_exception());
        }
        PTrataCaptura(true);
    });
}

void TExecutorBanco::PCapturaPendentes()
{
    PNaLinha([this] { PTrataCaptura(false); });
}

void TExecutorBanco::PExecutaAguardando(const std::function<void()>& pAcao)
{
    std::promise<void> fim;
    std::future<void> resultado = fim.get_future();
    PNaLinha([&] {
        try {
            pAcao();
            fim.set_value();
        } catch (...) {
            fim.set_exception(std::current_exception());
        }
    });
    resultado.get();
}

// On vLinha.
void TExecutorBanco::PTrataCaptura(bool pRepeticao)
{
    if (vEncerrando)
        return;
    PAtualizaEncerrantes();
    try {
        vCaptura.PCapturaPendentes(pRepeticao);
    } catch (...) {
        PMostraNaJanela(std::current_exception());
    }
    if (vCaptura.FTemPendentes())
        vRepeteCaptura->start();
    else
        vRepeteCaptura->stop();
    if (vEncerrantes && vEncerrantes->FAlterado() && !vGravaEncerrantes->isActive())
        vGravaEncerrantes->start();
}

// --- the nozzles' totalisers ------------------------------------------------------

// On vLinha, before the first capture: the fuelings stored since the file
// was last written (those a crash kept from it) move the bases on. A
// database that does not answer now is asked again before the next capture.
void TExecutorBanco::PAtualizaEncerrantes()
{
    if (!vEncerrantes || vEncerrantesAtualizados)
        return;
    try {
        // The file knows where it stopped: only what came after. Without
        // one (a first start) each nozzle's first fueling gives its base:
        // finding the last reading of every nozzle in a long day would sort
        // the whole day in the database's memory.
        const auto ultima = vEncerrantes->FUltima();
        if (!ultima) {
            vEncerrantesAtualizados = true;
            return;
        }
        const TResultadoSql linhas =
            vBanco->FEncerrantesDepois(vEncerrantes->FDesde(), ultima->first, ultima->second);
        std::vector<TEncerrantes::TLinha> guardadas;
        guardadas.reserve(static_cast<size_t>(linhas.Linhas()));
        const auto milesimos = [&](int i, const QString& pColuna) {
            return qRound64(linhas.FTexto(i, pColuna).toDouble() * 1000.0);
        };
        for (int i = 0; i < linhas.Linhas(); ++i) {
            guardadas.push_back({linhas.FTexto(i, QStringLiteral("codconcentrador")),
                                 milesimos(i, QStringLiteral("encerrantefinal")), milesimos(i, QStringLiteral("litragem")),
                                 linhas.FInteiro(i, QStringLiteral("sequencia")), linhas.FInteiro(i, QStringLiteral("id"))});
        }
        vEncerrantes->PAtualiza(guardadas);
        vEncerrantesAtualizados = true;
    } catch (const EErro&) {
        // the captures go on; the bases are brought up to date next time
    }
}

void TExecutorBanco::PNovoEncerrante(const QString& pCodigo, const TEncerrantes::TValor& pValor, bool pDefinido)
{
    PNaLinha([this, pCodigo, pValor, pDefinido] {
        if (!vEncerrantes)
            return;
        try {
            if (pDefinido)
                vEncerrantes->PDefinido(pCodigo, pValor);
            else
                vEncerrantes->PLeitura(pCodigo, pValor);
        } catch (const EErro&) {
            // the log could not take the entry; the base is set all the same
        }
        if (!vGravaEncerrantes->isActive())
            vGravaEncerrantes->start();
    });
}

// On vLinha. A file that cannot be written is tried again at the next
// change; meanwhile the stored fuelings still hold every base it lacks.
void TExecutorBanco::PGravaEncerrantes()
{
    if (!vEncerrantes)
        return;
    try {
        vEncerrantes->PGrava();
    } catch (const EErro&) {
    }
}

// --- status letters --------------------------------------------------------------

void TExecutorBanco::PGravaStatus(bool pBomba, const QString& pLetra, int pTanque, int pNumBomba, int pBico)
{
    TStatus novo{pBomba, pLetra, pTanque, pNumBomba, pBico};
    {
        const std::lock_guard trava(vTravaFila);
        // The newest letter of the same rows is the only one worth writing;
        // a letter of the whole pump stays ahead of a newer one of a nozzle.
        for (auto i = vFila.begin(); i != vFila.end();) {
            if (novo.FCobre(*i)) {
                // The rows are still held back: the newer letter's failure
                // was told with the older one's.
                novo.vRetido = novo.vRetido || i->vRetido || i->vTentado;
                novo.vTentado = novo.vTentado || i->vTentado;
                i = vFila.erase(i);
            } else {
                ++i;
            }
        }
        vFila.push_back(novo);
        if (std::exchange(vStatusAgendado, true))
            return;
    }
    PNaLinha([this] { PTrataStatus(); });
}

size_t TExecutorBanco::FStatusPendentes() const
{
    const std::lock_guard trava(vTravaFila);
    return vFila.size();
}

// On vLinha: every letter waiting, oldest first. One whose rows another
// program holds waits for the next turn, and so does any later letter of
// the same rows; the others go on. A database that is not there ends the
// turn: the rest would only wait for it too.
void TExecutorBanco::PTrataStatus()
{
    if (vEncerrando)
        return;
    std::vector<TStatus> fila;
    {
        const std::lock_guard trava(vTravaFila);
        vStatusAgendado = false;
        fila = vFila;
    }
    std::vector<TStatus> retidos;
    bool parar = false;
    for (TStatus& status : fila) {
        const bool atras = std::any_of(retidos.begin(), retidos.end(),
                                       [&](const TStatus& r) { return r.FCobre(status) || status.FCobre(r); });
        const bool gravado = !parar && !atras && FGravaUmStatus(status, parar);
        const std::lock_guard trava(vTravaFila);
        const auto naFila = std::find_if(vFila.begin(), vFila.end(), [&](const TStatus& s) {
            return s.FCodigo() == status.FCodigo() && s.vBomba == status.vBomba && s.vLetra == status.vLetra;
        });
        if (naFila == vFila.end()) {
            // A newer letter replaced it meanwhile; a failure just told is
            // the newer one's too, since its rows are the ones held back.
            for (TStatus& novo : vFila) {
                if (!gravado && status.vTentado && novo.FCobre(status))
                    novo.vTentado = novo.vRetido = true;
            }
            continue;
        }
        if (gravado) {
            if (naFila->vRetido || status.vRetido)
                vGravadosAposFalha.append(status.FCodigo() + QLatin1Char(' ') + status.vLetra);
            vFila.erase(naFila);
            continue;
        }
        naFila->vTentado = naFila->vTentado || status.vTentado;
        naFila->vRetido = naFila->vRetido || status.vTentado;
        retidos.push_back(status);
    }
    PRegistraGravados();
    const std::lock_guard trava(vTravaFila);
    if (!vFila.empty() && !vStatusAgendado)
        vRepeteStatus->start();
}

// False when the letter must wait; pParar when the database is not there.
bool TExecutorBanco::FGravaUmStatus(TStatus& pStatus, bool& pParar)
{
    try {
        vBanco->PAlteraStatusBico(pStatus.vBomba, pStatus.vLetra, pStatus.vTanque, pStatus.vNumBomba, pStatus.vBico);
        return true;
    } catch (const EErro& erro) {
        const auto* falhaBanco = dynamic_cast<const EErroBanco*>(&erro);
        // Refused for good: trying again would be refused again.
        const bool recusa = !falhaBanco || falhaBanco->Recusa();
        pParar = falhaBanco && falhaBanco->ConexaoPerdida();
        if (!pStatus.vTentado || recusa) {
            try {
                TGenerico::PGeraLog(TBancoDados::FTextoFalhaStatus() + QStringLiteral("\rMotivo: ") + erro.Mensagem());
            } catch (const EErro&) {
                // the letter still waits; the log's failure shows elsewhere
            }
        }
        pStatus.vTentado = true;
        return recusa;
    }
}

// One entry once the letters held back by a failure have all landed.
void TExecutorBanco::PRegistraGravados()
{
    QStringList gravados;
    {
        const std::lock_guard trava(vTravaFila);
        const bool aindaRetidos =
            std::any_of(vFila.begin(), vFila.end(), [](const TStatus& s) { return s.vRetido || s.vTentado; });
        if (vGravadosAposFalha.isEmpty() || aindaRetidos)
            return;
        gravados = std::exchange(vGravadosAposFalha, {});
    }
    try {
        TGenerico::PGeraLog(QStringLiteral("Status do bico gravado depois da falha.\rBicos: ") +
                            gravados.join(QStringLiteral(", ")));
    } catch (const EErro&) {
    }
}
