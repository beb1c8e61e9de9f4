#pragma once

#include "UFirebird.h"
#include "UGravacaoAtomica.h"

#include <QDate>

#include <memory>

class QTableView;
class TAbastecimento;
class TBico;
class TListaBicos;

// The fueling's row is stored, but the numbering could not move past it
// (the sequence could not be raised, or the settings file not written).
class ENumeracaoPendente : public EErro {
public:
    using EErro::EErro;
};

// The program's only door to the station database: one connection, on
// which every statement runs in a transaction of its own.
class TBancoDados {
public:
    // Reads ZelvioECF.ini and attaches. A failed attach asks the program to
    // end and is logged (on the error output when the log cannot be
    // written); the object is made all the same.
    TBancoDados();
    // A second door to the same database, for the thread that stores what
    // the concentrators report: it attaches at its first statement, and its
    // writes wait only a little on another program's lock.
    explicit TBancoDados(const TDadosConexao& pDados);

    // Fueling store.
    int FRetornaSequencia();
    // False when the database refused the insert for good (logged; the Id
    // is used up). A lost connection, a lock conflict, a sequence that could
    // not be raised or a settings file that could not be written raise
    // instead: the row may be stored and the numbering not moved on.
    bool FGravaAbastecimento(const TAbastecimento& pAbastecimento);
    // The insert alone, with FGravaAbastecimento's answers and failures; the
    // numbering is left to PAvancaNumeracao, which must follow it whatever
    // the answer.
    bool FInsereAbastecimento(const TAbastecimento& pAbastecimento);
    // Moves the numbering on past a stored fueling with Id pId: the next Id,
    // or the sequence raised and Id 1 after 9999. Raises ENumeracaoPendente,
    // leaving the Id as it was, when the sequence could not be raised or the
    // settings file not written.
    // pPreparada: the write of the next Id, made ahead by FPreparaNumeracao
    // (it is concluded here, or dropped at the wrap); without it the file is
    // written now.
    void PAvancaNumeracao(int pId, std::unique_ptr<TGravacaoPreparada> pPreparada = nullptr);
    // The settings file as PAvancaNumeracao(pId) will write it, on disk
    // beside it, so that the insert and that write overlap; nothing at the
    // wrap, or when it cannot be written (PAvancaNumeracao then says why).
    // Reads and writes files only: any thread may call it.
    static std::unique_ptr<TGravacaoPreparada> FPreparaNumeracao(int pId);
    // The same past a fueling stored as (pSequencia, pId) by a capture that
    // died before moving the numbering on: at the wrap the sequence may have
    // risen already, and must not rise twice.
    void PRetomaNumeracao(int pId, int pSequencia);
    // Whether the row of this fueling (numbering, nozzle, date and time) is
    // already in mvabast: a capture that died after its insert left it there.
    bool FExisteAbastecimento(const TAbastecimento& pAbastecimento);

    // Nozzle registry.
    bool FExisteBicoCadastrado(int pTanque, int pBomba, int pBico);
    std::unique_ptr<TAbastecimento> FRetornaDadosProduto(int pTanque, int pBomba, int pBico);
    // Both look-ups at once: the product data, or nothing when the nozzle is
    // not registered.
    std::unique_ptr<TAbastecimento> FRetornaDadosBicoCadastrado(int pTanque, int pBomba, int pBico);
    bool FGravaStatusBico(bool pBloq, const QString& pStatus, int pTanque, int pBomba, int pBico);
    // The same update without waiting on another program's lock; raises
    // EErroBanco when it does not go in, and logs nothing.
    void PAlteraStatusBico(bool pBloq, const QString& pStatus, int pTanque, int pBomba, int pBico);
    static QString FTextoFalhaStatus() { return QStringLiteral("Ocorreu um erro ao tentar alterar o status do bico."); }
    std::unique_ptr<TListaBicos> FRetornaDadosBico();
    // One row of the nozzle list query as a nozzle record, status left empty;
    // raises EErro when the slave, pump or nozzle part is not a number (a
    // null code included).
    static std::unique_ptr<TBico> FBicoDaLinha(const TResultadoSql& pDados, int pLinha);

    // Station views: the grid gets a view of its own and releases the one it had.
    void PDadosGridAbastecimento(QTableView* pGrid);
    void PDadosGridPrecoAbast(QTableView* pGrid);
    // Unbinds a grid and releases its view.
    static void PDesligaGrade(QTableView* pGrid);
    // Binds a grid to a new view of these rows and releases the one it had.
    static void PLigaGrade(QTableView* pGrid, TResultadoSql pResultado);
    // Asks for the fuelings grid to be refreshed and returns at once: the
    // query runs on a thread and an attachment of its own, and the grid
    // takes the rows on the main thread. Requests made while a refresh runs
    // share one more refresh after it.
    void PSolicitaAtualizacaoGrid(QTableView* pGrid);
    // The day's fuelings, as the fuelings grid shows them.
    static TResultadoSql FAbastecimentosDoDia(TConexaoFirebird& pConexao);

    // True once attaching failed and the program was asked to end.
    bool FimSolicitado() const { return vFimSolicitado; }
    // What attaching took, to open another door alike.
    // How long the second door's writes wait on a lock.
    static constexpr int cEsperaTravaSegundos = 3;
    TDadosConexao FDadosConexao() const { return vConexao.FDados(); }
    // Stored fuelings with their nozzle's concentrator code:
    // CODCONCENTRADOR, ENCERRANTEFINAL, LITRAGEM, SEQUENCIA, ID, oldest
    // first. Those from pData on numbered after (pSequencia, pId); the day's
    // index keeps the look small, and so few come back.
    TResultadoSql FEncerrantesDepois(const QDate& pData, int pSequencia, int pId);
    // From any thread: the statement under way fails as a lost connection.
    void PAbandona() { vConexao.PAbandona(); }

    // The concentrator code of an address: "010203" for slave 1, pump 2, nozzle 3.
    static QString FCodigoConcentrador(int pTanque, int pBomba, int pBico);

private:
    // On the main thread, the query runs on a thread of its own while the
    // events go on being handled (the operator's input waits), as they do
    // while a modal window is open: a slow server stops no pump.
    TResultadoSql FConsultaAguardando(const QString& pSql);
    void PConectaBanco();
    void PRegistraFalhaConexao(const QString& pTexto);
    bool FAlteraSequencia();
    std::unique_ptr<TAbastecimento> FDadosProduto(const TResultadoSql& pDados);
    void PAvancaId(int pId, std::unique_ptr<TGravacaoPreparada> pPreparada);
    void PGravaId(int pId, std::unique_ptr<TGravacaoPreparada> pPreparada = nullptr);

    TConexaoFirebird vConexao;
    bool vFimSolicitado = false;
};

// The one database object, made by the main window at start-up.
inline TBancoDados* BancoDados = nullptr;
