#include "vobject/read/vcard_reader.h"

#include <cstring>

#include "base/file.h"
#include "base/log.h"
#include "model/record.h"
#include "vobject/read/line_reader.h"

namespace kova::vobject {

using base::Status;

namespace {

struct ListProperty {
    const char *name;
    PropertyNode *ContactRecord::*list;
    unsigned components;
};

constexpr ListProperty kListProperties[] = {
    {"N", &ContactRecord::N, 5},
    {"FN", &ContactRecord::FN, 1},
    {"NICKNAME", &ContactRecord::Nickname, 1},
    {"ADR", &ContactRecord::Adr, 7},
    {"ORG", &ContactRecord::Org, 2},
    {"TITLE", &ContactRecord::Title, 1},
    {"ROLE", &ContactRecord::Role, 1},
    {"TEL", &ContactRecord::Tel, 1},
    {"URL", &ContactRecord::Url, 1},
    {"EMAIL", &ContactRecord::Email, 1},
    {"NOTE", &ContactRecord::Note, 1},
    {"BDAY", &ContactRecord::Bday, 1},
    {"X-SPOUSE", &ContactRecord::Spouse, 1},
    {"X-ANNIVERSARY", &ContactRecord::Anniversary, 1},
    {"X-CHILDREN", &ContactRecord::Children, 1},
    {"X-ASSISTANT", &ContactRecord::Assistant, 1},
};

const ListProperty *find_list_property(const char *name)
{
    for (const ListProperty &p : kListProperties)
        if (std::strcmp(p.name, name) == 0) return &p;
    return nullptr;
}

Status contact_body(FILE *stream, ObjectRecord &record)
{
    return read_vcard_body(stream, record.Contact);
}

uint32_t contact_type(const ObjectRecord &) { return KOVA_TYPE_CONTACT; }

}  // namespace

Status read_vcard_body(FILE *stream, ContactRecord &contact)
{
    LineBuffers buffers;
    if (!buffers.ok()) return memory_error();
    Status status = Status::Parsed;
    int depth = 1;
    bool version_seen = false;
    bool n_seen = false;
    bool done = false;
    while (!base::at_end(stream) && !done) {
        LogicalLine line(stream);
        if (!usable_body_line(line, "KOVA:  Warning - Parser encounted a blank line in vCard", status)) continue;
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
                CopyValue(contact.Version, value, sizeof contact.Version - 1);
                if (!VersionAccepted(contact.Version, 2.1)) {
                    KOVA_LOG_ERROR("KOVA:  Error - vCard version '%s' is not supported",
                                   contact.Version);
                    status = Status::ParseError;
                    done = true;
                }
            }
        } else if (std::strcmp(name, "X-IRMC-LUID") == 0) {
            if (depth == 1) CopyValue(contact.Luid, value, sizeof contact.Luid - 1);
        } else if (const ListProperty *p = find_list_property(name)) {
            if (p == &kListProperties[0]) n_seen = true;
            if (depth == 1)
                FillProperty(value, buffers.params, p->components,
                             model::AppendProperty(&(contact.*(p->list))));
        } else {
            KOVA_LOG_TRACE("KOVA:  Warning - Parser encountered unknown property: '%s'", name);
            status = base::worse(status, Status::ParsedWithWarning);
        }
    }
    if (version_seen && n_seen && (!base::at_end(stream) || done)) return status;
    KOVA_LOG_ERROR("KOVA:  Error - vCard missing END tago or does not contain required "
                   "VERSION or N properties");
    return Status::ParseError;
}

Status read_vcards(FILE *stream, KOVA_ReaderCallback callback, void *context)
{
    static constexpr ObjectLoopRules kRules = {
        nullptr, "KOVA:  Error - vCard does not have a BEGIN tag", contact_body, contact_type};
    return ObjectLoop(stream, kRules, callback, context);
}

}  // namespace kova::vobject
