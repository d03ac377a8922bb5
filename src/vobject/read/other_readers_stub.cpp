#include "vobject/read/other_readers.h"

namespace kova::vobject {

base::Status read_vmessages(FILE *, KOVA_ReaderCallback, void *) { return base::Status::ParseError; }

}  // namespace kova::vobject
