// Result codes shared by every module; they mirror the codes of kova.h and are never
// renumbered or reused.
#pragma once

#include <cstdint>

namespace kova::base {

enum class Status : uint32_t {
    Ok = 0,
    GeneralFailure = 1,
    StoreNotOpened = 3,
    EndOfStore = 4,
    NotFound = 6,
    CannotOpenFile = 7,
    NotAnObject = 8,
    InvalidId = 9,
    MissingField = 10,
    OutOfMemory = 11,
    PimError = 14,
    PimNotOpened = 15,
    TypeNotSupported = 16,
    Parsed = 17,
    ParsedWithWarning = 18,
    ParseError = 19,
};

constexpr uint32_t to_code(Status s) { return static_cast<uint32_t>(s); }

// A reader's running status only ever gets worse: 17, then 18, then 19.
constexpr Status worse(Status a, Status b) { return to_code(a) >= to_code(b) ? a : b; }

}  // namespace kova::base
