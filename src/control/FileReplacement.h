#pragma once
#include <string>
#include <sys/stat.h>

// What tells one version of a file from another. Replacing a file by
// renaming a new one over it always changes the inode; size and modification
// time (to the nanosecond) catch editors that write in place.
struct FileIdentity
{
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  time_t mtimeSeconds = 0;
  long mtimeNanoseconds = 0;

  bool operator==(const FileIdentity&) const = default;

  static FileIdentity of(const struct stat& st);
  // All zero when the file cannot be examined.
  static FileIdentity ofPath(const std::string& path);
};

// Replaces a file as a whole, so that readers and a crash see either the old
// or the new file, never a mixture.
//
// The new version is written to the temporary file ".name.new" beside the
// file, held under an exclusive lock from acquire() until it has been renamed
// into place. Every writer in every process goes through this one name and
// lock, so a writer that reads the file after acquire() builds on the newest
// version, read-modify-write cycles of different processes follow one another
// instead of interleaving, and two writers never fill one temporary file
// together.
//
// A symbolic link at the file's path stays: the file it points to is
// replaced.
class FileReplacement
{
public:
  explicit FileReplacement(const std::string& path);
  ~FileReplacement() { release(); }
  FileReplacement(const FileReplacement&) = delete;
  FileReplacement& operator=(const FileReplacement&) = delete;

  // Takes the lock; false when the temporary file cannot be made or locked.
  bool acquire();

  // Writes text and renames it over the file, keeping the file's
  // permissions. On success written identifies the new version. Ends the hold.
  bool replace(const std::string& text, FileIdentity& written);

  // Nothing to write after all: removes the temporary file. Ends the hold.
  void discard();

private:
  void release();

  std::string target;
  std::string tempPath;
  int fd = -1;
};
