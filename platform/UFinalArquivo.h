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
    // pAntigo: the file's bytes from pInicio to its end, as they are now.
    // Raises EErro when the file cannot be written, having put the old end
    // back where it could.
    static void PTroca(const QString& pCaminho, const QString& pRefazer, qint64 pInicio, const QByteArray& pAntigo,
                       const QByteArray& pNovo);
    // Completes the overwrite described by the redo record pRefazer, when
    // the file it names (in the record's directory) still ends between its
    // old and its new end: a crash just before midnight leaves the day before
    // to be completed. True when it wrote anything. Raises EErro when the
    // file cannot be written.
    static bool FRecupera(const QString& pRefazer);
};
