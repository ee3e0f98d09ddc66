#pragma once
// The worker threads that take runs to verify. The database is the queue:
// each worker claims the oldest pending run with a lease, so any number of
// servers share one queue, and a run whose worker died is claimed again
// when its lease runs out. A run stored by this server wakes a worker at
// once; runs stored elsewhere are found by asking again every moment.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace server {

class VerifyQueue {
public:
    // Verifies one run and stores its verdict; false leaves the run pending
    // (the verifier could not be run), to be tried again later.
    using Work = std::function<bool(int64_t runId, const std::atomic<bool>& stopping)>;
    // What a worker (0, 1...) asks of the database: the next run, claimed
    // for it; and a run given back, to be claimed again in that many seconds.
    struct Claims {
        std::function<std::optional<int64_t>(int worker)> claim;
        std::function<void(int worker, int64_t runId, int retrySeconds)> release;
    };

    VerifyQueue(Work work, Claims claims, int workers)
        : work_(std::move(work)), claims_(std::move(claims)), workerCount_(workers) {}
    ~VerifyQueue() { Stop(); }
    VerifyQueue(const VerifyQueue&) = delete;
    VerifyQueue& operator=(const VerifyQueue&) = delete;

    void Start();
    // A run was just stored: a worker looks now rather than at its next turn.
    void Push(int64_t runId);
    // Stops taking runs and waits for the workers; a run being verified is
    // cut short and given back at once.
    void Stop();

    // How long a worker waits before trying a run again whose verifier could not be run.
    static constexpr int kRetrySeconds = 5;
    // How often an idle worker asks the database for runs other servers stored.
    static constexpr int kPollMilliseconds = 500;

private:
    void Loop(int worker);
    // Waits up to ms (less when woken or stopping).
    void Pause(int ms);

    Work work_;
    Claims claims_;
    int workerCount_;
    std::mutex mutex_;
    std::condition_variable wake_;
    int pushed_ = 0;
    std::vector<std::thread> workers_;
    std::atomic<bool> stopping_{false};
};

}  // namespace server
