#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

// The steps by which bytes reach the disk for good: writes, syncs, renames.
// The durable writes of the day log and of the settings files take each of
// their steps through here, so that a test can stop the program at any one
// of them, or record their order, and see what a crash there leaves.
class TDisco {
public:
    enum class TTipo { Grava, Reserva, Sincroniza, Renomeia, SincronizaDiretorio };
    // One step about to run. pCaminho is the file the caller names in its
    // messages: the file being replaced, for the steps on its temporary copy.
    struct TPasso {
        TTipo vTipo;
        QString vCaminho;
        int vDescritor = -1;
        qint64 vPosicao = 0;
        const QByteArray* vDados = nullptr; // the bytes of a Grava
    };
    // Runs before every step; it may raise, or end the process.
    using TObservador = std::function<void(const TPasso&)>;
    static void PDefineObservador(TObservador pObservador);

    // Each raises EErro with the system's reason.
    static void PGrava(int pDescritor, const QByteArray& pDados, qint64 pPosicao, const QString& pCaminho);
    // Allocates the bytes a later Grava will fill, so that a full disk fails
    // before anything is overwritten.
    static void PReserva(int pDescritor, qint64 pPosicao, qint64 pTamanho, const QString& pCaminho);
    // The data and what reading it back needs (fdatasync); pTudo adds the
    // rest of the file's metadata (fsync).
    static void PSincroniza(int pDescritor, const QString& pCaminho, bool pTudo = false);
    static void PRenomeia(const QString& pDe, const QString& pPara, const QString& pCaminho);
    // Makes a rename or a new name in pCaminho's directory durable; best
    // effort, as some file systems refuse to sync a directory.
    static void PSincronizaDiretorio(const QString& pCaminho);

    [[noreturn]] static void PFalha(const QString& pCaminho, int pErrno);
};
