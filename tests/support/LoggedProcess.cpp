#include "support/LoggedProcess.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace logged
{
namespace
{
// The errors go to their own file where one is given, else to the log.
pid_t spawn(std::vector<std::string> args, const std::filesystem::path& log, const std::filesystem::path* errors,
            bool ownGroup)
{
  std::vector<char*> argv;
  for (auto& a : args)
    argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (errors)
    posix_spawn_file_actions_addopen(&actions, 2, errors->c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  else
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  if (ownGroup)
  {
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
  }
  pid_t pid = 0;
  if (posix_spawnp(&pid, argv[0], &actions, &attributes, argv.data(), environ) != 0)
    pid = -1;
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}
} // namespace

pid_t start(std::vector<std::string> args, const std::filesystem::path& log, bool ownGroup)
{
  return spawn(std::move(args), log, nullptr, ownGroup);
}

pid_t start(std::vector<std::string> args, const std::filesystem::path& out, const std::filesystem::path& errors)
{
  return spawn(std::move(args), out, &errors, false);
}

int wait(pid_t pid)
{
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

int run(std::vector<std::string> args, const std::filesystem::path& log)
{
  const pid_t pid = start(std::move(args), log);
  return pid < 0 ? -1 : wait(pid);
}
} // namespace logged
