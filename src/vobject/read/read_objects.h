#pragma once

#include <cstddef>

#include "base/status.h"
#include "kova/kova.h"

namespace kova::vobject {

// Opens the file, recognises its kind from the first line and runs that reader.
// Returns the reader's 17, 18, 19 or 11, or 7 (no file) or 8 (not an object file).
base::Status read_objects(const char16_t *path, KOVA_ReaderCallback callback, void *context);

// The characters of source up to a delimiter or the end, with "\;" and "\\" unescaped,
// at most capacity-1 of them. Returns the stop position.
const char *ReadField(char *destination, size_t capacity, const char *source,
                      const char *delimiters);

}  // namespace kova::vobject
