#include "core/device/worker_thread.h"

namespace jqz {

WorkerThread::~WorkerThread() { WaitFor(); }

void WorkerThread::Start() {
    if (thread_.joinable() || finished_) return;
    thread_ = std::thread([this] {
        Execute();
        finished_.store(true);
    });
}

int WorkerThread::WaitFor() {
    if (thread_.joinable()) thread_.join();
    return ReturnValue();
}

}  // namespace jqz
