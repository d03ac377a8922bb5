// Notes: a note is an ink file in the personal documents folder, named after its
// Summary and holding its Body. Notes are never read back into records.
#pragma once

#include <string>

#include "kova/kova.h"

namespace kova::store {

// The note's file: the documents folder, the cleaned name (printable characters other
// than \ / : * ? < > | ", at most 260) and ".pwi".
std::string note_path(const std::u16string &name);

// Writes the note's file, replacing one of the same name; failures are only logged.
void pol_PutNote(NoteRecord &record);

}  // namespace kova::store
