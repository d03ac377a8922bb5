#include "pim/database.h"

#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>
#include <variant>

#include "base/log.h"
#include "base/registry.h"

namespace kova::pim {
namespace {

// The schema, one step per version: step i brings a store from user_version i to i + 1.
// A step, once released, is never edited; a change of the schema is a new step.
// Dates are OLE dates (949998 is "no date"); a NULL date is a NaN that was saved.
const char *const kUpgrades[] = {
    // 1: the first schema.
    R"sql(
-- Contacts, appointments and tasks share one space of object ids (Oid): a new item gets
-- one more than the highest Oid of the three tables and of deleted_items.
CREATE TABLE contacts (
    Oid INTEGER PRIMARY KEY,
    LastName TEXT NOT NULL, FirstName TEXT NOT NULL, MiddleName TEXT NOT NULL,
    Title TEXT NOT NULL, Suffix TEXT NOT NULL, FileAs TEXT NOT NULL,
    Birthday REAL, Anniversary REAL,
    HomeAddressStreet TEXT NOT NULL, HomeAddressCity TEXT NOT NULL,
    HomeAddressState TEXT NOT NULL, HomeAddressPostalCode TEXT NOT NULL,
    HomeAddressCountry TEXT NOT NULL,
    BusinessAddressStreet TEXT NOT NULL, BusinessAddressCity TEXT NOT NULL,
    BusinessAddressState TEXT NOT NULL, BusinessAddressPostalCode TEXT NOT NULL,
    BusinessAddressCountry TEXT NOT NULL,
    OtherAddressStreet TEXT NOT NULL, OtherAddressCity TEXT NOT NULL,
    OtherAddressState TEXT NOT NULL, OtherAddressPostalCode TEXT NOT NULL,
    OtherAddressCountry TEXT NOT NULL,
    JobTitle TEXT NOT NULL, CompanyName TEXT NOT NULL, Department TEXT NOT NULL,
    HomeTelephoneNumber TEXT NOT NULL, Home2TelephoneNumber TEXT NOT NULL,
    BusinessTelephoneNumber TEXT NOT NULL, Business2TelephoneNumber TEXT NOT NULL,
    HomeFaxNumber TEXT NOT NULL, BusinessFaxNumber TEXT NOT NULL,
    MobileTelephoneNumber TEXT NOT NULL, PagerNumber TEXT NOT NULL,
    CarTelephoneNumber TEXT NOT NULL, AssistantTelephoneNumber TEXT NOT NULL,
    RadioTelephoneNumber TEXT NOT NULL,
    WebPage TEXT NOT NULL, Email1Address TEXT NOT NULL, Email2Address TEXT NOT NULL,
    Email3Address TEXT NOT NULL,
    Body TEXT NOT NULL, Spouse TEXT NOT NULL, Children TEXT NOT NULL,
    AssistantName TEXT NOT NULL
);
CREATE TABLE appointments (
    Oid INTEGER PRIMARY KEY,
    Subject TEXT NOT NULL, Location TEXT NOT NULL, Categories TEXT NOT NULL,
    Body TEXT NOT NULL,
    Start REAL, "End" REAL,
    AllDayEvent INTEGER NOT NULL, BusyStatus INTEGER NOT NULL,
    Sensitivity INTEGER NOT NULL, ReminderSet INTEGER NOT NULL,
    ReminderMinutesBeforeStart INTEGER NOT NULL, ReminderOptions INTEGER NOT NULL
);
CREATE TABLE recipients (  -- an appointment's attendees, Position 1, 2, ... in order
    Oid INTEGER NOT NULL REFERENCES appointments ON DELETE CASCADE,
    Position INTEGER NOT NULL,
    Name TEXT NOT NULL, Address TEXT NOT NULL,
    PRIMARY KEY (Oid, Position)
);
CREATE TABLE tasks (
    Oid INTEGER PRIMARY KEY,
    Subject TEXT NOT NULL, Categories TEXT NOT NULL, Body TEXT NOT NULL,
    StartDate REAL, DueDate REAL, DateCompleted REAL,
    Importance INTEGER NOT NULL, Complete INTEGER NOT NULL,
    Sensitivity INTEGER NOT NULL, ReminderSet INTEGER NOT NULL,
    ReminderTime REAL, ReminderOptions INTEGER NOT NULL
);
CREATE TABLE recurrence_patterns (  -- of the recurring appointment or task with that Oid
    Oid INTEGER PRIMARY KEY,
    RecurrenceType INTEGER NOT NULL, Interval INTEGER NOT NULL,
    DayOfWeekMask INTEGER NOT NULL, Instance INTEGER NOT NULL,
    DayOfMonth INTEGER NOT NULL, MonthOfYear INTEGER NOT NULL,
    SeriesEnd INTEGER NOT NULL,  -- 0 no end, 1 after Occurrences, 2 on PatternEndDate
    Occurrences INTEGER NOT NULL, PatternEndDate REAL,
    PatternStartDate REAL
);
CREATE TABLE exceptions (  -- deleted occurrences, Position 1, 2, ... in the order made
    Oid INTEGER NOT NULL REFERENCES recurrence_patterns ON DELETE CASCADE,
    Position INTEGER NOT NULL,
    OriginalDate REAL, Deleted INTEGER NOT NULL,
    PRIMARY KEY (Oid, Position)
);
CREATE TABLE deleted_items (  -- the highest Oid deleted, so that it is never given out again
    Oid INTEGER PRIMARY KEY
);
CREATE TABLE messages (  -- the message store; its own id space
    Id INTEGER PRIMARY KEY AUTOINCREMENT,
    Flags INTEGER NOT NULL,  -- the low byte is the folder
    Date INTEGER NOT NULL,   -- FILETIME, UTC
    Body TEXT NOT NULL
);
CREATE INDEX messages_by_folder ON messages (Flags & 255, Id);
CREATE TABLE message_headers (  -- Position 1, 2, ... in the order set
    Id INTEGER NOT NULL REFERENCES messages ON DELETE CASCADE,
    Position INTEGER NOT NULL,
    Name TEXT NOT NULL, Value TEXT NOT NULL,
    PRIMARY KEY (Id, Position)
);
)sql",
};
constexpr int kSchemaVersion = static_cast<int>(std::size(kUpgrades));

constexpr int kBusyTimeoutMs = 5000;
constexpr int kRetryMs = 10;
constexpr int64_t kLastId = 0xFFFFFFFF;

bool g_limit_growth = false;

// The object model's properties as columns: one list per table, from which the
// statements are made, so that a property is named once in the code.
template <class T>
using Member = std::variant<std::u16string T::*, double T::*, int32_t T::*, bool T::*>;

template <class T> struct Column {
    const char *name;
    Member<T> member;
};

template <class T> struct Table {
    std::vector<Column<T>> columns;
    std::string insert, update, select;

    Table(const char *table, std::vector<Column<T>> list) : columns(std::move(list))
    {
        std::string names, values, sets;
        size_t n = columns.size();
        for (size_t i = 0; i < n; ++i) {
            std::string name = std::string("\"") + columns[i].name + "\"";
            std::string param = "?" + std::to_string(i + 1);
            names += name + ", ";
            values += param + ", ";
            sets += (i ? ", " : "") + name + " = " + param;
        }
        std::string oid = "?" + std::to_string(n + 1);
        insert = std::string("INSERT INTO ") + table + " (" + names + "Oid) VALUES (" + values +
                 oid + ")";
        update = std::string("UPDATE ") + table + " SET " + sets + " WHERE Oid = " + oid;
        select = "SELECT " + names.substr(0, names.size() - 2) + " FROM " + table +
                 " WHERE Oid = ?1";
    }
};

const Table<Contact> &contact_table()
{
    using C = Contact;
    static const Table<Contact> table(
        "contacts",
        {{"LastName", &C::LastName}, {"FirstName", &C::FirstName},
         {"MiddleName", &C::MiddleName}, {"Title", &C::Title}, {"Suffix", &C::Suffix},
         {"FileAs", &C::FileAs}, {"Birthday", &C::Birthday}, {"Anniversary", &C::Anniversary},
         {"HomeAddressStreet", &C::HomeAddressStreet}, {"HomeAddressCity", &C::HomeAddressCity},
         {"HomeAddressState", &C::HomeAddressState},
         {"HomeAddressPostalCode", &C::HomeAddressPostalCode},
         {"HomeAddressCountry", &C::HomeAddressCountry},
         {"BusinessAddressStreet", &C::BusinessAddressStreet},
         {"BusinessAddressCity", &C::BusinessAddressCity},
         {"BusinessAddressState", &C::BusinessAddressState},
         {"BusinessAddressPostalCode", &C::BusinessAddressPostalCode},
         {"BusinessAddressCountry", &C::BusinessAddressCountry},
         {"OtherAddressStreet", &C::OtherAddressStreet},
         {"OtherAddressCity", &C::OtherAddressCity},
         {"OtherAddressState", &C::OtherAddressState},
         {"OtherAddressPostalCode", &C::OtherAddressPostalCode},
         {"OtherAddressCountry", &C::OtherAddressCountry}, {"JobTitle", &C::JobTitle},
         {"CompanyName", &C::CompanyName}, {"Department", &C::Department},
         {"HomeTelephoneNumber", &C::HomeTelephoneNumber},
         {"Home2TelephoneNumber", &C::Home2TelephoneNumber},
         {"BusinessTelephoneNumber", &C::BusinessTelephoneNumber},
         {"Business2TelephoneNumber", &C::Business2TelephoneNumber},
         {"HomeFaxNumber", &C::HomeFaxNumber}, {"BusinessFaxNumber", &C::BusinessFaxNumber},
         {"MobileTelephoneNumber", &C::MobileTelephoneNumber}, {"PagerNumber", &C::PagerNumber},
         {"CarTelephoneNumber", &C::CarTelephoneNumber},
         {"AssistantTelephoneNumber", &C::AssistantTelephoneNumber},
         {"RadioTelephoneNumber", &C::RadioTelephoneNumber}, {"WebPage", &C::WebPage},
         {"Email1Address", &C::Email1Address}, {"Email2Address", &C::Email2Address},
         {"Email3Address", &C::Email3Address}, {"Body", &C::Body}, {"Spouse", &C::Spouse},
         {"Children", &C::Children}, {"AssistantName", &C::AssistantName}});
    return table;
}

const Table<Appointment> &appointment_table()
{
    using A = Appointment;
    static const Table<Appointment> table(
        "appointments",
        {{"Subject", &A::Subject}, {"Location", &A::Location}, {"Categories", &A::Categories},
         {"Body", &A::Body}, {"Start", &A::Start}, {"End", &A::End},
         {"AllDayEvent", &A::AllDayEvent}, {"BusyStatus", &A::BusyStatus},
         {"Sensitivity", &A::Sensitivity}, {"ReminderSet", &A::ReminderSet},
         {"ReminderMinutesBeforeStart", &A::ReminderMinutesBeforeStart},
         {"ReminderOptions", &A::ReminderOptions}});
    return table;
}

const Table<Task> &task_table()
{
    using T = Task;
    static const Table<Task> table(
        "tasks",
        {{"Subject", &T::Subject}, {"Categories", &T::Categories}, {"Body", &T::Body},
         {"StartDate", &T::StartDate}, {"DueDate", &T::DueDate},
         {"DateCompleted", &T::DateCompleted}, {"Importance", &T::Importance},
         {"Complete", &T::Complete}, {"Sensitivity", &T::Sensitivity},
         {"ReminderSet", &T::ReminderSet}, {"ReminderTime", &T::ReminderTime},
         {"ReminderOptions", &T::ReminderOptions}});
    return table;
}

template <class T> void bind_columns(Query &q, const Table<T> &table, const T &item)
{
    for (size_t i = 0; i < table.columns.size(); ++i) {
        int at = static_cast<int>(i + 1);
        std::visit(
            [&](auto member) {
                using V = std::decay_t<decltype(item.*member)>;
                if constexpr (std::is_same_v<V, std::u16string> || std::is_same_v<V, double>)
                    q.bind(at, item.*member);
                else
                    q.bind(at, static_cast<int64_t>(item.*member));
            },
            table.columns[i].member);
    }
}

template <class T> void read_columns(const Query &q, const Table<T> &table, T &item)
{
    for (size_t i = 0; i < table.columns.size(); ++i) {
        int at = static_cast<int>(i);
        std::visit(
            [&](auto member) {
                using V = std::decay_t<decltype(item.*member)>;
                if constexpr (std::is_same_v<V, std::u16string>)
                    item.*member = q.text(at);
                else if constexpr (std::is_same_v<V, double>)
                    item.*member = q.real(at);
                else if constexpr (std::is_same_v<V, bool>)
                    item.*member = q.integer(at) != 0;
                else
                    item.*member = static_cast<int32_t>(q.integer(at));
            },
            table.columns[i].member);
    }
}

// Restrictions compare without regard to ASCII case, and only ASCII case: the built-in
// NOCASE would see the text through a UTF-8 conversion that lone surrogates do not survive.
int compare_ascii_nocase(void *, int a_bytes, const void *a, int b_bytes, const void *b)
{
    auto unit = [](const void *text, int i) {
        char16_t c;
        std::memcpy(&c, static_cast<const char *>(text) + 2 * i, 2);
        return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c;
    };
    int a_len = a_bytes / 2, b_len = b_bytes / 2;
    for (int i = 0; i < a_len && i < b_len; ++i) {
        char16_t x = unit(a, i), y = unit(b, i);
        if (x != y) return x < y ? -1 : 1;
    }
    return a_len == b_len ? 0 : (a_len < b_len ? -1 : 1);
}

// The table of a kind of item; null for anything else.
const char *table_of(int type)
{
    switch (type) {
    case kItemAppointment: return "appointments";
    case kItemContact: return "contacts";
    case kItemTask: return "tasks";
    }
    return nullptr;
}

HResult folder_error(const std::error_code &ec)
{
    if (ec == std::errc::permission_denied || ec == std::errc::operation_not_permitted ||
        ec == std::errc::read_only_file_system)
        return kAccessDenied;
    if (ec == std::errc::no_space_on_device) return kDiskFull;
    return kFail;
}

}  // namespace

