#include "UFinalArquivo.h"

#include "UDescritorArquivo.h"
#include "UDisco.h"
#include "UErro.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIODevice>

#include <cerrno>
#include <fcntl.h>
#include <mutex>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QByteArray cMarca("TNXREF01");
// Bytes before the offset kept in the record: a file that was replaced
// since, or is another file of the same name, does not get the new end.
// They prove anything only if they are on disk when the record is (PTroca
// syncs a deferred overwrite, which wrote them, before the next record).
constexpr qint64 cGuarda = 64;

struct TRegistro {
    QByteArray vNome;
    qint64 vInicio = 0;
    qint64 vFimAntigo = 0;
    QByteArray vGuarda;
    QByteArray vNovo;
};

QByteArray FHash(const QByteArray& pCorpo)
{
    return QCryptographicHash::hash(pCorpo, QCryptographicHash::Md5);
}

// Marca, length of the body, body, and the body's hash: a record cut short
// by a crash does not read as one.
QByteArray FSerializa(const TRegistro& pRegistro)
{
    QByteArray corpo;
    QDataStream fluxo(&corpo, QIODevice::WriteOnly);
    fluxo << pRegistro.vNome << pRegistro.vInicio << pRegistro.vFimAntigo << pRegistro.vGuarda << pRegistro.vNovo;
    QByteArray registro = cMarca;
    QDataStream cabecalho(&registro, QIODevice::Append);
    cabecalho << static_cast<quint32>(corpo.size());
    return registro + corpo + FHash(corpo);
}

bool FLeRegistro(const QByteArray& pBytes, TRegistro& pRegistro)
{
    const qsizetype cabecalho = cMarca.size() + 4;
    if (!pBytes.startsWith(cMarca) || pBytes.size() < cabecalho + 16)
        return false;
    quint32 tamanho = 0;
    QDataStream(pBytes.mid(cMarca.size(), 4)) >> tamanho;
    if (tamanho > pBytes.size() - cabecalho - 16)
        return false;
    const QByteArray corpo = pBytes.mid(cabecalho, tamanho);
    if (pBytes.mid(cabecalho + tamanho, 16) != FHash(corpo))
        return false;
    QDataStream fluxo(corpo);
    fluxo >> pRegistro.vNome >> pRegistro.vInicio >> pRegistro.vFimAntigo >> pRegistro.vGuarda >> pRegistro.vNovo;
    return fluxo.status() == QDataStream::Ok;
}

QByteArray FNome(const QString& pCaminho)
{
    return QFile::encodeName(QFileInfo(pCaminho).fileName());
}

QByteArray FLeTrecho(int pDescritor, qint64 pInicio, qint64 pTamanho)
{
    QByteArray bytes(pTamanho, '\0');
    qint64 lidos = 0;
    while (lidos < pTamanho) {
        const ssize_t n = ::pread(pDescritor, bytes.data() + lidos, static_cast<size_t>(pTamanho - lidos),
                                  static_cast<off_t>(pInicio + lidos));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        lidos += n;
    }
    bytes.truncate(lidos);
    return bytes;
}

TDescritorArquivo FAbre(const QString& pCaminho, int pModo)
{
    TDescritorArquivo descritor(::open(QFile::encodeName(pCaminho).constData(), pModo | O_CLOEXEC, 0666));
    if (!descritor.FAberto())
        TDisco::PFalha(pCaminho, errno);
    return descritor;
}

// The record no longer describes a write to be finished. Not synced: a
// record that outlives a crash describes a write already whole, which
// FRecupera leaves alone.
void PAnula(int pDescritor, const QString& pRefazer)
{
    TDisco::PGrava(pDescritor, QByteArray(cMarca.size(), '\0'), 0, pRefazer);
}

// Puts a failed overwrite's old end back; if even that fails, the record
// stays, and the next recovery completes the new end instead.
void PDesfaz(int pArquivo, int pRegistro, const QString& pCaminho, const QString& pRefazer, qint64 pInicio,
             const QByteArray& pAntigo)
{
    try {
        TDisco::PGrava(pArquivo, pAntigo, pInicio, pCaminho);
        if (::ftruncate(pArquivo, static_cast<off_t>(pInicio + pAntigo.size())) != 0)
            return;
        TDisco::PSincroniza(pArquivo, pCaminho);
        PAnula(pRegistro, pRefazer);
    } catch (const EErro&) {
    }
}

// An overwrite whose file is not synced yet: its record, synced, holds the
// new end until the file is.
struct TPendente {
    TDescritorArquivo vArquivo;
    QString vCaminho;
    TDescritorArquivo vRefazer;
    QString vCaminhoRefazer;
};

// Held for a whole PTroca or FRecupera: no conclusion from another thread
// may fall between a record's write and the note of its pending sync.
std::mutex vTravaPendente;
std::optional<TPendente> vPendente;

// The file first, then the record: annulled before the file is on disk, the
// record would leave a crash nothing to complete the new end from. Raises
// with the pending sync kept, to be tried again.
void PConcluiTravado()
{
    if (!vPendente)
        return;
    TDisco::PSincroniza(vPendente->vArquivo.get(), vPendente->vCaminho);
    PAnula(vPendente->vRefazer.get(), vPendente->vCaminhoRefazer);
    vPendente.reset();
}

