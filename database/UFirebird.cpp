#include "UFirebird.h"

#include "UWindows1252.h"

#include <QDate>
#include <QFile>
#include <QTime>

#include <firebird/Interface.h>
#include <ibase.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <set>
#include <thread>
#include <string>
#include <unordered_map>
#include <utility>

using namespace Firebird;

namespace {

// The client library shuts the engine down by itself on SIGINT and SIGTERM,
// under the program's open attachment, and leaves the program running on a
// dead database; the program ends itself on those signals instead, closing
// its connection first.
int FRecusaDesligarPorSinal(const int pMotivo, const int, void*)
{
    return pMotivo == fb_shutrsn_signal ? 1 : 0;
}

IMaster* FMestre()
{
    static IMaster* const mestre = [] {
        IMaster* m = fb_get_master_interface();
        ISC_STATUS_ARRAY status{};
        fb_shutdown_callback(status, FRecusaDesligarPorSinal, fb_shut_confirmation, nullptr);
        return m;
    }();
    return mestre;
}

// A status object and the wrapper that turns its errors into FbException.
class TStatus {
public:
    TStatus() : vStatus(FMestre()->getStatus()), vWrapper(vStatus) {}
    ~TStatus() { vStatus->dispose(); }
    TStatus(const TStatus&) = delete;
    TStatus& operator=(const TStatus&) = delete;
    ThrowStatusWrapper* operator&() { return &vWrapper; }

private:
    IStatus* vStatus;
    ThrowStatusWrapper vWrapper;
};

// Any reference-counted interface of the client, released on every path.
template <typename T>
class TReferencia {
public:
    TReferencia() = default;
    explicit TReferencia(T* p) : v(p) {}
    TReferencia(TReferencia&& pOutra) noexcept : v(std::exchange(pOutra.v, nullptr)) {}
    TReferencia& operator=(TReferencia&&) = delete;
    ~TReferencia()
    {
        if (v)
            v->release();
    }
    TReferencia(const TReferencia&) = delete;
    TReferencia& operator=(const TReferencia&) = delete;
    T* operator->() const { return v; }
    T* get() const { return v; }
    // The interface has released itself (a commit, a close).
    void PSolta() { v = nullptr; }

private:
    T* v = nullptr;
};

// A builder of parameter blocks; disposed, not released.
class TBlocoXpb {
public:
    TBlocoXpb(TStatus& pStatus, unsigned pTipo)
        : v(FMestre()->getUtilInterface()->getXpbBuilder(&pStatus, pTipo, nullptr, 0))
    {
    }
    ~TBlocoXpb() { v->dispose(); }
    TBlocoXpb(const TBlocoXpb&) = delete;
    TBlocoXpb& operator=(const TBlocoXpb&) = delete;
    IXpbBuilder* operator->() const { return v; }

private:
    IXpbBuilder* v;
};

// A transaction that ends in a rollback unless it was committed.
class TTransacao {
public:
    explicit TTransacao(ITransaction* p) : v(p) {}
    ~TTransacao()
    {
        if (!v)
            return;
        IStatus* status = FMestre()->getStatus();
        CheckStatusWrapper verificador(status);
        v->rollback(&verificador);
        if (verificador.getState() & IStatus::STATE_ERRORS)
            v->release(); // the attachment is gone; nothing left to roll back
        status->dispose();
    }
    TTransacao(const TTransacao&) = delete;
    TTransacao& operator=(const TTransacao&) = delete;
    ITransaction* get() const { return v; }
    void PConfirma(TStatus& pStatus)
    {
        v->commit(&pStatus);
        v = nullptr;
    }

private:
    ITransaction* v;
};

QByteArray FBytes(const QString& pTexto)
{
    // The station database keeps its texts in the Windows 8-bit code page;
    // the connection asks for no character set, so bytes travel as they are.
    return TWindows1252::FCodifica(pTexto);
}

QString FTexto(const unsigned char* pDado, unsigned pTamanho)
{
    return TWindows1252::FDecodifica(QByteArrayView(pDado, pTamanho));
}

QString FTextoDoErro(IStatus* pStatus)
{
    char texto[4096] = {};
    FMestre()->getUtilInterface()->formatStatus(texto, sizeof texto - 1, pStatus);
    return QString::fromLocal8Bit(texto).trimmed();
}

// Whether the error's status holds one of these codes.
template <size_t N>
bool FTemCodigo(IStatus* pStatus, const ISC_STATUS (&pCodigos)[N])
{
    const ISC_STATUS* v = pStatus->getErrors();
    while (v && *v != isc_arg_end) {
        const ISC_STATUS tipo = *v++;
        if (tipo == isc_arg_gds) {
            const ISC_STATUS codigo = *v++;
            if (std::find(std::begin(pCodigos), std::end(pCodigos), codigo) != std::end(pCodigos))
                return true;
        } else {
            v += (tipo == isc_arg_cstring) ? 2 : 1;
        }
    }
    return false;
}

// Errors that mean the attachment is no longer there.
const ISC_STATUS cConexaoPerdida[] = {isc_network_error, isc_net_read_err,      isc_net_write_err,
                                      isc_lost_db_connection, isc_conn_lost, isc_shutdown,
                                      isc_att_shutdown,       isc_shutinprog, isc_bad_db_handle,
                                      isc_connect_reject};
// A row changed and committed by another transaction while this one waited.
const ISC_STATUS cConflito[] = {isc_update_conflict, isc_deadlock, isc_lock_conflict, isc_lock_timeout};
// The statement itself is refused whatever the moment: a rule of the table,
// a value that does not fit, a trigger's exception, a missing right.
const ISC_STATUS cRecusa[] = {isc_not_valid,         isc_not_valid_for,     isc_unique_key_violation,
                              isc_no_dup,            isc_foreign_key,       isc_check_constraint,
                              isc_primary_key_notnull, isc_primary_key_ref, isc_integ_fail,
                              isc_arith_except,      isc_convert_error,     isc_string_truncation,
                              isc_numeric_out_of_range, isc_datetime_range_exceeded, isc_except,
                              isc_except2,           isc_no_priv,           isc_read_only_field};

EErroBanco FErro(const FbException& pErro)
{
    IStatus* status = pErro.getStatus();
    const bool perdida = FTemCodigo(status, cConexaoPerdida);
    const bool conflito = FTemCodigo(status, cConflito);
    return EErroBanco(FTextoDoErro(status), perdida, conflito, !perdida && !conflito && FTemCodigo(status, cRecusa));
}

// A query runs read-only: the engine starts such a transaction already
// committed, so its end writes nothing to the database, where a read-write
// one costs a forced write of the transaction inventory.
// pEsperaTrava: -1 waits on locks, 0 does not wait, more waits that long.
std::vector<unsigned char> FBlocoTransacao(TStatus& pStatus, bool pSomenteLeitura, int pEsperaTrava)
{
    TBlocoXpb tpb(pStatus, IXpbBuilder::TPB);
    const int acesso = pSomenteLeitura ? isc_tpb_read : isc_tpb_write;
    for (const int marca : {acesso, isc_tpb_read_committed, isc_tpb_rec_version})
        tpb->insertTag(&pStatus, static_cast<unsigned char>(marca));
    tpb->insertTag(&pStatus, static_cast<unsigned char>(pEsperaTrava == 0 ? isc_tpb_nowait : isc_tpb_wait));
    if (pEsperaTrava > 0)
        tpb->insertInt(&pStatus, isc_tpb_lock_timeout, pEsperaTrava);
    const unsigned char* inicio = tpb->getBuffer(&pStatus);
    return {inicio, inicio + tpb->getBufferLength(&pStatus)};
}

qint64 FAgoraMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// The watch over every connection of the process: one thread that looks,
// a few times a second, for a call that has run past the limit.
class TVigia {
public:
    static TVigia& FInstancia()
    {
        static TVigia vigia;
        return vigia;
    }
    void PRegistra(TConexaoFirebird* pConexao)
    {
        const std::lock_guard trava(vTrava);
        vConexoes.insert(pConexao);
        if (!vLinha.joinable())
            vLinha = std::thread([this] { PVigia(); });
    }
    void PRetira(TConexaoFirebird* pConexao)
    {
        const std::lock_guard trava(vTrava);
        vConexoes.erase(pConexao);
    }
    ~TVigia()
    {
        {
            const std::lock_guard trava(vTrava);
            vFim = true;
        }
        vSinal.notify_all();
        if (vLinha.joinable())
            vLinha.join();
    }

private:
    TVigia() = default;
    void PVigia()
    {
        std::unique_lock trava(vTrava);
        while (!vFim) {
            vSinal.wait_for(trava, std::chrono::milliseconds(200));
            for (TConexaoFirebird* conexao : vConexoes)
                conexao->PAbandonaSeDemorada(TConexaoFirebird::cLimiteSegundos * 1000LL);
        }
    }

