#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

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
