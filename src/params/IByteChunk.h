#pragma once
#include <bit>
#include <cstdint>
#include <cstring>
#include <vector>

static_assert(std::endian::native == std::endian::little,
              "state chunks are little-endian; a big-endian build needs byte swapping here");

// Growable heap storage for a chunk.
class IHeapBuf
{
public:
  const uint8_t* Get() const { return bytes.data(); }
  uint8_t* Get() { return bytes.data(); }
  int Size() const { return static_cast<int>(bytes.size()); }
  // Growth is geometric (the vector's own policy): appends stay amortised
  // constant and the storage is kept across Clear.
  void Resize(int size) { bytes.resize(size > 0 ? static_cast<size_t>(size) : 0); }

private:
  std::vector<uint8_t> bytes;
};

// Byte buffer of a state: values are appended as their little-endian bytes;
// a read takes a start position and returns the next one, or -1 when the
// data runs out.
class IByteChunk
{
public:
  int PutBytes(const void* data, int size)
  {
    if (size <= 0 || !data)
      return Size();
    const int start = Size();
    buf.Resize(start + size);
    std::memcpy(buf.Get() + start, data, static_cast<size_t>(size));
    return Size();
  }

  template <typename T>
  int Put(const T* value)
  {
    return PutBytes(value, static_cast<int>(sizeof(T)));
  }

  int GetBytes(void* data, int size, int startPos) const
  {
    if (startPos < 0 || size < 0 || startPos > Size() - size)
      return -1;
    std::memcpy(data, buf.Get() + startPos, static_cast<size_t>(size));
    return startPos + size;
  }

  template <typename T>
  int Get(T* value, int startPos) const
  {
    return GetBytes(value, static_cast<int>(sizeof(T)), startPos);
  }

  int Size() const { return buf.Size(); }
  void Clear() { buf.Resize(0); }
  const uint8_t* GetData() const { return buf.Get(); }

private:
  IHeapBuf buf;
};
