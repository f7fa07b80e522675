#pragma once
#include <cstdio>
#include <cstdlib>

// A property every input must keep. A broken one aborts, which the fuzzer
// reports as a finding with the input that caused it, and which fails the
// corpus replay test.
#define FUZZ_CHECK(condition)                                                                  \
  do                                                                                           \
  {                                                                                            \
    if (!(condition))                                                                          \
    {                                                                                          \
      std::fprintf(stderr, "fuzz check failed: %s (%s:%d)\n", #condition, __FILE__, __LINE__); \
      std::abort();                                                                            \
    }                                                                                          \
  } while (false)
