// What the commands of the kova tool share: exit codes, error lines, the words and
// display names printed for objects, the progress line, and the few internals the tool
// needs beside the ten functions (releasing a record it fetched).
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "kova/kova.h"

namespace kova::cli {

// Exit codes a script can rely on.
constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;   // a file refused, an object not stored, an unknown id
constexpr int kExitUsage = 2;    // the command line itself is wrong
constexpr int kExitNoStore = 3;  // KOVA_Open failed

// "kova: <thing>: <reason>" on standard error.
void error(std::string_view thing, std::string_view reason);

// KOVA_CodeToString as UTF-8.
std::string code_text(uint32_t code);
// The library's text for a file it could not read and, where the system knows one, the
// reason: "Could not open the file (No such file or directory)".
std::string read_error(uint32_t code, const std::string &path);
// " (<the system's text for the error number>)".
std::string with_reason(int system_error);

std::u16string wide(const std::string &path);

// A path the library would open and then misread: a directory. The reason, or nullopt.
std::optional<std::string> not_a_file(const std::string &path);

// An object id as the store makes them: one to eight hexadecimal digits.
bool looks_like_id(std::string_view text);

// contact, appointment, task, note, message; "calendar" for an item of neither kind.
const char *type_word(uint32_t type, const ObjectRecord &record);
// The folder a message of that type goes to: inbox, sent, outbox; "" for other types.
const char *folder_word(uint32_t type);
// KOVA_GetObjectName as one line of UTF-8 (control characters become blanks); for a
// message its folder follows in brackets.
std::string display_name(uint32_t type, ObjectRecord &record);
// "<type> <id> <name>"; an id that holds blanks (a note's name) is quoted, none is "-".
std::string object_line(std::string_view type, std::string_view id, std::string_view name);
// Control characters and invalid UTF-8 made printable, so that one text stays one line.
std::string one_line(std::string_view text);

// A zeroed record of the tool's own; release() frees what a fetch or read put in it.
struct Record {
    Record() : record(std::make_unique<ObjectRecord>()) {}
    ObjectRecord *get() { return record.get(); }
    void release(uint32_t type);
    std::unique_ptr<ObjectRecord> record;
};

// KOVA_Open; on failure the error line naming the device root. False when not open.
bool open_store();
// "kova: <device root>: the store cannot be opened: <reason>".
void report_no_store(const std::string &reason);

// The progress line of a long run: on standard error when it is a terminal, shown only
// once the run has taken a while and redrawn at most a few times a second.
class Progress {
public:
    explicit Progress(std::string what);
    ~Progress() { clear(); }
    Progress(const Progress &) = delete;
    Progress &operator=(const Progress &) = delete;

    void step(unsigned done);
    // Before a line on standard output: when that is the same terminal, takes the
    // progress line away so that the output starts on a clean line.
    void make_room();

private:
    void clear();

    std::string what_;
    bool enabled_;
    bool shares_terminal_;
    bool shown_ = false;
    bool drawn_once_ = false;
    std::chrono::steady_clock::time_point start_, last_;
};

}  // namespace kova::cli
