#pragma once
#include <memory>
#include <utility>

#include "toolkit/IEffectEditor.h"

// A host binding's editor, made when it is first wanted. make() returns a
// new editor that the caller owns, or null; one that throws counts as none,
// since failures never leave the binding, and a later call tries again.
// The new editor's own size changes (points) go to onHostResize. True when
// there is an editor. Main thread.
template <typename Make, typename OnHostResize>
bool MakeEditorOnFirstUse(std::unique_ptr<IEffectEditor>& editor, Make&& make, OnHostResize&& onHostResize)
{
  if (editor)
    return true;
  try
  {
    editor.reset(std::forward<Make>(make)());
  }
  catch (...)
  {
    editor.reset();
  }
  if (editor)
    editor->setHostResizeHandler(std::forward<OnHostResize>(onHostResize));
  return editor != nullptr;
}
