// The four store operations behind KOVA_AddObject, KOVA_ModifyObject, KOVA_FindObject
// and KOVA_GetObjectById: each picks or creates the item for the object type, runs the
// conversion of that type and reports the object's id as text ("%08x"; a note's id is
// its name, cut to fit the caller's KOVA_ID_CAPACITY bytes).
#pragma once

#include <cstdint>

#include "base/status.h"
#include "kova/kova.h"

namespace kova::store {

base::Status POL_AddObject(uint32_t type, ObjectRecord &record, char *id);
base::Status POL_ModifyObject(uint32_t type, const char *id, ObjectRecord &record);
// 1 when a matching object exists (its id goes to id when given), else 0.
uint32_t POL_FindObject(uint32_t type, ObjectRecord &record, char *id);
base::Status POL_GetObjectById(uint32_t type, const char *id, ObjectRecord &record);

}  // namespace kova::store
