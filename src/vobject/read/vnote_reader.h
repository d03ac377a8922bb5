// vNote 1.1 (and earlier): every vNote of a file becomes a NoteRecord, type 2.
#pragma once

#include <cstdio>

#include "base/status.h"
#include "kova/kova.h"

namespace kova::vobject {

// All vNotes of the stream, each lent to the callback. Returns 17, 18, 19 or 11.
base::Status read_vnotes(FILE *stream, KOVA_ReaderCallback callback, void *context);

}  // namespace kova::vobject
