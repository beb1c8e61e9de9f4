#pragma once

#include "UAbastecimento.h"
#include "UDiarioAbastecimentos.h"

#include <QDateTime>
#include <QList>

#include <map>
#include <memory>
#include <mutex>
#include <optional>

class QTableView;
class EErro;
class TBancoDados;
class TEncerrantes;

// The capture of one fueling: registry look-up, decimal scaling, value,
// stamp, numbering, store, grid reload, log entry. Every event goes through
// the journal first; one whose capture fails stays there and is captured
// again before the next event and at start-up, never stored twice.
class TCapturaAbastecimento {
public:
    // Event numbers of the three fueling events.
    static constexpr int cAbasteceu = 5;
    static constexpr int cAbasteceuOff = 8;
    static constexpr int cAbasteceu2 = 11;

    TCapturaAbastecimento(QTableView* pGrid, const QString& pDiario);

    // The door the captures go through; the program's one database object
    // until told otherwise.
    void PDefineBanco(TBancoDados* pBanco) { vBanco = pBanco; }
    // The nozzles' last totalisers, checked against every fueling; none
    // until told.
    void PDefineEncerrantes(TEncerrantes* pEncerrantes) { vEncerrantes = pEncerrantes; }

    // A fueling event as it arrived, not yet captured.
    struct TNovo {
        int vEvento = 0;
        QList<qint64> vArgs;
        std::optional<TDiarioAbastecimentos::TEntrega> vEntrega;
        QDateTime vMomento = QDateTime::currentDateTime();
    };

    // A fueling event with its raw arguments, as the component delivered them,
    // with the component's numbering when it has one: a delivery taken
    // already is not captured again. pRecebido ends false when the fueling
    // is neither in the journal nor stored: the component must deliver it
    // again. Raises the first failure of a run of failures; later ones, until
    // a capture succeeds again, are only logged.
    void PRecebe(int pEvento, const QList<qint64>& pArgs,
                 const std::optional<TDiarioAbastecimentos::TEntrega>& pEntrega, bool& pRecebido);
    // Fuelings the component delivered together, captured in their order
    // as PRecebe would capture them one after the other, but with the disk
    // writes of the group gathered: the journal takes them all in one write
    // before the first insert, and the log entries, the Ids' file and the
    // ends of the captures reach the disk together after the last. Where
    // that cannot be (a capture already pending, the journal failing) they
    // go one at a time. pRecebidos[i] ends as PRecebe's pRecebido.
    void PRecebeLote(const std::vector<TNovo>& pNovos, std::vector<bool>& pRecebidos);

    // The two halves of PRecebeLote, for two threads. The first touches
    // only the journal and never the database: the fuelings go there, each
    // with the attempt it will most likely make, in one synced write, and
    // pRecebidos[i] says which are held (journaled now or before). Raises
    // EErro, holding none, when the journal cannot take them.
    void PRegistraRecebidos(const std::vector<TNovo>& pNovos, std::vector<bool>& pRecebidos);
    // The second captures every fueling the journal holds, in order, in
    // groups where it can, as PRecebeLote would. Raises the first failure
    // of a run of failures. pRepeticao: a new attempt at what failed, with
    // no new event: failures already told are not told again.
    void PCapturaPendentes(bool pRepeticao);
    bool FTemPendentes() const { return vDiario.FTemPendentes(); }
    // Every delivery of pInstancia below pBase is forgotten by the component.
    void PInformaBase(const QString& pInstancia, qint64 pBase) { vDiario.PAtualizaBase(pInstancia, pBase); }
    // Captures what earlier runs left in the journal.
    void PReprocessaPendentes();

