#pragma once
#include <cstdint>

#include "toolkit/IMouseMod.h"

// Key strokes as the host reports them to a plug-in view (a UTF-16
// character, a VST 3 virtual key code and VST 3 modifier bits), translated
// into the editor's key press: UTF-8 text, a virtual key in the numbering
// the toolkit uses, and shift, control and alt.
namespace KeyTranslation
{
// VST 3 key codes the view itself needs to know.
constexpr int16_t kVST3KeyEscape = 6;
constexpr int16_t kVST3KeySpace = 7;
constexpr int16_t kVST3FirstAscii = 128;

// VST 3 modifier bits. The command key is the control key on Linux; the
// separate control bit (the Mac's control key) is not used.
constexpr int16_t kShiftBit = 1 << 0;
constexpr int16_t kAltBit = 1 << 1;
constexpr int16_t kCommandBit = 1 << 2;

// The character of a key stroke; key codes from the ASCII range stand for
// their characters when the host gives none. 0 when there is none.
char16_t CharacterFor(char16_t key, int16_t keyCode);
// The virtual key of a VST 3 key code; codes 0 and 57 take it from the
// first byte of the key's text.
int VirtualKeyFor(int16_t keyCode, const char* text);
IKeyPress Translate(char16_t key, int16_t keyCode, int16_t modifiers);
// The space bar alone: what a host that keeps all other keys passes on.
IKeyPress SpaceKey(int16_t modifiers);
} // namespace KeyTranslation
