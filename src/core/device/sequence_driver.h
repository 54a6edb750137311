#pragma once
// What the program and read sequences share: a worker that runs one sequence against the
// connection it was given, and a driver that starts it and stops it the way the start button
// does (stop, wait, reset the programmer, mark the connection lost, say so in the log).
#include <atomic>
#include <memory>
#include <mutex>

#include "core/device/sequence_host.h"
#include "core/device/target_link.h"
#include "core/device/worker_thread.h"
#include "core/link/connection.h"

namespace jqz {

class SequenceWorker : public WorkerThread {
public:
    // On the programmer's connection (may be null).
    SequenceWorker(SequenceHost& host, COM* com, const DeviceMap& device);
    // On a link that outlives the run.
    SequenceWorker(SequenceHost& host, TargetLink& target, const DeviceMap& device);
    ~SequenceWorker() override;

    // True from the moment the run releases its start button; the run is over then, apart
    // from giving the link free.
    bool Ended() const { return ended_.load(); }
    // Asks the run to stop, from any thread: its next check ends it, and a wait for a
    // programmer that does not answer ends too. (A connection outlives the runs on it.)
    void RequestStop();
    TargetLink& target() { return target_; }

protected:
    // The end of every run after the gauge is back at 0: tell the host (which releases the
    // start button or closes the update dialog), then give the link free.
    void announceEnd(SequenceKind kind);

    SequenceHost& host_;

private:
    // The programmer link of a worker made on a connection.
    std::unique_ptr<TargetLink> ownTarget_;

protected:
    TargetLink& target_;
    COM* const com_;
    const DeviceMap device_;

private:
    std::atomic<bool> ended_{false};
};

class SequenceDriver {
public:
    SequenceDriver(SequenceHost& host, const char* interruptedLine)
        : host_(host), interruptedLine_(interruptedLine) {}
    // A run still going is stopped as the start button would stop it.
    virtual ~SequenceDriver() { Stop(); }
    SequenceDriver(const SequenceDriver&) = delete;
    SequenceDriver& operator=(const SequenceDriver&) = delete;

    // On the controlling thread: marks the link busy and starts a new worker for the link
    // (the host's target, else the programmer on its connection) and the device selected now.
    // A finished previous worker is released.
    void Start();
    // On the controlling thread: when a run is going (or ended after RequestStop), asks it to
    // stop and waits for it. A run that did not reach its normal end leaves the programmer
    // reset, the connection marked lost (TargetLink::AfterInterruption) and the interrupted
    // line in the log. A run that ended by itself is left alone.
    void Stop();
    // Only asks a running worker to stop, from any thread; Stop() finishes the job.
    void RequestStop();
    // A run has started and not yet released its start button.
    bool Running() const;
    // Waits until the current run ends by itself; its return value (0 = normal end), or -1
    // when no run was started.
    int WaitFor();

protected:
    SequenceHost& host() { return host_; }
    virtual std::unique_ptr<SequenceWorker> makeWorker(TargetLink& target,
                                                       const DeviceMap& device) = 0;

private:
    SequenceHost& host_;
    const char* interruptedLine_;
    // Replaced only on the controlling thread, under the lock, so that RequestStop from
    // another thread finds a whole worker or none.
    mutable std::mutex workerMutex_;
    // The programmer link a run on the host's connection speaks through; replaced with the
    // worker, which it outlives.
    std::unique_ptr<TargetLink> programmer_;
    std::unique_ptr<SequenceWorker> worker_;
};

}  // namespace jqz
