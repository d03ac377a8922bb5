// The ten exported functions. Each is a shim that lets no exception escape and hands
// over to the module that does the work.
#include <cstring>
#include <new>

#include "base/file.h"
#include "base/log.h"
#include "base/status.h"
#include "interface/code_text.h"
#include "interface/object_name.h"
#include "kova/kova.h"
#include "model/record.h"
#include "store/connection.h"
#include "store/operations.h"
#include "vobject/read/read_objects.h"
#include "vobject/write/object_writer.h"

namespace kova::api {
namespace {

using base::Status;

template <class Fn> uint32_t guarded(Fn &&fn) noexcept
try {
    return fn();
} catch (const std::bad_alloc &) {
    return base::to_code(Status::OutOfMemory);
} catch (...) {
    return base::to_code(Status::GeneralFailure);
}

// 17 and 18 are the readers' and writers' internal "done"; callers see 0.
uint32_t fold(Status s)
{
    return s == Status::Parsed || s == Status::ParsedWithWarning ? 0 : base::to_code(s);
}

// 7 leaves the record to the caller; every other result, 11 included, has released it.
uint32_t write_object(uint32_t type, ObjectRecord *record, const char16_t *path,
                      uint32_t overwrite)
{
    base::File file;
    Status s;
    try {
        if (file.open(path, (overwrite & 0xff) ? "w" : "a+") != 0)
            return base::to_code(Status::CannotOpenFile);
        s = vobject::write_object(file.get(), type, *record, true);
    } catch (const std::bad_alloc &) {
        s = Status::OutOfMemory;
    }
    model::ReleaseRecord(type, record);
    file.close();
    return fold(s);
}

}  // namespace
}  // namespace kova::api

using kova::api::guarded;
using kova::base::Status;
using kova::base::to_code;

extern "C" {

KOVA_API uint32_t KOVA_Open(void)
{
    return guarded([] {
        kova::base::configure_log();
        return to_code(kova::store::POL_Open());
    });
}

KOVA_API uint32_t KOVA_Close(void)
{
    return guarded([] { return to_code(kova::store::POL_Close()); });
}

KOVA_API uint32_t KOVA_ReadObjects(const char16_t *path, KOVA_ReaderCallback callback,
                                   void *context)
{
    return guarded([&] {
        return kova::api::fold(kova::vobject::read_objects(path, callback, context));
    });
}

KOVA_API uint32_t KOVA_WriteObject(uint32_t type, ObjectRecord *record, const char16_t *path,
                                   uint32_t overwrite)
{
    return guarded([&] { return kova::api::write_object(type, record, path, overwrite); });
}

KOVA_API uint32_t KOVA_AddObject(uint32_t type, ObjectRecord *record, char *idOut)
{
    uint32_t rc = guarded([&] { return to_code(kova::store::POL_AddObject(type, *record, idOut)); });
    // Running out of memory leaves no id, as every other failed add does.
    if (rc == to_code(Status::OutOfMemory) && idOut) idOut[0] = '\0';
    return rc;
}

KOVA_API uint32_t KOVA_ModifyObject(uint32_t type, const char *id, ObjectRecord *record)
{
    return guarded([&] { return to_code(kova::store::POL_ModifyObject(type, id, *record)); });
}

// A found flag, not a result code: a search that fails finds nothing.
KOVA_API uint32_t KOVA_FindObject(uint32_t type, ObjectRecord *record, char *idOut)
{
    try {
        return kova::store::POL_FindObject(type, *record, idOut);
    } catch (...) {
        return 0;
    }
}

KOVA_API uint32_t KOVA_GetObjectById(uint32_t type, const char *id, ObjectRecord *record)
{
    KOVA_LOG_TRACE("KOVA:  KOVA_GetObjectById()");
    if (!id) return to_code(Status::InvalidId);
    if (!record) return to_code(Status::GeneralFailure);
    std::memset(record, 0, sizeof *record);
    uint32_t rc = guarded([&] { return to_code(kova::store::POL_GetObjectById(type, id, *record)); });
    if (rc != 0) {
        // A fetch cut short by running out of memory hands out nothing, not half a record.
        kova::model::ReleaseRecord(type, record);
        std::memset(record, 0, sizeof *record);
    }
    return rc;
}

KOVA_API const char16_t *KOVA_CodeToString(uint32_t code)
{
    return kova::api::code_text(code);
}

KOVA_API uint32_t KOVA_GetObjectName(uint32_t type, ObjectRecord *record, char16_t *buffer,
                                     uint32_t size)
{
    return guarded([&] { return kova::api::object_name(type, record, buffer, size); });
}

}  // extern "C"
