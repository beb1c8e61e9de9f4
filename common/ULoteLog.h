#pragma once

#include <QString>
#include <QStringList>

// While one lives, the day-log entries made on this thread are held, in
// the order they come, and written together by PGrava: a group of fuelings
// costs the log one trip to the disk. An entry held is not written until
// then; whoever ends something in the journal on the strength of its log
// entry waits for PGrava.
class TLoteLog {
public:
    TLoteLog();
    // Writes what is still held, if it can.
    ~TLoteLog();
    TLoteLog(const TLoteLog&) = delete;
    TLoteLog& operator=(const TLoteLog&) = delete;

    // Writes the held entries and stops holding. Raises EErro when the log
    // cannot be written; the entries are then given up.
    void PGrava();

    // Called by the log: true when the entry is held for a group on this thread.
    static bool FRecolhe(const QString& pDados);

private:
    bool vAtivo = false;
    QStringList vEntradas;
};
