#include "control/UpdateCheckTask.h"

#include <system_error>

UpdateCheckTask::~UpdateCheckTask()
{
  cancel();
}

bool UpdateCheckTask::start(std::string url)
{
  if (isBusy())
    return false;
  cancelled.store(false);
  arrived.store(false);
  answer = {};
  try
  {
    worker = std::thread([this, url = std::move(url)] {
      VersionAnswer fetched = fetchVersionAnswer(url, cancelled);
      answer = std::move(fetched);
      arrived.store(true, std::memory_order_release);
    });
  }
  catch (const std::system_error&)
  {
    return false; // no thread to be had
  }
  return true;
}

std::optional<VersionAnswer> UpdateCheckTask::takeAnswer()
{
  if (!isBusy() || !arrived.load(std::memory_order_acquire))
    return std::nullopt;
  worker.join(); // the worker has stored its answer and is leaving
  return std::move(answer);
}

void UpdateCheckTask::cancel()
{
  if (!isBusy())
    return;
  cancelled.store(true);
  worker.join();
  answer = {};
}
