#pragma once

#include "UFirebird.h"

#include <QObject>
#include <QThread>
#include <QElapsedTimer>
#include <QTimer>

#include <memory>

class QTableView;

// Keeps the day's fuelings grid up to date without holding the window as the
// day grows: the fuelings query runs on a thread of its own, over an
// attachment of its own that only reads, and the finished rows reach the
// grid in one swap on the main thread. A request made while a query runs is
// gathered with any others into one more run after it, so the last refresh
// always starts after the last request and shows everything stored before.
class TAtualizadorGrade : public QObject {
    Q_OBJECT
public:
    // Belongs to pGrid; attaches with pDados on its first run.
    TAtualizadorGrade(TDadosConexao pDados, QTableView* pGrid);
    ~TAtualizadorGrade() override;

    void PSolicita();

    // A failed refresh is logged once and tried again after this long, until
    // one works.
    static constexpr int cNovaTentativaMs = 5000;
    // In a burst (a backlog drained after an outage) the grid is refreshed
    // at most this often: every refresh costs the window a repaint.
    static constexpr int cIntervaloMinimoMs = 100;
    // ... and takes at most this share of the time: over a long day its
    // query competes with the captures for the machine and the database.
    static constexpr int cFracaoMaxima = 10;

Q_SIGNALS:
    // The grid shows a new result.
    void Atualizada();

private:
    void PConsulta();
    void PRecebe(TResultadoSql pResultado);
    void PFalhou(const QString& pMotivo);
    void PMostra(TResultadoSql pResultado);
    void PFimDaVez();

    QTableView* vGrid;
    const TDadosConexao vDados;
    QThread vLinha;
    QObject vNaLinha;                        // lives on vLinha: work for it is posted there
    std::unique_ptr<TConexaoFirebird> vConexao; // touched on vLinha only
    QTimer vNovaTentativa;
    QTimer vEspacamento;
    QElapsedTimer vInicioDaVez;
    bool vEmCurso = false;
    bool vPendente = false;
    bool vFalhaRegistrada = false;
};
