#pragma once

#include <QButtonGroup>
#include <QLineEdit>
#include <QString>

// Small pieces the operator windows share.
namespace AuxiliarJanelas {

// The number in an edit; raises EErro when it is not a whole number.
int FInteiro(const QLineEdit* pEdit);
// An edit that takes digits only.
QLineEdit* FEditDigitos(QWidget* pPai, const QString& pNome, const QString& pTexto);
// Makes a radio group one stop for Tab and Enter, entered at its selected
// item (the first while none is); the arrow keys move between the items.
void PUmaParadaPorGrupo(QButtonGroup* pGrupo);
// Selects item pIndice of a group: above the last selects the last, below 0 none.
void PSeleciona(QButtonGroup* pGrupo, int pIndice);
// The thousandths a decimal text states, digits beyond the third decimal cut:
// "2,5" gives 2500 and "1,2349" gives 1234 with a comma separator.
int FMilesimos(const QString& pTexto);

} // namespace AuxiliarJanelas
