#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>

#include <optional>
#include <vector>

// The line protocol between the component binding and the component server:
// one JSON object per line. See simulator/README.md for the messages.
namespace ProtocoloFcm {

// A line longer than this is not a message; whoever receives it gives up on
// the connection instead of buffering without end.
constexpr qsizetype cTamanhoMaximoLinha = 64 * 1024;

QByteArray FCodifica(const QJsonObject& pMensagem);
// The object on one line (without its line end), or nothing when the line is
// not a JSON object.
std::optional<QJsonObject> FDecodifica(const QByteArray& pLinha);

// Cuts a byte stream into lines.
class TLeitorLinhas {
public:
    void PAdiciona(const QByteArray& pDados) { vBuffer += pDados; }
    // The next complete line, without its end; nothing when none is complete.
    std::optional<QByteArray> FProxima();
    bool FTemLinha() const { return vBuffer.contains('\n'); }
    // True once the unfinished line has outgrown cTamanhoMaximoLinha.
    bool FExcedeu() const;
    void PLimpa() { vBuffer.clear(); }

private:
    QByteArray vBuffer;
};

// The component's methods as the wire carries them.
enum class TTipoArg { Byte, Inteiro };

struct TMetodoFcm {
    QString vNome;
    std::vector<TTipoArg> vArgs;
    int vIndiceReferencia = -1; // the argument passed by reference, if any
};

const std::vector<TMetodoFcm>& FMetodos();
const TMetodoFcm* FMetodo(const QString& pNome);

// A number as the component's argument of that type: bytes keep their low
// eight bits, integers their low 32.
qint64 FAjusta(qint64 pValor, TTipoArg pTipo);

// The server's socket for a program directory: FcmMasterX.sock in it, or,
// where that path is too long for a local socket, a name in /tmp derived
// from the directory.
QString FCaminhoSocket(const QString& pDiretorio);

// Number of arguments of each event, 1 to 11; 0 for unknown numbers.
int FNumeroArgsEvento(int pEvento);

} // namespace ProtocoloFcm