    std::mutex vTrava;
    std::condition_variable vSinal;
    std::set<TConexaoFirebird*> vConexoes;
    bool vFim = false;
    std::thread vLinha;
};
const TParametroSql& FParametro(const TParametrosSql& pParametros, const QString& pNome)
{
    for (const TParametroSql& p : pParametros) {
        if (p.vNome.compare(pNome, Qt::CaseInsensitive) == 0)
            return p;
    }
    throw EErro(QStringLiteral("Parâmetro '%1' não informado.").arg(pNome));
}

// The input message: each parameter typed by its value, so that a text
// bound to a DATE or TIME column reaches the server as text and the server
// converts it.
struct TMensagem {
    TReferencia<IMessageMetadata> vMetadados;
    std::vector<unsigned char> vBuffer;
};

void PTipa(TStatus& st, IMetadataBuilder* pConstrutor, unsigned i, const QVariant& pValor)
{
    pConstrutor->setScale(&st, i, 0);
    pConstrutor->setSubType(&st, i, 0);
    switch (pValor.typeId()) {
    case QMetaType::Double:
        pConstrutor->setType(&st, i, SQL_DOUBLE);
        pConstrutor->setLength(&st, i, sizeof(double));
        break;
    case QMetaType::Int:
        pConstrutor->setType(&st, i, SQL_LONG);
        pConstrutor->setLength(&st, i, sizeof(ISC_LONG));
        break;
    default:
        pConstrutor->setType(&st, i, SQL_VARYING);
        pConstrutor->setCharSet(&st, i, 0);
        pConstrutor->setLength(&st, i, static_cast<unsigned>(std::max<qsizetype>(1, FBytes(pValor.toString()).size())));
        break;
    }
}

void PGrava(TStatus& st, IMessageMetadata* pMeta, unsigned i, const QVariant& pValor, unsigned char* pBuffer)
{
    auto* nulo = reinterpret_cast<ISC_SHORT*>(pBuffer + pMeta->getNullOffset(&st, i));
    unsigned char* dado = pBuffer + pMeta->getOffset(&st, i);
    *nulo = pValor.isValid() ? 0 : -1;
    if (!pValor.isValid())
        return;
    if (pValor.typeId() == QMetaType::Double) {
        const double d = pValor.toDouble();
        std::memcpy(dado, &d, sizeof d);
    } else if (pValor.typeId() == QMetaType::Int) {
        const ISC_LONG n = pValor.toInt();
        std::memcpy(dado, &n, sizeof n);
    } else {
        const QByteArray bytes = FBytes(pValor.toString());
        const auto tamanho = static_cast<ISC_USHORT>(bytes.size());
        std::memcpy(dado, &tamanho, sizeof tamanho);
        std::memcpy(dado + sizeof tamanho, bytes.constData(), tamanho);
    }
}

TMensagem FMensagemEntrada(TStatus& st, IStatement* pComando, const QStringList& pNomes,
                           const TParametrosSql& pParametros)
{
    TReferencia<IMessageMetadata> original(pComando->getInputMetadata(&st));
    const unsigned quantos = original->getCount(&st);
    if (quantos != static_cast<unsigned>(pNomes.size()))
        throw EErro(QStringLiteral("O comando tem %1 parâmetro(s) e o texto nomeia %2.").arg(quantos).arg(pNomes.size()));
    if (quantos == 0)
        return {};
    TReferencia<IMetadataBuilder> construtor(original->getBuilder(&st));
    for (unsigned i = 0; i < quantos; ++i)
        PTipa(st, construtor.get(), i, FParametro(pParametros, pNomes.at(static_cast<qsizetype>(i))).vValor);
    TMensagem mensagem{TReferencia<IMessageMetadata>(construtor->getMetadata(&st)), {}};
    mensagem.vBuffer.assign(mensagem.vMetadados->getMessageLength(&st), 0);
    for (unsigned i = 0; i < quantos; ++i)
        PGrava(st, mensagem.vMetadados.get(), i, FParametro(pParametros, pNomes.at(static_cast<qsizetype>(i))).vValor,
               mensagem.vBuffer.data());
    return mensagem;
}

TTipoColuna FTipoColuna(unsigned pTipo, int pEscala, int pSubTipo)
{
    switch (pTipo) {
    case SQL_TEXT:
    case SQL_VARYING:
        return TTipoColuna::Texto;
    case SQL_BLOB:
        return pSubTipo == isc_blob_text ? TTipoColuna::Texto : TTipoColuna::Outro;
    case SQL_SHORT:
    case SQL_LONG:
    case SQL_INT64:
        return pEscala < 0 ? TTipoColuna::Decimal : TTipoColuna::Inteiro;
    case SQL_FLOAT:
    case SQL_DOUBLE:
    case SQL_D_FLOAT:
        return TTipoColuna::Flutuante;
    case SQL_TYPE_DATE:
        return TTipoColuna::Data;
    case SQL_TYPE_TIME:
        return TTipoColuna::Hora;
    case SQL_TIMESTAMP:
        return TTipoColuna::DataHora;
    default:
        return TTipoColuna::Outro;
    }
}

template <typename T>
T FLe(const unsigned char* pDado)
{
    T valor;
    std::memcpy(&valor, pDado, sizeof valor);
    return valor;
}

QVariant FInteiroEscalado(qint64 pValor, int pEscala)
{
    if (pEscala >= 0)
        return pValor;
    double divisor = 1;
    for (int i = 0; i < -pEscala; ++i)
        divisor *= 10;
    return static_cast<double>(pValor) / divisor;
}

QDate FData(ISC_DATE pData)
{
    unsigned ano = 0, mes = 0, dia = 0;
    FMestre()->getUtilInterface()->decodeDate(pData, &ano, &mes, &dia);
    return QDate(static_cast<int>(ano), static_cast<int>(mes), static_cast<int>(dia));
}

QTime FHora(ISC_TIME pHora)
{
    unsigned h = 0, m = 0, s = 0, fracao = 0;
    FMestre()->getUtilInterface()->decodeTime(pHora, &h, &m, &s, &fracao);
    return QTime(static_cast<int>(h), static_cast<int>(m), static_cast<int>(s), static_cast<int>(fracao / 10));
}

QVariant FValor(unsigned pTipo, int pEscala, unsigned pTamanho, const unsigned char* pDado)
{
    switch (pTipo) {
    case SQL_TEXT:
        return FTexto(pDado, pTamanho);
    case SQL_VARYING:
        return FTexto(pDado + 2, FLe<ISC_USHORT>(pDado));
    case SQL_SHORT:
        return FInteiroEscalado(FLe<ISC_SHORT>(pDado), pEscala);
    case SQL_LONG:
        return FInteiroEscalado(FLe<ISC_LONG>(pDado), pEscala);
    case SQL_INT64:
        return FInteiroEscalado(FLe<ISC_INT64>(pDado), pEscala);
    case SQL_FLOAT:
        return static_cast<double>(FLe<float>(pDado));
    case SQL_DOUBLE:
    case SQL_D_FLOAT:
        return FLe<double>(pDado);
    case SQL_TYPE_DATE:
        return FData(FLe<ISC_DATE>(pDado));
    case SQL_TYPE_TIME:
        return FHora(FLe<ISC_TIME>(pDado));
    case SQL_TIMESTAMP: {
        const auto carimbo = FLe<ISC_TIMESTAMP>(pDado);
        return QDateTime(FData(carimbo.timestamp_date), FHora(carimbo.timestamp_time));
    }
    case SQL_BOOLEAN:
        return *pDado != 0;
    default:
        return {}; // not reached: FLegivel turns these away
    }
}

// Types of newer servers, which this client's headers do not name.
constexpr unsigned cInt128 = 32752;
constexpr unsigned cDecFloat16 = 32760;
constexpr unsigned cDecFloat34 = 32762;
constexpr unsigned cTimestampFuso = 32754;
constexpr unsigned cHoraFuso = 32756;
constexpr unsigned cTimestampFusoEx = 32748;
constexpr unsigned cHoraFusoEx = 32750;

bool FLegivel(unsigned pTipo, int pSubTipo)
{
    switch (pTipo) {
    case SQL_TEXT:
    case SQL_VARYING:
    case SQL_SHORT:
    case SQL_LONG:
    case SQL_INT64:
    case SQL_FLOAT:
    case SQL_DOUBLE:
    case SQL_D_FLOAT:
    case SQL_TYPE_DATE:
    case SQL_TYPE_TIME:
    case SQL_TIMESTAMP:
    case SQL_BOOLEAN:
    case SQL_NULL:
        return true;
    case SQL_BLOB:
        return pSubTipo == isc_blob_text;
    default:
        return false;
    }
}

QString FNomeTipo(unsigned pTipo, int pSubTipo)
{
    switch (pTipo) {
    case SQL_BLOB:
        return QStringLiteral("BLOB SUB_TYPE %1").arg(pSubTipo);
    case SQL_ARRAY:
        return QStringLiteral("ARRAY");
    case cInt128:
        return QStringLiteral("INT128");
    case cDecFloat16:
        return QStringLiteral("DECFLOAT(16)");
    case cDecFloat34:
        return QStringLiteral("DECFLOAT(34)");
    case cTimestampFuso:
    case cTimestampFusoEx:
        return QStringLiteral("TIMESTAMP WITH TIME ZONE");
    case cHoraFuso:
    case cHoraFusoEx:
        return QStringLiteral("TIME WITH TIME ZONE");
    default:
        return QStringLiteral("de código %1").arg(pTipo);
    }
}

// A text BLOB read whole, however many segments it takes.
QString FTextoBlob(TStatus& st, IAttachment* pAnexo, ITransaction* pTransacao, const unsigned char* pDado)
{
    ISC_QUAD id = FLe<ISC_QUAD>(pDado);
    TReferencia<IBlob> blob(pAnexo->openBlob(&st, pTransacao, &id, 0, nullptr));
    QByteArray bytes;
    std::array<char, 32768> segmento{};
    unsigned lidos = 0;
    int estado = IStatus::RESULT_OK;
    while ((estado = blob->getSegment(&st, static_cast<unsigned>(segmento.size()), segmento.data(), &lidos)) ==
               IStatus::RESULT_OK ||
           estado == IStatus::RESULT_SEGMENT)
        bytes.append(segmento.data(), lidos);
    blob->close(&st);
    blob.PSolta();
    return TWindows1252::FDecodifica(bytes);
}

// Where and how one column lies in the output message.
struct TColunaSaida {
    unsigned vTipo;
    int vEscala;
    int vSubTipo;
    unsigned vTamanho;
    unsigned vPosicao;
    unsigned vPosicaoNulo;
    QString vNome;
};

// Short texts repeat all the way down a column (codes, tank, pump and nozzle
// numbers): equal ones share one string rather than take a block each.
class TTextosRepetidos {
public:
    QVariant FValor(const char* pDados, qsizetype pTamanho)
    {
        if (pTamanho > cCurto)
            return TWindows1252::FDecodifica(QByteArrayView(pDados, pTamanho));
        std::string chave(pDados, static_cast<size_t>(pTamanho)); // short: no block of its own
        const auto achado = vVistos.find(chave);
        if (achado != vVistos.end())
            return achado->second;
        QVariant valor = TWindows1252::FDecodifica(QByteArrayView(pDados, pTamanho));
        if (vVistos.size() < cLimite)
            vVistos.emplace(std::move(chave), valor);
        return valor;
    }

private:
    static constexpr qsizetype cCurto = 15;
    static constexpr size_t cLimite = 4096;
    std::unordered_map<std::string, QVariant> vVistos;
};

// What the rows are read with: a BLOB is fetched through its attachment
// and transaction.
struct TLeitura {
    IAttachment* vAnexo;
    ITransaction* vTransacao;
};

QVariant FCelula(TStatus& st, const TLeitura& pLeitura, const TColunaSaida& c, const unsigned char* pBuffer,
                 TTextosRepetidos& pTextos)
{
    if (FLe<ISC_SHORT>(pBuffer + c.vPosicaoNulo) != 0)
        return {};
    // A value the program cannot read is an error, never an empty value.
    if (!FLegivel(c.vTipo, c.vSubTipo))
        throw EErro(QStringLiteral("O campo %1 é do tipo %2, que o programa não lê.").arg(c.vNome, FNomeTipo(c.vTipo, c.vSubTipo)));
    const unsigned char* dado = pBuffer + c.vPosicao;
    const auto* texto = reinterpret_cast<const char*>(dado);
    if (c.vTipo == SQL_BLOB)
        return FTextoBlob(st, pLeitura.vAnexo, pLeitura.vTransacao, dado);
    if (c.vTipo == SQL_TEXT)
        return pTextos.FValor(texto, c.vTamanho);
    if (c.vTipo == SQL_VARYING)
        return pTextos.FValor(texto + 2, FLe<ISC_USHORT>(dado));
    return FValor(c.vTipo, c.vEscala, c.vTamanho, dado);
}

TResultadoSql FLeCursor(TStatus& st, const TLeitura& pLeitura, IResultSet* pCursor, IMessageMetadata* pMeta)
{
    const unsigned colunas = pMeta->getCount(&st);
    QStringList nomes;
    QList<TTipoColuna> tipos;
    // Read once: the day's grid fetches thousands of rows.
    std::vector<TColunaSaida> saida;
    for (unsigned i = 0; i < colunas; ++i) {
        const TColunaSaida coluna{pMeta->getType(&st, i) & ~1u,   pMeta->getScale(&st, i),
                                  pMeta->getSubType(&st, i),      pMeta->getLength(&st, i),
                                  pMeta->getOffset(&st, i),       pMeta->getNullOffset(&st, i),
                                  TWindows1252::FDecodifica(QByteArrayView(pMeta->getAlias(&st, i)))};
        nomes.append(coluna.vNome);
        tipos.append(FTipoColuna(coluna.vTipo, coluna.vEscala, coluna.vSubTipo));
        saida.push_back(coluna);
    }
    TResultadoSql resultado(nomes, tipos);
    std::vector<unsigned char> buffer(pMeta->getMessageLength(&st));
    std::vector<TTextosRepetidos> textos(colunas);
    QList<QVariant> linha;
    linha.reserve(colunas);
    while (pCursor->fetchNext(&st, buffer.data()) == IStatus::RESULT_OK) {
        linha.clear();
        for (unsigned i = 0; i < colunas; ++i)
            linha.append(FCelula(st, pLeitura, saida[i], buffer.data(), textos[i]));
        resultado.PAdicionaLinha(linha);
    }
    resultado.PAjusta();
    return resultado;
}

// Only how many rows there are: no value is read.
TResultadoSql FContaCursor(TStatus& st, IResultSet* pCursor, IMessageMetadata* pMeta)
{
    TResultadoSql resultado;
    std::vector<unsigned char> buffer(pMeta->getMessageLength(&st));
    while (pCursor->fetchNext(&st, buffer.data()) == IStatus::RESULT_OK)
        resultado.PAdicionaLinha({});
    return resultado;
}

IAttachment* FAnexa(TStatus& st, const QString& pBanco, const QString& pUsuario, const QString& pSenha,
                    const QString& pPapel, bool pCria)
{
    TBlocoXpb dpb(st, IXpbBuilder::DPB);
    dpb->insertString(&st, isc_dpb_user_name, FBytes(pUsuario).constData());
    dpb->insertString(&st, isc_dpb_password, FBytes(pSenha).constData());
    if (!pPapel.isEmpty())
        dpb->insertString(&st, isc_dpb_sql_role_name, FBytes(pPapel).constData());
    dpb->insertInt(&st, isc_dpb_sql_dialect, 3);
    // A server that takes the connection and never answers (stopped, or its
    // host gone) fails the attach instead of holding it for minutes.
    dpb->insertInt(&st, isc_dpb_connect_timeout, TConexaoFirebird::cLimiteSegundos);
    if (pCria)
        dpb->insertInt(&st, isc_dpb_page_size, 8192);
    TReferencia<IProvider> provedor(FMestre()->getDispatcher());
    const QByteArray banco = QFile::encodeName(pBanco);
    return pCria ? provedor->createDatabase(&st, banco.constData(), dpb->getBufferLength(&st), dpb->getBuffer(&st))
                 : provedor->attachDatabase(&st, banco.constData(), dpb->getBufferLength(&st), dpb->getBuffer(&st));
}

} // namespace

