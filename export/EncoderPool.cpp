#include "export/EncoderPool.h"

namespace quelt {

EncoderPool::EncoderPool(unsigned threads) : limit_(2 * static_cast<size_t>(threads)) {
    for (unsigned i = 0; i < threads; ++i)
        threads_.emplace_back([this] { run(); });
}

EncoderPool::~EncoderPool() {
    wait();
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
}

unsigned EncoderPool::defaultThreads() {
    return 4;
}

void EncoderPool::submit(std::function<void()> task) {
    if (threads_.empty()) return task();
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return queue_.size() < limit_; });
    queue_.push_back(std::move(task));
    changed_.notify_all();
}

void EncoderPool::wait() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return queue_.empty() && active_ == 0; });
}

void EncoderPool::run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
        if (queue_.empty()) return;  // stopping, nothing left
        std::function<void()> task = std::move(queue_.front());
        queue_.pop_front();
        ++active_;
        changed_.notify_all();  // room in the queue
        lock.unlock();
        task();
        lock.lock();
        --active_;
        changed_.notify_all();
    }
}

}  // namespace quelt
