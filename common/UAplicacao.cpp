#include "UAplicacao.h"

#include "UErro.h"

#include <QMessageBox>

TAplicacao::TAplicacao(int& argc, char** argv) : QApplication(argc, argv)
{
    setApplicationName(QStringLiteral("ConcentradorTarnex"));
}

bool TAplicacao::notify(QObject* pReceptor, QEvent* pEvento)
{
    try {
        return QApplication::notify(pReceptor, pEvento);
    } catch (...) {
        PMostraErro(std::current_exception());
    }
    return false;
}

bool TAplicacao::FExecutaProtegido(const std::function<void()>& pAcao)
{
    try {
        pAcao();
        return true;
    } catch (...) {
        PMostraErro(std::current_exception());
    }
    return false;
}

QString TAplicacao::FTextoErro(const std::exception_ptr& pErro)
{
    try {
        std::rethrow_exception(pErro);
    } catch (const EErro& erro) {
        return erro.Mensagem();
    } catch (const std::exception& erro) {
        return QString::fromUtf8(erro.what());
    } catch (...) {
        return QStringLiteral("Erro desconhecido.");
    }
}

void TAplicacao::PMostraErro(const std::exception_ptr& pErro)
{
    QString texto = FTextoErro(pErro);
    texto.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    // Showing the box must not fail in turn: it runs at the edge of the loop.
    try {
        QMessageBox::critical(QApplication::activeWindow(), QApplication::applicationName(), texto);
    } catch (...) {
        qCritical("%s", qPrintable(texto));
    }
}