TConexaoFirebird::TConexaoFirebird(bool pSomenteLeitura) : vSomenteLeitura(pSomenteLeitura)
{
    TVigia::FInstancia().PRegistra(this);
}

TConexaoFirebird::~TConexaoFirebird()
{
    TVigia::FInstancia().PRetira(this);
    if (!vAnexo)
        return;
    IStatus* status = FMestre()->getStatus();
    CheckStatusWrapper verificador(status);
    vAnexo->detach(&verificador);
    if (verificador.getState() & IStatus::STATE_ERRORS)
        vAnexo->release();
    status->dispose();
}

void TConexaoFirebird::PDescartaAnexo()
{
    IAttachment* anexo = nullptr;
    {
        const std::lock_guard trava(vTravaAnexo);
        anexo = std::exchange(vAnexo, nullptr);
    }
    if (anexo)
        anexo->release();
}

void TConexaoFirebird::PDefineDados(const TDadosConexao& pDados)
{
    vBanco = pDados.vBanco;
    vUsuario = pDados.vUsuario;
    vSenha = pDados.vSenha;
    vPapel = pDados.vPapel;
    PDescartaAnexo();
}

void TConexaoFirebird::PAbandonaSeDemorada(qint64 pLimiteMs)
{
    const qint64 inicio = vInicioChamada.load();
    if (inicio != 0 && FAgoraMs() - inicio >= pLimiteMs)
        PAbandona();
}

