#pragma once

#include <QByteArray>
#include <QString>

#include <map>
#include <memory>
#include <vector>

// What a power cut leaves of the program's own files, worked out from the
// disk recorder's trace (URegistroDisco). A process kill keeps everything
// written; a power cut keeps only what reached the disk: bytes written since
// a file's last sync may be there, gone, or the last write cut part way; a
// name made or changed since its directory's last sync may be undone.
class TQuedaEnergia {
public:
    // Everything unsynced kept; everything unsynced lost (renames and new
    // names undone); everything kept but the last unsynced write, cut in
    // half; every write kept but the names undone.
    enum class TVariante { Mantida, Perdida, Rasgada, NomesDesfeitos };
    static constexpr TVariante cVariantes[] = {TVariante::Mantida, TVariante::Perdida, TVariante::Rasgada,
                                               TVariante::NomesDesfeitos};

    struct TPasso {
        qint64 vNumero = 0;
        qint64 vPid = 0;
        QByteArray vTipo;
        bool vFeito = false;
        qint64 vPosicao = 0;
        qint64 vTamanho = 0;
        QString vCaminho;
        QString vDestino;
        QByteArray vDados;
        // "Grava ConcentradorTarnex.jrn (4 bytes)", for messages.
        QString FDescricao() const;
    };
    static std::vector<TPasso> FLeTrace(const QString& pArquivo);

    // The files before the first step, by absolute path, all on disk.
    explicit TQuedaEnergia(const std::map<QString, QByteArray>& pIniciais);

    void PAplica(const TPasso& pPasso);
    // The files the cut leaves, by absolute path.
    std::map<QString, QByteArray> FArquivos(TVariante pVariante) const;

    static const char* FNome(TVariante pVariante);

private:
    struct TOperacao {
        enum class TTipo { Grava, Trunca, Reserva } vTipo;
        qint64 vPosicao = 0;
        qint64 vTamanho = 0;
        QByteArray vDados;
        qint64 vNumero = 0;
    };
    struct TArquivo {
        QByteArray vDuravel;
        std::vector<TOperacao> vPendentes;
    };
    using PArquivo = std::shared_ptr<TArquivo>;

    PArquivo FArquivo(const QString& pCaminho);
    static void PExecuta(QByteArray& pConteudo, const TOperacao& pOperacao);
    static QByteArray FAtual(const TArquivo& pArquivo, qint64 pRasgarNumero = 0);

    std::map<QString, PArquivo> vNomes;
    std::map<QString, PArquivo> vNomesDuraveis;
};
