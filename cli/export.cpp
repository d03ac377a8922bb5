// kova export: stored contacts and calendar items out as vCard and vCalendar files, by
// id or every object of a type. The store gives out nothing else: its fetch answers
// "The type is not supported" for notes and messages.
//
// Destinations: -o FILE gets every object appended in turn (a whole-store backup in one
// file), --dir DIR one file per object named after its id, and standard output a copy
// of such a file, since KOVA_WriteObject writes only to a path.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "commands.h"
#include "common.h"
#include "store_walk.h"

namespace kova::cli {
namespace {

struct Target {
    std::string id;
    KindSet kinds;
    const StoredObject *stored;  // what the walk found; null for an id on the command line
};

bool ends_with(const std::string &text, const char *suffix)
{
    std::string s(suffix);
    return text.size() >= s.size() && text.compare(text.size() - s.size(), s.size(), s) == 0;
}

// What to export when no --type is given; 0 when the command line does not say.
KindSet inferred_kinds(const ExportOptions &options)
{
    if (!options.ids.empty() || !options.dir.empty())
        return kind_bit(Kind::Contact) | kCalendarKinds;
    if (ends_with(options.output, ".vcf")) return kind_bit(Kind::Contact);
    if (ends_with(options.output, ".vcs")) return kCalendarKinds;
    return 0;
}

// A file of the tool's own that standard output gets a copy of; removed at the end.
class TempFile {
public:
    TempFile()
    {
        const char *dir = std::getenv("TMPDIR");
        path_ = std::string(dir && *dir ? dir : "/tmp") + "/kova-export-XXXXXX";
        int fd = mkstemp(path_.data());
        if (fd < 0)
            path_.clear();
        else
            close(fd);
    }
    ~TempFile()
    {
        if (!path_.empty()) unlink(path_.c_str());
    }
    TempFile(const TempFile &) = delete;
    TempFile &operator=(const TempFile &) = delete;
    const std::string &path() const { return path_; }

private:
    std::string path_;
};

bool copy_to_stdout(const std::string &path)
{
    FILE *in = std::fopen(path.c_str(), "rb");
    if (!in) return false;
    char buffer[8192];
    size_t n;
    bool ok = true;
    while ((n = std::fread(buffer, 1, sizeof buffer, in)) > 0)
        ok = std::fwrite(buffer, 1, n, stdout) == n && ok;
    std::fclose(in);
    return std::fflush(stdout) == 0 && ok;
}

// Empties (or makes) the one output file, so that every object can be appended to it.
bool start_file(const std::string &path)
{
    FILE *f = std::fopen(path.c_str(), "w");
    if (!f) {
        error(path, code_text(KOVA_CANNOT_OPEN_FILE) + with_reason(errno));
        return false;
    }
    std::fclose(f);
    return true;
}

bool start_dir(const std::string &dir)
{
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (!ec && !std::filesystem::is_directory(dir, ec))
        ec = std::make_error_code(std::errc::not_a_directory);
    if (!ec && access(dir.c_str(), W_OK) != 0) ec = std::error_code(errno, std::generic_category());
    if (ec) error(dir, "cannot write files here (" + ec.message() + ")");
    return !ec;
}

}  // namespace

int run_export(const ExportOptions &options)
{
    KindSet kinds = options.type.empty() ? inferred_kinds(options)
                                         : kinds_of_word(options.type).value_or(0);
    if (kinds & (kind_bit(Kind::Note) | kind_bit(Kind::Message))) {
        error(options.type, code_text(KOVA_TYPE_NOT_SUPPORTED) +
                                " (the store gives out contacts and calendar items only)");
        return kExitUsage;
    }
    if (!kinds) {
        error("export", "say what to export: ids, --type contact or --type calendar");
        return kExitUsage;
    }
    bool to_stdout = options.output.empty() && options.dir.empty();
    TempFile temp;
    std::string file = to_stdout ? temp.path() : options.output;
    if (to_stdout && file.empty()) {
        error("export", "cannot make a temporary file" + with_reason(errno));
        return kExitFailed;
    }
    if (options.dir.empty() ? !start_file(file) : !start_dir(options.dir)) return kExitFailed;
    if (!open_store()) return kExitNoStore;

    std::vector<Target> targets;
    std::optional<std::vector<StoredObject>> stored;
    for (const std::string &id : options.ids) targets.push_back({id, kinds, nullptr});
    if (options.ids.empty()) {
        stored = stored_objects(kinds);
        if (!stored) {
            report_no_store(code_text(KOVA_PIM_ERROR));
            return kExitNoStore;
        }
        for (const StoredObject &o : *stored) targets.push_back({o.id, kind_bit(o.kind), &o});
    }

    unsigned written = 0, failed = 0;
    for (const Target &target : targets) {
        Record record;
        uint32_t type = KOVA_TYPE_CONTACT;
        uint32_t rc = fetch_object(target.id, target.kinds, record, type);
        if (rc != KOVA_OK) {
            error(target.id, code_text(rc));
            ++failed;
            continue;
        }
        std::string name = display_name(type, *record.get());
        std::string word = type_word(type, *record.get());
        if (target.stored) {  // the walk knows the item's kind, and its title as a name
            word = kind_word(target.stored->kind);
            if (name.empty()) name = target.stored->name;
        }
        std::string path = file;
        if (!options.dir.empty())
            path = options.dir + "/" + target.id + (type == KOVA_TYPE_CONTACT ? ".vcf" : ".vcs");
        rc = KOVA_WriteObject(type, record.get(), wide(path).c_str(), options.dir.empty() ? 0 : 1);
        if (rc == KOVA_CANNOT_OPEN_FILE) record.release(type);  // left untouched then
        if (rc != KOVA_OK) {
            error(path, code_text(rc));
            ++failed;
            continue;
        }
        ++written;
        if (!to_stdout) std::printf("%s\n", object_line(word, target.id, name).c_str());
    }
    KOVA_Close();

    if (to_stdout) {
        if (!copy_to_stdout(file)) {
            error("standard output", std::string("cannot write") + with_reason(errno));
            return kExitFailed;
        }
    } else {
        std::printf("%u object%s written to %s\n", written, written == 1 ? "" : "s",
                    options.dir.empty() ? options.output.c_str() : options.dir.c_str());
    }
    return failed ? kExitFailed : kExitOk;
}

}  // namespace kova::cli
