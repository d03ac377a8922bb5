#pragma once

#include <cstdint>

#include "kova/kova.h"

namespace kova::api {

// The display name of an object as UTF-16; returns its whole length in units, and
// copies at most size-1 units into buffer when buffer is not null. When memory runs out
// the name is empty: 0, and an empty text in buffer.
uint32_t object_name(uint32_t type, const ObjectRecord *record, char16_t *buffer,
                     uint32_t size);

}  // namespace kova::api