void TConexaoFirebird::PAbandona()
{
    const std::lock_guard trava(vTravaAnexo);
    if (!vAnexo || vInicioChamada.load() == 0 || vAbandonada.exchange(true))
        return;
    // The one call the client takes from another thread in the middle of
    // a call: it closes the attachment's link, and the call under way
    // returns with an error.
    IStatus* status = FMestre()->getStatus();
    CheckStatusWrapper verificador(status);
    vAnexo->cancelOperation(&verificador, fb_cancel_abort);
    status->dispose();
}

EErroBanco TConexaoFirebird::FFalha(const EErroBanco& pErro)
{
    if (vAbandonada.exchange(false)) {
        PDescartaAnexo();
        return EErroBanco(QStringLiteral("O banco de dados não respondeu em %1 segundos; a conexão foi abandonada e "
                                         "será refeita.\r%2")
                              .arg(cLimiteSegundos)
                              .arg(pErro.Mensagem()),
                          true);
    }
    if (pErro.ConexaoPerdida())
        PDescartaAnexo();
    return pErro;
}

void TConexaoFirebird::PConecta(const QString& pBanco, const QString& pUsuario, const QString& pSenha,
                                const QString& pPapel)
{
    vBanco = pBanco;
    vUsuario = pUsuario;
    vSenha = pSenha;
    vPapel = pPapel;
    PDescartaAnexo();
    PGaranteConexao();
}

