#include "vobject/write/object_writer.h"

namespace kova::vobject {

base::Status write_object(FILE *, uint32_t, const ObjectRecord &, bool)
{
    return base::Status::TypeNotSupported;
}

}  // namespace kova::vobject