HResult to_hresult(int rc, int system_errno)
{
    if (rc == SQLITE_IOERR_NOMEM) return kOutOfMemory;
    switch (rc & 0xFF) {
    case SQLITE_OK:
    case SQLITE_ROW:
    case SQLITE_DONE: return kOk;
    case SQLITE_FULL: return kDiskFull;
    case SQLITE_NOMEM: return kOutOfMemory;
    case SQLITE_NOTADB: return kNotADatabase;
    case SQLITE_PERM:
    case SQLITE_READONLY:
    case SQLITE_AUTH: return kAccessDenied;
    case SQLITE_CANTOPEN:
    case SQLITE_IOERR:
        if (system_errno == EACCES || system_errno == EPERM || system_errno == EROFS)
            return kAccessDenied;
        if (system_errno == ENOSPC) return kDiskFull;
        return kFail;
    }
    return kFail;
}

void limit_store_growth_for_tests(bool limit) { g_limit_growth = limit; }

// --- Query ---

Query::Query(sqlite3 *db, sqlite3_stmt *cached, sqlite3_stmt *owned, int rc)
    : db_(db), stmt_(owned ? owned : cached), owned_(owned), rc_(rc)
{
}

Query::~Query()
{
    if (owned_) {
        sqlite3_finalize(owned_);
    } else if (stmt_) {
        sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
    }
}

