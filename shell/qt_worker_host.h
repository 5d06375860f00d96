#pragma once

#include <QObject>

#include "link/worker_host.h"

namespace veltrona {

// Hands the port worker's calls to the Qt event loop of the interface thread. Blocking calls
// use a blocking queued connection, so the interface thread must keep pumping events while
// it waits for the worker (the close path runs a local event loop for that).
class QtWorkerHost final : public QObject, public WorkerHost {
    Q_OBJECT
  public:
    explicit QtWorkerHost(QObject* parent = nullptr) : QObject(parent) {}
    void RunBlocking(std::function<void()> fn) override;
    void Post(std::function<void()> fn) override;
    void Pump(std::chrono::milliseconds max_wait) override;
};

}  // namespace veltrona
