#include "server/VerifyQueue.h"

#include <chrono>

namespace server {

void VerifyQueue::Start(const std::vector<int64_t>& pending) {
    {
        std::lock_guard lock(mutex_);
        runs_.assign(pending.begin(), pending.end());
    }
    for (int i = 0; i < workerCount_; ++i) workers_.emplace_back([this] { Loop(); });
}

void VerifyQueue::Push(int64_t runId) {
    {
        std::lock_guard lock(mutex_);
        runs_.push_back(runId);
    }
    wake_.notify_one();
}

void VerifyQueue::Stop() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    for (std::thread& t : workers_) t.join();
    workers_.clear();
}

size_t VerifyQueue::Waiting() const {
    std::lock_guard lock(mutex_);
    return runs_.size();
}

void VerifyQueue::Loop() {
    std::unique_lock lock(mutex_);
    while (true) {
        wake_.wait(lock, [this] { return stopping_ || !runs_.empty(); });
        if (stopping_) return;
        const int64_t id = runs_.front();
        runs_.pop_front();
        lock.unlock();
        const bool done = work_(id, stopping_);
        lock.lock();
        if (!done && !stopping_) {
            // The sandbox failed, not the run: back of the queue, after a pause.
            wake_.wait_for(lock, std::chrono::seconds(kRetrySeconds), [this] { return stopping_.load(); });
            runs_.push_back(id);
        }
    }
}

}  // namespace server
