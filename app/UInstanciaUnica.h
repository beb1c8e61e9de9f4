#pragma once

#include <QObject>
#include <QString>

#include <functional>

class QLocalServer;

// One connector per program directory. Two connectors on one directory
// share its settings file and journal and would store every fueling twice,
// so a second start only brings the running window to the front.
//
// The lock is a name in the system's abstract socket namespace, derived
// from the program directory: the system frees it when the process dies,
// however it dies, and it needs no file, so a read-only program directory
// starts as it always did. The same socket is the way the second start
// reaches the running window.
class TInstanciaUnica : public QObject {
    Q_OBJECT
public:
    enum class TResultado {
        Primeira, // this process holds the directory: start-up goes on
        Avisada, // the running connector was told to show its window
        SemResposta, // another connector holds it and did not answer
    };

    explicit TInstanciaUnica(const QString& pDiretorio, QObject* pPai = nullptr);
    ~TInstanciaUnica() override;

    // Takes the directory, or tells the connector that holds it to show its
    // window. Waits at most pEsperaMs for that connector's answer: one that
    // is still starting answers once its start-up is done.
    TResultado FReserva(int pEsperaMs = cEsperaRespostaMs);

    // What a later start asks of this connector; a request that came before
    // this is set is answered now.
    void PAoPedirJanela(std::function<void()> pMostraJanela);

    // The socket's name for a directory.
    static QString FNome(const QString& pDiretorio);

    // A start-up with the database attach's bound and the journal's
    // reprocessing ahead of it still answers within this.
    static constexpr int cEsperaRespostaMs = 15000;

private:
    void PAtendeConexao();
    void PMostraJanela();

    QString vNome;
    QLocalServer* vServidor = nullptr;
    std::function<void()> vMostraJanela;
    bool vPedidoPendente = false;
};
