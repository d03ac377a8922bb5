// The readers of vCalendar, vNote and vMessage files.
#pragma once

#include <cstdio>

#include "base/status.h"
#include "kova/kova.h"
#include "vobject/read/vcalendar_reader.h"
#include "vobject/read/vnote_reader.h"

namespace kova::vobject {

// Each vMessage, type 3, 4 or 5 by its folder.
base::Status read_vmessages(FILE *stream, KOVA_ReaderCallback callback, void *context);

}  // namespace kova::vobject
