#pragma once
// A few threads that encode and save pictures while the export that made them composes the next ones.
// The queue is short (twice the threads): an export that composes faster than the pictures are saved
// waits, so the copies in flight stay a handful whatever the length of the log.
//
// Threads: submit() and wait() are called from the one thread that owns the pool; the tasks run on the
// pool's threads, in any order.

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace quelt {

class EncoderPool {
  public:
    // `threads` from 1; a pool of 0 threads runs each task inside submit().
    explicit EncoderPool(unsigned threads);
    ~EncoderPool();
    EncoderPool(const EncoderPool&) = delete;
    EncoderPool& operator=(const EncoderPool&) = delete;

    void submit(std::function<void()> task);
    // Returns when every task submitted so far has ended.
    void wait();

    // The threads a picture export uses: four, whatever the cores, as a picture's save mostly waits for
    // the disk (each file is flushed before it takes its name).
    static unsigned defaultThreads();

  private:
    void run();

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::function<void()>> queue_;
    size_t active_ = 0, limit_;
    bool stopping_ = false;
    std::vector<std::jthread> threads_;
};

}  // namespace quelt
