#include "app/uStopSignals.h"

#include <QSocketNotifier>

#include <fcntl.h>
#include <unistd.h>
#include <cerrno>
#include <csignal>
#include <stdexcept>

namespace {

constexpr int kStopSignals[] = {SIGTERM, SIGINT, SIGHUP};

volatile sig_atomic_t gWriteEnd = -1;
volatile sig_atomic_t gStopRequested = 0;

void onSignal(int number) {
    const int saved = errno;
    gStopRequested = 1;
    const unsigned char byte = static_cast<unsigned char>(number);
    if (gWriteEnd >= 0 && ::write(gWriteEnd, &byte, 1) < 0) {
        // A full pipe already holds a stop request.
    }
    errno = saved;
}

}  // namespace

bool StopRequested() {
    return gStopRequested != 0;
}

TStopSignals::TStopSignals(std::function<void(int)> onStop) : onStop_(std::move(onStop)) {
    if (::pipe2(pipe_, O_CLOEXEC | O_NONBLOCK) != 0)
        throw std::runtime_error("Cannot create the pipe for stop signals");
    gWriteEnd = pipe_[1];
    notifier_ = new QSocketNotifier(pipe_[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &TStopSignals::readSignals);
    install();
}

TStopSignals::~TStopSignals() {
    struct sigaction standard {};
    standard.sa_handler = SIG_DFL;
    for (int number : kStopSignals) ::sigaction(number, &standard, nullptr);
    gWriteEnd = -1;
    ::close(pipe_[0]);
    ::close(pipe_[1]);
}

void TStopSignals::install() {
    struct sigaction action {};
    action.sa_handler = onSignal;
    ::sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int number : kStopSignals) ::sigaction(number, &action, nullptr);
}

void TStopSignals::readSignals() {
    unsigned char byte = 0;
    int first = 0;
    while (::read(pipe_[0], &byte, 1) == 1)
        if (!first) first = byte;
    if (!first || signal_) return;
    signal_ = first;
    if (onStop_) onStop_(signal_);
}
