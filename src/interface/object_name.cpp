#include "interface/object_name.h"

namespace kova::api {

uint32_t object_name(uint32_t, const ObjectRecord *, char16_t *buffer, uint32_t size)
{
    if (buffer && size) buffer[0] = u'\0';
    return 0;
}

}  // namespace kova::api
