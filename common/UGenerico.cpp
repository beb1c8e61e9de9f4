#include "UGenerico.h"

#include "UArquivoIni.h"
#include "UConfiguracaoRegional.h"
#include "UDiretorioPrograma.h"
#include "UErro.h"
#include "UFinalArquivo.h"
#include "UGravacaoAtomica.h"
#include "ULoteLog.h"
#include "UWindows1252.h"

#include <QCoreApplication>
#include <QFile>
#include <QMetaObject>
#include <QStringDecoder>

#include <algorithm>
#include <future>
#include <array>
#include <charconv>
#include <cmath>
#include <mutex>
#include <string>
#include <sys/stat.h>

namespace {

const QString cSeparadorLog(50, QLatin1Char('-'));

// 18 significant digits and the decimal exponent of |pValor|:
// 2.675 gives "267499999999999982" and 0.
struct TDigitos {
    std::string vDigitos;
    int vExpoente = 0;
};

TDigitos FDigitosSignificativos(double pValor)
{
    std::array<char, 64> buffer{};
    const auto resultado = std::to_chars(buffer.data(), buffer.data() + buffer.size(), std::fabs(pValor),
                                         std::chars_format::scientific, 17);
    const std::string texto(buffer.data(), resultado.ptr);
    const auto e = texto.find('e');
    TDigitos digitos;
    digitos.vDigitos = texto.substr(0, 1) + texto.substr(2, e - 2);
    digitos.vExpoente = std::stoi(texto.substr(e + 1));
    return digitos;
}

// Adds one unit at the last digit; may grow the text by one digit.
void PSomaUm(std::string& pDigitos)
{
    for (auto i = pDigitos.size(); i-- > 0;) {
        if (pDigitos[i] != '9') {
            ++pDigitos[i];
            return;
        }
        pDigitos[i] = '0';
    }
    pDigitos.insert(pDigitos.begin(), '1');
}

// The value rounded to pCasas decimals, as an integer written in units of
// the last decimal: 5.799 with 3 decimals gives "5799".
std::string FDigitosArredondados(double pValor, int pCasas)
{
    const TDigitos d = FDigitosSignificativos(pValor);
    const int guardados = d.vExpoente + 1 + pCasas; // digits left of the cut
    if (guardados < 0)
        return "0";
    const auto n = static_cast<size_t>(guardados);
    if (n >= d.vDigitos.size())
        return d.vDigitos + std::string(n - d.vDigitos.size(), '0');
    std::string resultado = n == 0 ? std::string("0") : d.vDigitos.substr(0, n);
    if (d.vDigitos[n] >= '5')
        PSomaUm(resultado);
    return resultado;
}

QString FMontaNumero(std::string pDigitos, int pCasas, bool pNegativo)
{
    const auto casas = static_cast<size_t>(pCasas);
    if (pDigitos.size() <= casas)
        pDigitos.insert(0, casas + 1 - pDigitos.size(), '0');
    std::string inteiros = pDigitos.substr(0, pDigitos.size() - casas);
    const auto primeiro = inteiros.find_first_not_of('0');
    inteiros = primeiro == std::string::npos ? std::string("0") : inteiros.substr(primeiro);
    const bool zero = pDigitos.find_first_not_of('0') == std::string::npos;
    QString texto = (pNegativo && !zero) ? QStringLiteral("-") : QString();
    texto += QString::fromLatin1(inteiros);
    if (pCasas > 0)
        texto += TConfiguracaoRegional::SeparadorDecimal() + QString::fromLatin1(pDigitos.substr(pDigitos.size() - casas));
    return texto;
}

// The day log keeps the encoding it was found in, its byte-order mark included.
enum class TCodificacaoLog { OitoBits, Utf8, Utf16LE, Utf16BE };

QString FDecodificaLog(const QByteArray& pBytes, TCodificacaoLog& pCodificacao)
{
    if (pBytes.startsWith("\xEF\xBB\xBF")) {
        pCodificacao = TCodificacaoLog::Utf8;
        return QString::fromUtf8(pBytes.mid(3));
    }
    if (pBytes.startsWith("\xFF\xFE") || pBytes.startsWith("\xFE\xFF")) {
        const bool le = pBytes.startsWith("\xFF\xFE");
        pCodificacao = le ? TCodificacaoLog::Utf16LE : TCodificacaoLog::Utf16BE;
        QStringDecoder decodificador(le ? QStringDecoder::Utf16LE : QStringDecoder::Utf16BE);
        return decodificador.decode(pBytes.mid(2));
    }
    // The station's Windows code page; every byte comes back as itself, so
    // the earlier entries are written back with exactly the bytes they had.
    pCodificacao = TCodificacaoLog::OitoBits;
    return TWindows1252::FDecodifica(pBytes);
}

QByteArray FCodificaLog(const QString& pTexto, TCodificacaoLog pCodificacao)
{
    switch (pCodificacao) {
    case TCodificacaoLog::Utf8:
        return QByteArray("\xEF\xBB\xBF") + pTexto.toUtf8();
    case TCodificacaoLog::Utf16LE:
    case TCodificacaoLog::Utf16BE: {
        const bool le = pCodificacao == TCodificacaoLog::Utf16LE;
        QStringEncoder codificador(le ? QStringEncoder::Utf16LE : QStringEncoder::Utf16BE);
        return QByteArray(le ? "\xFF\xFE" : "\xFE\xFF") + QByteArray(codificador.encode(pTexto));
    }
    case TCodificacaoLog::OitoBits:
        break;
    }
    return TWindows1252::FCodifica(pTexto);
}

// The day's text as it stands; a busy day's file is megabytes, so it is
// held once, as one text, and never as a list of lines.
QString FLeLog(const QString& pCaminho, TCodificacaoLog& pCodificacao)
{
    pCodificacao = TCodificacaoLog::OitoBits;
    QFile arquivo(pCaminho);
    if (!arquivo.exists())
        return {};
    if (!arquivo.open(QIODevice::ReadOnly))
        throw EErro(QStringLiteral("Não foi possível ler o arquivo %1.\rMotivo: %2").arg(pCaminho, arquivo.errorString()));
    return FDecodificaLog(arquivo.readAll(), pCodificacao);
}

// What this process last left in a day log. The next entry is appended only
// while the file is still exactly that: the same file, size and times, and
// the newest entry still there byte for byte. Anything else (another program
// wrote to it, a crash cut it short, it is new, it has a byte-order mark)
// takes the whole rewrite, which also brings any odd ending back in line.
struct TEstadoLog {
    QString vCaminho;
    struct stat vInfo {};
    qint64 vInicioUltima = 0; // where the newest entry begins
    QByteArray vUltima;       // the newest entry, as on disk
};

std::mutex vTravaLog;
TEstadoLog vEstadoLog;

QString FArquivoRefazer()
{
    return TDiretorioPrograma::FArquivo(QStringLiteral("ConnectTarnex.refazer"));
}

bool FMesmaVersao(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
           a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec &&
           a.st_ctim.tv_sec == b.st_ctim.tv_sec && a.st_ctim.tv_nsec == b.st_ctim.tv_nsec;
}

bool FLeInfo(const QString& pCaminho, struct stat& pInfo)
{
    return ::stat(QFile::encodeName(pCaminho).constData(), &pInfo) == 0;
}

void PAnotaLog(const QString& pCaminho, qint64 pInicioUltima, const QByteArray& pUltima)
{
    vEstadoLog = {};
    struct stat info {};
    if (FLeInfo(pCaminho, info) && info.st_size == pInicioUltima + pUltima.size())
        vEstadoLog = {pCaminho, info, pInicioUltima, pUltima};
}

bool FLogComoDeixado(const QString& pCaminho)
{
    struct stat info {};
    if (vEstadoLog.vCaminho != pCaminho || !FLeInfo(pCaminho, info) || !FMesmaVersao(info, vEstadoLog.vInfo))
        return false;
    QFile arquivo(pCaminho);
    return arquivo.open(QIODevice::ReadOnly) && arquivo.seek(vEstadoLog.vInicioUltima) &&
           arquivo.read(vEstadoLog.vUltima.size()) == vEstadoLog.vUltima;
}

const QString cFimDeLinha = QStringLiteral("\r\n");

// A group of entries as the file holds them once the last one is written:
// each of the others has been written, read back and re-split by the entry
// after it, as a call per entry would have done.
struct TGrupoLog {
    QString vAnteriores;
    QString vUltima;
};

TGrupoLog FGrupoLog(const QStringList& pEntradas, TCodificacaoLog pCodificacao)
{
    TGrupoLog grupo;
    for (qsizetype i = 0; i + 1 < pEntradas.size(); ++i) {
        TCodificacaoLog lida = pCodificacao;
        QString entrada = FDecodificaLog(FCodificaLog(pEntradas[i] + cFimDeLinha, pCodificacao), lida);
        TGenerico::PRedivideLinhas(entrada);
        grupo.vAnteriores += entrada;
    }
    grupo.vUltima = pEntradas.constLast() + cFimDeLinha;
    return grupo;
}

// The rewrite re-splits every line of the file, so the entry that was the
// newest gets CR LF after each of its lines, and the new ones are added as
// they come. Only that tail of the file changes: it is replaced in place,
// and the capture that writes it waits for one sync, the redo record's; the
// log's own comes when the event loop is next free, or before the next write.
void PAcrescentaLog(const QString& pCaminho, const QStringList& pEntradas)
{
    TCodificacaoLog codificacao = TCodificacaoLog::OitoBits;
    QString texto = FDecodificaLog(vEstadoLog.vUltima, codificacao);
    TGenerico::PRedivideLinhas(texto);
    const TGrupoLog grupo = FGrupoLog(pEntradas, TCodificacaoLog::OitoBits);
    const QByteArray anteriores = FCodificaLog(texto + grupo.vAnteriores, TCodificacaoLog::OitoBits);
    const QByteArray ultima = FCodificaLog(grupo.vUltima, TCodificacaoLog::OitoBits);
    const qint64 inicio = vEstadoLog.vInicioUltima;
    const QByteArray antigo = vEstadoLog.vUltima;
    vEstadoLog = {}; // known again only once the write went through
    TFinalArquivo::PTroca(pCaminho, FArquivoRefazer(), inicio, antigo, anteriores + ultima,
                          TFinalArquivo::TSincronia::Adiada);
    PAnotaLog(pCaminho, inicio + anteriores.size(), ultima);
}

void PReescreveLog(const QString& pCaminho, const QStringList& pEntradas)
{
    vEstadoLog = {};
    // An append that a crash cut short is completed first, so that the
    // rewrite below reads whole entries; so is this process's own append
    // whose sync is still pending: the rewrite replaces the file it syncs.
    TFinalArquivo::FRecupera(FArquivoRefazer());
    TCodificacaoLog codificacao = TCodificacaoLog::OitoBits;
    QString texto = FLeLog(pCaminho, codificacao);
    TGenerico::PRedivideLinhas(texto);
    const TGrupoLog grupo = FGrupoLog(pEntradas, codificacao);
    texto += grupo.vAnteriores + grupo.vUltima;
    const QByteArray bytes = FCodificaLog(texto, codificacao);
    texto = QString();
    TGravacaoAtomica::PGrava(pCaminho, bytes);
    if (codificacao == TCodificacaoLog::OitoBits) {
        const qsizetype ultima = FCodificaLog(grupo.vUltima, codificacao).size();
        PAnotaLog(pCaminho, bytes.size() - ultima, bytes.right(ultima));
    }
}

QString FCarimboLog(const QDateTime& pMomento)
{
    return TGenerico::FFormataData(pMomento.date()) + QLatin1Char(' ') + TConfiguracaoRegional::SeparadorData() +
           QLatin1Char(' ') + TGenerico::FFormataHora(pMomento.time());
}

QString FDoisDigitos(int pNumero)
{
    return QStringLiteral("%1").arg(pNumero, 2, 10, QLatin1Char('0'));
}

bool vSincroniaAgendada = false; // under vTravaLog

// The entry written on a thread of its own, if one was; every later entry,
// and every look into the log, waits for it.
std::mutex vTravaParalelo;
std::shared_future<void> vEmParalelo;

// Run by the event loop: it must not raise. A failed sync leaves the record
// valid, and the next entry or recovery concludes it.
void PConcluiSincroniaAgendada() noexcept
{
    try {
        const std::lock_guard trava(vTravaLog);
        vSincroniaAgendada = false;
        TFinalArquivo::PConcluiPendente();
    } catch (...) {
    }
}

// The log's own sync, left to the next turn of the event loop: a burst of
// entries made within one event pays it once, before the next record.
// Without an application (tools, tests) it waits for the next write.
void PAgendaSincronia()
{
    QCoreApplication* aplicacao = QCoreApplication::instance();
    if (!aplicacao || vSincroniaAgendada || !TFinalArquivo::FHaPendente())
        return;
    vSincroniaAgendada = QMetaObject::invokeMethod(aplicacao, &PConcluiSincroniaAgendada, Qt::QueuedConnection);
}

} // namespace

