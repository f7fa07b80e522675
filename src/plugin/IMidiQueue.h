#pragma once
#include <cstring>
#include <memory>

#include "plugin/IMidiMsg.h"

// Time-ordered queue of MIDI messages that wait for their frame. The storage
// is allocated once; on the audio thread nothing grows: when every slot holds
// a message still waiting, a new one is dropped (512 messages pending means
// the controller flood is far beyond what one control step can apply).
class IMidiQueueBase
{
public:
  static constexpr int kGrowthStep = 512;

  explicit IMidiQueueBase(int capacity = kGrowthStep)
      : buffer(std::make_unique<IMidiMsg[]>(static_cast<size_t>(capacity))), capacity(capacity)
  {
  }

  // Inserts in offset order; equal offsets keep their arrival order.
  // Returns false when the message was dropped.
  bool Add(const IMidiMsg& msg)
  {
    if (back >= capacity)
    {
      if (front == 0)
        return false;
      Compact();
    }
    int at = back;
    if (!Empty() && msg.offset < buffer[back - 1].offset)
    {
      at = back - 1;
      while (at > front && buffer[at - 1].offset > msg.offset)
        --at;
      std::memmove(&buffer[at + 1], &buffer[at], sizeof(IMidiMsg) * static_cast<size_t>(back - at));
    }
    buffer[at] = msg;
    ++back;
    return true;
  }

  bool Empty() const { return front == back; }
  int ToDo() const { return back - front; }
  const IMidiMsg& Peek() const { return buffer[front]; }
  void Remove() { ++front; }
  int Capacity() const { return capacity; }

  // Moves the waiting messages to the start of the storage.
  void Compact()
  {
    if (front == 0)
      return;
    std::memmove(&buffer[0], &buffer[front], sizeof(IMidiMsg) * static_cast<size_t>(back - front));
    back -= front;
    front = 0;
  }

  // Every waiting message comes `frames` frames closer.
  void Flush(int frames)
  {
    for (int i = front; i < back; ++i)
      buffer[i].offset -= frames;
  }

  void Clear() { front = back = 0; }

private:
  std::unique_ptr<IMidiMsg[]> buffer;
  int capacity;
  int front = 0;
  int back = 0;
};