// The record on disk, then the new end over the old one.
void PGravaRegistroEFinal(int pArquivo, int pRefazer, bool pRefazerNovo, const QString& pCaminho,
                          const QString& pCaminhoRefazer, const TRegistro& pRegistro, qint64 pAntigo)
{
    TDisco::PGrava(pRefazer, FSerializa(pRegistro), 0, pCaminhoRefazer);
    TDisco::PSincroniza(pRefazer, pCaminhoRefazer);
    if (pRefazerNovo)
        TDisco::PSincronizaDiretorio(pCaminhoRefazer);
    TDisco::PReserva(pArquivo, pRegistro.vInicio + pAntigo, pRegistro.vNovo.size() - pAntigo, pCaminho);
    TDisco::PGrava(pArquivo, pRegistro.vNovo, pRegistro.vInicio, pCaminho);
}

} // namespace

void TFinalArquivo::PTroca(const QString& pCaminho, const QString& pRefazer, qint64 pInicio,
                           const QByteArray& pAntigo, const QByteArray& pNovo, TSincronia pSincronia)
{
    Q_ASSERT(pNovo.size() >= pAntigo.size());
    const std::lock_guard trava(vTravaPendente);
    // The record about to be written replaces the one of a deferred
    // overwrite, the only thing that still holds that overwrite's new end;
    // and its guard, the bytes before pInicio, is read from that new end (an
    // entry's overwrite starts where the one before it began). Were that end
    // still unsynced when the new record reaches the disk, a crash could
    // lose it with no record left to complete it, and the new record's guard
    // would not match what the disk kept: both ends gone. So the file is
    // synced first, even when it is another file (a new day).
    PConcluiTravado();
    TDescritorArquivo arquivo = FAbre(pCaminho, O_RDWR);
    const qint64 guarda = std::min(pInicio, cGuarda);
    const TRegistro registro{FNome(pCaminho), pInicio, pInicio + pAntigo.size(),
                             FLeTrecho(arquivo.get(), pInicio - guarda, guarda), pNovo};
    const bool novo = !QFileInfo::exists(pRefazer);
    TDescritorArquivo refazer = FAbre(pRefazer, O_RDWR | O_CREAT);
    try {
        PGravaRegistroEFinal(arquivo.get(), refazer.get(), novo, pCaminho, pRefazer, registro, pAntigo.size());
        if (pSincronia == TSincronia::Imediata)
            TDisco::PSincroniza(arquivo.get(), pCaminho);
    } catch (const EErro&) {
        // Nor may a record of a write that failed complete it later.
        PDesfaz(arquivo.get(), refazer.get(), pCaminho, pRefazer, pInicio, pAntigo);
        throw;
    }
    if (pSincronia == TSincronia::Adiada) {
        vPendente = TPendente{std::move(arquivo), pCaminho, std::move(refazer), pRefazer};
        return;
    }
    try {
        PAnula(refazer.get(), pRefazer);
    } catch (const EErro&) {
        // the record describes a file already whole: harmless
    }
}

void TFinalArquivo::PConcluiPendente()
{
    const std::lock_guard trava(vTravaPendente);
    PConcluiTravado();
}

bool TFinalArquivo::FHaPendente()
{
    const std::lock_guard trava(vTravaPendente);
    return vPendente.has_value();
}

bool TFinalArquivo::FRecupera(const QString& pRefazer)
{
    const std::lock_guard trava(vTravaPendente);
    // This process's own deferred end is whole in the file, though maybe not
    // on disk: looked at now, its record would read as done and be annulled
    // with nothing to complete the end after a crash.
    PConcluiTravado();
    QFile arquivoRegistro(pRefazer);
    TRegistro registro;
    if (!arquivoRegistro.open(QIODevice::ReadOnly) || !FLeRegistro(arquivoRegistro.readAll(), registro) ||
        registro.vNome.isEmpty() || registro.vNome.contains('/'))
        return false;
    arquivoRegistro.close();
    const QString caminho = QFileInfo(pRefazer).absoluteDir().filePath(QFile::decodeName(registro.vNome));
    const TDescritorArquivo arquivo(::open(QFile::encodeName(caminho).constData(), O_RDWR | O_CLOEXEC));
    if (!arquivo.FAberto())
        return false;
    struct stat info {};
    ::fstat(arquivo.get(), &info);
    const qint64 fimNovo = registro.vInicio + registro.vNovo.size();
    const qint64 guarda = registro.vGuarda.size();
    const bool interrompido =
        info.st_size >= registro.vFimAntigo && info.st_size <= fimNovo &&
        FLeTrecho(arquivo.get(), registro.vInicio - guarda, guarda) == registro.vGuarda &&
        FLeTrecho(arquivo.get(), registro.vInicio, info.st_size - registro.vInicio) != registro.vNovo;
    if (interrompido) {
        TDisco::PGrava(arquivo.get(), registro.vNovo, registro.vInicio, caminho);
        TDisco::PSincroniza(arquivo.get(), caminho);
    }
    try {
        const TDescritorArquivo refazer = FAbre(pRefazer, O_WRONLY);
        PAnula(refazer.get(), pRefazer);
    } catch (const EErro&) {
        // a record left valid describes a file already whole: harmless
    }
    return interrompido;
}
