// Waiting while Qt's events run.
#include "tests/ui/qt_wait.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

bool WaitUntil(const std::function<bool()>& fnCondition, int nTimeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (!fnCondition()) {
        if (timer.elapsed() > nTimeoutMs) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
    return true;
}
