#include "terminal/uWait.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <algorithm>

#include "app/uStopSignals.h"

void WaitProcessingEvents(int ms, int stepMs) {
    QElapsedTimer elapsed;
    elapsed.start();
    while (elapsed.elapsed() < ms && !StopRequested()) {
        QThread::msleep(ulong(std::clamp<qint64>(ms - elapsed.elapsed(), 0, stepMs)));
        QCoreApplication::processEvents();
    }
}
