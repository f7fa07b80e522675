#include "vst3/MakeEffect.h"

#include <mutex>
#include <new>

IEffectPlugin* MakeEffect(const InstanceInfo& info)
{
  static std::mutex constructionMutex;
  std::lock_guard<std::mutex> lock(constructionMutex);
  try
  {
    return new TolmarDelay(info);
  }
  catch (...)
  {
    // A failed construction must not reach the host as an exception.
    return nullptr;
  }
}
