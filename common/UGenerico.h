#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <future>

class QTableView;

// The helpers every part of the program calls. They need no instance, so they
// work before the shared instance exists: the database access writes to the
// log and decodes its password while start-up has not made it yet.
class TGenerico {
public:
    // One entry of the daily log "ConnectTarnexDDMMYYYY.log" in the program's
    // directory, on disk when the call returns. The file's bytes are those of
    // rewriting it whole with every earlier line ended by CR LF; while the
    // file is as this process left it, only its end is written (the entry
    // before, re-split, and the new one), through a synced redo record that
    // a crash is completed from: the log file's own sync waits for the event
    // loop's next turn or the next entry. Raises EErro when the day file
    // cannot be read or written; the file is then as it was before the call.
    // Safe to call from any thread.
    static void PGeraLog(const QString& pDados);
    // Several entries, each with its stamp, in one write: the bytes of a call
    // per entry, at the cost of one. All or none: when it raises, no entry of
    // the group is written.
    static void PGeraLog(const QStringList& pEntradas);
    // The entry is written on a thread of its own while the caller goes on
    // with other disk work; it is on disk once the answer is ready, whose
    // get() raises what PGeraLog would have. Every later entry waits for it.
    static std::shared_future<void> FGeraLogEmParalelo(const QString& pDados);

    static QString FCompletaZero(int Numero, int Quantidade);
    static QString FCompletaEspaco(const QString& Texto, int Quantidade);
    static double FRetornaCasasDecimais(int pDecimais, int pCampo);
    static double FArredondaValor(double pValor);
    static double FTruncaValor(double pValor);

    // The stored database password: groups of three digits, last character first.
    // Raises EErro when a group is not a decimal number.
    static QString FDescripta(const QString& pCriptografia, int pTamanho);

    // Formats the grid's current columns: floating and scaled numbers right-
    // aligned with "########0.000" through FormataDecimal; DATA 100 pixels
    // wide, ID 60. Run again after each reload of the grid.
    static void PFormataCamposGrid(QTableView* pGrid);
    // The text of a numeric field: three decimals, null as zero.
    static void FormataDecimal(const QVariant& Campo, QString& Texto, bool DisplayText);

    // Shows the warning of a concentrator return code; true only for 1.
    static bool FRetornaErroConcentrador(int pMetodo);
    // The text of a return code, empty for codes that have none (1 included).
    static QString FTextoErroConcentrador(int pMetodo);

    // Number to text for a person: 18 significant digits, then rounded to
    // pCasas decimals with halves away from zero, the workstation's decimal
    // separator, no thousands separator ("0.00", "0.000", "########0.000").
    static QString FFormataNumero(double pValor, int pCasas);
    // Shortest general form: at most 15 significant digits, no trailing
    // zeros, no separator for a whole number.
    static QString FFormataGeral(double pValor);
    // Reads a number written with the workstation's decimal separator.
    // Raises EErro when the text is not a number.
    static double FLeNumero(const QString& pTexto);

    // "DD/MM/YYYY" and "HH:MM:SS" with the workstation's separators.
    static QString FFormataData(const QDate& pData);
    static QString FFormataHora(const QTime& pHora);

    // The log's path for the given day.
    static QString FArquivoLog(const QDate& pData);
    // Whether the day's log holds an entry with exactly this text: a capture
    // taken up again after a crash looks before writing its entry twice.
    static bool FTemEntradaNoLog(const QDate& pData, const QString& pDados);
    // Splits at CR, LF or CR LF; a line break at the very end ends the last
    // line and does not start an empty one.
    static QStringList FDivideLinhas(const QString& pTexto);
    // Makes pTexto the same lines, each ended by CR LF.
    static void PRedivideLinhas(QString& pTexto);

private:
    static void PAguardaEmParalelo();
    static void PGravaEntradas(const QStringList& pEntradas);
};

// The shared helpers object, made by the main window at start-up. Its
// operations need no instance; the reference is there for the callers
// that reach it as the program-wide helpers.
inline TGenerico* Generico = nullptr;
