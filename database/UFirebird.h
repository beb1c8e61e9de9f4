#pragma once

#include "UErro.h"
#include "UResultadoSql.h"

#include <QString>
#include <QVariant>

#include <atomic>
#include <mutex>
#include <vector>

namespace Firebird {
class IAttachment;
}

// A database failure, with the Firebird client's error text as it formats it.
class EErroBanco : public EErro {
public:
    EErroBanco(const QString& pTexto, bool pConexaoPerdida, bool pConflito = false, bool pRecusa = false)
        : EErro(pTexto), vConexaoPerdida(pConexaoPerdida), vConflito(pConflito), vRecusa(pRecusa)
    {
    }
    // The attachment is gone (server stopped, network cut, database shut down).
    bool ConexaoPerdida() const { return vConexaoPerdida; }
    // Another transaction changed the row and committed while this one waited.
    bool Conflito() const { return vConflito; }
    // The database refused the statement for good: running it again would
    // be refused again.
    bool Recusa() const { return vRecusa; }

private:
    bool vConexaoPerdida;
    bool vConflito;
    bool vRecusa;
};

// A parameter written ":Nome" in a statement's text: text, double, 32-bit
// integer, or null (an invalid QVariant).
struct TParametroSql {
    QString vNome;
    QVariant vValor;
};
using TParametrosSql = std::vector<TParametroSql>;

// What attaching a database takes: path, user, password, role.
struct TDadosConexao {
    QString vBanco;
    QString vUsuario;
    QString vSenha;
    QString vPapel;
};

// The station database connection over Firebird's own client interface.
// Every statement runs in a transaction of its own (read committed, record
// version, waiting on locks), committed right after it and rolled back when
// it fails. When a statement finds the attachment gone, it fails as any
// statement does, and the next statement attaches again with the same
// settings, once. A connection belongs to one thread at a time; connections
// of different threads share nothing.
//
// No call waits for ever: a server that does not answer an attach within
// cLimiteSegundos fails it, and a statement still running after that long
// has its attachment abandoned (the watch runs on a thread of its own), so
// it fails as a lost connection would.
class TConexaoFirebird {
public:
    // A statement on a station database takes milliseconds; one that has
    // not answered in 5 seconds waits on a server that hangs, a network
    // that dropped without a word, or another program's lock held far
    // longer than a sale takes. Kept short, because the operator waits for
    // the windows that read the database, and the letters and fuelings of
    // the whole forecourt queue behind a statement that waits.
    static constexpr int cLimiteSegundos = 5;

    // pSomenteLeitura: every transaction is read-only, so a query never
    // holds back other programs nor the database's clean-up of old rows.
    explicit TConexaoFirebird(bool pSomenteLeitura = false);
    ~TConexaoFirebird();
    TConexaoFirebird(const TConexaoFirebird&) = delete;
    TConexaoFirebird& operator=(const TConexaoFirebird&) = delete;

    // Keeps the settings and attaches; raises EErroBanco when that fails
    // (the settings stay, so a later statement tries again).
    void PConecta(const QString& pBanco, const QString& pUsuario, const QString& pSenha, const QString& pPapel);
    // The settings alone: the first statement attaches.
    void PDefineDados(const TDadosConexao& pDados);
    bool FConectado() const { return vAnexo != nullptr; }
    // Writes wait at most this many seconds on a row another program
    // holds, then fail as a lock conflict (below cLimiteSegundos, so the
    // lock and not the watch ends the wait); -1, the default, waits.
    void PDefineEsperaTrava(int pSegundos) { vEsperaTrava = pSegundos; }
    // A write that does not wait at all on another program's lock: it
    // fails at once as a lock conflict, and the caller tries again later.
    void PExecutaSemEspera(const QString& pSql, const TParametrosSql& pParametros = {});
    // From any thread: abandons the attachment under a call that has run
    // longer than pLimiteMs; the call then fails as a lost connection.
    void PAbandonaSeDemorada(qint64 pLimiteMs);
    // From any thread: abandons the attachment under whatever call runs now.
    void PAbandona();
    // The settings of the last PConecta, to attach another connection alike.
    TDadosConexao FDados() const { return {vBanco, vUsuario, vSenha, vPapel}; }

    // A query, all its rows fetched. Text BLOBs are read whole; a value of a
    // type the program does not read (a binary BLOB, an array, the 128-bit,
    // decimal floating point and time-zone types of newer servers) raises
    // EErro naming its column.
    TResultadoSql FConsulta(const QString& pSql, const TParametrosSql& pParametros = {});
    // How many rows a query yields, without reading any of their values.
    int FContaLinhas(const QString& pSql, const TParametrosSql& pParametros = {});
    void PExecuta(const QString& pSql, const TParametrosSql& pParametros = {});

    // A new, empty database file (or server database) in dialect 3.
    static void PCriaBanco(const QString& pBanco, const QString& pUsuario, const QString& pSenha);

    // ":Nome" to "?" outside literals; the names in order of appearance.
    static QString FTraduzParametros(const QString& pSql, QStringList& pNomes);

private:
    void PGaranteConexao();
    void PDescartaAnexo();
    enum class TExecucao { Comando, ComandoSemEspera, Consulta, Contagem };
    TResultadoSql FRoda(const QString& pSql, const TParametrosSql& pParametros, TExecucao pExecucao);
    TResultadoSql FRodaUmaVez(const QString& pSql, const TParametrosSql& pParametros, TExecucao pExecucao);
    std::vector<unsigned char> FBlocoTransacao(TExecucao pExecucao) const;
    EErroBanco FFalha(const EErroBanco& pErro);

    Firebird::IAttachment* vAnexo = nullptr;
    bool vSomenteLeitura = false;
    int vEsperaTrava = -1;
    // The watch's view of the call under way: when it began (a steady
    // clock's milliseconds, 0 when none runs), and whether it abandoned it.
    std::atomic<qint64> vInicioChamada{0};
    std::atomic<bool> vAbandonada{false};
    // Held while vAnexo changes and while the watch cancels through it.
    std::mutex vTravaAnexo;
    QString vBanco;
    QString vUsuario;
    QString vSenha;
    QString vPapel;
};