QString TGenerico::FFormataNumero(double pValor, int pCasas)
{
    if (std::isnan(pValor))
        return QStringLiteral("NAN");
    if (std::isinf(pValor))
        return pValor < 0 ? QStringLiteral("-INF") : QStringLiteral("INF");
    return FMontaNumero(FDigitosArredondados(pValor, pCasas), pCasas, std::signbit(pValor));
}

QString TGenerico::FFormataGeral(double pValor)
{
    std::array<char, 64> buffer{};
    const auto resultado =
        std::to_chars(buffer.data(), buffer.data() + buffer.size(), pValor, std::chars_format::general, 15);
    QString texto = QString::fromLatin1(buffer.data(), resultado.ptr - buffer.data());
    if (texto == QLatin1String("-0"))
        texto = QStringLiteral("0");
    return texto.replace(QLatin1Char('.'), TConfiguracaoRegional::SeparadorDecimal());
}

double TGenerico::FLeNumero(const QString& pTexto)
{
    const QChar separador = TConfiguracaoRegional::SeparadorDecimal();
    QByteArray ascii;
    int digitos = 0;
    int separadores = 0;
    const QString texto = pTexto.trimmed();
    for (qsizetype i = 0; i < texto.size(); ++i) {
        const QChar c = texto.at(i);
        if (c == separador) {
            ++separadores;
            ascii += '.';
        } else if (c.isDigit() && c.unicode() < 128) {
            ++digitos;
            ascii += static_cast<char>(c.unicode());
        } else if ((c == QLatin1Char('-') || c == QLatin1Char('+')) && i == 0) {
            ascii += static_cast<char>(c.unicode());
        } else {
            digitos = 0; // any other character makes the text unreadable
            break;
        }
    }
    double valor = 0;
    const char* inicio = ascii.constData() + (ascii.startsWith('+') ? 1 : 0);
    const auto [fim, erro] = std::from_chars(inicio, ascii.constData() + ascii.size(), valor);
    if (digitos == 0 || separadores > 1 || erro != std::errc() || fim != ascii.constData() + ascii.size())
        throw EErro(QStringLiteral("'%1' não é um valor numérico válido.").arg(pTexto));
    return valor;
}

