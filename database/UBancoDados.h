#pragma once

#include "UFirebird.h"

#include <memory>

class QTableView;
class TAbastecimento;
class TBico;
class TListaBicos;

// The program's only door to the station database: one connection, on
// which every statement runs in a transaction of its own.
class TBancoDados {
public:
    // Reads ZelvioECF.ini and attaches. A failed attach asks the program to
    // end and is logged (on the error output when the log cannot be
    // written); the object is made all the same.
    TBancoDados();

    // Fueling store.
    int FRetornaSequencia();
    // False when the insert failed (logged; the Id is used up). A lost
    // connection, a sequence that could not be raised or a settings file that
    // could not be written raise instead: the row may be stored and the
    // numbering not moved on.
    bool FGravaAbastecimento(const TAbastecimento& pAbastecimento);
    // Moves the numbering on past a stored fueling with Id pId: the next Id,
    // or the sequence raised and Id 1 after 9999. Raises EErro, leaving the
    // Id as it was, when the sequence could not be raised.
    void PAvancaNumeracao(int pId);
    // Whether the row of this fueling (numbering, nozzle, date and time) is
    // already in mvabast: a capture that died after its insert left it there.
    bool FExisteAbastecimento(const TAbastecimento& pAbastecimento);

    // Nozzle registry.
    bool FExisteBicoCadastrado(int pTanque, int pBomba, int pBico);
    std::unique_ptr<TAbastecimento> FRetornaDadosProduto(int pTanque, int pBomba, int pBico);
    bool FGravaStatusBico(bool pBloq, const QString& pStatus, int pTanque, int pBomba, int pBico);
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

    // True once attaching failed and the program was asked to end.
    bool FimSolicitado() const { return vFimSolicitado; }

    // The concentrator code of an address: "010203" for slave 1, pump 2, nozzle 3.
    static QString FCodigoConcentrador(int pTanque, int pBomba, int pBico);

private:
    void PConectaBanco();
    void PRegistraFalhaConexao(const QString& pTexto);
    bool FAlteraSequencia();
    void PGravaId(int pId);
    void PLigaGrade(QTableView* pGrid, TResultadoSql pResultado);

    TConexaoFirebird vConexao;
    bool vFimSolicitado = false;
};

// The one database object, made by the main window at start-up.
inline TBancoDados* BancoDados = nullptr;