void TConexaoFirebird::PGaranteConexao()
{
    if (vAnexo)
        return;
    try {
        TStatus st;
        IAttachment* anexo = FAnexa(st, vBanco, vUsuario, vSenha, vPapel, false);
        const std::lock_guard trava(vTravaAnexo);
        vAnexo = anexo;
    } catch (const FbException& erro) {
        throw FErro(erro);
    }
}

void TConexaoFirebird::PCriaBanco(const QString& pBanco, const QString& pUsuario, const QString& pSenha)
{
    try {
        TStatus st;
        IAttachment* anexo = FAnexa(st, pBanco, pUsuario, pSenha, QString(), true);
        anexo->detach(&st);
    } catch (const FbException& erro) {
        throw FErro(erro);
    }
}

TResultadoSql TConexaoFirebird::FConsulta(const QString& pSql, const TParametrosSql& pParametros)
{
    return FRoda(pSql, pParametros, TExecucao::Consulta);
}

int TConexaoFirebird::FContaLinhas(const QString& pSql, const TParametrosSql& pParametros)
{
    return FRoda(pSql, pParametros, TExecucao::Contagem).Linhas();
}

void TConexaoFirebird::PExecuta(const QString& pSql, const TParametrosSql& pParametros)
{
    FRoda(pSql, pParametros, TExecucao::Comando);
}

