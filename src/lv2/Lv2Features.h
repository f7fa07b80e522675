#pragma once
#include <cstring>

#include <lv2/core/lv2.h>

// The data of the host's feature with this URI; null when the host does not
// offer it or offers it without data, which none of the features asked for
// here can be used without.
inline const void* featureData(const LV2_Feature* const* features, const char* uri)
{
  for (const LV2_Feature* const* f = features; f && *f; ++f)
    if ((*f)->URI && std::strcmp((*f)->URI, uri) == 0)
      return (*f)->data;
  return nullptr;
}
