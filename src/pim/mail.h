// The device's message store: messages in folders, each with flags, a date, a UTF-16
// body and named headers, kept in the PIM database. Its interface is the plain one of
// the handheld's mail library: a handle from MailOpen, and a StoreMessage that the
// caller zeroes and the store fills.
//
// Folders are numbered, and a message's folder is the low byte of its flags:
// kFolderInbox, kFolderOutbox, kFolderSent. Flags are stored exactly as given.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace kova::pim {

constexpr uint32_t kMailFolderInbox = 0xFE;
constexpr uint32_t kMailFolderOutbox = 0xFD;
constexpr uint32_t kMailFolderSent = 0xFC;
constexpr uint32_t kMailFolderMask = 0xFF;
constexpr uint32_t kMailOutboxAdd = 0x400000;
constexpr uint32_t kMailUnread = 0x2130000;
constexpr uint32_t kMailRead = 0x100000;
constexpr uint32_t kMailHidden = 0x20000;  // searches pass such messages over
constexpr uint32_t kMailFetchById = 0x08000000;

class Database;
struct MailHeaders;  // what the store allocated for one message

// An open message store: a connection of its own to the PIM database. Complete here so
// that a std::unique_ptr<MailStore> can be destroyed anywhere.
class MailStore {
public:
    explicit MailStore(std::unique_ptr<Database> database);
    ~MailStore();
    MailStore(const MailStore &) = delete;
    MailStore &operator=(const MailStore &) = delete;

    Database &database() { return *database_; }

private:
    std::unique_ptr<Database> database_;
};

// 48 bytes on a 32-bit build, with the offsets the mail library has there; a 64-bit
// build keeps the order and meaning of the fields. Value-initialise it (StoreMessage
// m{}) before an add or a fetch by id, and MailFree it after the store has filled it.
struct StoreMessage {
    uint32_t Reserved0;
    uint32_t Flags;       // 4
    uint32_t Reserved8;
    uint16_t BodyLength;  // 12: UTF-16 units of Body
    uint16_t Reserved14;
    uint64_t Date;        // 16: FILETIME, UTC
    uint32_t Reserved24[3];
    char16_t *Body;       // 36: the caller's text on add and update; the store's on fetch
    uint32_t Id;          // 40
    MailHeaders *Store;   // 44
};

// Opens the message store of the device (flags: 0). False when it cannot be opened.
bool MailOpen(std::unique_ptr<MailStore> &handle, int flags);
void MailClose(std::unique_ptr<MailStore> &handle);

// Adds the message with its flags, date, body and headers; the store puts the new id
// (never reused) into Id. False when the store refuses it.
bool MailPut(MailStore &store, StoreMessage &message);
// Fetch by id: Flags must hold kMailFetchById. Fills flags, date, body and headers.
bool MailGet(MailStore &store, StoreMessage &message);
// Writes flags, date, body and headers back to the message with that Id (mode: 1).
bool MailUpdate(MailStore &store, StoreMessage &message, int mode);
// The first message, in the order of ids, of the folder in the low byte of Flags.
bool MailFirst(MailStore &store, StoreMessage &message);
// The message after Id in the folder in the low byte of Flags.
bool MailNext(MailStore &store, StoreMessage &message);

// A header by name (ASCII case ignored); nullopt when the message has none.
std::optional<std::u16string> MailGetField(const StoreMessage &message,
                                           const std::u16string &name, int flags);
// Sets, or replaces, a header.
void MailSetField(StoreMessage &message, const std::u16string &name,
                  const std::u16string &value);
// Frees what the store allocated in the message; Id and Flags stay.
void MailFree(StoreMessage &message);

// For tests: the next MailOpen fails.
void fail_next_mail_open();

}  // namespace kova::pim
