#include "UDiarioAbastecimentos.h"

#include "UDiretorioPrograma.h"
#include "UDisco.h"
#include "UErro.h"
#include "UGravacaoAtomica.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>

namespace {

[[noreturn]] void PFalha(const QString& pCaminho, int pErrno)
{
    throw EErro(QStringLiteral("Não foi possível gravar o diário de abastecimentos %1.\rMotivo: %2")
                    .arg(pCaminho, QString::fromLocal8Bit(std::strerror(pErrno))));
}

QList<QByteArray> FCampos(const QByteArray& pLinha)
{
    return pLinha.trimmed().split(' ');
}

// A numbering's name as one word of a line.
QByteArray FNomeInstancia(const QString& pInstancia)
{
    QByteArray nome = pInstancia.toUtf8();
    nome.replace(' ', '_');
    return nome.isEmpty() ? QByteArray("-") : nome;
}

QByteArray FLinhaEvento(const TDiarioAbastecimentos::TEntrada& e)
{
    QByteArray linha = QByteArray(e.vEntrega ? "D " : "A ") + QByteArray::number(e.vNumero) + ' ' +
                       QByteArray::number(e.vMomento.toMSecsSinceEpoch()) + ' ' + QByteArray::number(e.vEvento);
    if (e.vEntrega)
        linha += ' ' + FNomeInstancia(e.vEntrega->vInstancia) + ' ' + QByteArray::number(e.vEntrega->vNumero);
    for (const qint64 a : e.vArgs)
        linha += ' ' + QByteArray::number(a);
    return linha;
}

QByteArray FLinhaTentativa(qint64 pNumero, int pId, int pSequencia)
{
    return "T " + QByteArray::number(pNumero) + ' ' + QByteArray::number(pId) + ' ' + QByteArray::number(pSequencia);
}

} // namespace

QString TDiarioAbastecimentos::FCaminhoPadrao()
{
    return TDiretorioPrograma::FArquivo(QStringLiteral("ConcentradorTarnex.jrn"));
}

TDiarioAbastecimentos::TDiarioAbastecimentos(QString pCaminho)
    : vCaminho(std::move(pCaminho)), vContexto(std::make_unique<QObject>())
{
    PLe();
}

TDiarioAbastecimentos::~TDiarioAbastecimentos()
{
    PConcluiEsvaziamento();
}

void TDiarioAbastecimentos::PLe()
{
    QFile arquivo(vCaminho);
    if (!arquivo.open(QIODevice::ReadOnly))
        return;
    const QByteArray conteudo = arquivo.readAll();
    arquivo.close();
    const qsizetype fim = conteudo.lastIndexOf('\n') + 1;
    for (const QByteArray& linha : QByteArrayView(conteudo).first(fim).toByteArray().split('\n'))
        PAplica(linha);
    vTamanho = fim;
    if (fim < conteudo.size()) {
        PCortaLinhaRasgada(fim);
        vReparo = QStringLiteral("Diário de abastecimentos reparado: uma linha incompleta no fim do arquivo "
                                 "(%1 bytes), deixada por uma interrupção durante a gravação, foi descartada.")
                      .arg(conteudo.size() - fim);
    }
}

// A crash in the middle of an append leaves a line without its end; the
// next line appended would run into it and read back as one damaged entry.
void TDiarioAbastecimentos::PCortaLinhaRasgada(qint64 pTamanhoValido)
{
    try {
        const TDescritorArquivo fd = TDisco::FAbre(vCaminho, O_WRONLY);
        TDisco::PTrunca(fd.get(), pTamanhoValido, vCaminho);
        TDisco::PSincroniza(fd.get(), vCaminho);
    } catch (const EErro&) {
        // the next append fails and says why
    }
}

