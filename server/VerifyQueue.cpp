#include "server/VerifyQueue.h"

#include <chrono>
#include <cstdio>

namespace server {

void VerifyQueue::Start() {
    for (int i = 0; i < workerCount_; ++i) workers_.emplace_back([this, i] { Loop(i); });
}

void VerifyQueue::Push(int64_t) {
    {
        std::lock_guard lock(mutex_);
        ++pushed_;
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

void VerifyQueue::Pause(int ms) {
    std::unique_lock lock(mutex_);
    wake_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return stopping_ || pushed_ > 0; });
    if (pushed_ > 0) --pushed_;
}

void VerifyQueue::Loop(int worker) {
    bool told = false;  // the database's trouble is logged once, not every moment it lasts
    while (!stopping_) {
        std::optional<int64_t> id;
        try {
            id = claims_.claim(worker);
            told = false;
        } catch (const std::exception& e) {
            if (!told) std::fprintf(stderr, "vorlan-moto-server: the queue cannot be read: %s\n", e.what());
            told = true;
            Pause(1000);
            continue;
        }
        if (!id) {
            Pause(kPollMilliseconds);
            continue;
        }
        bool done = false;
        try {
            done = work_(*id, stopping_);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "vorlan-moto-server: run %lld: %s\n", static_cast<long long>(*id), e.what());
        }
        if (done) continue;
        // The sandbox failed, not the run (or the server is stopping): given
        // back, to this server or another.
        try {
            claims_.release(worker, *id, stopping_ ? 0 : kRetrySeconds);
        } catch (const std::exception&) {
            // Its lease runs out instead.
        }
        if (!stopping_) Pause(kRetrySeconds * 1000);
    }
}

}  // namespace server
