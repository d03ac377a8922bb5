// The store shared between processes and killed under load: a child imports contacts,
// appointments and messages and reports each id the moment KOVA_AddObject gives it; the
// parent kills it at a random moment, or lets two of them import into one store at once.
// Every id reported must then be there and intact, in a database that passes its
// integrity check. The rounds are bounded by the number of objects, not by time; the
// seed is printed, and KOVA_TEST_SEED=<seed> replays a failure.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "pim/outlook.h"
#include "store/store_fixture.h"

namespace kova::store {
namespace {

using testing::TempDevice;
using testing::lines_starting;

// One object the child was asked to import: its type and the number that its texts carry.
struct Report {
    uint32_t type;
    uint32_t number;
    char id[12];
};
static_assert(sizeof(Report) <= PIPE_BUF, "a report is written in one piece");

std::string padded(uint32_t number)
{
    char text[16];
    std::snprintf(text, sizeof text, "%07u", number);
    return text;
}

std::string contact_text(uint32_t n)
{
    std::string k = padded(n);
    return "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Family" + k + ";Given" + k + "\r\nTEL;CELL:+46 70 " +
           k + "\r\nEMAIL;INTERNET:p" + k + "@example.org\r\nNOTE:Note " + k + "\r\nEND:VCARD\r\n";
}

std::string appointment_text(uint32_t n)
{
    return "BEGIN:VEVENT\r\nSUMMARY:Meeting " + padded(n) +
           "\r\nDTSTART:20260105T090000Z\r\nDTEND:20260105T100000Z\r\nEND:VEVENT\r\n";
}

std::string message_text(uint32_t n)
{
    return "BEGIN:VMSG\r\nVERSION:1.1\r\nBEGIN:VENV\r\nBEGIN:VBODY\r\nSubject:Message " +
           padded(n) + "\r\n\r\nBody " + padded(n) + "\r\nEND:VBODY\r\nEND:VENV\r\nEND:VMSG\r\n";
}

// The files a child reads, in order: contacts, appointments and messages in turns, so
// that a kill can land in any of them. Numbers start at first and count up.
std::vector<std::string> write_import(const TempDevice &device, const std::string &name,
                                      uint32_t first, unsigned turns, unsigned contacts,
                                      unsigned others)
{
    std::vector<std::string> files;
    uint32_t n = first;
    for (unsigned t = 0; t < turns; ++t) {
        std::string vcf, vcs = "BEGIN:VCALENDAR\r\nVERSION:1.0\r\n", vmg;
        for (unsigned i = 0; i < contacts; ++i) vcf += contact_text(n++);
        for (unsigned i = 0; i < others; ++i) vcs += appointment_text(n++);
        vcs += "END:VCALENDAR\r\n";
        for (unsigned i = 0; i < others; ++i) vmg += message_text(n++);
        for (const std::string *text : {&vcf, &vcs, &vmg}) {
            files.push_back(device.path(name + "-" + std::to_string(files.size())));
            testing::write_file(files.back(), *text);
        }
    }
    return files;
}

struct Import {
    int fd;
    uint32_t number;  // of the next object
    unsigned failures;
};

// Reads the number back from the object's texts, so that the report does not rely on
// the order of the callbacks alone.
void add_and_report(uint32_t type, ObjectRecord *record, uint32_t, void *context)
{
    auto &import = *static_cast<Import *>(context);
    Report report{};
    report.type = type;
    report.number = import.number++;
    if (KOVA_AddObject(type, record, report.id) != 0) {
        ++import.failures;
        return;
    }
    if (write(import.fd, &report, sizeof report) != static_cast<ssize_t>(sizeof report))
        ++import.failures;
}

// Forks a child that waits for a byte on start, imports the files, and exits with the
// number of failed adds (capped). Its reports arrive on the returned descriptor.
pid_t start_importer(const std::vector<std::string> &files, uint32_t first, int start, int &reports)
{
    int fds[2];
    if (pipe(fds) != 0) return -1;
    pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        char go;
        if (start >= 0 && read(start, &go, 1) < 0) _exit(101);
        if (KOVA_Open() != 0) _exit(102);
        Import import{fds[1], first, 0};
        for (const std::string &file : files)
            if (KOVA_ReadObjects(testing::widen(file).c_str(), add_and_report, &import) != 0)
                ++import.failures;
        KOVA_Close();
        _exit(static_cast<int>(std::min(import.failures, 100u)));
    }
    close(fds[1]);
    reports = fds[0];
    return pid;
}

// Reads whole reports until count have come or the child has closed its end.
void read_reports(int fd, std::vector<Report> &reports, size_t count = SIZE_MAX)
{
    Report report;
    while (reports.size() < count) {
        ssize_t got = read(fd, &report, sizeof report);
        if (got != static_cast<ssize_t>(sizeof report)) break;
        reports.push_back(report);
    }
}

class Database {
public:
    Database() { EXPECT_EQ(sqlite3_open(pim::store_path().c_str(), &db_), SQLITE_OK); }
    ~Database() { sqlite3_close(db_); }
    // The first column of each row of sql, with ?1 bound to value.
    std::vector<std::string> column(const char *sql, int64_t value = 0)
    {
        std::vector<std::string> rows;
        sqlite3_stmt *stmt = nullptr;
        EXPECT_EQ(sqlite3_prepare_v2(db_, sql, -1, &stmt, nullptr), SQLITE_OK) << sql;
        sqlite3_bind_int64(stmt, 1, value);
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            const unsigned char *text = sqlite3_column_text(stmt, 0);
            rows.emplace_back(text ? reinterpret_cast<const char *>(text) : "");
        }
        sqlite3_finalize(stmt);
        return rows;
    }

private:
    sqlite3 *db_ = nullptr;
};

