// vCalendar 1.0: every VEVENT (appointment) and VTODO (task) of every VCALENDAR block
// becomes a CalendarRecord, type 1. Unlike the other readers it hands out objects from
// inside a block, one per item, so one block can give several callbacks.
#pragma once

#include <cstdio>

#include "base/status.h"
#include "kova/kova.h"

namespace kova::vobject {

// All items of all blocks of the stream, each lent to the callback. Returns 17, 18, 19
// or 11.
base::Status read_vcalendars(FILE *stream, KOVA_ReaderCallback callback, void *context);

}  // namespace kova::vobject
