// What the store holds, for the listing and the whole-store export. The ten functions
// fetch objects by id but cannot enumerate them, so the walk goes through the PIM's own
// object model and message store, opened next to KOVA_Open's connection: the contacts,
// calendar and tasks folders, the inbox, outbox and sent folders, and the note files.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kova::cli {

enum class Kind { Contact, Appointment, Task, Message, Note };
using KindSet = unsigned;

constexpr KindSet kind_bit(Kind kind) { return 1u << static_cast<unsigned>(kind); }
constexpr KindSet kAllKinds = 0x1F;
constexpr KindSet kCalendarKinds = kind_bit(Kind::Appointment) | kind_bit(Kind::Task);

// contact, appointment, task, message, note; calendar names both calendar kinds.
std::optional<KindSet> kinds_of_word(std::string_view word);
const char *kind_word(Kind kind);
// The object type of the ten functions: 0, 1, 3 or 2.
uint32_t kind_type(Kind kind);

struct StoredObject {
    Kind kind;
    std::string id;    // "%08x", or a note's name
    std::string name;  // one line, as display_name() makes it
};

// Every object of the kinds asked for, kind by kind in the order of Kind and within a
// kind in the order the store keeps. Display names come from KOVA_GetObjectById and
// KOVA_GetObjectName where the type allows it, so KOVA_Open must have succeeded.
// nullopt when the store cannot be opened.
std::optional<std::vector<StoredObject>> stored_objects(KindSet kinds);

struct Record;

// KOVA_GetObjectById as a contact, then as a calendar item, as far as kinds allow;
// type receives the type that answered. The last result code: 6 when none had the id.
uint32_t fetch_object(const std::string &id, KindSet kinds, Record &record, uint32_t &type);

}  // namespace kova::cli