void TDiarioAbastecimentos::PAplica(const QByteArray& pLinha)
{
    const QList<QByteArray> c = FCampos(pLinha);
    if (c.size() < 2)
        return;
    const qint64 numero = c.at(1).toLongLong();
    vUltimo = std::max(vUltimo, numero);
    const QByteArray& tipo = c.at(0);
    if ((tipo == "A" && c.size() >= 4) || (tipo == "D" && c.size() >= 6)) {
        TEntrada entrada{numero, QDateTime::fromMSecsSinceEpoch(c.at(2).toLongLong()), c.at(3).toInt(), {}, {}, {}};
        qsizetype primeiro = 4;
        if (tipo == "D") {
            entrada.vEntrega = TEntrega{QString::fromUtf8(c.at(4)), c.at(5).toLongLong()};
            primeiro = 6;
        }
        for (qsizetype i = primeiro; i < c.size(); ++i)
            entrada.vArgs.append(c.at(i).toLongLong());
        vAbertas[numero] = entrada;
    } else if (tipo == "T" && c.size() >= 4 && vAbertas.contains(numero)) {
        vAbertas[numero].vTentativa = QPair<int, int>(c.at(2).toInt(), c.at(3).toInt());
    } else if (tipo == "R" && vAbertas.contains(numero)) {
        vAbertas[numero].vTentativa.reset();
    } else if (tipo == "F") {
        PEncerra(numero);
    } else if (tipo == "V" && c.size() >= 3) {
        vConcluidas[QString::fromUtf8(c.at(1))].insert(c.at(2).toLongLong());
    }
}

void TDiarioAbastecimentos::PAcrescenta(const QByteArray& pLinha, bool pSincroniza)
{
    // An end left for the emptying goes ahead of what comes after it.
    const QByteArray linha =
        (vFimPendente ? "F " + QByteArray::number(*vFimPendente) + '\n' : QByteArray()) + pLinha + '\n';
    const bool novo = !QFileInfo::exists(vCaminho);
    const TDescritorArquivo fd = TDisco::FAbre(vCaminho, O_WRONLY | O_CREAT, 0600);
    struct stat antes {};
    if (::fstat(fd.get(), &antes) != 0)
        PFalha(vCaminho, errno);
    // One write of a short line at the end: a crash leaves the line whole or
    // a torn last line, which is cut away on the next start.
    try {
        TDisco::PGrava(fd.get(), linha, antes.st_size, vCaminho);
    } catch (const EErro&) {
        // A line cut short by a full disk would run into the next one
        // appended: it is taken back.
        try {
            TDisco::PTrunca(fd.get(), antes.st_size, vCaminho);
        } catch (const EErro&) {
        }
        throw;
    }
    if (pSincroniza)
        TDisco::PSincroniza(fd.get(), vCaminho);
    // A new file's name reaches the disk with its directory, not with its
    // data: a power cut would take the whole journal, the line just synced
    // with it, while the insert it announces may be committed.
    if (novo)
        TDisco::PSincronizaDiretorio(vCaminho);
    vTamanho = antes.st_size + linha.size();
    vFimPendente.reset();
}

qint64 TDiarioAbastecimentos::FRegistra(int pEvento, const QList<qint64>& pArgs, const QDateTime& pMomento,
                                         const std::optional<TEntrega>& pEntrega)
{
    const std::lock_guard trava(vTrava);
    return FAcrescentaEntradas({{0, pMomento, pEvento, pArgs, {}, pEntrega}}).front().vNumero;
}

qint64 TDiarioAbastecimentos::FRegistraComTentativa(int pEvento, const QList<qint64>& pArgs, const QDateTime& pMomento,
                                                    const std::optional<TEntrega>& pEntrega, int pId, int pSequencia)
{
    const std::lock_guard trava(vTrava);
    return FAcrescentaEntradas({{0, pMomento, pEvento, pArgs, QPair<int, int>(pId, pSequencia), pEntrega}})
        .front()
        .vNumero;
}

std::vector<TDiarioAbastecimentos::TEntrada> TDiarioAbastecimentos::FRegistraLote(std::vector<TEntrada> pEntradas)
{
    const std::lock_guard trava(vTrava);
    for (TEntrada& entrada : pEntradas)
        entrada.vTentativaPrevista = entrada.vTentativa.has_value();
    return FAcrescentaEntradas(std::move(pEntradas));
}

// Numbers the events and appends each with its attempt, if any, in one
// synced write. A crash in the middle leaves whole lines and at most one
// torn one: an event without its "T" had not started its insert.
std::vector<TDiarioAbastecimentos::TEntrada> TDiarioAbastecimentos::FAcrescentaEntradas(std::vector<TEntrada> pEntradas)
{
    if (pEntradas.empty())
        return pEntradas;
    QByteArray linhas;
    qint64 numero = vUltimo;
    for (TEntrada& entrada : pEntradas) {
        entrada.vNumero = ++numero;
        if (!linhas.isEmpty())
            linhas += '\n';
        linhas += FLinhaEvento(entrada);
        if (entrada.vTentativa)
            linhas += '\n' + FLinhaTentativa(entrada.vNumero, entrada.vTentativa->first, entrada.vTentativa->second);
    }
    PAcrescenta(linhas, true);
    vUltimo = numero;
    for (const TEntrada& entrada : pEntradas)
        vAbertas[entrada.vNumero] = entrada;
    return pEntradas;
}

