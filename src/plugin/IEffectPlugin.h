#pragma once
#include <functional>
#include <memory>
#include <string>

#include "plugin/IEffectBase.h"
#include "plugin/IEffectProcessor.h"

class IEffectEditor;

// What the factory passes to a new instance; nothing so far.
struct InstanceInfo
{
};

// The platform-neutral half of a plug-in: parameters, state and host edits
// on one side, audio processing on the other. Host bindings drive it through
// this interface only.
class IEffectPlugin : public IEffectAPIBase, public IEffectProcessor
{
public:
  // Returns a new editor that the caller owns, or null.
  using EditorFactory = std::function<IEffectEditor*(IEffectPlugin&, const std::string& resourceFolder)>;

  explicit IEffectPlugin(const IEffectConfig& config) : IEffectAPIBase(config) {}

  // Main thread. The module that links an editor installs how to make one;
  // without it the effect has no editor to show.
  void SetEditorFactory(EditorFactory factory) { editorFactory = std::move(factory); }
  // Main thread: a new editor that the caller owns, or null.
  virtual IEffectEditor* CreateEditor(const std::string& resourceFolder)
  {
    return editorFactory ? editorFactory(*this, resourceFolder) : nullptr;
  }

private:
  EditorFactory editorFactory;
};
