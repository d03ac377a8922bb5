// Writing a recurrence rule tree back as vCalendar 1.0 rule text, in the order the
// parser reads it: head, lists, count, nested rule, and the end date once at the end.
//   "D1 #10", "W1 MO 0900 1730$", "MP1 1- FR #0", "YM1 6 #0 MD1 15 #1 20031231T000000Z"
// A count of 2 is left out, since the parser assumes 2 when none is written.
#pragma once

#include <cstddef>

#include "base/status.h"
#include "recurrence/rule.h"

namespace kova::recurrence {

// Writes the text of rule into buffer, which holds capacity bytes with the terminator.
// GeneralFailure, with buffer empty, when the outermost Kind is not a rule kind or the
// text does not fit; nothing is ever written past capacity.
base::Status ERG_Generate(const RecurrenceRule &rule, char *buffer, size_t capacity);

template <size_t N> base::Status ERG_Generate(const RecurrenceRule &rule, char (&buffer)[N])
{
    return ERG_Generate(rule, buffer, N);
}

}  // namespace kova::recurrence