QString TGenerico::FFormataData(const QDate& pData)
{
    const QChar s = TConfiguracaoRegional::SeparadorData();
    return FDoisDigitos(pData.day()) + s + FDoisDigitos(pData.month()) + s +
           QStringLiteral("%1").arg(pData.year(), 4, 10, QLatin1Char('0'));
}

QString TGenerico::FFormataHora(const QTime& pHora)
{
    const QChar s = TConfiguracaoRegional::SeparadorHora();
    return FDoisDigitos(pHora.hour()) + s + FDoisDigitos(pHora.minute()) + s + FDoisDigitos(pHora.second());
}

QString TGenerico::FArquivoLog(const QDate& pData)
{
    return TDiretorioPrograma::FArquivo(QStringLiteral("ConnectTarnex") + FDoisDigitos(pData.day()) +
                                        FDoisDigitos(pData.month()) + QString::number(pData.year()) +
                                        QStringLiteral(".log"));
}

bool TGenerico::FTemEntradaNoLog(const QDate& pData, const QString& pDados)
{
    PAguardaEmParalelo();
    const std::lock_guard trava(vTravaLog);
    // An append a crash cut short is completed first: it may be this entry.
    if (TFinalArquivo::FRecupera(FArquivoRefazer()))
        vEstadoLog = {};
    TCodificacaoLog codificacao = TCodificacaoLog::OitoBits;
    // Only a capture taken up again after a crash looks: the lines of one
    // day are held for that moment alone.
    const QStringList linhas = FDivideLinhas(FLeLog(FArquivoLog(pData), codificacao));
    const QStringList procuradas = FDivideLinhas(pDados) << cSeparadorLog;
    // An entry's text runs from the line after its first separator to its
    // second separator.
    for (qsizetype i = 1; i + procuradas.size() <= linhas.size(); ++i) {
        if (linhas[i - 1] == cSeparadorLog &&
            std::equal(procuradas.begin(), procuradas.end(), linhas.begin() + i))
            return true;
    }
    return false;
}

