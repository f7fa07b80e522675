#pragma once
#include <cstddef>
#include <cstdint>

#include "clap/stream.h"
#include "params/IByteChunk.h"

// The host's state streams, read and written whole. Main thread.
namespace ClapStreams
{
// Writes every byte, going on after partial writes; false when the stream
// fails or stops taking bytes.
bool WriteAll(const clap_ostream_t& stream, const void* data, size_t size);

// Reads to the stream's end into chunk; false when a read fails or the
// stream is longer than StateFormat::kMaxStateBytes.
bool ReadAll(const clap_istream_t& stream, IByteChunk& chunk);
} // namespace ClapStreams