void TConexaoFirebird::PExecutaSemEspera(const QString& pSql, const TParametrosSql& pParametros)
{
    FRodaUmaVez(pSql, pParametros, TExecucao::ComandoSemEspera);
}

std::vector<unsigned char> TConexaoFirebird::FBlocoTransacao(TExecucao pExecucao) const
{
    TStatus st;
    // The same parameters for most statements: built once.
    static const std::vector<unsigned char> tpbEscrita = ::FBlocoTransacao(st, false, -1);
    static const std::vector<unsigned char> tpbLeitura = ::FBlocoTransacao(st, true, -1);
    if (pExecucao == TExecucao::ComandoSemEspera)
        return ::FBlocoTransacao(st, vSomenteLeitura, 0);
    const bool leitura = pExecucao != TExecucao::Comando || vSomenteLeitura;
    if (leitura)
        return tpbLeitura;
    return vEsperaTrava < 0 ? tpbEscrita : ::FBlocoTransacao(st, false, vEsperaTrava);
}

TResultadoSql TConexaoFirebird::FRoda(const QString& pSql, const TParametrosSql& pParametros, TExecucao pExecucao)
{
    // A statement that waited on a row another program had locked fails with
    // an update conflict when that program commits: this engine does not run
    // it again by itself. Being a transaction of its own, it is run again
    // afresh, which is what waiting on the lock is for.
    constexpr int cTentativas = 3;
    for (int tentativa = 1;; ++tentativa) {
        try {
            return FRodaUmaVez(pSql, pParametros, pExecucao);
        } catch (const EErroBanco& erro) {
            if (!erro.Conflito() || tentativa == cTentativas)
                throw;
        }
    }
}