QStringList TGenerico::FDivideLinhas(const QString& pTexto)
{
    QStringList linhas;
    const qsizetype n = pTexto.size();
    qsizetype i = 0;
    while (i < n) {
        const qsizetype inicio = i;
        while (i < n && pTexto[i] != QLatin1Char('\r') && pTexto[i] != QLatin1Char('\n'))
            ++i;
        linhas.append(pTexto.mid(inicio, i - inicio));
        if (i < n && pTexto[i] == QLatin1Char('\r'))
            ++i;
        if (i < n && pTexto[i] == QLatin1Char('\n'))
            ++i;
    }
    return linhas;
}

void TGenerico::PRedivideLinhas(QString& pTexto)
{
    // A busy day's file is megabytes that already end every line with CR LF
    // but in the newest entry: the text grows in place, from its end, and the
    // work stops where nothing moves any more.
    const qsizetype n = pTexto.size();
    const QChar* t = pTexto.constData();
    qsizetype acrescimo = 0;
    for (qsizetype i = 0; i < n; ++i) {
        if (t[i] == QLatin1Char('\r') && i + 1 < n && t[i + 1] == QLatin1Char('\n'))
            ++i;
        else if (t[i] == QLatin1Char('\r') || t[i] == QLatin1Char('\n'))
            ++acrescimo;
    }
    const bool semFim = n > 0 && t[n - 1] != QLatin1Char('\r') && t[n - 1] != QLatin1Char('\n');
    acrescimo += semFim ? 2 : 0;
    if (acrescimo == 0)
        return;
    pTexto.resize(n + acrescimo);
    QChar* d = pTexto.data();
    qsizetype origem = n - 1;
    qsizetype destino = n + acrescimo - 1;
    if (semFim) {
        d[destino--] = QLatin1Char('\n');
        d[destino--] = QLatin1Char('\r');
    }
    while (origem >= 0 && destino > origem) {
        const QChar c = d[origem];
        if (c == QLatin1Char('\n') || c == QLatin1Char('\r')) {
            // A CR seen here stands alone: one followed by LF went with it.
            if (c == QLatin1Char('\n') && origem > 0 && d[origem - 1] == QLatin1Char('\r'))
                --origem;
            --origem;
            d[destino--] = QLatin1Char('\n');
            d[destino--] = QLatin1Char('\r');
        } else {
            d[destino--] = c;
            --origem;
        }
    }
}

