// The store shared between processes and killed under load: a child imports contacts,
// appointments and messages and reports each id the moment KOVA_AddObject gives it; the
// parent kills it at a random moment, or lets two of them import into one store at once.
// Every id reported must then be there and intact, in a database that passes its
// integrity check. The rounds are bounded by the number of objects, not by time; the
// seed is printed, and KOVA_TEST_SEED=<seed> replays a failure.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "store/store_fixture.h"

namespace kova::store {
namespace {

using testing::TempDevice;
using testing::lines_starting;

// One object the child imported: its type, the number its texts carry, and its id.
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

// The files a child reads, in order: contacts, appointments and messages in turns, so
// that a kill can land in any of them. Numbers start at first and count up.
std::vector<std::string> write_import(const TempDevice &device, const std::string &name,
                                      uint32_t first, unsigned turns, unsigned contacts,
                                      unsigned others)
{
    std::vector<std::string> files;
    uint32_t n = first;
    for (unsigned t = 0; t < turns; ++t) {
        std::string texts[3] = {"", "BEGIN:VCALENDAR\r\nVERSION:1.0\r\n", ""};
        for (unsigned i = 0; i < contacts; ++i) {
            std::string k = padded(n++);
            texts[0] += "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Family" + k + ";Given" + k +
                        "\r\nTEL;CELL:+46 70 " + k + "\r\nEMAIL;INTERNET:p" + k +
                        "@example.org\r\nNOTE:Note " + k + "\r\nEND:VCARD\r\n";
        }
        for (unsigned i = 0; i < others; ++i)
            texts[1] += "BEGIN:VEVENT\r\nSUMMARY:Meeting " + padded(n++) +
                        "\r\nDTSTART:20260105T090000Z\r\nDTEND:20260105T100000Z\r\n"
                        "RRULE:D1 #3\r\nEND:VEVENT\r\n";
        texts[1] += "END:VCALENDAR\r\n";
        for (unsigned i = 0; i < others; ++i, ++n)
            texts[2] += "BEGIN:VMSG\r\nVERSION:1.1\r\nBEGIN:VENV\r\nBEGIN:VBODY\r\nSubject:Message " +
                        padded(n) + "\r\n\r\nBody " + padded(n) +
                        "\r\nEND:VBODY\r\nEND:VENV\r\nEND:VMSG\r\n";
        for (const std::string &text : texts) {
            files.push_back(device.path(name + "-" + std::to_string(files.size())));
            testing::write_file(files.back(), text);
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

// Forks a child that waits for a byte on start (if given), imports the files, and exits
// with the number of failed adds (capped). Its reports arrive on reports.
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

// The database is sound and each report's object is there as it was imported.
void expect_intact(const TempDevice &device, const std::vector<Report> &reports)
{
    using testing::store_rows;
    EXPECT_EQ(store_rows("PRAGMA integrity_check"), "ok|\n");
    EXPECT_EQ(store_rows("PRAGMA foreign_key_check"), "");
    // Killed before the store was made: nothing can have been reported.
    if (store_rows("SELECT name FROM sqlite_master WHERE name = 'contacts'").empty()) {
        EXPECT_TRUE(reports.empty());
        return;
    }
    // No half-stored object, reported or not: every recurrence pattern has its item, and
    // every message imported here its headers.
    EXPECT_EQ(store_rows("SELECT count(*) FROM recurrence_patterns p WHERE NOT EXISTS "
                         "(SELECT 1 FROM appointments a WHERE a.Oid = p.Oid UNION ALL "
                         "SELECT 1 FROM tasks t WHERE t.Oid = p.Oid)"),
              "0|\n");
    EXPECT_EQ(store_rows("SELECT count(*) FROM messages m WHERE NOT EXISTS "
                         "(SELECT 1 FROM message_headers h WHERE h.Id = m.Id)"),
              "0|\n");
    ASSERT_EQ(KOVA_Open(), 0u);
    for (const Report &r : reports) {
        std::string k = padded(r.number);
        if (r.type >= KOVA_TYPE_MESSAGE) {
            std::string id = std::to_string(std::strtoll(r.id, nullptr, 16));
            EXPECT_EQ(store_rows("SELECT Body, Value FROM messages m JOIN message_headers h ON "
                                 "h.Id = m.Id AND h.Name = 'Subject' WHERE m.Id = " + id),
                      "Body " + k + "|Message " + k + "|\n")
                << r.id;
            continue;
        }
        std::string text = testing::fetch_text(device, r.type, r.id);
        if (r.type == KOVA_TYPE_CALENDAR) continue;  // its conversion has its own tests
        EXPECT_EQ(lines_starting(text, "N:|TEL|EMAIL|NOTE"),
                  "N:Family" + k + ";Given" + k + "|TEL;CELL:+46 70 " + k +
                      "|EMAIL;INTERNET;PREF:p" + k + "@example.org|NOTE:Note " + k)
            << r.id;
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
    // The reports wait in the pipes until both children are done.
    static_assert(kTurns * (kContacts + 2 * kOthers) * sizeof(Report) <= 65536, "fits a pipe");
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
    for (int i = 0; i < 2; ++i) {
        int status = 0;
        ASSERT_EQ(waitpid(children[i], &status, 0), children[i]);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
        read_reports(fds[i], reports);
        close(fds[i]);
    }
    ASSERT_EQ(reports.size(), 2u * kTurns * (kContacts + 2 * kOthers));
    // No id given twice: contacts and appointments share one id space, messages have
    // their own.
    std::set<std::string> ids;
    for (const Report &r : reports) ids.insert((r.type < KOVA_TYPE_MESSAGE ? "item " : "message ") + std::string(r.id));
    EXPECT_EQ(ids.size(), reports.size());
    expect_intact(device, reports);
}

}  // namespace
}  // namespace kova::store
