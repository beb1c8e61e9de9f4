#include "UAuxiliarJanelas.h"

#include "UArquivoIni.h"
#include "UConfiguracaoRegional.h"
#include "UErro.h"

#include <QAbstractButton>
#include <QRegularExpressionValidator>

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
    const QString texto = pTexto.trimmed();
    const QChar separador = TConfiguracaoRegional::SeparadorDecimal();
    const qsizetype posicao = texto.indexOf(separador);
    const QString inteiros = posicao < 0 ? texto : texto.left(posicao);
    const QString decimais = (posicao < 0 ? QString() : texto.mid(posicao + 1)).left(3).leftJustified(3, QLatin1Char('0'));
    bool okInteiro = false;
    bool okDecimais = false;
    const qint64 parteInteira = inteiros.isEmpty() ? 0 : inteiros.toLongLong(&okInteiro);
    const int parteDecimal = decimais.toInt(&okDecimais);
    const bool digitos = std::all_of(decimais.begin(), decimais.end(), [](QChar c) { return c.isDigit(); }) &&
                         texto.mid(posicao < 0 ? texto.size() : posicao + 1).size() >= 0;
    const qint64 milesimos = parteInteira * 1000 + (parteInteira < 0 ? -parteDecimal : parteDecimal);
    if ((!inteiros.isEmpty() && !okInteiro) || !okDecimais || !digitos || texto.isEmpty() ||
        milesimos > std::numeric_limits<int>::max() || milesimos < std::numeric_limits<int>::min() ||
        (posicao >= 0 && texto.indexOf(separador, posicao + 1) >= 0))
        throw EErro(QStringLiteral("'%1' não é um valor numérico válido.").arg(pTexto));
    return static_cast<int>(milesimos);
}

} // namespace AuxiliarJanelas
