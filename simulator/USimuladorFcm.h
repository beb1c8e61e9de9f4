#pragma once

#include "UDriverConcentrador.h"

#include <QObject>

#include <array>
#include <map>
#include <memory>
#include <vector>

// Up to four FCM Master devices with their slaves, pumps and nozzles, each
// nozzle running the fueling cycle a real one runs: lifted, waiting for its
// authorisation where the mode asks for it, delivering, hung up, reported.
//
// Like hardware, the concentrators outlive the server program: their
// configuration and the fuelings not yet acknowledged live in a state file,
// replaced atomically, from which a new server starts. A fueling cycle under
// way when the server dies is lost, as on a pump that loses power.
class TSimuladorFcm : public QObject, public TDriverConcentrador {
    Q_OBJECT
public:
    static constexpr int cVersaoSlave = 5010; // model 5, the Tarnex simulator
    static constexpr int cVersaoMaster = 2015;
    static constexpr int cEsperaAutorizacaoMs = 10000;
    // Changes that may be lost without losing a fueling are written at most
    // this often.
    static constexpr int cAgrupamentoGravacaoMs = 20;

    // pArquivoEstado empty: nothing is kept across a restart.
    explicit TSimuladorFcm(QString pArquivoEstado = {});
    ~TSimuladorFcm() override;

    // The state file of a program directory.
    static QString FArquivoEstado(const QString& pDiretorio);

    QJsonValue FExecuta(int pCliente, const QString& pMetodo, QList<qint64>& pArgs) override;
    void PClienteSaiu(int pCliente) override;
    QList<TEventoGuardado> FNaoConfirmados() const override;
    void PConfirma(qint64 pEntrega) override;
    QString FInstancia() const override { return vInstancia; }
    qint64 FBase() const override { return vBaseGravada; }
    bool FControle(const QString& pVerbo, const QJsonArray& pArgs, const TResponde& pResponde) override;

private:
    struct TBicoSim {
        int vPrecoMilesimos = 5799;
        qint64 vTotalCentesimos = 0;
        int vUltimoVolume = 0; // thousandths of a litre
        int vEstado = 4;
        bool vAutorizado = false;
        int vPrePago = 0; // thousandths; 0 when none is programmed
        bool vOcupado = false;
    };
    struct TBombaSim {
        std::array<TBicoSim, 4> vBicos;
        bool vTravada = false;
    };
    struct TSlaveSim {
        int vModo = 10;
        int vTipoMensagem = 1;
        std::vector<TBombaSim> vBombas;
    };
    struct TCiclo;

    int FValidaBico(int pSl, int pBo, int pBi) const;
    int FValidaBomba(int pSl, int pBo) const;
    TBicoSim& FBico(int pSl, int pBo, int pBi);
    void PMudaEstado(int pSl, int pBo, int pBi, int pEstado);
    QJsonValue FMetodoDeBico(const QString& pMetodo, const QList<qint64>& pArgs);
    QJsonValue FMetodoDeBomba(const QString& pMetodo, const QList<qint64>& pArgs);
    int FConfigura(int pSlave, int pBombas, int pModo, int pTipo);
    int FAbre(int pCliente, int pDispositivo);

    void PAbastece(const QJsonArray& pArgs, const TResponde& pResponde);
    void PIniciaEntrega(const std::shared_ptr<TCiclo>& pCiclo);
    void PFinaliza(const std::shared_ptr<TCiclo>& pCiclo);
    void PInformaAbastecimento(const TCiclo& pCiclo, qint64 pTotalInicial);
    void PPerde(const QJsonArray& pArgs, const TResponde& pResponde);
    QString FEstado() const;
    QJsonArray FBicos() const;
    void PGuarda(int pEvento, const QList<qint64>& pArgs);

    // The state file.
    void PCarregaEstado();
    QJsonObject FEstadoJson() const;
    void PAplicaEstado(const QJsonObject& pEstado);
    void PAgendaGravacao();
    void PGravaEstado();
    qint64 FBaseAtual() const;

    std::array<int, 5> vDono{}; // device 1 to 4: the connection that holds it
    int vNumSlaves = 0;
    std::map<int, TSlaveSim> vSlaves;
    std::vector<std::shared_ptr<TCiclo>> vAguardando; // lifted, waiting for authorisation
    std::map<qint64, TEventoGuardado> vNaoConfirmados;
    qint64 vProximaEntrega = 1;
    qint64 vBaseGravada = 1;
    QString vInstancia;
    const QString vArquivoEstado;
    bool vGravacaoAgendada = false;
};
