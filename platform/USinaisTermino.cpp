#include "USinaisTermino.h"

#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int vPar[2] = {-1, -1}; // [0] written by the handler, [1] read on the main thread

void PTrataSinal(int)
{
    const char sinal = 1;
    (void)!::write(vPar[0], &sinal, 1);
}

} // namespace

TSinaisTermino::TSinaisTermino(std::function<void()> pAoReceber, QObject* pDono)
    : QObject(pDono), vAoReceber(std::move(pAoReceber))
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, vPar) != 0)
        return;
    vAviso = new QSocketNotifier(vPar[1], QSocketNotifier::Read, this);
    connect(vAviso, &QSocketNotifier::activated, this, [this] {
        char lidos[16];
        while (::read(vPar[1], lidos, sizeof lidos) > 0) {
        }
        if (vAoReceber)
            vAoReceber();
    });
    PInstala();
}

void TSinaisTermino::PInstala() const
{
    if (!vAviso)
        return;
    struct sigaction acao {};
    acao.sa_handler = PTrataSinal;
    sigemptyset(&acao.sa_mask);
    acao.sa_flags = SA_RESTART;
    for (const int sinal : {SIGINT, SIGTERM, SIGHUP})
        ::sigaction(sinal, &acao, nullptr);
}

TSinaisTermino::~TSinaisTermino()
{
    struct sigaction padrao {};
    padrao.sa_handler = SIG_DFL;
    for (const int sinal : {SIGINT, SIGTERM, SIGHUP})
        ::sigaction(sinal, &padrao, nullptr);
    delete vAviso;
    vAviso = nullptr;
    for (int& fd : vPar) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}
