#include "control/FileReplacement.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace
{
std::string realTargetOf(const std::string& path)
{
  struct stat st;
  if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode))
  {
    if (char* real = ::realpath(path.c_str(), nullptr))
    {
      std::string target(real);
      std::free(real);
      return target;
    }
  }
  return path;
}

bool writeAll(int fd, const std::string& text)
{
  size_t done = 0;
  while (done < text.size())
  {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

// Makes the rename itself durable.
void syncFolderOf(const std::string& path)
{
  const size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0)
  {
    ::fsync(fd);
    ::close(fd);
  }
}
} // namespace

FileIdentity FileIdentity::of(const struct stat& st)
{
  return {st.st_dev, st.st_ino, st.st_size, st.st_mtim.tv_sec, st.st_mtim.tv_nsec};
}

FileIdentity FileIdentity::ofPath(const std::string& path)
{
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 ? of(st) : FileIdentity{};
}

FileReplacement::FileReplacement(const std::string& path) : target(realTargetOf(path))
{
  const size_t slash = target.rfind('/');
  const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  tempPath = target.substr(0, nameStart) + "." + target.substr(nameStart) + ".new";
}

bool FileReplacement::acquire()
{
  for (int attempt = 0; attempt < 1000; ++attempt)
  {
    // Not truncated on opening: another writer may be filling it right now.
    fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd < 0)
      return false;
    int locked;
    while ((locked = ::flock(fd, LOCK_EX)) != 0 && errno == EINTR)
    {
    }
    // Without the lock two writers could fill one file together: refuse.
    if (locked != 0)
    {
      release();
      return false;
    }
    // A writer that waited may hold a file that its previous holder has
    // meanwhile renamed into place; then the name leads elsewhere or nowhere,
    // and it starts over.
    struct stat held, named;
    if (::fstat(fd, &held) == 0 && ::lstat(tempPath.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
        held.st_ino == named.st_ino)
    {
      if (held.st_nlink == 1)
        return true;
      // The name is a second link to some other file, perhaps the target
      // itself: filling it would destroy that file. Drop the name only.
      ::unlink(tempPath.c_str());
    }
    release();
  }
  return false;
}

bool FileReplacement::replace(const std::string& text, FileIdentity& written)
{
  if (fd < 0)
    return false;
  bool ok = ::ftruncate(fd, 0) == 0 && writeAll(fd, text);
  // The file keeps the permissions it had (0666 for the configuration file,
  // which other users in the group may share) whatever this process's
  // file-creation mask is.
  struct stat st;
  if (ok && ::stat(target.c_str(), &st) == 0)
    ::fchmod(fd, st.st_mode & 0777);
  // The data is on disk before the name points to it, so that a crash
  // leaves the old file or the new one, never an empty or partial one.
  ok = ok && ::fsync(fd) == 0 && ::fstat(fd, &st) == 0;
  if (ok)
    written = FileIdentity::of(st);
  // Renamed while still locked: a waiting writer then finds the name free.
  ok = ok && ::rename(tempPath.c_str(), target.c_str()) == 0;
  if (ok)
    syncFolderOf(target);
  else
    ::unlink(tempPath.c_str());
  release();
  return ok;
}

void FileReplacement::discard()
{
  if (fd < 0)
    return;
  ::unlink(tempPath.c_str());
  release();
}

void FileReplacement::release()
{
  if (fd >= 0)
    ::close(fd);
  fd = -1;
}
