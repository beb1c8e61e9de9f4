#pragma once

#include "UJanelaOperador.h"

#include <functional>

class QCheckBox;
class QGridLayout;
class QHBoxLayout;
class QLineEdit;
class QPushButton;
class TFcmMaster;

// Single commands to one pump or nozzle, the automatic-authorisation
// setting, and a zero fueling fed into the main window's capture.
class TFrmConfigBomba : public TJanelaOperador {
    Q_OBJECT
public:
    explicit TFrmConfigBomba(QWidget* pDono);

    void PConfiguraBomba(TFcmMaster* pFcmMaster);

protected:
    bool eventFilter(QObject* pAlvo, QEvent* pEvento) override;

private:
    void PCriaControles();
    QPushButton* FBotao(const QString& pNome, const QString& pTexto, int pColuna, int pLinha);
    QLineEdit* FCampo(QHBoxLayout* pLinha, const QString& pRotulo, QLineEdit* pEdit, int pLargura);
    void PDefineOrdem();
    void PCarregaAutorizacao();
    void PEndereco(bool pComBico);
    void PComando(bool pComBico, const std::function<int()>& pChamada, const QString& pSucesso);
    void PLigaComandos();

    TFcmMaster* vFcmMaster = nullptr;
    quint8 vSlave = 0;
    quint8 vBomba = 0;
    quint8 vBico = 0;
    QWidget* vCentro = nullptr;
    QGridLayout* vComandos = nullptr;
    QLineEdit* EdtSlave;
    QLineEdit* EdtBomba;
    QLineEdit* EdtBico;
    QCheckBox* ChBoxAutoriza;
    QLineEdit* EdtPrePago;
    QLineEdit* EdtTotMec;
    QPushButton* BtnOk;
};
