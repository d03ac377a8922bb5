#include "interface/code_text.h"

#include <cstdio>

#include "base/status.h"

namespace kova::api {
namespace {

const char16_t *known_text(base::Status s)
{
    using base::Status;
    switch (s) {
    case Status::Ok: return u"OK";
    case Status::GeneralFailure: return u"General failure";
    case Status::StoreNotOpened: return u"The object store is not opened";
    case Status::EndOfStore: return u"Reached the end-of-store";
    case Status::NotFound: return u"The object was not found";
    case Status::CannotOpenFile: return u"Could not open the file";
    case Status::NotAnObject: return u"The stream of data does not contain a valid object";
    case Status::InvalidId: return u"The object id is invalid";
    case Status::MissingField: return u"The object is missing a required field";
    case Status::PimError: return u"General PIM Error";
    case Status::PimNotOpened: return u"The PIM is not opened";
    case Status::TypeNotSupported: return u"The type is not supported";
    case Status::Parsed: return u"Parsing successful";
    case Status::ParsedWithWarning: return u"Parsing warning";
    case Status::ParseError: return u"Parsing error";
    case Status::OutOfMemory: return nullptr;  // no text of its own
    }
    return nullptr;
}

char16_t g_unknown[260];

}  // namespace

const char16_t *code_text(uint32_t code)
{
    // Status has a fixed underlying type, so any number is a value the switch can see.
    if (const char16_t *text = known_text(static_cast<base::Status>(code))) return text;
    char narrow[sizeof g_unknown / sizeof *g_unknown];
    int n = std::snprintf(narrow, sizeof narrow, "Unknown KOVA error, code=%d",
                          static_cast<int>(code));
    if (n < 0) n = 0;
    size_t i = 0;
    for (; i < static_cast<size_t>(n) && i + 1 < sizeof narrow; ++i)
        g_unknown[i] = static_cast<unsigned char>(narrow[i]);
    g_unknown[i] = u'\0';
    return g_unknown;
}

}  // namespace kova::api
