#include "TaskPool.h"

#include <system_error>

namespace vexor {

TaskPool::~TaskPool() {
    Wait();
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    for (auto& thread : threads_) {
        thread.join();
    }
}

void TaskPool::Submit(std::function<void()> task) {
    std::unique_lock lock(mutex_);
    queue_.push_back(std::move(task));
    if (threads_.size() < maxThreads_ && busy_ + queue_.size() > threads_.size()) {
        try {
            threads_.emplace_back([this] { Work(); });
        } catch (const std::system_error&) {
            if (threads_.empty()) {
                // No thread at all: nothing else would ever run it.
                auto now = std::move(queue_.back());
                queue_.pop_back();
                lock.unlock();
                try {
                    now();
                } catch (...) {
                }
                return;
            }
        }
    }
    lock.unlock();
    changed_.notify_all();
}

void TaskPool::Wait() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return queue_.empty() && busy_ == 0; });
}

void TaskPool::Work() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [&] { return stopping_ || !queue_.empty(); });
        if (queue_.empty()) {
            return;
        }
        auto task = std::move(queue_.front());
        queue_.pop_front();
        ++busy_;
        lock.unlock();
        try {
            task();
        } catch (...) {
            // A task that fails gives nothing; the others go on.
        }
        lock.lock();
        --busy_;
        changed_.notify_all();
    }
}

} // namespace vexor
