#pragma once

#include <QApplication>

#include <exception>
#include <functional>

// The program's failure convention in one place: an exception that leaves a
// handler, key, button or concentrator callback ends that handler and is
// shown in the toolkit's standard error box with its text; the program goes
// on, and nothing is thrown back into the toolkit or the concentrator
// component.
class TAplicacao : public QApplication {
    Q_OBJECT
public:
    TAplicacao(int& argc, char** argv);

    bool notify(QObject* pReceptor, QEvent* pEvento) override;

    // Runs pAcao; an exception it raises is shown and goes no further.
    // Answers false when pAcao ended with an exception.
    static bool FExecutaProtegido(const std::function<void()>& pAcao);

    // Wraps a handler so that connections run it through FExecutaProtegido.
    template <typename TObjeto, typename... TArgs>
    static auto FProtegido(TObjeto* pObjeto, void (TObjeto::*pMetodo)(TArgs...))
    {
        return [pObjeto, pMetodo](TArgs... pArgs) { FExecutaProtegido([&] { (pObjeto->*pMetodo)(pArgs...); }); };
    }

    static void PMostraErro(const std::exception_ptr& pErro);
    static QString FTextoErro(const std::exception_ptr& pErro);
};
