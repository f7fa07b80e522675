#include "plugin/MakeEffect.h"

#include <mutex>
#include <new>

#include "editor/TolmarEditor.h"
#include "plugin/TolmarDelay.h"

IEffectPlugin* MakeEffect(const InstanceInfo& info)
{
  static std::mutex constructionMutex;
  std::lock_guard<std::mutex> lock(constructionMutex);
  try
  {
    auto delay = std::make_unique<TolmarDelay>(info);
    TolmarEditor::install(*delay);
    return delay.release();
  }
  catch (...)
  {
    // A failed construction must not reach the host as an exception.
    return nullptr;
  }
}
