// BoundedQueue: messages first in, first out, in a ring of fixed size that its owner lends
// it, so that posting never allocates. A push to a full queue fails and the message is
// lost, as on the handheld, whose posting callers do not look at the result.
//
// Not locked: the owner guards it (the thread queues under the thread registry's lock,
// the window queue under its own).
#pragma once

#include <cstddef>

namespace veldra {

template <typename Message>
class BoundedQueue {
  public:
    BoundedQueue() = default;  // no room: every push fails
    // The queue keeps its messages in ring[0 .. capacity - 1] (not owned).
    BoundedQueue(Message* ring, size_t capacity) : ring_(ring), capacity_(capacity) {}

    bool push(const Message& message) {
        if (count_ == capacity_) return false;
        ring_[(head_ + count_) % capacity_] = message;
        ++count_;
        return true;
    }

    // The oldest message; false when there is none.
    bool take(Message& message) {
        if (count_ == 0) return false;
        message = ring_[head_];
        head_ = (head_ + 1) % capacity_;
        --count_;
        return true;
    }

    size_t size() const { return count_; }
    void clear() { head_ = count_ = 0; }

  private:
    Message* ring_ = nullptr;
    size_t capacity_ = 0;
    size_t head_ = 0;   // the oldest message
    size_t count_ = 0;  // messages waiting
};

}  // namespace veldra
