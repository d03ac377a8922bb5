// vMessage (IrMC): every VMSG of a file becomes a MessageRecord, type 5 when its folder
// is "OUTBOX", 4 when it is "SENTBOX", else 3.
//
//   BEGIN:VMSG              message level: VERSION, X-IRMC-*, X-BT-FOLDER
//   BEGIN:VCARD ... END:VCARD       originator, read past
//   BEGIN:VENV              envelope level: recipient vCards, nested VENVs
//   BEGIN:VBODY             body level: RFC 822 headers up to an empty line
//   Subject:Hi
//
//   raw content lines, joined with LF into MainPart (or MIME parts, chained from it)
//   END:VBODY
//   END:VENV
//   END:VMSG
#pragma once

#include <cstddef>
#include <cstdio>

#include "base/status.h"
#include "kova/kova.h"

namespace kova::vobject {

// All vMessages of the stream, each lent to the callback. Returns 17, 18, 19 or 11.
base::Status read_vmessages(FILE *stream, KOVA_ReaderCallback callback, void *context);

// The bytes up to the next LF or the end of the stream, cut at the first CR, as a heap
// text from model::allocate; the empty text at the end, null when it cannot be allocated.
// Unlike FileLine it neither unfolds nor drops soft line breaks.
char *ContentLine(FILE *stream);

// Appends content lines to part up to the first line that starts with terminator; when
// closing is given it tells whether that line was the terminator followed by "--".
// Returns 19 at the end of the stream, else 17, or 11 when the last line was dropped.
base::Status ReadContent(FILE *stream, ContentPart &part, const char *terminator,
                         bool *closing);

// Appends line to the part's text, after an LF when the part has text; used is the
// text's length and is kept up to date, so that a long body is never rescanned. The
// buffer starts at 20480 bytes and doubles. A line "/END:VBODY" (any number of '/')
// loses its first '/'. Returns 17, or 11 with the part unchanged when it cannot grow.
base::Status CONTENT_AddToBuffer(ContentPart &part, size_t &used, const char *line);

}  // namespace kova::vobject
