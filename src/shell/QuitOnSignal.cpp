#include "QuitOnSignal.h"

#include "Trace.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#ifdef Q_OS_UNIX
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace QuitOnSignal {

#ifdef Q_OS_UNIX
namespace {

int wakeUp[2] = { -1, -1 };

// A signal handler may only write to a descriptor; the event loop does the rest.
void onSignal(int number)
{
    const char byte = char(number);
    [[maybe_unused]] const auto written = ::write(wakeUp[0], &byte, 1);
}

} // namespace

void install()
{
    if (wakeUp[0] >= 0 || ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, wakeUp) != 0) {
        return;
    }
    ::fcntl(wakeUp[0], F_SETFL, O_NONBLOCK);
    auto *notifier = new QSocketNotifier(wakeUp[1], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, QCoreApplication::instance(), [] {
        char byte = 0;
        if (::read(wakeUp[1], &byte, 1) == 1) {
            trace() << "QuitOnSignal"
                    << "signal" << int(byte);
        }
        QCoreApplication::quit();
    });
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int number : { SIGTERM, SIGINT, SIGHUP }) {
        ::sigaction(number, &action, nullptr);
    }
}
#else
void install() { }
#endif

} // namespace QuitOnSignal