bool Query::check(int rc)
{
    if (rc_ == SQLITE_OK && rc != SQLITE_OK) rc_ = rc;
    return rc_ == SQLITE_OK;
}

Query &Query::bind(int index, const std::u16string &text)
{
    return bind_text(index, text, SQLITE_STATIC);
}

Query &Query::bind(int index, std::u16string &&text)
{
    return bind_text(index, text, SQLITE_TRANSIENT);
}

Query &Query::bind_text(int index, const std::u16string &text, void (*lifetime)(void *))
{
    if (!ok()) return *this;
    // Larger than SQLite takes at all; let it say so rather than cut the length.
    uint64_t bytes = static_cast<uint64_t>(text.size()) * 2;
    if (bytes > static_cast<uint64_t>(std::numeric_limits<int>::max()))
        check(SQLITE_TOOBIG);
    else
        check(sqlite3_bind_text16(stmt_, index, text.data(), static_cast<int>(bytes), lifetime));
    return *this;
}

Query &Query::bind(int index, double value)
{
    if (ok()) check(sqlite3_bind_double(stmt_, index, value));
    return *this;
}

Query &Query::bind(int index, int64_t value)
{
    if (ok()) check(sqlite3_bind_int64(stmt_, index, value));
    return *this;
}

bool Query::next()
{
    if (!ok()) return false;
    int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return true;
    if (rc != SQLITE_DONE) check(rc);
    return false;
}