void TDiarioAbastecimentos::PUsaTentativaPrevista(qint64 pNumero)
{
    const std::lock_guard trava(vTrava);
    const auto aberta = vAbertas.find(pNumero);
    if (aberta != vAbertas.end())
        aberta->second.vTentativaPrevista = false;
}

void TDiarioAbastecimentos::PPreveTentativas(const std::vector<std::pair<qint64, QPair<int, int>>>& pTentativas)
{
    const std::lock_guard trava(vTrava);
    if (pTentativas.empty())
        return;
    QByteArray linhas;
    for (const auto& [numero, tentativa] : pTentativas) {
        if (!linhas.isEmpty())
            linhas += '\n';
        linhas += FLinhaTentativa(numero, tentativa.first, tentativa.second);
    }
    PAcrescenta(linhas, true);
    for (const auto& [numero, tentativa] : pTentativas) {
        if (const auto aberta = vAbertas.find(numero); aberta != vAbertas.end()) {
            aberta->second.vTentativa = tentativa;
            aberta->second.vTentativaPrevista = true;
        }
    }
}

void TDiarioAbastecimentos::PTentativa(qint64 pNumero, int pId, int pSequencia)
{
    const std::lock_guard trava(vTrava);
    // On disk before the insert: after a crash, the retry must know that a
    // row may already be there.
    PAcrescenta(FLinhaTentativa(pNumero, pId, pSequencia), true);
    if (vAbertas.contains(pNumero)) {
        vAbertas[pNumero].vTentativa = QPair<int, int>(pId, pSequencia);
        vAbertas[pNumero].vTentativaPrevista = false;
    }
}

void TDiarioAbastecimentos::PConclui(qint64 pNumero, bool pSincroniza)
{
    const std::lock_guard trava(vTrava);
    // The last thing the journal held, with no delivery to remember: the
    // journal emptied says as much as its end would, and is not synced
    // either.
    const auto aberta = vAbertas.find(pNumero);
    if (!pSincroniza && vAbertas.size() == 1 && aberta != vAbertas.end() && !aberta->second.vEntrega &&
        vConcluidas.empty() && !vFimPendente) {
        vAbertas.clear();
        vFimPendente = pNumero;
        PAgendaEsvaziamento();
        return;
    }
    // Mostly not synced: if it is lost, the retry finds the row and stores
    // nothing.
    PAcrescenta("F " + QByteArray::number(pNumero), pSincroniza);
    PEncerra(pNumero);
    PCompacta();
}

void TDiarioAbastecimentos::PConclui(const std::vector<qint64>& pNumeros)
{
    const std::lock_guard trava(vTrava);
    if (pNumeros.empty())
        return;
    QByteArray linhas;
    for (const qint64 numero : pNumeros)
        linhas += "F " + QByteArray::number(numero) + '\n';
    linhas.chop(1);
    PAcrescenta(linhas, false);
    for (const qint64 numero : pNumeros)
        PEncerra(numero);
    PCompacta();
}

// An ended capture leaves the open ones; its delivery is remembered.
void TDiarioAbastecimentos::PEncerra(qint64 pNumero)
{
    const auto aberta = vAbertas.find(pNumero);
    if (aberta == vAbertas.end())
        return;
    if (aberta->second.vEntrega)
        vConcluidas[aberta->second.vEntrega->vInstancia].insert(aberta->second.vEntrega->vNumero);
    vAbertas.erase(aberta);
}

bool TDiarioAbastecimentos::FConhece(const TEntrega& pEntrega) const
{
    const std::lock_guard trava(vTrava);
    const auto concluidas = vConcluidas.find(pEntrega.vInstancia);
    if (concluidas != vConcluidas.end() && concluidas->second.contains(pEntrega.vNumero))
        return true;
    for (const auto& [numero, entrada] : vAbertas) {
        if (entrada.vEntrega && entrada.vEntrega->vInstancia == pEntrega.vInstancia &&
            entrada.vEntrega->vNumero == pEntrega.vNumero)
            return true;
    }
    return false;
}

