#pragma once
// Items handed from one producing thread to one or more consuming threads, a
// few at a time, so memory stays bounded however much flows through; spent
// items go back to the producer, so their buffers keep their memory.

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace tabrovin {

template <class T, size_t Capacity>
class Handoff {
  public:
    // Producer: a spent item to fill again, or a fresh one.
    T spare() {
        std::lock_guard lock(mutex_);
        if (spare_.empty()) return T();
        T item = std::move(spare_.back());
        spare_.pop_back();
        return item;
    }
    // Producer: adds `item`, waiting while Capacity items wait; false once
    // the consumer stopped.
    bool put(T&& item) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return stopped_ || full_.size() < Capacity; });
        if (stopped_) return false;
        full_.push_back(std::move(item));
        changed_.notify_all();
        return true;
    }
    // Producer: nothing more will come.
    void finish() { raise(finished_); }

    // Consumer: gives back what `item` held and moves the next item into it;
    // false once the producer finished and every item was taken.
    bool take(T& item) {
        std::unique_lock lock(mutex_);
        if (spare_.size() <= Capacity) spare_.push_back(std::move(item));
        item = T();
        changed_.wait(lock, [&] { return finished_ || !full_.empty(); });
        if (full_.empty()) return false;
        item = std::move(full_.front());
        full_.pop_front();
        changed_.notify_all();
        return true;
    }
    // Consumer: wants no more; a producer waiting in put() returns false.
    void stop() { raise(stopped_); }

  private:
    void raise(bool& flag) {
        std::lock_guard lock(mutex_);
        flag = true;
        changed_.notify_all();
    }
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<T> full_;
    std::vector<T> spare_;
    bool finished_ = false, stopped_ = false;
};

// Runs produce(handoff) on a thread of its own while consume(item) takes on
// this thread what it hands over, until the producer returns or the consumer
// returns false. The producing thread is joined however this returns, and
// what it threw is thrown here. False, with nothing run, when no thread
// could be started: the caller then does the work on its own.
template <class T, size_t Capacity, class Produce, class Consume>
bool runHandedOff(Produce produce, Consume consume) {
    Handoff<T, Capacity> handoff;
    std::exception_ptr thrown;
    std::thread producer;
    try {
        producer = std::thread([&] {
            try {
                produce(handoff);
            } catch (...) {
                thrown = std::current_exception();
            }
            handoff.finish();
        });
    } catch (...) {
        return false;
    }
    struct Joiner {
        Handoff<T, Capacity>& handoff;
        std::thread& producer;
        ~Joiner() {
            handoff.stop();
            producer.join();
        }
    };
    {
        Joiner joiner{handoff, producer};
        for (T item; handoff.take(item) && consume(item);) {
        }
    }
    if (thrown) std::rethrow_exception(thrown);
    return true;
}

}  // namespace tabrovin
