// kova check: validates files and shows, per file and per object, the result and the
// diagnostic lines that explain it.
//
// The tool receives its own log. It reads the files under a private device root: a copy
// of the user's registry.reg followed by a Debug key whose LogIPAddr is a loopback
// address of the tool's own, where it listens. The library logs while it reads, so the
// lines that arrive before an object's callback belong to that object, and those left
// after the last one belong to the file. The store is never opened.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "base/log.h"
#include "base/registry.h"
#include "base/utf16.h"
#include "commands.h"
#include "common.h"
#include "log_socket.h"

namespace kova::cli {
namespace {

constexpr const char *kDebugKey = "HKEY_LOCAL_MACHINE\\Software\\Harvex\\BTConfig\\Debug";
constexpr int kAddressTries = 16;

std::string read_all(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The registry file as UTF-8 without its byte-order mark; UTF-16LE files carry FF FE.
std::string registry_text(const std::string &raw)
{
    if (raw.size() >= 2 && raw[0] == '\xFF' && raw[1] == '\xFE') {
        std::u16string wide_text;
        for (size_t i = 2; i + 1 < raw.size(); i += 2)
            wide_text += static_cast<char16_t>(static_cast<unsigned char>(raw[i]) |
                                               static_cast<unsigned char>(raw[i + 1]) << 8);
        return base::utf16_to_utf8(wide_text);
    }
    if (raw.compare(0, 3, "\xEF\xBB\xBF") == 0) return raw.substr(3);
    return raw;
}

// 127.x.y.z from the process id, as the tests' receivers choose theirs, then neighbours.
uint32_t loopback_address(int attempt)
{
    unsigned n = static_cast<unsigned>(getpid()) + static_cast<unsigned>(attempt) * 7919u;
    return (127u << 24) | ((1 + n % 250) << 16) | ((1 + n / 250 % 250) << 8) |
           (1 + n / 62500 % 250);
}

// A device root of the check's own for as long as it lives; KOVA_DEVICE_ROOT points at it.
class PrivateRoot {
public:
    PrivateRoot() : user_root_(base::device_root())
    {
        const char *tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/kova-check-XXXXXX";
        if (mkdtemp(pattern.data())) root_ = pattern;
    }
    ~PrivateRoot()
    {
        if (root_.empty()) return;
        setenv("KOVA_DEVICE_ROOT", user_root_.c_str(), 1);
        std::error_code ec;
        std::filesystem::remove_all(root_, ec);
    }
    PrivateRoot(const PrivateRoot &) = delete;
    PrivateRoot &operator=(const PrivateRoot &) = delete;

    bool made() const { return !root_.empty(); }

    // The user's registry, then the log address; later lines win.
    bool enter(uint32_t log_address)
    {
        std::string text = registry_text(read_all(user_root_ + "/registry.reg"));
        char debug[160];
        std::snprintf(debug, sizeof debug, "\r\n[%s]\r\n\"LogIPAddr\"=dword:%08x\r\n", kDebugKey,
                      log_address);
        std::ofstream out(root_ + "/registry.reg", std::ios::binary | std::ios::trunc);
        out << "\xEF\xBB\xBF" << text << debug;
        out.close();
        if (!out) return false;
        setenv("KOVA_DEVICE_ROOT", root_.c_str(), 1);
        base::configure_log();
        return true;
    }

private:
    std::string user_root_;
    std::string root_;
};

struct CheckedObject {
    std::string word, name;
    uint32_t status;
    std::vector<std::string> lines;
};

struct FileCheck {
    LogSocket &log;
    std::vector<CheckedObject> objects;
    uint32_t running = KOVA_PARSED;
};

void on_object(uint32_t type, ObjectRecord *record, uint32_t status, void *context)
{
    FileCheck &check = *static_cast<FileCheck *>(context);
    CheckedObject object{type_word(type, *record), display_name(type, *record), status,
                         check.log.drain()};
    // The reader's status is sticky for the rest of a file: an object counts as warned
    // when the warning came while it was read.
    if (status == KOVA_PARSED_WITH_WARNING && check.running == KOVA_PARSED_WITH_WARNING &&
        object.lines.empty())
        object.status = KOVA_PARSED;
    check.running = status;
    check.objects.push_back(std::move(object));
}

void print_lines(const std::vector<std::string> &lines, const char *indent)
{
    for (const std::string &line : lines) std::printf("%s%s\n", indent, one_line(line).c_str());
}

// Prints the file's report; true when the library accepted the file.
bool check_file(const std::string &file, LogSocket &log)
{
    if (auto reason = not_a_file(file)) {
        std::printf("%s: %s\n", file.c_str(), reason->c_str());
        return false;
    }
    FileCheck check{log, {}};
    uint32_t rc = KOVA_ReadObjects(wide(file).c_str(), on_object, &check);
    std::vector<std::string> file_lines = log.drain();
    std::printf("%s: %s\n", file.c_str(), read_error(rc, file).c_str());
    for (const CheckedObject &o : check.objects) {
        std::string what = o.name.empty() ? o.word : o.word + " " + o.name;
        std::printf("  %s: %s\n", what.c_str(), code_text(o.status).c_str());
        print_lines(o.lines, "    ");
    }
    print_lines(file_lines, "  ");
    return rc == KOVA_OK;
}

}  // namespace

int run_check(const CheckOptions &options)
{
    LogSocket log;
    uint32_t address = 0;
    int failure = 0;
    for (int attempt = 0; attempt < kAddressTries; ++attempt) {
        address = loopback_address(attempt);
        failure = log.bind(address);
        if (failure == 0) break;
    }
    if (failure != 0) {
        error("check", "cannot receive the diagnostic log" + with_reason(failure));
        return kExitFailed;
    }
    PrivateRoot root;
    if (!root.made() || !root.enter(address)) {
        error("check", "cannot make a private device root" + with_reason(errno));
        return kExitFailed;
    }
    unsigned refused = 0;
    for (const std::string &file : options.files)
        if (!check_file(file, log)) ++refused;
    size_t files = options.files.size();
    std::printf("%zu file%s checked: %zu accepted, %u refused\n", files, files == 1 ? "" : "s",
                files - refused, refused);
    return refused ? kExitFailed : kExitOk;
}

}  // namespace kova::cli
