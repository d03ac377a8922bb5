// The body parser shared by the two flat object kinds, vCard and vNote: VERSION and
// X-IRMC-LUID go into the record's arrays, every other known name into its list, and
// nested BEGIN/END blocks (an agent vCard, say) are counted and passed over.
#pragma once

#include <cstdio>
#include <cstring>
#include <string_view>

#include "base/file.h"
#include "base/log.h"
#include "base/status.h"
#include "model/record.h"
#include "vobject/read/line_reader.h"

namespace kova::vobject {

template <class Record> struct FlatList {
    std::string_view name;
    PropertyNode *Record::*list;
    unsigned components;  // value components kept per occurrence
};

template <class Record> struct FlatBodyRules {
    double version_limit;
    const char *blank_warning;
    const char *version_error;  // printf format taking the version text
    const char *missing_error;
    const FlatList<Record> *lists;
    size_t list_count;
    const FlatList<Record> *required;  // must occur at some depth; null for none
};

template <class Record>
base::Status read_flat_body(FILE *stream, Record &record, const FlatBodyRules<Record> &rules)
{
    using base::Status;
    LineBuffers buffers;
    if (!buffers.ok()) return memory_error();
    Status status = Status::Parsed;
    int depth = 1;
    bool version_seen = false;
    bool required_seen = !rules.required;
    bool done = false;
    while (!base::at_end(stream) && !done) {
        LogicalLine line(stream);
        if (!usable_body_line(line, rules.blank_warning, status)) continue;
        char *value = split_clean(line.get(), buffers);
        const std::string_view name = buffers.name_text();
        const FlatList<Record> *list = nullptr;
        for (size_t i = 0; i < rules.list_count && !list; ++i)
            if (same_name(rules.lists[i].name, name)) list = &rules.lists[i];
        if (same_name(name, "BEGIN")) {
            ++depth;
        } else if (same_name(name, "END")) {
            if (depth == 1) done = true;
            --depth;
        } else if (same_name(name, "VERSION")) {
            version_seen = true;
            if (depth == 1) {
                CopyValue(record.Version, value, sizeof record.Version - 1);
                if (!VersionAccepted(record.Version, rules.version_limit)) {
                    KOVA_LOG_ERROR(rules.version_error, record.Version);
                    status = Status::ParseError;
                    done = true;
                }
            }
        } else if (same_name(name, "X-IRMC-LUID")) {
            if (depth == 1) CopyValue(record.Luid, value, sizeof record.Luid - 1);
        } else if (list) {
            if (list == rules.required) required_seen = true;
            if (depth == 1)
                fill_property(value, line.end(), buffers, list->components,
                              model::AppendProperty(&(record.*(list->list))));
        } else {
            KOVA_LOG_TRACE("KOVA:  Warning - Parser encountered unknown property: '%s'",
                           buffers.name);
            status = base::worse(status, Status::ParsedWithWarning);
        }
    }
    if (version_seen && required_seen && (!base::at_end(stream) || done)) return status;
    KOVA_LOG_ERROR("%s", rules.missing_error);
    return Status::ParseError;
}

}  // namespace kova::vobject
