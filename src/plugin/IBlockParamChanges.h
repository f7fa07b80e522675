#pragma once
#include <array>
#include <cstddef>

// The parameter changes the instance makes by itself within one block (a
// MIDI controller moving a parameter), kept until the binding reports them
// to the host with the block. Audio thread, inside one process call; nothing
// here allocates.
class IBlockParamChanges
{
public:
  struct Change
  {
    int paramIdx;
    double normalizedValue;
    int sampleOffset;
  };
  static constexpr int kCapacity = 256;

  // A parameter changed twice in a block keeps both points; past the
  // capacity only the latest value of each parameter is kept.
  void Add(int paramIdx, double normalizedValue, int sampleOffset)
  {
    if (count < kCapacity)
    {
      changes[static_cast<size_t>(count++)] = {paramIdx, normalizedValue, sampleOffset};
      return;
    }
    for (int i = count - 1; i >= 0; --i)
      if (changes[static_cast<size_t>(i)].paramIdx == paramIdx)
      {
        changes[static_cast<size_t>(i)].normalizedValue = normalizedValue;
        return;
      }
  }

  int Count() const { return count; }
  const Change& operator[](int i) const { return changes[static_cast<size_t>(i)]; }
  void Clear() { count = 0; }

private:
  std::array<Change, kCapacity> changes{};
  int count = 0;
};
