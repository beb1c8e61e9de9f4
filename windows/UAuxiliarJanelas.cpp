#include "UAuxiliarJanelas.h"

#include "UArquivoIni.h"
#include "UConfiguracaoRegional.h"
#include "UErro.h"

#include <QAbstractButton>
#include <QRegularExpressionValidator>

#include <algorithm>
#include <limits>

namespace AuxiliarJanelas {

int FInteiro(const QLineEdit* pEdit)
{
    int valor = 0;
    if (!TArquivoIni::FEhInteiro(pEdit->text().trimmed(), valor))
        throw EErro(QStringLiteral("'%1' não é um valor inteiro válido.").arg(pEdit->text()));
    return valor;
}

QLineEdit* FEditDigitos(QWidget* pPai, const QString& pNome, const QString& pTexto)
{
    auto* edit = new QLineEdit(pTexto, pPai);
    edit->setObjectName(pNome);
    edit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("\\d*")), edit));
    return edit;
}

namespace {

void PAtualizaParada(const QButtonGroup* pGrupo)
{
    const QList<QAbstractButton*> itens = pGrupo->buttons();
    const QAbstractButton* parada = pGrupo->checkedButton() ? pGrupo->checkedButton() : itens.value(0);
    for (QAbstractButton* item : itens)
        item->setFocusPolicy(item == parada ? Qt::StrongFocus : Qt::ClickFocus);
}

} // namespace

void PUmaParadaPorGrupo(QButtonGroup* pGrupo)
{
    // Tab would otherwise stop at the first item whichever is selected, and
    // Space there changes the choice.
    PAtualizaParada(pGrupo);
    QObject::connect(pGrupo, &QButtonGroup::buttonToggled, pGrupo, [pGrupo] { PAtualizaParada(pGrupo); });
}

void PSeleciona(QButtonGroup* pGrupo, int pIndice)
{
    const QList<QAbstractButton*> botoes = pGrupo->buttons();
    pGrupo->setExclusive(false);
    for (QAbstractButton* b : botoes)
        b->setChecked(false);
    pGrupo->setExclusive(true);
    if (pIndice >= 0 && !botoes.isEmpty())
        pGrupo->button(std::min(pIndice, static_cast<int>(botoes.size()) - 1))->setChecked(true);
}

int FMilesimos(const QString& pTexto)
{
    // On the decimal digits, not in floating point, so that a number with at
    // most three decimals is sent exactly and further digits are cut.
    const QStringList partes = pTexto.trimmed().split(TConfiguracaoRegional::SeparadorDecimal());
    const QString inteiros = partes.value(0);
    const QString decimais = partes.value(1);
    const auto FSoDigitos = [](const QString& t) {
        return std::all_of(t.begin(), t.end(), [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); });
    };
    // Ten integer digits already pass the 32-bit range in thousandths.
    if (partes.size() > 2 || (inteiros.isEmpty() && decimais.isEmpty()) || inteiros.size() > 9 || !FSoDigitos(inteiros) || !FSoDigitos(decimais))
        throw EErro(QStringLiteral("'%1' não é um valor numérico válido.").arg(pTexto));
    const qint64 milesimos = inteiros.toLongLong() * 1000 + decimais.left(3).leftJustified(3, QLatin1Char('0')).toInt();
    if (milesimos > std::numeric_limits<int>::max())
        throw EErro(QStringLiteral("'%1' não é um valor numérico válido.").arg(pTexto));
    return static_cast<int>(milesimos);
}

} // namespace AuxiliarJanelas
