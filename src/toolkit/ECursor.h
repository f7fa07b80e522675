#pragma once

// Mouse cursor shapes; the numbers are stable and used by the controls.
enum class ECursor : int
{
  ARROW = 0,
  IBEAM = 1,
  WAIT = 2,
  CROSS = 3,
  UPARROW = 4,
  SIZENWSE = 5,
  SIZENESW = 6,
  SIZEWE = 7,
  SIZENS = 8,
  SIZEALL = 9,
  INO = 10,
  HAND = 11,
  APPSTARTING = 12,
  HELP = 13,
};
