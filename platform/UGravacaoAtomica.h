#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <set>

// Replaces a whole file so that a crash or a power cut leaves either the old
// content or the new one, never a truncated mix: the new bytes go to a
// temporary file beside the old one, reach the disk, and are renamed over it.
class TGravacaoAtomica {
public:
    // Raises EErro with the system's reason when the file cannot be written;
    // the old file is then untouched.
    static void PGrava(const QString& pCaminho, const QByteArray& pDados);

    // Runs between the flush of the temporary file and the rename, the one
    // moment the tests need to reach to prove a crash there loses nothing.
    static void PDefineAntesDeRenomear(std::function<void()> pAcao);
};

// While one lives, the renames PGrava makes on this thread reach the disk
// together: each directory is synced once, at the end, instead of after
// every file. Whoever relies on those files being durable waits for
// PConclui (or the end of the object).
class TAdiamentoDiretorios {
public:
    TAdiamentoDiretorios();
    ~TAdiamentoDiretorios();
    TAdiamentoDiretorios(const TAdiamentoDiretorios&) = delete;
    TAdiamentoDiretorios& operator=(const TAdiamentoDiretorios&) = delete;

    // Syncs every directory a rename was left in, and stops holding them.
    void PConclui();

    // The rename of pCaminho is left to the deferral on this thread, if any.
    static bool FAdia(const QString& pCaminho);

private:
    bool vAtivo = false;
    std::set<QString> vCaminhos;
};
