#include "vobject/read/vcard_reader.h"


#include "vobject/read/flat_body.h"
#include "vobject/read/line_reader.h"

namespace kova::vobject {

using base::Status;

namespace {

using ContactList = FlatList<ContactRecord>;

constexpr ContactList kContactLists[] = {
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

constexpr FlatBodyRules<ContactRecord> kContactRules = {
    2.1,
    "KOVA:  Warning - Parser encounted a blank line in vCard",
    "KOVA:  Error - vCard version '%s' is not supported",
    "KOVA:  Error - vCard missing END tago or does not contain required VERSION or N "
    "properties",
    kContactLists,
    sizeof kContactLists / sizeof *kContactLists,
    &kContactLists[0],  // N
};

Status contact_body(FILE *stream, ObjectRecord &record)
{
    return read_vcard_body(stream, record.Contact);
}

uint32_t contact_type(const ObjectRecord &) { return KOVA_TYPE_CONTACT; }

}  // namespace

Status read_vcard_body(FILE *stream, ContactRecord &contact)
{
    return read_flat_body(stream, contact, kContactRules);
}

Status read_vcards(FILE *stream, KOVA_ReaderCallback callback, void *context)
{
    static constexpr ObjectLoopRules kRules = {
        nullptr, "KOVA:  Error - vCard does not have a BEGIN tag", contact_body, contact_type};
    return ObjectLoop(stream, kRules, callback, context);
}

}  // namespace kova::vobject
