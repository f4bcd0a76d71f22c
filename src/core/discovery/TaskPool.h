#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace vexor {

// Runs tasks on up to a fixed number of threads, started as tasks arrive; the
// owner waits for them all before it goes (the destructor waits too).
class TaskPool {
  public:
    explicit TaskPool(std::size_t maxThreads) : maxThreads_(maxThreads == 0 ? 1 : maxThreads) {}
    ~TaskPool();
    TaskPool(const TaskPool&) = delete;
    TaskPool& operator=(const TaskPool&) = delete;

    // Queues `task`; where no thread can be had, it runs here and now.
    void Submit(std::function<void()> task);
    // Until every task submitted has ended.
    void Wait();

  private:
    void Work();

    std::size_t maxThreads_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::function<void()>> queue_;
    std::vector<std::thread> threads_;
    std::size_t busy_ = 0;
    bool stopping_ = false;
};

} // namespace vexor
