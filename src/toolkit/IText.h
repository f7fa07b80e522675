#pragma once
#include <string>

#include "toolkit/IColor.h"

enum class EAlign
{
  Near,
  Center,
  Far,
};

enum class EVAlign
{
  Top,
  Middle,
  Bottom,
};

// A text style: font, size in layout units, colour, alignment inside the
// rectangle it is drawn in, rotation in degrees, and the colours of a text
// entry field that edits it.
struct IText
{
  float size = 14.f;
  IColor color = COLOR_BLACK;
  std::string font;
  EAlign align = EAlign::Center;
  EVAlign valign = EVAlign::Middle;
  float angle = 0.f;
  IColor entryBackground = COLOR_WHITE;
  IColor entryText = COLOR_BLACK;

  IText() = default;
  IText(float textSize, const IColor& textColor, const char* fontID = "", EAlign horizontal = EAlign::Center,
        EVAlign vertical = EVAlign::Middle, float rotation = 0.f, const IColor& entryBG = COLOR_WHITE,
        const IColor& entryFG = COLOR_BLACK)
    : size(textSize), color(textColor), font(fontID ? fontID : ""), align(horizontal), valign(vertical),
      angle(rotation), entryBackground(entryBG), entryText(entryFG)
  {
  }
};
