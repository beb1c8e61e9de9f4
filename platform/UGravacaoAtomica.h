#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>
#include <set>

// Replaces a whole file so that a crash or a power cut leaves either the old
// content or the new one, never a truncated mix: the new bytes go to a
// temporary file beside the old one, reach the disk, and are renamed over it.
class TGravacaoPreparada;

class TGravacaoAtomica {
public:
    // Raises EErro with the system's reason when the file cannot be written;
    // the old file is then untouched.
    static void PGrava(const QString& pCaminho, const QByteArray& pDados);
    // The same in two steps: the new bytes on disk under a temporary name
    // now, the rename later (TGravacaoPreparada::PConclui). Until then, and
    // if it is dropped, the file is as it was.
    static std::unique_ptr<TGravacaoPreparada> FPrepara(const QString& pCaminho, const QByteArray& pDados);

    // Runs between the flush of the temporary file and the rename, the one
    // moment the tests need to reach to prove a crash there loses nothing.
    static void PDefineAntesDeRenomear(std::function<void()> pAcao);
};

// A replacement whose new bytes are on disk beside the file, waiting for
// their rename; dropped without it, the temporary file goes.
class TGravacaoPreparada {
public:
    TGravacaoPreparada(QString pCaminho, QString pTemporario)
        : vCaminho(std::move(pCaminho)), vTemporario(std::move(pTemporario))
    {
    }
    ~TGravacaoPreparada();
    TGravacaoPreparada(const TGravacaoPreparada&) = delete;
    TGravacaoPreparada& operator=(const TGravacaoPreparada&) = delete;

    // Renames it over the file, and makes the rename durable (or leaves
    // that to a TAdiamentoDiretorios). Raises EErro when it cannot.
    void PConclui();

    // A file that another thread may write meanwhile: just before the
    // rename, pConferencia answers nothing when the file is still as it was
    // read, or the replacement made afresh from what it holds now, which
    // goes in instead. The checks and renames of such replacements run one
    // at a time, so neither thread's change is lost to the other's.
    using TConferencia = std::function<std::unique_ptr<TGravacaoPreparada>()>;
    void PDefineConferencia(TConferencia pConferencia) { vConferencia = std::move(pConferencia); }

private:
    void PRenomeia();

    const QString vCaminho;
    const QString vTemporario;
    bool vConcluida = false;
    TConferencia vConferencia;
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
