#pragma once

#include <QObject>

#include <functional>

class QSocketNotifier;

// SIGINT, SIGTERM and SIGHUP (Ctrl+C, a service stop, a closed terminal or
// session) end the program in order: the handler only writes a byte to a
// pipe, and pAoReceber runs on the main thread, where it can leave the event
// loop so that windows and the database connection close as on a normal
// exit. One instance per program.
class TSinaisTermino : public QObject {
public:
    explicit TSinaisTermino(std::function<void()> pAoReceber, QObject* pDono = nullptr);
    ~TSinaisTermino() override;

    // Installs the handlers again, over those a library put in their place.
    void PInstala() const;

private:
    std::function<void()> vAoReceber;
    QSocketNotifier* vAviso = nullptr;
};