// The database is sound and each report's object is there as it was imported.
void expect_intact(const TempDevice &device, const std::vector<Report> &reports)
{
    {
        Database db;
        EXPECT_EQ(db.column("PRAGMA integrity_check"), std::vector<std::string>{"ok"});
        EXPECT_TRUE(db.column("PRAGMA foreign_key_check").empty());
        // Killed before the store was made: nothing can have been reported.
        if (db.column("SELECT name FROM sqlite_master WHERE name = 'contacts'").empty()) {
            EXPECT_TRUE(reports.empty());
            return;
        }
        // No half-stored object, reported or not: every recurrence pattern has its
        // item, and every message imported here its headers.
        EXPECT_EQ(db.column("SELECT count(*) FROM recurrence_patterns p WHERE NOT EXISTS "
                            "(SELECT 1 FROM appointments a WHERE a.Oid = p.Oid UNION ALL "
                            "SELECT 1 FROM tasks t WHERE t.Oid = p.Oid)"),
                  std::vector<std::string>{"0"});
        EXPECT_EQ(db.column("SELECT count(*) FROM messages m WHERE NOT EXISTS "
                            "(SELECT 1 FROM message_headers h WHERE h.Id = m.Id)"),
                  std::vector<std::string>{"0"});
        for (const Report &r : reports) {
            if (r.type < KOVA_TYPE_MESSAGE) continue;
            std::string number = padded(r.number);
            int64_t id = std::strtoll(r.id, nullptr, 16);
            EXPECT_EQ(db.column("SELECT Value FROM message_headers WHERE Id = ?1 AND "
                                "Name = 'Subject'", id),
                      std::vector<std::string>{"Message " + number})
                << r.id;
            EXPECT_EQ(db.column("SELECT Body FROM messages WHERE Id = ?1", id),
                      std::vector<std::string>{"Body " + number})
                << r.id;
        }
    }
    ASSERT_EQ(KOVA_Open(), 0u);
    for (const Report &r : reports) {
        if (r.type > KOVA_TYPE_CALENDAR) continue;
        uint32_t result = 0;
        std::string text = testing::fetch_text(device, r.type, r.id, &result);
        EXPECT_EQ(result, 0u) << r.id;
        if (r.type == KOVA_TYPE_CALENDAR) continue;  // its conversion has its own tests
        std::string k = padded(r.number);
        EXPECT_EQ(lines_starting(text, "N:"), "N:Family" + k + ";Given" + k) << r.id;
        EXPECT_EQ(lines_starting(text, "TEL"), "TEL;CELL:+46 70 " + k) << r.id;
        EXPECT_EQ(lines_starting(text, "EMAIL"), "EMAIL;INTERNET;PREF:p" + k + "@example.org") << r.id;
        EXPECT_EQ(lines_starting(text, "NOTE"), "NOTE:Note " + k) << r.id;
    }
    EXPECT_EQ(KOVA_Close(), 0u);
}

