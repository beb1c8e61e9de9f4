#pragma once

#include "UJanelaOperador.h"

class QButtonGroup;
class QLineEdit;
class QPushButton;
class TFcmMaster;

// Operating mode, fueling message type and number of pumps of one slave:
// stored in the connector's settings and sent to the concentrator.
class TFrmConfigConcentrador : public TJanelaOperador {
    Q_OBJECT
public:
    explicit TFrmConfigConcentrador(QWidget* pDono);

    void PConfigConcentrador(TFcmMaster* pFcmMaster);

    // Mode index to the code the concentrator takes (0, 1, 2 give 10, 11, 12).
    static int FCodigoModo(int pIndice);

protected:
    bool eventFilter(QObject* pAlvo, QEvent* pEvento) override;

private:
    void PCriaControles();
    QString FSecao() const;
    void PCarregaConfiguracao();
    void PEnviaConfiguracao();
    void BtnConfiguraClick();
    void BtnVersaoSlaveClick();

    TFcmMaster* vFcmMaster = nullptr;
    QLineEdit* EdtNumSl;
    QLineEdit* EdtNumBo;
    QButtonGroup* RgModoOperacao;
    QButtonGroup* RdoGroupFormatAbast;
    QPushButton* BtnConfigura;
    QPushButton* BtnVersaoSlave;
};
