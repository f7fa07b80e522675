#include "plugin/MakeEffect.h"

#include <mutex>
#include <new>

#include "plugin/TolmarDelay.h"
#ifndef TOLMAR_PRODUCT_WITHOUT_EDITOR
#include "editor/TolmarEditor.h"
#endif

IEffectPlugin* MakeEffect(const InstanceInfo& info)
{
  static std::mutex constructionMutex;
  std::lock_guard<std::mutex> lock(constructionMutex);
  try
  {
    auto delay = std::make_unique<TolmarDelay>(info);
#ifndef TOLMAR_PRODUCT_WITHOUT_EDITOR
    TolmarEditor::install(*delay);
#endif
    return delay.release();
  }
  catch (...)
  {
    // A failed construction must not reach the host as an exception.
    return nullptr;
  }
}