TResultadoSql TConexaoFirebird::FRodaUmaVez(const QString& pSql, const TParametrosSql& pParametros, TExecucao pExecucao)
{
    vAbandonada = false;
    vInicioChamada = FAgoraMs();
    const struct TFimChamada {
        std::atomic<qint64>& v;
        ~TFimChamada() { v = 0; }
    } fimChamada{vInicioChamada};
    try {
        PGaranteConexao();
    } catch (const EErroBanco& erro) {
        throw FFalha(erro);
    }
    try {
        TStatus st;
        QStringList nomes;
        const QByteArray texto = FBytes(FTraduzParametros(pSql, nomes));
        const std::vector<unsigned char> tpb = FBlocoTransacao(pExecucao);
        TTransacao transacao(vAnexo->startTransaction(&st, static_cast<unsigned>(tpb.size()), tpb.data()));
        TReferencia<IStatement> comando(
            vAnexo->prepare(&st, transacao.get(), 0, texto.constData(), 3, IStatement::PREPARE_PREFETCH_METADATA));
        TMensagem entrada = FMensagemEntrada(st, comando.get(), nomes, pParametros);
        TResultadoSql resultado;
        if (pExecucao == TExecucao::Consulta || pExecucao == TExecucao::Contagem) {
            TReferencia<IMessageMetadata> saida(comando->getOutputMetadata(&st));
            TReferencia<IResultSet> cursor(comando->openCursor(&st, transacao.get(), entrada.vMetadados.get(),
                                                               entrada.vBuffer.data(), saida.get(), 0));
            resultado = pExecucao == TExecucao::Contagem
                            ? FContaCursor(st, cursor.get(), saida.get())
                            : FLeCursor(st, {vAnexo, transacao.get()}, cursor.get(), saida.get());
            cursor->close(&st);
            cursor.PSolta();
        } else {
            comando->execute(&st, transacao.get(), entrada.vMetadados.get(), entrada.vBuffer.data(), nullptr,
                             nullptr);
        }
        transacao.PConfirma(st);
        return resultado;
    } catch (const FbException& erro) {
        throw FFalha(FErro(erro));
    }
}

QString TConexaoFirebird::FTraduzParametros(const QString& pSql, QStringList& pNomes)
{
    QString traduzido;
    traduzido.reserve(pSql.size());
    const qsizetype n = pSql.size();
    qsizetype i = 0;
    const auto FCopiaAte = [&](QChar pFim) {
        traduzido += pSql[i++];
        while (i < n && pSql[i] != pFim)
            traduzido += pSql[i++];
        if (i < n)
            traduzido += pSql[i++];
    };
    while (i < n) {
        const QChar c = pSql[i];
        if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            FCopiaAte(c); // a doubled quote inside is two literals back to back
        } else if (c == QLatin1Char(':') && i + 1 < n && (pSql[i + 1].isLetter() || pSql[i + 1] == QLatin1Char('_'))) {
            qsizetype fim = i + 1;
            while (fim < n && (pSql[fim].isLetterOrNumber() || pSql[fim] == QLatin1Char('_') || pSql[fim] == QLatin1Char('$')))
                ++fim;
            pNomes.append(pSql.mid(i + 1, fim - i - 1));
            traduzido += QLatin1Char('?');
            i = fim;
        } else {
            traduzido += c;
            ++i;
        }
    }
    return traduzido;
}
