// The Date header of a message, to a local OLE date or a UTC FILETIME. Two forms:
//   Fri, 16 May 2003 21:57:50 +0200   RFC 822: day name, seconds required, zone optional
//   Fri, May 16 21:57:50 2003         the legacy form, tried when RFC 822 fails
#pragma once

#include "convert/ole_date.h"

namespace kova::convert {

// A text neither form reads gives NoDate, valid; a date that does not exist (31 Feb)
// gives an invalid value.
DateValue ParseMessageDate(const char *text);

// The header as UTC; the current time when the date is invalid. A text neither form
// reads gives NoDate taken as local time.
FileTime MessageDateToFileTime(const char *text);

}  // namespace kova::convert
