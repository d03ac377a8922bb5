#include "common.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "base/registry.h"
#include "base/utf16.h"
#include "model/record.h"

namespace kova::cli {
namespace {

constexpr auto kProgressDelay = std::chrono::milliseconds(500);
constexpr auto kProgressInterval = std::chrono::milliseconds(250);

}  // namespace

void error(std::string_view thing, std::string_view reason)
{
    std::fprintf(stderr, "kova: %.*s: %.*s\n", static_cast<int>(thing.size()), thing.data(),
                 static_cast<int>(reason.size()), reason.data());
}

std::string code_text(uint32_t code)
{
    return base::utf16_to_utf8(KOVA_CodeToString(code));
}

std::string read_error(uint32_t code, const std::string &path)
{
    std::string text = code_text(code);
    // The library does not say why a file would not open; the system does.
    if (code == KOVA_CANNOT_OPEN_FILE && access(path.c_str(), R_OK) != 0)
        text += with_reason(errno);
    return text;
}

std::string with_reason(int system_error)
{
    return std::string(" (") + std::strerror(system_error) + ")";
}

std::u16string wide(const std::string &path) { return base::utf8_to_utf16(path); }

std::optional<std::string> not_a_file(const std::string &path)
{
    struct stat st;
    if (stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return std::strerror(EISDIR);
    return std::nullopt;
}

bool looks_like_id(std::string_view text)
{
    if (text.empty() || text.size() > 8) return false;
    for (char c : text)
        if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
    return true;
}

const char *type_word(uint32_t type, const ObjectRecord &record)
{
    switch (type) {
    case KOVA_TYPE_CONTACT: return "contact";
    case KOVA_TYPE_CALENDAR:
        if (record.Calendar.Kind == KOVA_KIND_APPOINTMENT) return "appointment";
        return record.Calendar.Kind == KOVA_KIND_TASK ? "task" : "calendar";
    case KOVA_TYPE_NOTE: return "note";
    case KOVA_TYPE_MESSAGE:
    case KOVA_TYPE_MESSAGE_SENT:
    case KOVA_TYPE_MESSAGE_OUTBOX: return "message";
    }
    return "object";
}

const char *folder_word(uint32_t type)
{
    switch (type) {
    case KOVA_TYPE_MESSAGE: return "inbox";
    case KOVA_TYPE_MESSAGE_SENT: return "sent";
    case KOVA_TYPE_MESSAGE_OUTBOX: return "outbox";
    }
    return "";
}

std::string one_line(std::string_view text)
{
    // Through UTF-16 and back: bad sequences come out as U+FFFD.
    std::u16string wide_text = base::utf8_to_utf16(text);
    for (char16_t &c : wide_text)
        if (c < 0x20 || c == 0x7F) c = u' ';
    return base::utf16_to_utf8(wide_text);
}

std::string display_name(uint32_t type, ObjectRecord &record)
{
    char16_t buffer[1024];
    KOVA_GetObjectName(type, &record, buffer, sizeof buffer / sizeof *buffer);
    std::string name = one_line(base::utf16_to_utf8(buffer));
    if (*folder_word(type)) name += std::string(" [") + folder_word(type) + "]";
    return name;
}

std::string object_line(std::string_view type, std::string_view id, std::string_view name)
{
    std::string line(type);
    line += ' ';
    if (id.empty())
        line += '-';
    else if (id.find_first_of(" \t\"") != std::string_view::npos)
        line += '"' + one_line(id) + '"';
    else
        line += one_line(id);
    if (!name.empty()) line += ' ' + std::string(name);
    return line;
}

void Record::release(uint32_t type)
{
    model::ReleaseRecord(type, record.get());
    std::memset(record.get(), 0, sizeof *record);
}

void report_no_store(const std::string &reason)
{
    std::string root = base::device_root();
    std::string text = "the store cannot be opened: " + reason;
    struct stat st;
    if (stat(root.c_str(), &st) == 0 && !S_ISDIR(st.st_mode)) text += with_reason(ENOTDIR);
    error(root, text);
}

bool open_store()
{
    uint32_t rc = KOVA_Open();
    if (rc != KOVA_OK) report_no_store(code_text(rc));
    return rc == KOVA_OK;
}

Progress::Progress(std::string what)
    : what_(std::move(what)), enabled_(isatty(STDERR_FILENO) != 0),
      shares_terminal_(enabled_ && isatty(STDOUT_FILENO) != 0),
      start_(std::chrono::steady_clock::now()), last_(start_)
{
}

void Progress::step(unsigned done)
{
    if (!enabled_) return;
    auto now = std::chrono::steady_clock::now();
    if (now - start_ < kProgressDelay || (drawn_once_ && now - last_ < kProgressInterval)) return;
    last_ = now;
    shown_ = drawn_once_ = true;
    std::fprintf(stderr, "\r\033[K%s: %u object%s", what_.c_str(), done, done == 1 ? "" : "s");
    std::fflush(stderr);
}

void Progress::make_room()
{
    if (shares_terminal_) clear();
}

void Progress::clear()
{
    if (!shown_) return;
    std::fprintf(stderr, "\r\033[K");
    std::fflush(stderr);
    shown_ = false;
}

}  // namespace kova::cli
