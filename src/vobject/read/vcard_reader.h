// vCard 2.1 (and earlier): every vCard of a file becomes a ContactRecord, type 0.
#pragma once

#include <cstdio>

#include "base/status.h"
#include "kova/kova.h"

namespace kova::vobject {

// All vCards of the stream, each lent to the callback. Returns 17, 18, 19 or 11.
base::Status read_vcards(FILE *stream, KOVA_ReaderCallback callback, void *context);

// One vCard from the line after its BEGIN line up to and including its END line, into
// a zeroed contact. The vMessage reader runs it on embedded originators and recipients.
base::Status read_vcard_body(FILE *stream, ContactRecord &contact);

}  // namespace kova::vobject
