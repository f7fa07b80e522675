#include "clap/ClapStreams.h"

#include <algorithm>

#include "params/ProductFacts/StateFormat.h"

namespace ClapStreams
{
namespace
{
// A state stream is read in pieces of this size.
constexpr int64_t kReadPiece = 4096;
// Writes that take nothing, this many times in a row, are a stream that
// will never take the rest.
constexpr int kMaxIdleWrites = 16;
} // namespace

bool WriteAll(const clap_ostream_t& stream, const void* data, size_t size)
{
  if (!stream.write)
    return false;
  const auto* bytes = static_cast<const uint8_t*>(data);
  size_t done = 0;
  int idle = 0;
  while (done < size)
  {
    const int64_t wrote = stream.write(&stream, bytes + done, size - done);
    if (wrote < 0 || static_cast<uint64_t>(wrote) > size - done)
      return false;
    if (wrote == 0 && ++idle >= kMaxIdleWrites)
      return false;
    if (wrote > 0)
      idle = 0;
    done += static_cast<size_t>(wrote);
  }
  return true;
}

bool ReadAll(const clap_istream_t& stream, IByteChunk& chunk)
{
  if (!stream.read)
    return false;
  uint8_t piece[kReadPiece];
  for (;;)
  {
    const int64_t got = stream.read(&stream, piece, sizeof(piece));
    if (got == 0)
      return true;
    // A stream that reports more than it was asked for is not believed.
    if (got < 0 || got > kReadPiece)
      return false;
    if (chunk.Size() + got > StateFormat::kMaxStateBytes)
      return false;
    chunk.PutBytes(piece, static_cast<int>(got));
  }
}
} // namespace ClapStreams
