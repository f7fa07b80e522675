// tolmar-screenshot: draws the editor offscreen and writes it as a PNG.
//
//   tolmar-screenshot OUT.png [--scale S] [--resources DIR] [--preset N]
//
// The editor is the real one (controls, art, fonts) on an offscreen window;
// nothing is shown on screen.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "editor/TolmarEditor.h"
#include "params/CLocale.h"
#include "plugin/TolmarDelay.h"
#include "toolkit/OffscreenEditor.h"

int main(int argc, char** argv)
{
  std::string out;
  std::string resources = TOLMAR_RESOURCES_DIR;
  float scale = 0.5f;
  int preset = -1;
  for (int i = 1; i < argc; ++i)
  {
    const std::string arg = argv[i];
    if (arg == "--scale" && i + 1 < argc)
      scale = static_cast<float>(CLocale::ReadNumber(argv[++i]));
    else if (arg == "--resources" && i + 1 < argc)
      resources = argv[++i];
    else if (arg == "--preset" && i + 1 < argc)
      preset = std::atoi(argv[++i]);
    else if (!arg.empty() && arg[0] != '-' && out.empty())
      out = arg;
    else
    {
      std::fprintf(stderr, "usage: tolmar-screenshot OUT.png [--scale S] [--resources DIR] [--preset N]\n");
      return 2;
    }
  }
  if (out.empty() || !(scale > 0.f))
  {
    std::fprintf(stderr, "usage: tolmar-screenshot OUT.png [--scale S] [--resources DIR] [--preset N]\n");
    return 2;
  }

  TolmarDelay delay;
  delay.OnParamReset(kReset);
  if (preset >= 0 && !delay.RestorePreset(preset))
  {
    std::fprintf(stderr, "tolmar-screenshot: no preset %d\n", preset);
    return 1;
  }
  delay.setEditorScale(scale);
  TolmarEditor editor(delay, resources);
  OffscreenEditor offscreen(editor.EnsureGraphics());
  editor.OnFrame();
  offscreen.RenderAll();
  if (!offscreen.WritePNG(out))
  {
    std::fprintf(stderr, "tolmar-screenshot: cannot write %s\n", out.c_str());
    return 1;
  }
  return 0;
}
