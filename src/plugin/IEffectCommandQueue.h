#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>

// Fixed-capacity queue for any number of producer threads and one consumer.
// Neither side allocates, locks or waits: a push onto a full queue and a pop
// from an empty one fail at once. A producer that is interrupted half-way
// through its push only delays what it pushes; the consumer sees the queue
// as empty up to that slot and takes it at its next pop.
template <typename T, size_t Capacity>
class IEffectCommandQueue
{
  static_assert(Capacity >= 2 && (Capacity & (Capacity - 1)) == 0, "capacity must be a power of two");

public:
  IEffectCommandQueue()
  {
    for (size_t i = 0; i < Capacity; ++i)
      cells[i].sequence.store(i, std::memory_order_relaxed);
  }
  IEffectCommandQueue(const IEffectCommandQueue&) = delete;
  IEffectCommandQueue& operator=(const IEffectCommandQueue&) = delete;

  // Any thread.
  bool Push(const T& item)
  {
    size_t pos = enqueuePos.load(std::memory_order_relaxed);
    for (;;)
    {
      Cell& cell = cells[pos & (Capacity - 1)];
      const size_t sequence = cell.sequence.load(std::memory_order_acquire);
      const intptr_t diff = static_cast<intptr_t>(sequence) - static_cast<intptr_t>(pos);
      if (diff == 0)
      {
        if (enqueuePos.compare_exchange_weak(pos, pos + 1, std::memory_order_relaxed))
        {
          cell.data = item;
          cell.sequence.store(pos + 1, std::memory_order_release);
          return true;
        }
      }
      else if (diff < 0)
      {
        return false; // full
      }
      else
      {
        pos = enqueuePos.load(std::memory_order_relaxed);
      }
    }
  }

  // The consumer thread only.
  bool Pop(T& item)
  {
    const size_t pos = dequeuePos.load(std::memory_order_relaxed);
    Cell& cell = cells[pos & (Capacity - 1)];
    const size_t sequence = cell.sequence.load(std::memory_order_acquire);
    if (static_cast<intptr_t>(sequence) - static_cast<intptr_t>(pos + 1) < 0)
      return false; // empty, or the next item is still being written
    item = cell.data;
    dequeuePos.store(pos + 1, std::memory_order_relaxed);
    cell.sequence.store(pos + Capacity, std::memory_order_release);
    return true;
  }

  static constexpr size_t capacity() { return Capacity; }

private:
  struct Cell
  {
    std::atomic<size_t> sequence{0};
    T data{};
  };
  Cell cells[Capacity];
  alignas(64) std::atomic<size_t> enqueuePos{0};
  alignas(64) std::atomic<size_t> dequeuePos{0};
};
