#pragma once
#include <cstddef>
#include <cstdint>

#include <lv2/atom/atom.h>

// Atoms come from the host (and through it from the other side of the
// plug-in): their sizes are checked against what holds them before anything
// inside is read.
namespace AtomChecks
{
// True when the event, header and body, lies inside the sequence.
inline bool eventInside(const LV2_Atom_Sequence* sequence, const LV2_Atom_Event* event)
{
  const auto* end = reinterpret_cast<const uint8_t*>(&sequence->body) + sequence->atom.size;
  const auto* at = reinterpret_cast<const uint8_t*>(event);
  if (at + sizeof(LV2_Atom_Event) > end)
    return false;
  return event->body.size <= static_cast<size_t>(end - at - sizeof(LV2_Atom_Event));
}

// The property value when it lies inside the object, else null.
inline const LV2_Atom* inside(const LV2_Atom_Object* object, const LV2_Atom* value)
{
  if (!value)
    return nullptr;
  const auto* end = reinterpret_cast<const uint8_t*>(object) + sizeof(LV2_Atom) + object->atom.size;
  const auto* at = reinterpret_cast<const uint8_t*>(value);
  if (at + sizeof(LV2_Atom) > end || value->size > static_cast<size_t>(end - at - sizeof(LV2_Atom)))
    return nullptr;
  return value;
}
} // namespace AtomChecks
