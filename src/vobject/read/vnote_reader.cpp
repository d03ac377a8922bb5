#include "vobject/read/vnote_reader.h"

#include "vobject/read/flat_body.h"
#include "vobject/read/line_reader.h"

namespace kova::vobject {

using base::Status;

namespace {

// One value component each: a BODY keeps its text up to the first unescaped ';'.
constexpr FlatList<NoteRecord> kNoteLists[] = {
    {"DCREATED", &NoteRecord::DCreated, 1},     {"LAST-MODIFIED", &NoteRecord::LastModified, 1},
    {"SUMMARY", &NoteRecord::Summary, 1},       {"BODY", &NoteRecord::Body, 1},
    {"CATEGORIES", &NoteRecord::Categories, 1}, {"CLASS", &NoteRecord::Class, 1},
};

constexpr FlatBodyRules<NoteRecord> kNoteRules = {
    1.1,
    "KOVA:  Warning - Parser encounted a blank line in vNote",
    "KOVA:  Error - vNote version '%s' is not supported",
    "KOVA:  Error - vNote missing END tag or does not contain required VERSION property",
    kNoteLists,
    sizeof kNoteLists / sizeof *kNoteLists,
    nullptr,
};

// One vNote from the line after its BEGIN line through its END line.
Status read_vnote_body(FILE *stream, ObjectRecord &record)
{
    return read_flat_body(stream, record.Note, kNoteRules);
}

uint32_t note_type(const ObjectRecord &) { return KOVA_TYPE_NOTE; }

}  // namespace

Status read_vnotes(FILE *stream, KOVA_ReaderCallback callback, void *context)
{
    static constexpr ObjectLoopRules kRules = {
        "VNOTE", "KOVA:  Error - vNote does not have a BEGIN tag", read_vnote_body, note_type};
    return ObjectLoop(stream, kRules, callback, context);
}

}  // namespace kova::vobject
