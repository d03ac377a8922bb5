// The readers of vCalendar, vNote and vMessage files.
#pragma once

#include "vobject/read/vcalendar_reader.h"
#include "vobject/read/vmessage_reader.h"
#include "vobject/read/vnote_reader.h"
