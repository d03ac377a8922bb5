// The kova tool end to end: the installed binary run on fresh device roots, judged by
// its exit codes, output lines, the files it writes and what the store holds afterwards.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "support/test_support.h"

extern char **environ;

namespace kova::testing {
namespace {

const std::string kKova = std::string(KOVA_CLI_PREFIX) + "/bin/kova";
const std::string kSamples = KOVA_SAMPLES_DIR;

std::string sample(const char *name) { return kSamples + "/" + name; }

struct Result {
    int exit = -1;
    std::string out, err;
};

// A running kova; its standard output and error go to files of its own.
class Child {
public:
    explicit Child(const std::vector<std::string> &args)
    {
        static int runs = 0;
        std::string stem = "/tmp/kova-cli-" + std::to_string(getpid()) + "-" + std::to_string(runs++);
        files_[0] = stem + ".out";
        files_[1] = stem + ".err";
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        for (int i = 0; i < 2; ++i)
            posix_spawn_file_actions_addopen(&actions, i + 1, files_[i].c_str(),
                                             O_WRONLY | O_CREAT | O_TRUNC, 0600);
        std::vector<char *> argv{const_cast<char *>(kKova.c_str())};
        for (const std::string &a : args) argv.push_back(const_cast<char *>(a.c_str()));
        argv.push_back(nullptr);
        if (posix_spawn(&pid_, kKova.c_str(), &actions, nullptr, argv.data(), environ) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~Child()
    {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        for (const std::string &file : files_) std::remove(file.c_str());
    }

    // Waits until stream (0 out, 1 err) holds text, five seconds at most.
    bool wait_for(int stream, const std::string &text)
    {
        for (int i = 0; i < 500; ++i, usleep(10000))
            if (read_file(files_[stream]).find(text) != std::string::npos) return true;
        return false;
    }

    void signal(int number) { kill(pid_, number); }

    Result finish()
    {
        Result result;
        int status = 0;
        if (pid_ > 0 && waitpid(pid_, &status, 0) == pid_)
            result.exit = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        pid_ = -1;
        result.out = read_file(files_[0]);
        result.err = read_file(files_[1]);
        return result;
    }

private:
    pid_t pid_ = -1;
    std::string files_[2];
};

Result kova(const std::vector<std::string> &args) { return Child(args).finish(); }

size_t count(const std::string &text, const std::string &needle)
{
    size_t n = 0;
    for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1))
        ++n;
    return n;
}

bool has_line(const std::string &text, const std::string &line)
{
    return count("\n" + text, "\n" + line + "\n") > 0;
}

// How many lines start with the word and a blank.
size_t count_lines(const std::string &text, const std::string &word)
{
    return count("\n" + text, "\n" + word + " ");
}

const std::vector<std::string> kImportAll = {
    "import", sample("contacts.vcf"), sample("calendar.vcs"), sample("tasks.vcs"),
    sample("note.vnt"), sample("inbox.vmg"), sample("outbox.vmg")};

constexpr const char *kGoodCard = "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Berg;Ola\r\nEND:VCARD\r\n";
constexpr const char *kNewerCard = "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Berg;Ola\r\nEND:VCARD\r\n";

TEST(Cli, ImportStoresEverySampleAndListsIt)
{
    TempDevice device;
    std::vector<std::string> dry_run = kImportAll;
    dry_run.insert(dry_run.begin() + 1, "--dry-run");
    Result dry = kova(dry_run);
    EXPECT_EQ(dry.exit, 0) << dry.err;
    EXPECT_TRUE(has_line(dry.out, "contact - Dr. Maja Lind"));
    EXPECT_TRUE(has_line(dry.out, "15 objects from 6 files: nothing stored (dry run)"));
    EXPECT_FALSE(std::filesystem::exists(device.path("pim.db")));

    Result import = kova(kImportAll);
    EXPECT_EQ(import.exit, 0) << import.err;
    EXPECT_EQ(import.err, "");
    EXPECT_TRUE(has_line(import.out, "15 objects from 6 files: 15 added, 0 updated"));
    EXPECT_TRUE(has_line(import.out, "contact 00000001 Dr. Maja Lind")) << import.out;

    Result list = kova({"list"});
    EXPECT_EQ(list.exit, 0);
    const struct {
        const char *word;
        size_t count;
    } kExpected[] = {{"contact", 4}, {"appointment", 4}, {"task", 3}, {"message", 3}, {"note", 1}};
    for (const auto &e : kExpected) EXPECT_EQ(count_lines(list.out, e.word), e.count) << e.word;
    EXPECT_TRUE(has_line(list.out, "contact 00000004 Соколов, Дмитрий")) << list.out;
    EXPECT_TRUE(has_line(list.out, "message 00000003 Dinner [outbox]"));

    Result only = kova({"list", "--type", "message", "-t", "note"});
    EXPECT_EQ(count(only.out, "\n"), 4u) << only.out;
}

TEST(Cli, UpdateChangesTheStoredObjectInsteadOfAddingOne)
{
    TempDevice device;
    ASSERT_EQ(kova({"import", sample("contacts.vcf")}).exit, 0);
    std::string edited = read_file(sample("contacts.vcf"));
    edited.replace(edited.find("+46 70 555 0199"), 15, "+46 70 555 0111");
    write_file(device.path("edited.vcf"), edited);

    Result update = kova({"import", "--update", device.path("edited.vcf")});
    EXPECT_EQ(update.exit, 0) << update.err;
    EXPECT_TRUE(has_line(update.out, "4 objects from 1 file: 0 added, 4 updated")) << update.out;
    EXPECT_EQ(count_lines(kova({"list"}).out, "contact"), 4u);
    Result shown = kova({"show", "00000001"});
    EXPECT_EQ(shown.exit, 0) << shown.err;
    EXPECT_NE(shown.out.find("TEL;CELL:+46 70 555 0111"), std::string::npos) << shown.out;

    // Without --update the same file adds four more.
    kova({"import", device.path("edited.vcf")});
    EXPECT_EQ(count_lines(kova({"list"}).out, "contact"), 8u);
}

TEST(Cli, ExportWritesBackupsThatImportAgain)
{
    TempDevice device;
    ASSERT_EQ(kova(kImportAll).exit, 0);

    Result all = kova({"export", "--type", "contact", "-o", device.path("all.vcf")});
    EXPECT_EQ(all.exit, 0) << all.err;
    EXPECT_TRUE(has_line(all.out, "4 objects written to " + device.path("all.vcf")));
    EXPECT_EQ(count(read_file(device.path("all.vcf")), "BEGIN:VCARD"), 4u);

    Result calendar = kova({"export", "-o", device.path("all.vcs")});  // type from the name
    EXPECT_EQ(calendar.exit, 0) << calendar.err;
    EXPECT_EQ(count(read_file(device.path("all.vcs")), "BEGIN:VCALENDAR"), 7u);

    Result dir = kova({"export", "--dir", device.path("out")});
    EXPECT_EQ(dir.exit, 0) << dir.err;
    EXPECT_TRUE(std::filesystem::exists(device.path("out/00000001.vcf")));
    EXPECT_TRUE(std::filesystem::exists(device.path("out/00000005.vcs")));
    EXPECT_TRUE(has_line(dir.out, "11 objects written to " + device.path("out"))) << dir.out;

    Result one = kova({"export", "00000002"});  // to standard output
    EXPECT_EQ(one.exit, 0) << one.err;
    EXPECT_EQ(one.out.rfind("BEGIN:VCARD\n", 0), 0u) << one.out;
    EXPECT_NE(one.out.find("N:Okafor;Chidi"), std::string::npos);

    TempDevice other;
    Result again = kova({"import", device.path("all.vcf")});
    EXPECT_EQ(again.exit, 0) << again.err;
    EXPECT_TRUE(has_line(kova({"list"}).out, "contact 00000001 Lind, Maja"));
}

// Bad input: one line naming the thing and the reason, a non-zero exit, and a store
// that the refused file left as it was.
TEST(Cli, BadInputIsReportedAndChangesNothing)
{
    TempDevice device;
    write_file(device.path("foreign.txt"), "Dear Maja,\nthe proofs are fine.\n");
    write_file(device.path("half.vcf"), std::string(kGoodCard) + kNewerCard);
    write_file(device.path("plain-file"), "");
    std::filesystem::create_directory(device.path("folder"));
    const std::string missing = device.path("missing.vcf"), root = device.path("plain-file");
    const std::string unopened =
        "kova: " + root + ": the store cannot be opened: General PIM Error (Not a directory)";

    const struct {
        const char *name;
        std::vector<std::string> args;
        int exit;
        std::string error;
    } kCases[] = {
        {"missing file", {"import", missing}, 1,
         "kova: " + missing + ": Could not open the file (No such file or directory)"},
        {"directory", {"import", device.path("folder")}, 1,
         "kova: " + device.path("folder") + ": Is a directory"},
        {"foreign file", {"import", device.path("foreign.txt")}, 1,
         "kova: " + device.path("foreign.txt") +
             ": The stream of data does not contain a valid object (kova check tells why)"},
        {"a good object before a bad one", {"import", device.path("half.vcf")}, 1,
         "kova: " + device.path("half.vcf") + ": Parsing error (kova check tells why)"},
        {"unwritable output",
         {"export", "--type", "contact", "-o", device.path("plain-file/x.vcf")}, 1,
         "kova: " + device.path("plain-file/x.vcf") +
             ": Could not open the file (Not a directory)"},
        {"unknown id shown", {"show", "0000abcd"}, 1, "kova: 0000abcd: The object was not found"},
        {"device root that is a file", {"--device-root", root, "list"}, 3, unopened},
        {"import into it", {"import", "--device-root", root, sample("note.vnt")}, 3, unopened},
        {"export from it", {"export", "--device-root", root, "00000001"}, 3, unopened},
        {"unknown option", {"import", "--bogus", sample("note.vnt")}, 2,
         "kova: The following argument was not expected: --bogus (kova --help lists the "
         "commands and options)"},
        {"unknown command", {"frob"}, 2, "kova: frob: not a command (kova --help lists them)"},
        {"notes cannot be exported", {"export", "--type", "note"}, 2,
         "kova: note: The type is not supported (the store gives out contacts and calendar "
         "items only)"},
    };
    for (const auto &c : kCases) {
        SCOPED_TRACE(c.name);
        Result r = kova(c.args);
        EXPECT_EQ(r.exit, c.exit);
        EXPECT_EQ(r.err, c.error + "\n");
        EXPECT_EQ(kova({"list"}).out, "");
    }
}

TEST(Cli, CheckShowsTheLinesThatExplainEachFile)
{
    TempDevice device;
    write_file(device.path("newer.vcf"), kNewerCard);
    write_file(device.path("blank.vcf"),
               "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Berg;Ola\r\n\r\nEND:VCARD\r\n" +
                   std::string(kGoodCard));
    Result r = kova({"check", sample("contacts.vcf"), device.path("blank.vcf"),
                     device.path("newer.vcf")});
    EXPECT_EQ(r.exit, 1);
    const std::string expected = sample("contacts.vcf") +
                                 ": OK\n"
                                 "  contact Dr. Maja Lind: Parsing successful\n"
                                 "  contact Chidi Okafor: Parsing successful\n"
                                 "  contact Åsa Öberg-Nyström: Parsing successful\n"
                                 "  contact Дмитрий Соколов: Parsing successful\n" +
                                 device.path("blank.vcf") +
                                 ": OK\n"
                                 "  contact Ola Berg: Parsing warning\n"
                                 "    KOVA:  Warning - Parser encounted a blank line in vCard\n"
                                 "  contact Ola Berg: Parsing successful\n" +
                                 device.path("newer.vcf") +
                                 ": Parsing error\n"
                                 "  KOVA:  Error - vCard version '3.0' is not supported\n"
                                 "  KOVA:  Error - vCard missing END tago or does not contain "
                                 "required VERSION or N properties\n"
                                 "3 files checked: 2 accepted, 1 refused\n";
    EXPECT_EQ(r.out, expected);
    EXPECT_FALSE(std::filesystem::exists(device.path("pim.db")));  // the store stays shut
}

// The listener and the library log to an address of this test's own.
TEST(Cli, LogPrintsDatagramsUntilInterrupted)
{
    TempDevice device;
    in_addr own{htonl(loopback_address_for_process())};
    char address[INET_ADDRSTRLEN];
    inet_ntop(AF_INET, &own, address, sizeof address);
    Child log({"log", "--address", address});
    ASSERT_TRUE(log.wait_for(1, "listening on " + std::string(address)));

    device.log_to(loopback_address_for_process());
    EXPECT_EQ(kova({"import", device.path("missing.vcf")}).exit, 1);
    EXPECT_TRUE(log.wait_for(0, "missing.vcf"));

    log.signal(SIGINT);
    Result r = log.finish();
    EXPECT_EQ(r.exit, 0);
    // Each datagram's text on a line of its own after the time it came.
    EXPECT_TRUE(std::regex_search(r.out, std::regex("(^|\n)\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d KOVA:  Unable "
                                                     "to open file '" + device.path("missing.vcf") + "'")))
        << r.out;
}

TEST(Cli, HelpVersionShowAndTheManualPage)
{
    const struct {
        std::vector<std::string> args;
        std::string text;
    } kCases[] = {
        {{"--help"}, "Exit codes: 0 all done"},
        {{"import", "--help"}, "--dry-run"},
        {{"--version"}, "kova 0."},
        {{"show", sample("contacts.vcf")}, "vCard (status 17)\n  VERSION:2.1"},
    };
    for (const auto &c : kCases) {
        SCOPED_TRACE(c.args[0]);
        Result r = kova(c.args);
        EXPECT_EQ(r.exit, 0);
        EXPECT_NE(r.out.find(c.text), std::string::npos) << r.out;
    }
    EXPECT_EQ(kova({}).exit, 2);

    std::string page = std::string(KOVA_CLI_PREFIX) + "/share/man/man1/kova.1";
    EXPECT_TRUE(std::filesystem::exists(page));
}

}  // namespace
}  // namespace kova::testing
