#include "pim/mail.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <utility>
#include <vector>

#include "base/log.h"
#include "pim/database.h"

namespace kova::pim {

// What the store allocates for a message it fills or whose headers are set: the header
// list and the body handed out through StoreMessage::Body.
struct MailHeaders {
    std::vector<std::pair<std::u16string, std::u16string>> fields;
    std::u16string body;
};

namespace {

constexpr int64_t kLastId = 0xFFFFFFFF;

bool g_fail_next_open = false;

bool same_name(const std::u16string &a, const std::u16string &b)
{
    if (a.size() != b.size()) return false;
    auto lower = [](char16_t c) { return (c >= u'A' && c <= u'Z') ? char16_t(c + 32) : c; };
    for (size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i])) return false;
    return true;
}

MailHeaders &headers_of(StoreMessage &message)
{
    if (!message.Store) message.Store = new MailHeaders();
    return *message.Store;
}

std::u16string body_of(const StoreMessage &message)
{
    if (!message.Body) return {};
    return std::u16string(message.Body, message.BodyLength);
}

// The FILETIME keeps all 64 bits in SQLite's signed integer.
int64_t stored_date(uint64_t date)
{
    int64_t stored;
    std::memcpy(&stored, &date, sizeof stored);
    return stored;
}

uint64_t message_date(int64_t stored)
{
    uint64_t date;
    std::memcpy(&date, &stored, sizeof date);
    return date;
}

// Fills message from the row (Id, Flags, Date, Body) that q stands on, and its headers;
// the message changes only when all of it could be read.
bool fill(Database &db, Query &q, StoreMessage &message)
{
    Oid id = static_cast<Oid>(q.integer(0));
    MailHeaders read;
    read.body = q.text(3);
    Query h = db.query("SELECT Name, Value FROM message_headers WHERE Id = ?1 ORDER BY Position");
    h.bind(1, int64_t{id});
    while (h.next()) read.fields.emplace_back(h.text(0), h.text(1));
    if (!h.ok()) return false;

    MailHeaders &store = headers_of(message);
    store = std::move(read);
    message.Id = id;
    message.Flags = static_cast<uint32_t>(q.integer(1));
    message.Date = message_date(q.integer(2));
    // Bodies come in through a 16-bit length, so a stored one always fits.
    message.BodyLength = static_cast<uint16_t>(std::min<size_t>(store.body.size(), 0xFFFF));
    message.Body = store.body.empty() ? nullptr : store.body.data();
    return true;
}

bool fetch(MailStore &store, StoreMessage &message, const char *sql,
           std::initializer_list<int64_t> values)
{
    Database &db = store.database();
    Transaction read(db, Transaction::Read);
    if (read.begun() != SQLITE_OK) return false;
    Query q = db.query(sql);
    int at = 0;
    for (int64_t value : values) q.bind(++at, value);
    return q.next() && fill(db, q, message);
}

// The message after id in the folder that the low byte of the message's flags names.
bool next_in_folder(MailStore &store, StoreMessage &message, Oid after)
{
    return fetch(store, message,
                 "SELECT Id, Flags, Date, Body FROM messages WHERE Flags & 255 = ?1 AND Id > ?2 "
                 "ORDER BY Id LIMIT 1",
                 {message.Flags & kMailFolderMask, after});
}

bool write_headers(Database &db, Oid id, const StoreMessage &message)
{
    Query clear = db.query("DELETE FROM message_headers WHERE Id = ?1");
    if (!clear.bind(1, int64_t{id}).run()) return false;
    if (!message.Store) return true;
    int64_t position = 0;
    for (const auto &field : message.Store->fields) {
        Query q = db.query(
            "INSERT INTO message_headers (Id, Position, Name, Value) VALUES (?1, ?2, ?3, ?4)");
        q.bind(1, int64_t{id}).bind(2, ++position).bind(3, field.first);
        if (!q.bind(4, field.second).run()) return false;
    }
    return true;
}

}  // namespace

MailStore::MailStore(std::unique_ptr<Database> database) : database_(std::move(database)) {}

MailStore::~MailStore() = default;

bool MailOpen(std::unique_ptr<MailStore> &handle, int)
{
    if (g_fail_next_open) {
        g_fail_next_open = false;
        return false;
    }
    std::unique_ptr<Database> database;
    if (failed(Database::open(database))) return false;
    handle = std::make_unique<MailStore>(std::move(database));
    return true;
}

void MailClose(std::unique_ptr<MailStore> &handle) { handle.reset(); }

bool MailPut(MailStore &store, StoreMessage &message)
{
    Database &db = store.database();
    Transaction transaction(db, Transaction::Write);
    if (transaction.begun() != SQLITE_OK) return false;
    Query q = db.query("INSERT INTO messages (Flags, Date, Body) VALUES (?1, ?2, ?3)");
    q.bind(1, int64_t{message.Flags}).bind(2, stored_date(message.Date));
    if (!q.bind(3, body_of(message)).run()) return false;
    int64_t id = sqlite3_last_insert_rowid(db.handle());
    if (id > kLastId) {
        KOVA_LOG_ERROR("KOVA:  The message store has used up its message ids.");
        return false;
    }
    if (!write_headers(db, static_cast<Oid>(id), message) || transaction.commit() != SQLITE_OK)
        return false;
    message.Id = static_cast<uint32_t>(id);
    return true;
}

bool MailGet(MailStore &store, StoreMessage &message)
{
    if (!(message.Flags & kMailFetchById)) return false;
    return fetch(store, message, "SELECT Id, Flags, Date, Body FROM messages WHERE Id = ?1",
                 {message.Id});
}

bool MailUpdate(MailStore &store, StoreMessage &message, int)
{
    Database &db = store.database();
    Transaction transaction(db, Transaction::Write);
    if (transaction.begun() != SQLITE_OK) return false;
    Query q = db.query("UPDATE messages SET Flags = ?1, Date = ?2, Body = ?3 WHERE Id = ?4");
    q.bind(1, int64_t{message.Flags}).bind(2, stored_date(message.Date));
    if (!q.bind(3, body_of(message)).bind(4, int64_t{message.Id}).run()) return false;
    if (sqlite3_changes(db.handle()) != 1) return false;
    return write_headers(db, message.Id, message) && transaction.commit() == SQLITE_OK;
}

bool MailFirst(MailStore &store, StoreMessage &message)
{
    return next_in_folder(store, message, 0);
}

bool MailNext(MailStore &store, StoreMessage &message)
{
    return next_in_folder(store, message, message.Id);
}

std::optional<std::u16string> MailGetField(const StoreMessage &message,
                                           const std::u16string &name, int)
{
    if (!message.Store) return std::nullopt;
    for (const auto &field : message.Store->fields)
        if (same_name(field.first, name)) return field.second;
    return std::nullopt;
}

void MailSetField(StoreMessage &message, const std::u16string &name, const std::u16string &value)
{
    MailHeaders &store = headers_of(message);
    for (auto &field : store.fields) {
        if (same_name(field.first, name)) {
            field = {name, value};
            return;
        }
    }
    store.fields.emplace_back(name, value);
}

void MailFree(StoreMessage &message)
{
    if (!message.Store) return;
    const char16_t *ours = message.Store->body.data();
    if (message.Body == ours) {
        message.Body = nullptr;
        message.BodyLength = 0;
    }
    delete message.Store;
    message.Store = nullptr;
}

void fail_next_mail_open() { g_fail_next_open = true; }

}  // namespace kova::pim
