#pragma once

#include <QString>

// The crash-point recorder. A test that names a trace file in the
// environment (TARNEX_REGISTRO_DISCO) gets every disk step of each of its
// processes (connector and component server alike) appended there, bytes
// included, in one order for all of them; with TARNEX_PARADA_DISCO=k every
// process is held for good before the step after the k-th, so that the test
// can end them all right after step k and work out what a power cut there
// would have left. Without the variables nothing changes.
//
// Beside the trace: TRACE.contador, the number of steps so far (as text,
// locked with flock while a step runs), and TRACE.processos, the id of
// every process that records.
class TRegistroDisco {
public:
    static void PInstalaSePedido();
    // The same within one process, for a test that records its own steps.
    static void PInstala(const QString& pTrace, qint64 pParada = 0);
    static void PDesinstala();

    static QString FArquivoContador(const QString& pTrace) { return pTrace + QStringLiteral(".contador"); }
    static QString FArquivoProcessos(const QString& pTrace) { return pTrace + QStringLiteral(".processos"); }
    static const char* FNomeTipo(int pTipo);
};
