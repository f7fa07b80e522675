// Writes the arguments it was started with, one per line after their count,
// into the file named by TOLMAR_ARGV_FILE (first to a temporary name, so
// that a reader never sees half a file).
#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv)
{
  const char* target = std::getenv("TOLMAR_ARGV_FILE");
  if (!target)
    return 2;
  const std::string partial = std::string(target) + ".part";
  FILE* out = std::fopen(partial.c_str(), "w");
  if (!out)
    return 3;
  std::fprintf(out, "%d\n", argc - 1);
  for (int i = 1; i < argc; ++i)
    std::fprintf(out, "%s\n", argv[i]);
  std::fclose(out);
  return std::rename(partial.c_str(), target) == 0 ? 0 : 4;
}
