// The four object writers: each emits one object in its fixed line order.
#pragma once

#include <cstdint>
#include <cstdio>

#include "base/status.h"
#include "kova/kova.h"

namespace kova::vobject {

// Writes the object of the given type (0 vCard, 1 vCalendar, 2 vNote, 3-5 vMessage)
// to an open stream; X-IRMC-LUID is written whenever with_luid is set and Luid is not
// empty. Returns Parsed (17) when written, TypeNotSupported for any other type.
base::Status write_object(FILE *file, uint32_t type, const ObjectRecord &record,
                          bool with_luid);

}  // namespace kova::vobject