    // DDMMYY and HHMMSS as the concentrator sends them; nothing when they do
    // not form a valid date-time. Two-digit years fall in the hundred years
    // that begin 50 years before pHoje's year.
    static std::optional<QDateTime> FDecodificaDataHora(int pDiaMesAno, int pHoraMinSeg, const QDate& pHoje);
    static QString FTextoData(int pDiaMesAno);
    static QString FTextoHora(int pHoraMinSeg);

private:
    enum class TFim { Gravado, Descartado, Recusado };
    struct TLeitura;

    // Journal numbers of an event not in the journal: not written yet (it
    // goes there with its insert attempt), or the journal could not take it.
    static constexpr qint64 cAdiada = 0;
    static constexpr qint64 cSemDiario = -1;

    // pRecebido, when given: the last entry is the event being received, and
    // it learns whether the event is held (in the journal, or ended).
    void PRecebe(const TNovo& pNovo, bool& pRecebido);
    void PProcessa(const std::vector<TDiarioAbastecimentos::TEntrada>& pEntradas, std::exception_ptr pErroDiario,
                   bool* pRecebido);
    void PRecebeUmAUm(const std::vector<TNovo>& pNovos, std::vector<bool>& pRecebidos);
    void PCapturaGrupo(const std::vector<TDiarioAbastecimentos::TEntrada>& pEntradas, std::exception_ptr& pErro);
    std::optional<TAbastecimento> FDadosBico(const TLeitura& pLeitura);
    void PRegistraAdiada(TDiarioAbastecimentos::TEntrada& pEntrada);
    void PRegistraTentativa(TDiarioAbastecimentos::TEntrada& pEntrada, int pId, int pSequencia);
    void PRegistraFalha(const TDiarioAbastecimentos::TEntrada& pEntrada, const EErro& pErro,
                        std::exception_ptr& pErroMostrado) const;
    TFim FCaptura(TDiarioAbastecimentos::TEntrada& pEntrada);
    bool FJaGravado(const TDiarioAbastecimentos::TEntrada& pEntrada, TAbastecimento& pAbastecimento);
    void PConclui(const TDiarioAbastecimentos::TEntrada& pEntrada, bool pSincroniza = false);
    void PRegistraRetomada(const TDiarioAbastecimentos::TEntrada& pEntrada, const QString& pTexto);
    static bool FJaNoLog(const TDiarioAbastecimentos::TEntrada& pEntrada, const QString& pTexto);
    void PRecarregaGrade();
    void PConfereEncerrante(const TLeitura& pLeitura, const std::optional<QPair<int, int>>& pNumeracao);
    TBancoDados& FBanco() const;
    void PAtualizaPrevisao();
    bool FCapturaGrupo(const std::vector<TDiarioAbastecimentos::TEntrada>& pEntradas);
    bool FPreveGrupo(std::vector<TDiarioAbastecimentos::TEntrada>& pEntradas);
    void PRegistraDataInvalida(const TLeitura& pLeitura);
    static QString FTextoLog(const TLeitura& pLeitura, const TAbastecimento& pAbastecimento);

    QTableView* vGrid;
    TBancoDados* vBanco = nullptr;
    TEncerrantes* vEncerrantes = nullptr;
    TDiarioAbastecimentos vDiario;
    bool vRepeticao = false;
    // The numbering the next fueling journaled will most likely take:
    // journaled with it, so that its insert costs the journal no other trip
    // to the disk. Known once a capture found nothing else pending.
    std::mutex vTravaPrevisao;
    std::optional<QPair<int, int>> vPrevisao;
    std::optional<int> vUltimaSequencia;
    bool vFalhaMostrada = false;
    bool vConcluida = false; // the entry being captured has ended
    bool vGravada = false; // the entry being captured has its row stored
    std::exception_ptr vErroDiario; // the journal could not take the entry being captured
    // While a group is captured: the ends that wait for the group's log
    // entries, and the nozzles looked up already (nothing: not registered).
    bool vEmGrupo = false;
    std::vector<qint64> vConclusoesAdiadas;
    std::map<QString, std::optional<TAbastecimento>> vBicosDoGrupo;
};
