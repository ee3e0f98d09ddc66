#pragma once
// The runs waiting for the verifier, in the order they came, and the worker
// threads that take them. The database is the queue's truth: this is only
// its order in memory, filled again from the pending runs on every start,
// so a run the server accepted is verified even after a crash.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace server {

class VerifyQueue {
public:
    // Verifies one run and stores its verdict; false leaves the run pending
    // (the verifier could not be run), to be tried again later.
    using Work = std::function<bool(int64_t runId, const std::atomic<bool>& stopping)>;

    VerifyQueue(Work work, int workers) : work_(std::move(work)), workerCount_(workers) {}
    ~VerifyQueue() { Stop(); }
    VerifyQueue(const VerifyQueue&) = delete;
    VerifyQueue& operator=(const VerifyQueue&) = delete;

    // Starts the workers on these pending runs (oldest first).
    void Start(const std::vector<int64_t>& pending);
    void Push(int64_t runId);
    // Stops taking runs and waits for the workers; a run being verified is
    // cut short and stays pending.
    void Stop();
    size_t Waiting() const;

    // How long a worker waits before trying a run again whose verifier could not be run.
    static constexpr int kRetrySeconds = 5;

private:
    void Loop();

    Work work_;
    int workerCount_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<int64_t> runs_;
    std::vector<std::thread> workers_;
    std::atomic<bool> stopping_{false};
};

}  // namespace server