bool Query::run()
{
    while (next()) {
    }
    return ok();
}

std::u16string Query::text(int column) const
{
    const void *data = sqlite3_column_text16(stmt_, column);
    int bytes = sqlite3_column_bytes16(stmt_, column);
    if (!data) return {};
    return std::u16string(static_cast<const char16_t *>(data), static_cast<size_t>(bytes) / 2);
}

double Query::real(int column) const
{
    if (sqlite3_column_type(stmt_, column) == SQLITE_NULL)
        return std::numeric_limits<double>::quiet_NaN();
    return sqlite3_column_double(stmt_, column);
}

int64_t Query::integer(int column) const { return sqlite3_column_int64(stmt_, column); }

HResult Query::hresult() const { return to_hresult(rc_, sqlite3_system_errno(db_)); }

// --- Transaction ---

Transaction::Transaction(Database &database, Mode mode) : database_(database)
{
    // Transactions never nest, so one still open is what a rollback that ran out of
    // memory left behind; without this every later BEGIN would fail on it for good.
    if (!sqlite3_get_autocommit(database.handle())) database.exec("ROLLBACK");
    begin_rc_ = database.run(mode == Write ? "BEGIN IMMEDIATE" : "BEGIN");
    open_ = begin_rc_ == SQLITE_OK;
}

