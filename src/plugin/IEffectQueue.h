#pragma once
#include <atomic>
#include <cstddef>

// Fixed-capacity ring for exactly one producer thread and one consumer
// thread. Never allocates or blocks; a push onto a full ring fails.
template <typename T, size_t Capacity>
class IEffectQueue
{
public:
  bool Push(const T& item)
  {
    const size_t write = writePos.load(std::memory_order_relaxed);
    const size_t next = (write + 1) % kSlots;
    if (next == readPos.load(std::memory_order_acquire))
      return false;
    slots[write] = item;
    writePos.store(next, std::memory_order_release);
    return true;
  }

  bool Pop(T& item)
  {
    const size_t read = readPos.load(std::memory_order_relaxed);
    if (read == writePos.load(std::memory_order_acquire))
      return false;
    item = slots[read];
    readPos.store((read + 1) % kSlots, std::memory_order_release);
    return true;
  }

  size_t ElementsAvailable() const
  {
    const size_t write = writePos.load(std::memory_order_acquire);
    const size_t read = readPos.load(std::memory_order_acquire);
    return (write + kSlots - read) % kSlots;
  }

  static constexpr size_t capacity() { return Capacity; }

private:
  static constexpr size_t kSlots = Capacity + 1;
  T slots[kSlots] = {};
  std::atomic<size_t> writePos{0};
  std::atomic<size_t> readPos{0};
};