void TGenerico::PGeraLog(const QString& pDados)
{
    if (TLoteLog::FRecolhe(pDados))
        return;
    PGeraLog(QStringList{pDados});
}

void TGenerico::PGeraLog(const QStringList& pEntradas)
{
    PAguardaEmParalelo();
    PGravaEntradas(pEntradas);
}

std::shared_future<void> TGenerico::FGeraLogEmParalelo(const QString& pDados)
{
    std::promise<void> recolhida;
    if (TLoteLog::FRecolhe(pDados)) {
        recolhida.set_value();
        return recolhida.get_future().share();
    }
    const std::lock_guard trava(vTravaParalelo);
    // One on its way at a time: the entries keep the order they were made in.
    if (vEmParalelo.valid())
        vEmParalelo.wait();
    vEmParalelo = std::async(std::launch::async, [pDados] { PGravaEntradas({pDados}); }).share();
    return vEmParalelo;
}

void TGenerico::PAguardaEmParalelo()
{
    std::shared_future<void> emParalelo;
    {
        const std::lock_guard trava(vTravaParalelo);
        emParalelo = vEmParalelo;
    }
    if (emParalelo.valid())
        emParalelo.wait(); // its failure is its caller's to report
}

void TGenerico::PGravaEntradas(const QStringList& pEntradas)
{
    if (pEntradas.isEmpty())
        return;
    // The clock is read twice, for the file and for the stamp: an entry made
    // across midnight may carry the new day's stamp in the old day's file.
    const QString caminho = FArquivoLog(QDate::currentDate());
    const std::lock_guard trava(vTravaLog);
    const QChar cr = QLatin1Char('\r');
    QStringList entradas;
    for (const QString& dados : pEntradas)
        entradas.append(QStringLiteral("Data / Hora: ") + FCarimboLog(QDateTime::currentDateTime()) + cr +
                        cSeparadorLog + cr + dados + cr + cSeparadorLog);
    if (FLogComoDeixado(caminho))
        PAcrescentaLog(caminho, entradas);
    else
        PReescreveLog(caminho, entradas);
    PAgendaSincronia();
}