Transaction::~Transaction()
{
    if (open_ && !sqlite3_get_autocommit(database_.handle())) database_.run("ROLLBACK");
}

int Transaction::commit()
{
    int rc = database_.run("COMMIT");
    if (rc == SQLITE_OK) open_ = false;
    return rc;
}

// --- Database: the connection ---

Database::~Database()
{
    for (auto &entry : statements_) sqlite3_finalize(entry.second);
    sqlite3_close_v2(db_);
}

int Database::exec(const char *sql) { return sqlite3_exec(db_, sql, nullptr, nullptr, nullptr); }

int Database::run(const char *sql)
{
    Query q = query(sql);
    q.run();
    return q.error();
}

Query Database::query(const std::string &sql)
{
    auto found = statements_.find(sql);
    if (found != statements_.end()) {
        // Only a nested use of the same statement finds it busy; it gets a copy of its own.
        if (!sqlite3_stmt_busy(found->second)) return Query(db_, found->second, nullptr, SQLITE_OK);
        sqlite3_stmt *copy = nullptr;
        int rc = sqlite3_prepare_v2(db_, sql.c_str(), -1, &copy, nullptr);
        return Query(db_, nullptr, copy, rc);
    }
    sqlite3_stmt *stmt = nullptr;
    int rc = sqlite3_prepare_v3(db_, sql.c_str(), -1, SQLITE_PREPARE_PERSISTENT, &stmt, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_finalize(stmt);
        return Query(db_, nullptr, nullptr, rc);
    }
    statements_.emplace(sql, stmt);
    return Query(db_, stmt, nullptr, SQLITE_OK);
}

HResult Database::open(std::unique_ptr<Database> &database)
{
    database.reset();
    std::error_code ec;
    std::string root = base::device_root();
    std::filesystem::create_directories(root, ec);
    if (ec) return folder_error(ec);
    if (!std::filesystem::is_directory(root, ec)) return kFail;

    std::string path = store_path();
    sqlite3 *raw = nullptr;
    // The caller serialises every call into the library, so the connection needs no
    // mutex of its own around each SQLite call.
    int rc = sqlite3_open_v2(path.c_str(), &raw,
                             SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                             nullptr);
    std::unique_ptr<Database> opened(new Database(raw));
    if (rc != SQLITE_OK) {
        // SQLite reports the error of its last attempt, a read-only open, which for a
        // file it could not create is "no such file" rather than the folder's refusal.
        int error = raw ? sqlite3_system_errno(raw) : 0;
        if (error == ENOENT && access(root.c_str(), W_OK) != 0) error = errno;
        return to_hresult(rc, error);
    }
    sqlite3_extended_result_codes(raw, 1);
    sqlite3_busy_timeout(raw, kBusyTimeoutMs);

    HResult hr = opened->prepare_schema(path);
    if (failed(hr)) return hr;
    database = std::move(opened);
    return kOk;
}

