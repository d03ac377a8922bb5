#include "vobject/read/vnote_reader.h"

#include <cstring>

#include "base/file.h"
#include "base/log.h"
#include "model/record.h"
#include "vobject/read/line_reader.h"

namespace kova::vobject {

using base::Status;

namespace {

struct NoteList {
    const char *name;
    PropertyNode *NoteRecord::*list;
};

// One value component each: a BODY keeps its text up to the first unescaped ';'.
constexpr NoteList kNoteLists[] = {
    {"DCREATED", &NoteRecord::DCreated}, {"LAST-MODIFIED", &NoteRecord::LastModified},
    {"SUMMARY", &NoteRecord::Summary},   {"BODY", &NoteRecord::Body},
    {"CATEGORIES", &NoteRecord::Categories}, {"CLASS", &NoteRecord::Class},
};

const NoteList *find_note_list(const char *name)
{
    for (const NoteList &n : kNoteLists)
        if (std::strcmp(n.name, name) == 0) return &n;
    return nullptr;
}

// One vNote from the line after its BEGIN line through its END line.
Status read_vnote_body(FILE *stream, ObjectRecord &record)
{
    LineBuffers buffers;
    if (!buffers.ok()) return memory_error();
    NoteRecord &note = record.Note;
    Status status = Status::Parsed;
    int depth = 1;
    bool version_seen = false;
    bool done = false;
    while (!base::at_end(stream) && !done) {
        LogicalLine line(stream);
        if (!usable_body_line(line, "KOVA:  Warning - Parser encounted a blank line in vNote", status)) continue;
        char *value = split_clean(line.get(), buffers);
        const char *name = buffers.name;
        if (std::strcmp(name, "BEGIN") == 0) {
            ++depth;
        } else if (std::strcmp(name, "END") == 0) {
            if (depth == 1) done = true;
            --depth;
        } else if (std::strcmp(name, "VERSION") == 0) {
            version_seen = true;
            if (depth == 1) {
                CopyValue(note.Version, value, sizeof note.Version - 1);
                if (!VersionAccepted(note.Version, 1.1)) {
                    KOVA_LOG_ERROR("KOVA:  Error - vNote version '%s' is not supported",
                                   note.Version);
                    status = Status::ParseError;
                    done = true;
                }
            }
        } else if (std::strcmp(name, "X-IRMC-LUID") == 0) {
            if (depth == 1) CopyValue(note.Luid, value, sizeof note.Luid - 1);
        } else if (const NoteList *n = find_note_list(name)) {
            if (depth == 1)
                FillProperty(value, buffers.params, 1, model::AppendProperty(&(note.*(n->list))));
        } else {
            KOVA_LOG_TRACE("KOVA:  Warning - Parser encountered unknown property: '%s'", name);
            status = base::worse(status, Status::ParsedWithWarning);
        }
    }
    if (version_seen && (!base::at_end(stream) || done)) return status;
    KOVA_LOG_ERROR("KOVA:  Error - vNote missing END tag or does not contain required VERSION "
                   "property");
    return Status::ParseError;
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