unsigned seed()
{
    const char *given = std::getenv("KOVA_TEST_SEED");
    unsigned s = given ? static_cast<unsigned>(std::strtoul(given, nullptr, 10)) : std::random_device{}();
    std::printf("KOVA_TEST_SEED=%u\n", s);
    return s;
}

TEST(Processes, AnImportKilledAtRandomLosesNothingItReported)
{
    const unsigned s = seed();
    SCOPED_TRACE("KOVA_TEST_SEED=" + std::to_string(s));
    std::mt19937 random(s);
    TempDevice device;
    constexpr unsigned kRounds = 5, kTurns = 3, kContacts = 500, kOthers = 10;
    constexpr unsigned kPerRound = kTurns * (kContacts + 2 * kOthers);
    std::vector<Report> reported;
    for (unsigned round = 0; round < kRounds; ++round) {
        // The first round may die while the store is still being made.
        uint32_t kill_after = round == 0 ? random() % 4 : random() % kPerRound;
        unsigned delay_us = random() % 3000;
        SCOPED_TRACE("round " + std::to_string(round) + ": kill after " +
                     std::to_string(kill_after) + " reports and " + std::to_string(delay_us) + " us");
        uint32_t first = round * kPerRound;
        auto files = write_import(device, "round" + std::to_string(round), first, kTurns,
                                  kContacts, kOthers);
        int fd = -1;
        pid_t child = start_importer(files, first, -1, fd);
        ASSERT_GT(child, 0);
        std::vector<Report> reports;
        read_reports(fd, reports, kill_after);
        usleep(delay_us);
        kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        // Whatever was reported before the kill is still in the pipe.
        read_reports(fd, reports);
        close(fd);
        EXPECT_TRUE(WIFSIGNALED(status) || WEXITSTATUS(status) == 0);  // or finished first
        std::printf("round %u: %zu reported, %s\n", round, reports.size(),
                    WIFSIGNALED(status) ? "killed" : "finished before the kill");
        reported.insert(reported.end(), reports.begin(), reports.end());
        expect_intact(device, reported);
        if (HasFailure()) return;
    }
}

TEST(Processes, TwoImportsIntoOneStoreAtOnce)
{
    TempDevice device;
    constexpr unsigned kTurns = 2, kContacts = 300, kOthers = 10;
    constexpr uint32_t kSecond = 100000;
    int start[2];
    ASSERT_EQ(pipe(start), 0);
    int fds[2];
    pid_t children[2];
    for (int i = 0; i < 2; ++i) {
        auto files = write_import(device, "import" + std::to_string(i), i * kSecond, kTurns,
                                  kContacts, kOthers);
        children[i] = start_importer(files, i * kSecond, start[0], fds[i]);
        ASSERT_GT(children[i], 0);
    }
    // Both wait on the same pipe, so that neither makes the store before the other starts.
    close(start[0]);
    ASSERT_EQ(write(start[1], "go", 2), 2);
    close(start[1]);

    std::vector<Report> reports;
    pollfd polled[2] = {{fds[0], POLLIN, 0}, {fds[1], POLLIN, 0}};
    for (int open = 2; open > 0;) {
        ASSERT_GT(poll(polled, 2, -1), 0);
        for (pollfd &p : polled) {
            if (p.fd < 0 || !(p.revents & (POLLIN | POLLHUP))) continue;
            Report report;
            if (read(p.fd, &report, sizeof report) == static_cast<ssize_t>(sizeof report)) {
                reports.push_back(report);
            } else {
                close(p.fd);
                p.fd = -1;
                --open;
            }
        }
    }
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    }
    ASSERT_EQ(reports.size(), 2u * kTurns * (kContacts + 2 * kOthers));
    // Contacts and appointments share one id space, messages have their own.
    std::set<std::string> items, messages;
    for (const Report &r : reports) {
        (r.type < KOVA_TYPE_MESSAGE ? items : messages).insert(r.id);
    }
    EXPECT_EQ(items.size(), 2u * kTurns * (kContacts + kOthers));
    EXPECT_EQ(messages.size(), 2u * kTurns * kOthers);
    expect_intact(device, reports);
}

}  // namespace
}  // namespace kova::store
