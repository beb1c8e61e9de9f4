#include "UDiarioAbastecimentos.h"

#include "UDiretorioPrograma.h"
#include "UErro.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <map>
#include <unistd.h>

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

} // namespace

QString TDiarioAbastecimentos::FCaminhoPadrao()
{
    return TDiretorioPrograma::FArquivo(QStringLiteral("ConcentradorTarnex.jrn"));
}

TDiarioAbastecimentos::TDiarioAbastecimentos(QString pCaminho) : vCaminho(std::move(pCaminho))
{
    QFile arquivo(vCaminho);
    if (!arquivo.open(QIODevice::ReadOnly))
        return;
    while (!arquivo.atEnd()) {
        const QList<QByteArray> campos = FCampos(arquivo.readLine());
        if (campos.size() >= 2)
            vUltimo = std::max(vUltimo, campos.at(1).toLongLong());
    }
}

void TDiarioAbastecimentos::PAcrescenta(const QByteArray& pLinha, bool pSincroniza)
{
    const QByteArray caminho = QFile::encodeName(vCaminho);
    const int fd = ::open(caminho.constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0)
        PFalha(vCaminho, errno);
    const QByteArray linha = pLinha + '\n';
    struct stat antes {};
    const bool tamanhoConhecido = ::fstat(fd, &antes) == 0;
    // One write of a short line with O_APPEND: a crash leaves the line whole
    // or a torn last line, which the reader skips.
    const ssize_t escrito = ::write(fd, linha.constData(), static_cast<size_t>(linha.size()));
    const int erroEscrita = errno;
    // A line cut short by a full disk would run into the next one appended:
    // it is taken back.
    if (escrito > 0 && escrito != linha.size() && tamanhoConhecido)
        (void)!::ftruncate(fd, antes.st_size);
    const bool sincronizado = !pSincroniza || ::fsync(fd) == 0;
    const int erroSincronia = errno;
    ::close(fd);
    if (escrito != linha.size())
        PFalha(vCaminho, escrito < 0 ? erroEscrita : ENOSPC);
    if (!sincronizado)
        PFalha(vCaminho, erroSincronia);
}

qint64 TDiarioAbastecimentos::FRegistra(int pEvento, const QList<qint64>& pArgs, const QDateTime& pMomento)
{
    const qint64 numero = vUltimo + 1;
    QByteArray linha = "A " + QByteArray::number(numero) + ' ' + QByteArray::number(pMomento.toMSecsSinceEpoch()) +
                       ' ' + QByteArray::number(pEvento);
    for (const qint64 a : pArgs)
        linha += ' ' + QByteArray::number(a);
    PAcrescenta(linha, true);
    vUltimo = numero;
    return numero;
}

void TDiarioAbastecimentos::PTentativa(qint64 pNumero, int pId, int pSequencia)
{
    // On disk before the insert: after a crash, the retry must know that a
    // row may already be there.
    PAcrescenta("T " + QByteArray::number(pNumero) + ' ' + QByteArray::number(pId) + ' ' +
                    QByteArray::number(pSequencia),
                true);
}

void TDiarioAbastecimentos::PTentativaFalhou(qint64 pNumero)
{
    PAcrescenta("R " + QByteArray::number(pNumero), false);
}

void TDiarioAbastecimentos::PConclui(qint64 pNumero)
{
    // Not synced: if it is lost, the retry finds the row and stores nothing.
    PAcrescenta("F " + QByteArray::number(pNumero), false);
    PCompactaSeVazio();
}

std::vector<TDiarioAbastecimentos::TEntrada> TDiarioAbastecimentos::FPendentes() const
{
    std::map<qint64, TEntrada> abertas;
    QFile arquivo(vCaminho);
    if (!arquivo.open(QIODevice::ReadOnly))
        return {};
    while (!arquivo.atEnd()) {
        const QByteArray linha = arquivo.readLine();
        if (!linha.endsWith('\n'))
            break; // torn by a crash in the middle of the write
        const QList<QByteArray> c = FCampos(linha);
        if (c.size() < 2)
            continue;
        const qint64 numero = c.at(1).toLongLong();
        if (c.at(0) == "A" && c.size() >= 4) {
            TEntrada entrada{numero, QDateTime::fromMSecsSinceEpoch(c.at(2).toLongLong()), c.at(3).toInt(), {}, {}};
            for (qsizetype i = 4; i < c.size(); ++i)
                entrada.vArgs.append(c.at(i).toLongLong());
            abertas[numero] = entrada;
        } else if (c.at(0) == "T" && c.size() >= 4 && abertas.contains(numero)) {
            abertas[numero].vTentativa = QPair<int, int>(c.at(2).toInt(), c.at(3).toInt());
        } else if (c.at(0) == "R" && abertas.contains(numero)) {
            abertas[numero].vTentativa.reset();
        } else if (c.at(0) == "F") {
            abertas.erase(numero);
        }
    }
    std::vector<TEntrada> pendentes;
    for (auto& [numero, entrada] : abertas)
        pendentes.push_back(std::move(entrada));
    return pendentes;
}

void TDiarioAbastecimentos::PCompactaSeVazio()
{
    // Once every capture has ended the journal holds nothing worth keeping.
    if (FPendentes().empty())
        ::truncate(QFile::encodeName(vCaminho).constData(), 0);
}
