// ISO 8601 basic dates of vCard and vCalendar values, to and from local OLE dates.
#pragma once

#include <string>

#include "convert/ole_date.h"

namespace kova::convert {

// Accepts 20030516 (a date), 20030516T, 20030516T12, 20030516T1230, 20030516T123045
// (local) and 20030516T123045Z (UTC, moved to local time). An empty or unreadable text
// gives NoDate, valid; fields that name no real date and time give an invalid value.
DateValue ParseIsoDate(const char *text);

// "20030516", local "20030516T143000" or UTC "20030516T123000Z". The year is padded
// with blanks, not zeros. Empty when the date cannot be converted.
std::u16string FormatIsoDate(double date, bool with_time, bool local);

}  // namespace kova::convert