QString TGenerico::FCompletaZero(int Numero, int Quantidade)
{
    QString texto = QString::number(Numero);
    if (texto.size() < Quantidade)
        texto.prepend(QString(Quantidade - texto.size(), QLatin1Char('0')));
    return texto;
}

QString TGenerico::FCompletaEspaco(const QString& Texto, int Quantidade)
{
    return Texto.size() < Quantidade ? Texto + QString(Quantidade - Texto.size(), QLatin1Char(' ')) : Texto;
}

double TGenerico::FRetornaCasasDecimais(int pDecimais, int pCampo)
{
    switch (pDecimais) {
    case 1:
        return pCampo / 10.0;
    case 2:
        return pCampo / 100.0;
    case 3:
        return pCampo / 1000.0;
    default:
        return 0;
    }
}

double TGenerico::FArredondaValor(double pValor)
{
    return FLeNumero(FFormataNumero(pValor, 2));
}

double TGenerico::FTruncaValor(double pValor)
{
    const QString texto = FFormataNumero(pValor, 3);
    return FLeNumero(texto.left(texto.size() - 1));
}

QString TGenerico::FDescripta(const QString& pCriptografia, int pTamanho)
{
    QString resultado;
    for (int i = pTamanho; i >= 1; --i) {
        const QString grupo = pCriptografia.mid(3 * i - 3, 3);
        int codigo = 0;
        if (!TArquivoIni::FEhInteiro(grupo, codigo) || codigo < 0)
            throw EErro(QStringLiteral("'%1' não é um valor inteiro válido.").arg(grupo));
        resultado += QChar(static_cast<char16_t>(codigo));
    }
    return resultado;
}

QString TGenerico::FTextoErroConcentrador(int pMetodo)
{
    static const QString cSuporte = QStringLiteral("Solicite informações ao suporte da Tarnex Technology.");
    switch (pMetodo) {
    case -1:
        return QStringLiteral("O parâmetro número do FcmSlave (sl) está incorreto, ou não foi encontrado.");
    case -2:
        return QStringLiteral("O parâmetro Bomba (bo) está incorreto.");
    case -3:
        return QStringLiteral("O parâmetro Bico (bi) está incorreto.");
    case -4:
        return QStringLiteral("O parâmetro casas decimais (cd) está incorreto.");
    case -5:
        return QStringLiteral("O parâmetro Modo de Operação está incorreto.");
    case -6:
        return QStringLiteral("O parâmetro Formato Mensagem de Abastecimento está incorreto.");
    case -7:
        return QStringLiteral("O Fcm Slave em questão não existe ou não está respondendo no momento.");
    case -8:
        return QStringLiteral("Parâmetro do CMD especial está incorreto.");
    case -12:
        return QStringLiteral("Este número de Fcm Master já foi iniciado.");
    default:
        return (pMetodo >= -15 && pMetodo <= -9) ? cSuporte : QString();
    }
}
