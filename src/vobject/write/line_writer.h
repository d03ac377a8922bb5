// Content lines out of property nodes, and the fixed lines (BEGIN, VERSION, END, LUID,
// message headers) out of plain text. Values go out exactly as the record holds them:
// the store side has already encoded and escaped them, so nothing is escaped, converted
// or folded for length here. The one exception is quoted-printable, whose encoded line
// feeds ("=0A") end a physical line with a soft break:
//   NOTE;ENCODING=QUOTED-PRINTABLE:one=0D=0Atwo  ->  NOTE;ENCODING=QUOTED-PRINTABLE:one=0D=0A=
//                                                    two
// A line that cannot be written is logged and skipped; the object goes on.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string_view>

#include "kova/kova.h"

namespace kova::vobject {

// The object kinds only differ in the name their failure messages carry.
enum class ObjectKind { VCard, VCalendar, VMessage, VNote };

// NAME;param;param:value;value with null parameter texts left out and a null value
// component reduced to its separator. Returns the length without terminator (0 for a
// null name) and, when buffer is given (length+1 bytes), writes the line there.
size_t build_line(const char *name, const PropertyNode *node, char *buffer);

// Writes line, broken after every "=0A" that is not its end when quoted_printable is
// set. Returns 1 when a piece could not be written, else 0.
int write_folded(FILE *file, const char *line, bool quoted_printable);

// One line per node in list order; "NAME:" for an empty list when required. Failures
// are logged (or, for memory, skipped silently) and never reported: returns 0.
int write_property(FILE *file, const char *name, const PropertyNode *list, bool required);

// NAME:value, or NAME;params:value when params is not empty. Returns 1 after logging
// the kind's message when memory runs out or the line cannot be written.
int write_fixed_line(FILE *file, ObjectKind kind, std::string_view name, std::string_view params,
                     std::string_view value);

// The text as it is, as one line (a message's blank line and body). Returns 1 after
// logging the kind's message when it cannot be written.
int write_plain_line(FILE *file, ObjectKind kind, const char *text);

}  // namespace kova::vobject
