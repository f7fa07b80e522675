#pragma once
#include <atomic>
#include <cstdint>
#include <cstring>
#include <thread>
#include <type_traits>

// A small value that one thread writes and any thread reads whole: a reader
// never sees half of one publication and half of another. The writer never
// waits (it is the audio thread); a reader that meets a publication in
// progress reads again. Every byte goes through an atomic word, so there is
// no data race for a reader to trip over.
template <typename T>
class IPublishedValue
{
  static_assert(std::is_trivially_copyable_v<T>, "published values are copied bytewise");
  static constexpr size_t kWords = (sizeof(T) + sizeof(uint64_t) - 1) / sizeof(uint64_t);

public:
  IPublishedValue() { Publish(T{}); }
  IPublishedValue(const IPublishedValue&) = delete;
  IPublishedValue& operator=(const IPublishedValue&) = delete;

  // The one writing thread.
  void Publish(const T& value)
  {
    uint64_t buffer[kWords] = {};
    std::memcpy(buffer, &value, sizeof(T));
    const uint32_t s = sequence.load(std::memory_order_relaxed);
    sequence.store(s + 1, std::memory_order_relaxed);
    // Each word is released, so a reader that acquires any new word also
    // sees the odd sequence stored before it. Ordered per word rather than
    // with fences, which ThreadSanitizer cannot follow; on x86 it is the
    // same plain store.
    for (size_t i = 0; i < kWords; ++i)
      words[i].store(buffer[i], std::memory_order_release);
    sequence.store(s + 2, std::memory_order_release);
  }

  // Any thread.
  T Read() const
  {
    uint64_t buffer[kWords];
    for (unsigned attempt = 0;; ++attempt)
    {
      const uint32_t before = sequence.load(std::memory_order_acquire);
      if ((before & 1u) == 0)
      {
        for (size_t i = 0; i < kWords; ++i)
          buffer[i] = words[i].load(std::memory_order_acquire);
        if (sequence.load(std::memory_order_relaxed) == before)
          break;
      }
      // The writer was interrupted mid-publication: let it finish.
      if (attempt > 64)
        std::this_thread::yield();
    }
    T value;
    std::memcpy(&value, buffer, sizeof(T));
    return value;
  }

private:
  std::atomic<uint32_t> sequence{0};
  std::atomic<uint64_t> words[kWords] = {};
};
