#include "UDiretorioPrograma.h"

#include <QDir>
#include <QFileInfo>

namespace {

QString vDiretorio;

QString FDiretorioDoExecutavel()
{
    // /proc/self/exe works before any application object exists, which the
    // database access needs: it reads its settings at the very start.
    const QFileInfo executavel(QStringLiteral("/proc/self/exe"));
    const QString alvo = executavel.symLinkTarget();
    return alvo.isEmpty() ? QDir::currentPath() : QFileInfo(alvo).absolutePath();
}

QString FComSeparador(const QString& pDiretorio)
{
    return pDiretorio.endsWith(QLatin1Char('/')) ? pDiretorio : pDiretorio + QLatin1Char('/');
}

} // namespace

QString TDiretorioPrograma::FCaminho()
{
    if (vDiretorio.isEmpty())
        vDiretorio = FComSeparador(FDiretorioDoExecutavel());
    return vDiretorio;
}

QString TDiretorioPrograma::FDiretorioExecutavel()
{
    return FComSeparador(FDiretorioDoExecutavel());
}

void TDiretorioPrograma::PDefine(const QString& pDiretorio)
{
    vDiretorio = FComSeparador(QDir(pDiretorio).absolutePath());
}
