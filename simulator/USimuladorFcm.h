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
class TSimuladorFcm : public QObject, public TDriverConcentrador {
    Q_OBJECT
public:
    static constexpr int cVersaoSlave = 5010; // model 5, the Tarnex simulator
    static constexpr int cVersaoMaster = 2015;
    static constexpr int cEsperaAutorizacaoMs = 10000;

    TSimuladorFcm();
    ~TSimuladorFcm() override;

    QJsonValue FExecuta(int pCliente, const QString& pMetodo, QList<qint64>& pArgs) override;
    void PClienteSaiu(int pCliente) override;
    QList<QPair<int, QList<qint64>>> FRetiraOffline() override;
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
    QString FEstado() const;
    QJsonArray FBicos() const;

    std::array<int, 5> vDono{}; // device 1 to 4: the connection that holds it
    int vNumSlaves = 0;
    std::map<int, TSlaveSim> vSlaves;
    std::vector<std::shared_ptr<TCiclo>> vAguardando; // lifted, waiting for authorisation
    QList<QPair<int, QList<qint64>>> vOffline;
};
