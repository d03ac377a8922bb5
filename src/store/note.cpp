// Placeholder until the note conversion lands.
#include "store/note.h"

namespace kova::store {

std::string note_path(const std::u16string &) { return {}; }
void pol_PutNote(NoteRecord &) {}

}  // namespace kova::store
