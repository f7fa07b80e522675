#include "toolkit/URLLauncher.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <strings.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace
{
std::string findInPath(const std::string& program)
{
  if (program.empty())
    return {};
  if (program.find('/') != std::string::npos)
    return ::access(program.c_str(), X_OK) == 0 ? program : std::string();
  const char* path = std::getenv("PATH");
  std::string dirs = path && *path ? path : "/usr/local/bin:/usr/bin:/bin";
  size_t start = 0;
  while (start <= dirs.size())
  {
    size_t end = dirs.find(':', start);
    if (end == std::string::npos)
      end = dirs.size();
    // An empty entry would mean the current folder, which is no place to
    // look for a program the host runs: skipped.
    if (end > start)
    {
      std::string candidate(dirs, start, end - start);
      candidate.append("/").append(program);
      if (::access(candidate.c_str(), X_OK) == 0)
        return candidate;
    }
    start = end + 1;
  }
  return {};
}

// Closes the descriptors first..last (last -1: all above first).
void closeRange(int first, int last)
{
  if (last >= 0 && last < first)
    return;
#ifdef SYS_close_range
  if (::syscall(SYS_close_range, static_cast<unsigned>(first), last < 0 ? ~0u : static_cast<unsigned>(last), 0u) == 0)
    return;
#endif
  const long limit = last >= 0 ? last : std::min(::sysconf(_SC_OPEN_MAX), 65536L);
  for (long fd = first; fd <= limit; ++fd)
    ::close(static_cast<int>(fd));
}

// In the forked children only async-signal-safe calls are made: the host
// may have other threads holding locks we would otherwise need.
[[noreturn]] void runGrandchild(const char* path, char* const argv[], int errorPipe)
{
  sigset_t all;
  sigemptyset(&all);
  sigprocmask(SIG_SETMASK, &all, nullptr);
  setsid();
  const int devNull = ::open("/dev/null", O_RDWR);
  if (devNull >= 0)
  {
    ::dup2(devNull, STDIN_FILENO);
    if (devNull != STDIN_FILENO)
      ::close(devNull);
  }
  // Keep stdout and stderr (diagnostics) and the error pipe, close the rest
  // of the host's files.
  closeRange(3, errorPipe - 1);
  closeRange(errorPipe + 1, -1);
  ::execve(path, argv, environ);
  const int error = errno;
  ssize_t ignored = ::write(errorPipe, &error, sizeof error);
  (void)ignored;
  ::_exit(127);
}
} // namespace

bool LaunchDetached(const std::string& program, const std::string& argument)
{
  const std::string path = findInPath(program);
  if (path.empty())
    return false;

  // Everything the children need is prepared before forking.
  std::vector<char> pathCopy(path.begin(), path.end());
  pathCopy.push_back('\0');
  std::vector<char> programCopy(program.begin(), program.end());
  programCopy.push_back('\0');
  std::vector<char> argumentCopy(argument.begin(), argument.end());
  argumentCopy.push_back('\0');
  char* argv[] = {programCopy.data(), argumentCopy.data(), nullptr};

  int pipeFds[2];
  if (::pipe2(pipeFds, O_CLOEXEC) != 0)
    return false;

  const pid_t child = ::fork();
  if (child < 0)
  {
    ::close(pipeFds[0]);
    ::close(pipeFds[1]);
    return false;
  }
  if (child == 0)
  {
    ::close(pipeFds[0]);
    const pid_t grandchild = ::fork();
    if (grandchild == 0)
      runGrandchild(pathCopy.data(), argv, pipeFds[1]);
    ::_exit(grandchild < 0 ? 1 : 0);
  }

  ::close(pipeFds[1]);
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR)
  {
  }
  bool started = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  // The pipe closes on a successful exec; an error number arrives otherwise.
  int execError = 0;
  ssize_t got;
  do
  {
    got = ::read(pipeFds[0], &execError, sizeof execError);
  } while (got < 0 && errno == EINTR);
  ::close(pipeFds[0]);
  if (got > 0)
    started = false;
  return started;
}

URLLauncher MakeProgramLauncher(std::string program)
{
  return [program = std::move(program)](const std::string& url) { return LaunchDetached(program, url); };
}

bool IsOpenableURL(const std::string& url)
{
  for (unsigned char c : url)
  {
    if (c < 0x20 || c == 0x7f)
      return false;
  }
  const char* schemes[] = {"http://", "https://", "mailto:"};
  for (const char* scheme : schemes)
  {
    const size_t n = std::strlen(scheme);
    if (url.size() > n && ::strncasecmp(url.c_str(), scheme, n) == 0)
      return true;
  }
  return false;
}
