// The readers of vCalendar, vNote and vMessage files.
#pragma once

#include <cstdio>

#include "base/status.h"
#include "kova/kova.h"

namespace kova::vobject {

// Each VEVENT and VTODO of every VCALENDAR block, type 1.
base::Status read_vcalendars(FILE *stream, KOVA_ReaderCallback callback, void *context);
// Each vNote, type 2.
base::Status read_vnotes(FILE *stream, KOVA_ReaderCallback callback, void *context);
// Each vMessage, type 3, 4 or 5 by its folder.
base::Status read_vmessages(FILE *stream, KOVA_ReaderCallback callback, void *context);

}  // namespace kova::vobject
