#pragma once
// A worker thread as the sequences and the firmware update use it: a body run once on its own
// thread, a terminate request the body polls, and an integer return value that the stopping
// side reads to tell an interrupted run from a finished one.
#include <atomic>
#include <thread>

namespace jqz {

class WorkerThread {
public:
    WorkerThread() = default;
    // Waits for the body; a derived class must call WaitFor() in its own destructor, since
    // the body may still use the derived part.
    virtual ~WorkerThread();
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    // Runs Execute() on a new thread. Once only.
    void Start();
    // Asks the body to stop at its next check; does not wait.
    void Terminate() { terminated_.store(true); }
    bool Terminated() const { return terminated_.load(); }
    // Waits until the body has returned (at once when it never started) and gives its
    // return value. Call from one controlling thread.
    int WaitFor();
    // True once the body has returned.
    bool Finished() const { return finished_.load(); }
    int ReturnValue() const { return returnValue_.load(); }

protected:
    virtual void Execute() = 0;
    void setReturnValue(int value) { returnValue_.store(value); }

private:
    std::atomic<bool> terminated_{false};
    std::atomic<bool> finished_{false};
    std::atomic<int> returnValue_{1};
    std::thread thread_;
};

}  // namespace jqz
