// Reading the vCalendar 1.0 recurrence rule grammar (RRULE values) into a tree.
//
// Accepted, with {} repeated and [] optional, blanks between tokens:
//   M<n>  [#count] [enddate]            (the two in either order)
//   D<n>  {hhmm}                         [#count] [M rule]              [enddate]
//   W<n>  {weekday {hhmm}}               [#count] [M rule]              [enddate]
//   MP<n> {occ {occ} {weekday} {hhmm}}   [#count] [M, D or W rule]      [enddate]
//   MD<n> {daynumber}                    [#count] [M, D or W rule]      [enddate]
//   YM<n> {month}                        [#count] [M, D, W, MP, MD rule] [enddate]
//   YD<n> {yearday}                      [#count] [M, D, W, MP, MD rule] [enddate]
// e.g. "D1 0900 1730$ #5", "W1 MO 0900 TU", "MP1 1+ 2- MO #0", "MD1 LD", "YM1 6 MD1 15".
// A nested rule takes the rest of the text, the end date of the whole rule included.
#pragma once

#include "base/status.h"
#include "recurrence/rule.h"

namespace kova::recurrence {

// Clears rule, then fills it from text (8-bit, may be null). Ok, with Kind kNoRule, for a
// null or empty text; ParseError when the text is not a rule or nests a kind where it
// may not; OutOfMemory when an allocation fails. On failure the nodes built so far are
// freed and rule is cleared again.
base::Status ERG_Parse(const char *text, RecurrenceRule &rule);

}  // namespace kova::recurrence
