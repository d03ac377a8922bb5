// The PIM database: one SQLite file, pim.db in the device root, shared by the object
// model and the message store, each through a connection of its own. This header is
// the module's inside: the connection, its statements and transactions, and the
// reading and writing of items. The schema and its upgrades live in database.cpp only.
//
// Text is stored as UTF-16 exactly as given (the file's encoding is UTF-16le, so no
// conversion touches lone surrogates or embedded NULs); dates are OLE dates as REAL.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "pim/outlook.h"

namespace kova::pim {

// The HResult of an SQLite result code (extended codes included).
HResult to_hresult(int rc, int system_errno);

// A statement in use: binds, steps, and resets the statement when it goes out of scope
// so that a cached statement never holds a read open. The first failure sticks: later
// binds and steps do nothing and error() reports it.
class Query {
public:
    Query(sqlite3 *db, sqlite3_stmt *cached, sqlite3_stmt *owned, int rc);
    ~Query();
    Query(const Query &) = delete;
    Query &operator=(const Query &) = delete;

    // Text is bound without a copy and must stay as it is until the query is done with;
    // a temporary is copied.
    Query &bind(int index, const std::u16string &text);
    Query &bind(int index, std::u16string &&text);
    Query &bind(int index, double value);
    Query &bind(int index, int64_t value);
    // A row arrived: true; done or failed: false.
    bool next();
    // Steps to the end; false on failure.
    bool run();

    std::u16string text(int column) const;
    double real(int column) const;  // NULL reads as NaN, which is what binding NaN stores
    int64_t integer(int column) const;

    bool ok() const { return rc_ == SQLITE_OK; }
    int error() const { return rc_; }
    HResult hresult() const;

private:
    bool check(int rc);
    Query &bind_text(int index, const std::u16string &text, void (*lifetime)(void *));
    sqlite3 *db_;
    sqlite3_stmt *stmt_;
    sqlite3_stmt *owned_;  // a one-off copy when the cached one is busy
    int rc_;
};

class Database {
public:
    // Opens pim.db in the device root, creating it (and the root folder) when missing
    // and bringing its schema up to date. On failure database stays null.
    static HResult open(std::unique_ptr<Database> &database);
    ~Database();
    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;

    sqlite3 *handle() const { return db_; }
    // The statement for sql, prepared on first use and kept for the connection's life.
    Query query(const std::string &sql);
    // Runs statements without values (pragmas, the schema).
    int exec(const char *sql);
    // Runs one statement without values, kept prepared (transaction control).
    int run(const char *sql);

    // Object model storage; each write is one committed transaction.
    HResult save(Item &item);
    HResult remove(Item &item);
    HResult load(Oid oid, std::unique_ptr<Item> &item);
    std::vector<Oid> items_of_type(int type);
    // The contacts whose named text properties equal the values (ASCII case ignored), in
    // oid order; false when a name is not a contact text property.
    bool find_contacts(const std::vector<std::pair<std::string, std::u16string>> &terms,
                       std::vector<Oid> &found);

    // Write steps of save(), called back through Item::save_fields.
    HResult write(Contact &contact);
    HResult write(Appointment &appointment);
    HResult write(Task &task);

private:
    explicit Database(sqlite3 *db) : db_(db) {}
    HResult prepare_schema(const std::string &path);
    HResult write_pattern(Oid oid, const std::optional<RecurrencePattern> &pattern);
    template <class T> HResult read_pattern(T &item);
    template <class T> HResult read_item(Oid oid, std::unique_ptr<Item> &item);

    sqlite3 *db_;
    std::unordered_map<std::string, sqlite3_stmt *> statements_;
    bool inserting_ = false;  // within save(): the item is stored for the first time
};

// Rolls back unless committed, so an early return leaves the store as it was.
// Immediate takes the write lock at once (a save); otherwise it is a consistent read.
class Transaction {
public:
    enum Mode { Read, Write };
    Transaction(Database &database, Mode mode);
    ~Transaction();
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;

    int begun() const { return begin_rc_; }
    int commit();

private:
    Database &database_;
    int begin_rc_;
    bool open_;
};

// For tests: connections opened from now on may grow the file by no page, so that a
// save fails as on a full disk. 0 lifts the limit.
void limit_store_growth_for_tests(bool limit);

}  // namespace kova::pim
