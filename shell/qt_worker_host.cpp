#include "shell/qt_worker_host.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QMetaObject>
#include <QThread>

namespace veltrona {

void QtWorkerHost::RunBlocking(std::function<void()> fn) {
    if (QThread::currentThread() == thread()) {
        fn();
        return;
    }
    QMetaObject::invokeMethod(this, std::move(fn), Qt::BlockingQueuedConnection);
}

void QtWorkerHost::Post(std::function<void()> fn) {
    QMetaObject::invokeMethod(this, std::move(fn), Qt::QueuedConnection);
}

void QtWorkerHost::Pump(std::chrono::milliseconds max_wait) {
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents,
                                    static_cast<int>(max_wait.count()));
}

}  // namespace veltrona
