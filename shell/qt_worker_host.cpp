#include "shell/qt_worker_host.h"

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

}  // namespace veltrona
