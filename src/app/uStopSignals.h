#pragma once

#include <QObject>
#include <functional>

class QSocketNotifier;

// True from the moment a stop signal arrived, before the event loop has seen it: long waits
// (a card payment, a result shown for seconds) end early on it, so the kiosk stops in time.
bool StopRequested();

// SIGTERM, SIGINT and SIGHUP as a request to stop, delivered on the event loop: the handler
// only writes the signal's number into a pipe, whose reading end the event loop watches, so
// the stop itself runs as ordinary code between two events.
//
// One instance per process. The embedded database engine installs its own handlers for
// SIGINT and SIGTERM when it loads, which leave the program running; install() therefore runs
// again once the engine is loaded (fb::AfterEngineLoad), so these handlers are the ones in force.
class TStopSignals : public QObject {
    Q_OBJECT
public:
    // onStop runs on the event loop, once, with the first signal received.
    explicit TStopSignals(std::function<void(int)> onStop);
    ~TStopSignals() override;
    TStopSignals(const TStopSignals&) = delete;
    TStopSignals& operator=(const TStopSignals&) = delete;

    // Installs the handlers (again).
    void install();
    // True once a stop signal was read; the signal's number is signal().
    bool requested() const { return signal_ != 0; }
    int signal() const { return signal_; }

private:
    void readSignals();

    std::function<void(int)> onStop_;
    int pipe_[2] = {-1, -1};
    QSocketNotifier* notifier_ = nullptr;
    int signal_ = 0;
};