void TDiarioAbastecimentos::PAtualizaBase(const QString& pInstancia, qint64 pBase)
{
    const std::lock_guard trava(vTrava);
    const auto anterior = vBases.find(pInstancia);
    if (anterior != vBases.end() && anterior->second >= pBase && vBases.size() == 1)
        return;
    vBases = {{pInstancia, pBase}};
    // A numbering of another name is a component that lost its memory: it
    // will never deliver the old numbers again.
    for (auto c = vConcluidas.begin(); c != vConcluidas.end();)
        c = c->first == pInstancia ? std::next(c) : vConcluidas.erase(c);
    PEsquece(pInstancia, pBase);
    PCompacta();
}

void TDiarioAbastecimentos::PEsquece(const QString& pInstancia, qint64 pAbaixoDe)
{
    const auto concluidas = vConcluidas.find(pInstancia);
    if (concluidas == vConcluidas.end())
        return;
    std::set<qint64>& numeros = concluidas->second;
    numeros.erase(numeros.begin(), numeros.lower_bound(pAbaixoDe));
    if (numeros.empty())
        vConcluidas.erase(concluidas);
}

bool TDiarioAbastecimentos::FEsvazia()
{
    if (vTamanho == 0)
        return true;
    try {
        const TDescritorArquivo fd = TDisco::FAbre(vCaminho, O_WRONLY);
        TDisco::PTrunca(fd.get(), 0, vCaminho);
        vTamanho = 0;
        vFimPendente.reset();
        return true;
    } catch (const EErro&) {
        return false;
    }
}

// The end of the last capture is not written: the journal is emptied when
// the program is next idle, off the capture's way, or the end goes ahead of
// the next line appended. Lost to a crash, either leaves the capture to be
// taken up again, which finds its row, as a lost end would.
void TDiarioAbastecimentos::PAgendaEsvaziamento()
{
    if (vEsvaziamentoAgendado || !QCoreApplication::instance())
        return;
    vEsvaziamentoAgendado = QMetaObject::invokeMethod(
        vContexto.get(),
        [this] {
            const std::lock_guard trava(vTrava);
            vEsvaziamentoAgendado = false;
            PConcluiEsvaziamento();
        },
        Qt::QueuedConnection);
}

void TDiarioAbastecimentos::PConcluiEsvaziamento()
{
    if (!vFimPendente)
        return;
    if (vAbertas.empty() && vConcluidas.empty() && FEsvazia())
        return;
    const qint64 numero = *std::exchange(vFimPendente, std::nullopt);
    try {
        PAcrescenta("F " + QByteArray::number(numero), false);
    } catch (const EErro&) {
        vFimPendente = numero; // it goes ahead of the next line, or the next start takes the capture up again
    }
}

void TDiarioAbastecimentos::PCompacta()
{
    if (vAbertas.empty() && vConcluidas.empty()) {
        // Once every capture has ended and the component has forgotten
        // every delivery, the journal holds nothing worth keeping; when it
        // cannot be emptied, the longer journal says the same.
        FEsvazia();
        return;
    }
    if (vTamanho <= cTamanhoCompactacao)
        return;
    // What it still remembers, written anew in one piece: a crash keeps
    // either the old journal or the new one.
    const QByteArray conteudo = FConteudoCompacto();
    try {
        TGravacaoAtomica::PGrava(vCaminho, conteudo);
        vTamanho = conteudo.size();
        vFimPendente.reset(); // what was left open is no longer in the file
    } catch (const EErro&) {
        // The longer journal says the same; the next append says what fails.
    }
}

QByteArray TDiarioAbastecimentos::FConteudoCompacto() const
{
    QByteArray conteudo;
    for (const auto& [instancia, numeros] : vConcluidas) {
        for (const qint64 n : numeros)
            conteudo += "V " + FNomeInstancia(instancia) + ' ' + QByteArray::number(n) + '\n';
    }
    for (const auto& [numero, entrada] : vAbertas) {
        conteudo += FLinhaEvento(entrada) + '\n';
        if (entrada.vTentativa)
            conteudo += FLinhaTentativa(numero, entrada.vTentativa->first, entrada.vTentativa->second) + '\n';
    }
    return conteudo;
}

std::vector<TDiarioAbastecimentos::TEntrada> TDiarioAbastecimentos::FPendentes() const
{
    const std::lock_guard trava(vTrava);
    std::vector<TEntrada> pendentes;
    pendentes.reserve(vAbertas.size());
    for (const auto& [numero, entrada] : vAbertas)
        pendentes.push_back(entrada);
    return pendentes;
}
