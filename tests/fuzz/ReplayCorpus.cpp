// Every file of a fuzz target's corpus folder through the target's entry,
// as the fuzzer feeds it: seeds and the inputs of earlier findings alike.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include <gtest/gtest.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

TEST(FuzzCorpus, EveryInputRunsCleanly)
{
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(TOLMAR_FUZZ_CORPUS))
    if (entry.is_regular_file())
      files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  ASSERT_FALSE(files.empty()) << TOLMAR_FUZZ_CORPUS;
  for (const auto& file : files)
  {
    std::ifstream in(file, std::ios::binary);
    const std::vector<char> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    // Named first: a broken property aborts the whole program.
    std::fprintf(stderr, "input %s\n", file.filename().c_str());
    EXPECT_EQ(LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), 0) << file;
  }
}
