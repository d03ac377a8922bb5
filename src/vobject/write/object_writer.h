// The four object writers. Each emits its object in one fixed line order, whatever
// order the record was read in, and goes on past a line that cannot be written (the
// line writer logs it), so a file may end up incomplete while the write reports 0.
#pragma once

#include <cstdint>
#include <cstdio>

#include "base/status.h"
#include "kova/kova.h"

namespace kova::vobject {

// Writes the object of the given type (0 vCard, 1 vCalendar, 2 vNote, 3-5 vMessage)
// to an open stream; X-IRMC-LUID is written whenever with_luid is set and Luid is not
// empty. Returns Ok, or TypeNotSupported (nothing written) for any other type.
base::Status write_object(FILE *file, uint32_t type, const ObjectRecord &record,
                          bool with_luid);

}  // namespace kova::vobject