HResult Database::prepare_schema(const std::string &path)
{
    auto fail = [&](int rc) { return to_hresult(rc, sqlite3_system_errno(db_)); };
    // Only takes effect while the file is still empty: every text column is then
    // UTF-16le, so text goes in and out without conversion.
    int rc = exec("PRAGMA encoding = 'UTF-16le'");
    if (rc != SQLITE_OK) return fail(rc);
    if (sqlite3_db_readonly(db_, "main") == 1) return kAccessDenied;

    auto version = [&](int &v) {
        Query q = query("PRAGMA user_version");
        v = q.next() ? static_cast<int>(q.integer(0)) : 0;
        return q.error();
    };
    auto newer = [&](int v) {
        KOVA_LOG_ERROR("KOVA:  The PIM store '%s' has schema version %d; this library knows "
                       "versions up to %d and leaves it alone.",
                       path.c_str(), v, kSchemaVersion);
        return kNewerStore;
    };
    int found = 0;
    rc = version(found);
    if (rc != SQLITE_OK) return fail(rc);
    if (found > kSchemaVersion) return newer(found);

    // WAL lets a reader go on while another process saves. Switching to it does not wait
    // through the busy handler, and two processes making the store at once do meet here,
    // so it waits as long as the handler would.
    for (int waited = 0;; waited += kRetryMs) {
        rc = exec("PRAGMA journal_mode = WAL");
        if ((rc & 0xFF) != SQLITE_BUSY || waited >= kBusyTimeoutMs) break;
        sqlite3_sleep(kRetryMs);
    }
    if (rc != SQLITE_OK) return fail(rc);
    // NORMAL syncs at checkpoints only: a killed process loses nothing committed (the log
    // is in the file system), a power cut can lose the last commits, and FULL would sync
    // the disk on every save. A checkpoint syncs the disk twice; a save writes one or two
    // pages to the log, so at SQLite's default of one checkpoint per 1000 log pages those
    // syncs took a quarter of a bulk import's time. 4000 pages (16 MiB of log) make them
    // rare and keep what a power cut can lose to the saves of a few seconds.
    const char *const setup[] = {"PRAGMA synchronous = NORMAL", "PRAGMA foreign_keys = ON",
                                 "PRAGMA wal_autocheckpoint = 4000"};
    for (const char *sql : setup)
        if ((rc = exec(sql)) != SQLITE_OK) return fail(rc);
    rc = sqlite3_create_collation_v2(db_, "ascii_nocase", SQLITE_UTF16LE, nullptr,
                                     compare_ascii_nocase, nullptr);
    if (rc != SQLITE_OK) return fail(rc);
    if (g_limit_growth && (rc = exec("PRAGMA max_page_count = 1")) != SQLITE_OK) return fail(rc);

    if (found == kSchemaVersion) return kOk;
    Transaction upgrade(*this, Transaction::Write);
    if (upgrade.begun() != SQLITE_OK) return fail(upgrade.begun());
    // Another process may have upgraded the store while this one waited for the lock.
    if ((rc = version(found)) != SQLITE_OK) return fail(rc);
    if (found > kSchemaVersion) return newer(found);
    for (int step = found; step < kSchemaVersion; ++step)
        if ((rc = exec(kUpgrades[step])) != SQLITE_OK) return fail(rc);
    std::string set_version = "PRAGMA user_version = " + std::to_string(kSchemaVersion);
    if ((rc = exec(set_version.c_str())) != SQLITE_OK) return fail(rc);
    if ((rc = upgrade.commit()) != SQLITE_OK) return fail(rc);
    return kOk;
}

// --- Database: items ---

HResult Database::save(Item &item)
{
    Transaction transaction(*this, Transaction::Write);
    if (transaction.begun() != SQLITE_OK)
        return to_hresult(transaction.begun(), sqlite3_system_errno(db_));
    const Oid kept = item.oid_;
    inserting_ = kept == 0;
    if (inserting_) {
        // Taken under the write lock, so no other process can take the same id.
        Query q = query(
            "SELECT max(coalesce((SELECT max(Oid) FROM contacts), 0), "
            "coalesce((SELECT max(Oid) FROM appointments), 0), "
            "coalesce((SELECT max(Oid) FROM tasks), 0), "
            "coalesce((SELECT max(Oid) FROM deleted_items), 0)) + 1");
        if (!q.next()) return q.ok() ? kFail : q.hresult();
        int64_t oid = q.integer(0);
        if (oid > kLastId) {
            KOVA_LOG_ERROR("KOVA:  The PIM store has used up its object ids.");
            return kFail;
        }
        item.oid_ = static_cast<Oid>(oid);
    }
    HResult hr = item.save_fields(*this);
    if (!failed(hr)) {
        int rc = transaction.commit();
        if (rc != SQLITE_OK) hr = to_hresult(rc, sqlite3_system_errno(db_));
    }
    if (failed(hr)) item.oid_ = kept;
    return hr;
}

namespace {

template <class T> HResult write_row(Database &db, const Table<T> &table, const T &item,
                                     Oid oid, bool inserting)
{
    Query q = db.query(inserting ? table.insert : table.update);
    bind_columns(q, table, item);
    q.bind(static_cast<int>(table.columns.size() + 1), int64_t{oid});
    if (!q.run()) return q.hresult();
    if (sqlite3_changes(db.handle()) != 1) return kNotFound;  // deleted since it was fetched
    return kOk;
}

}  // namespace

HResult Database::write(Contact &contact)
{
    return write_row(*this, contact_table(), contact, contact.oid_, inserting_);
}

