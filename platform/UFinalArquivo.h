#pragma once

#include <QByteArray>
#include <QString>

// Replaces the end of a file in place, from an offset on, by bytes at least
// as long, so that a crash at any moment leaves everything before the offset
// as it was and the end either old or new. The new end reaches the disk first
// in a redo record (a small file that stays in the same directory) and only
// then is the file itself overwritten; FRecupera, run before a program that
// may have crashed reads the file again, finishes an overwrite left half done.
class TFinalArquivo {
public:
    // Imediata: the file is synced and the record annulled before PTroca
    // returns. Adiada: PTroca returns once the record is synced and the new
    // end written; the file's sync and the record's annulment wait for
    // PConcluiPendente, which the next PTroca and FRecupera run first. Until
    // then the record alone holds the new end: a crash is completed from it.
    enum class TSincronia { Imediata, Adiada };

    // pAntigo: the file's bytes from pInicio to its end, as they are now.
    // Raises EErro when the file cannot be written, having put the old end
    // back where it could, or when a deferred sync still pending fails; the
    // file is then as it was.
    static void PTroca(const QString& pCaminho, const QString& pRefazer, qint64 pInicio, const QByteArray& pAntigo,
                       const QByteArray& pNovo, TSincronia pSincronia = TSincronia::Imediata);
    // Syncs the file of the deferred overwrite, if one waits, and annuls its
    // record. Raises EErro when it cannot: the record, still valid, goes on
    // holding the new end, and the next call tries again.
    static void PConcluiPendente();
    static bool FHaPendente();
    // Completes the overwrite described by the redo record pRefazer, when
    // the file it names (in the record's directory) still ends between its
    // old and its new end: a crash just before midnight leaves the day before
    // to be completed. A deferred sync of this process is concluded first.
    // True when it wrote anything. Raises EErro when the file cannot be
    // written.
    static bool FRecupera(const QString& pRefazer);
};