HResult Database::write(Appointment &appointment)
{
    Oid oid = appointment.oid_;
    HResult hr = write_row(*this, appointment_table(), appointment, oid, inserting_);
    if (failed(hr)) return hr;
    // A new id has nothing stored under it yet: only a later save replaces the list.
    if (!inserting_) {
        Query clear = query("DELETE FROM recipients WHERE Oid = ?1");
        if (!clear.bind(1, int64_t{oid}).run()) return clear.hresult();
    }
    int64_t position = 0;
    for (const auto &recipient : appointment.recipients_.list_) {
        Query q = query(
            "INSERT INTO recipients (Oid, Position, Name, Address) VALUES (?1, ?2, ?3, ?4)");
        q.bind(1, int64_t{oid}).bind(2, ++position).bind(3, recipient->Name);
        if (!q.bind(4, recipient->Address).run()) return q.hresult();
    }
    return write_pattern(oid, appointment.pattern_);
}

HResult Database::write(Task &task)
{
    HResult hr = write_row(*this, task_table(), task, task.oid_, inserting_);
    if (failed(hr)) return hr;
    return write_pattern(task.oid_, task.pattern_);
}

HResult Database::write_pattern(Oid oid, const std::optional<RecurrencePattern> &pattern)
{
    // The exceptions go with the pattern row.
    if (!inserting_) {
        Query clear = query("DELETE FROM recurrence_patterns WHERE Oid = ?1");
        if (!clear.bind(1, int64_t{oid}).run()) return clear.hresult();
    }
    if (!pattern) return kOk;
    const SeriesRule &rule = pattern->rule();
    Query q = query(
        "INSERT INTO recurrence_patterns (Oid, RecurrenceType, Interval, DayOfWeekMask, "
        "Instance, DayOfMonth, MonthOfYear, SeriesEnd, Occurrences, PatternEndDate, "
        "PatternStartDate) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11)");
    q.bind(1, int64_t{oid}).bind(2, int64_t{rule.type}).bind(3, int64_t{rule.interval});
    q.bind(4, int64_t{rule.mask}).bind(5, int64_t{rule.instance});
    q.bind(6, int64_t{rule.day_of_month}).bind(7, int64_t{rule.month_of_year});
    q.bind(8, static_cast<int64_t>(rule.end)).bind(9, int64_t{rule.count});
    q.bind(10, rule.end_date).bind(11, pattern->PatternStartDate());
    if (!q.run()) return q.hresult();
    int64_t position = 0;
    for (const Exception &e : pattern->Exceptions()) {
        Query add = query("INSERT INTO exceptions (Oid, Position, OriginalDate, Deleted) "
                          "VALUES (?1, ?2, ?3, ?4)");
        add.bind(1, int64_t{oid}).bind(2, ++position).bind(3, e.OriginalDate);
        if (!add.bind(4, int64_t{e.Deleted}).run()) return add.hresult();
    }
    return kOk;
}

HResult Database::remove(Item &item)
{
    if (item.oid_ == 0) return kNotFound;
    Transaction transaction(*this, Transaction::Write);
    if (transaction.begun() != SQLITE_OK)
        return to_hresult(transaction.begun(), sqlite3_system_errno(db_));
    const int64_t oid = item.oid_;
    Query q = query(std::string("DELETE FROM ") + table_of(item.type_) + " WHERE Oid = ?1");
    if (!q.bind(1, oid).run()) return q.hresult();
    if (sqlite3_changes(db_) == 0) return kNotFound;
    // Recipients go with the appointment, exceptions with the pattern.
    Query pattern = query("DELETE FROM recurrence_patterns WHERE Oid = ?1");
    if (!pattern.bind(1, oid).run()) return pattern.hresult();
    Query keep = query("INSERT OR IGNORE INTO deleted_items (Oid) VALUES (?1)");
    if (!keep.bind(1, oid).run()) return keep.hresult();
    Query lower = query("DELETE FROM deleted_items WHERE Oid < (SELECT max(Oid) FROM deleted_items)");
    if (!lower.run()) return lower.hresult();
    int rc = transaction.commit();
    if (rc != SQLITE_OK) return to_hresult(rc, sqlite3_system_errno(db_));
    item.oid_ = 0;
    return kOk;
}

template <class T> HResult Database::read_pattern(T &item)
{
    Query q = query(
        "SELECT RecurrenceType, Interval, DayOfWeekMask, Instance, DayOfMonth, MonthOfYear, "
        "SeriesEnd, Occurrences, PatternEndDate, PatternStartDate "
        "FROM recurrence_patterns WHERE Oid = ?1");
    if (!q.bind(1, int64_t{item.oid_}).next()) return q.ok() ? kOk : q.hresult();
    SeriesRule rule;
    rule.type = static_cast<int32_t>(q.integer(0));
    rule.interval = static_cast<int32_t>(q.integer(1));
    rule.mask = static_cast<int32_t>(q.integer(2));
    rule.instance = static_cast<int32_t>(q.integer(3));
    rule.day_of_month = static_cast<int32_t>(q.integer(4));
    rule.month_of_year = static_cast<int32_t>(q.integer(5));
    int64_t end = q.integer(6);
    rule.end = end == 1 ? SeriesEnd::Count : end == 2 ? SeriesEnd::Date : SeriesEnd::None;
    rule.count = static_cast<int32_t>(q.integer(7));
    rule.end_date = q.real(8);
    double start = q.real(9);

    std::vector<Exception> exceptions;
    Query e = query("SELECT OriginalDate, Deleted FROM exceptions WHERE Oid = ?1 "
                    "ORDER BY Position");
    e.bind(1, int64_t{item.oid_});
    while (e.next()) exceptions.push_back({e.real(0), e.integer(1) != 0});
    if (!e.ok()) return e.hresult();
    item.GetRecurrencePattern().restore(rule, start, std::move(exceptions));
    return kOk;
}

template <class T> HResult Database::read_item(Oid oid, std::unique_ptr<Item> &item)
{
    auto loaded = std::make_unique<T>(*this);
    loaded->oid_ = oid;
    const Table<T> *table;
    if constexpr (std::is_same_v<T, Contact>)
        table = &contact_table();
    else if constexpr (std::is_same_v<T, Appointment>)
        table = &appointment_table();
    else
        table = &task_table();
    {
        Query q = query(table->select);
        if (!q.bind(1, int64_t{oid}).next()) return q.ok() ? kNotFound : q.hresult();
        read_columns(q, *table, *loaded);
    }
    if constexpr (std::is_same_v<T, Contact>) {
        if (loaded->FileAs == loaded->derived_file_as()) loaded->file_as_as_derived_ = loaded->FileAs;
    }
    if constexpr (std::is_same_v<T, Appointment>) {
        Query q = query("SELECT Name, Address FROM recipients WHERE Oid = ?1 ORDER BY Position");
        q.bind(1, int64_t{oid});
        while (q.next())
            loaded->recipients_.list_.push_back(
                std::make_unique<Recipient>(Recipient{q.text(0), q.text(1)}));
        if (!q.ok()) return q.hresult();
    }
    if constexpr (!std::is_same_v<T, Contact>) {
        HResult hr = read_pattern(*loaded);
        if (failed(hr)) return hr;
    }
    item = std::move(loaded);
    return kOk;
}

HResult Database::load(Oid oid, std::unique_ptr<Item> &item)
{
    item.reset();
    // One snapshot: a save by another process lands wholly before or after this read.
    Transaction transaction(*this, Transaction::Read);
    if (transaction.begun() != SQLITE_OK)
        return to_hresult(transaction.begun(), sqlite3_system_errno(db_));
    // An id is in one table at most, and the table tells the kind.
    HResult hr = read_item<Contact>(oid, item);
    if (hr == kNotFound) hr = read_item<Appointment>(oid, item);
    if (hr == kNotFound) hr = read_item<Task>(oid, item);
    return hr;
}

std::vector<Oid> Database::items_of_type(int type)
{
    std::vector<Oid> oids;
    const char *table = table_of(type);
    if (!table) return oids;
    Query q = query(std::string("SELECT Oid FROM ") + table + " ORDER BY Oid");
    while (q.next()) oids.push_back(static_cast<Oid>(q.integer(0)));
    return oids;
}

bool Database::find_contacts(const std::vector<std::pair<std::string, std::u16string>> &terms,
                             std::vector<Oid> &found)
{
    found.clear();
    std::string sql = "SELECT Oid FROM contacts";
    for (size_t i = 0; i < terms.size(); ++i) {
        bool known = false;
        for (const Column<Contact> &column : contact_table().columns)
            known = known || (terms[i].first == column.name &&
                              std::holds_alternative<std::u16string Contact::*>(column.member));
        if (!known) return false;
        sql += (i ? " AND \"" : " WHERE \"") + terms[i].first + "\" = ?" + std::to_string(i + 1) +
               " COLLATE ascii_nocase";
    }
    sql += " ORDER BY Oid";
    Query q = query(sql);
    for (size_t i = 0; i < terms.size(); ++i) q.bind(static_cast<int>(i + 1), terms[i].second);
    while (q.next()) found.push_back(static_cast<Oid>(q.integer(0)));
    return q.ok();
}

}  // namespace kova::pim
