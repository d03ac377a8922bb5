// kova import: every object of each file into the store. A file is read twice: first
// without a callback, which validates the whole file, and only when that succeeds again
// with a callback that stores each object, so a refused file leaves the store as it was.
#include <cstdio>
#include <string>

#include "commands.h"
#include "common.h"

namespace kova::cli {
namespace {

struct ImportRun {
    const ImportOptions &options;
    const std::string &file;
    Progress &progress;
    unsigned objects = 0, added = 0, updated = 0, failed = 0;
};

// Adds the object, or with --update modifies the one KOVA_FindObject matches.
uint32_t store(const ImportOptions &options, uint32_t type, ObjectRecord *record, char *id,
               bool &updated)
{
    updated = false;
    if (options.update && KOVA_FindObject(type, record, id) == 1) {
        updated = true;
        return KOVA_ModifyObject(type, id, record);
    }
    id[0] = '\0';
    return KOVA_AddObject(type, record, id);
}

void import_object(uint32_t type, ObjectRecord *record, uint32_t, void *context)
{
    ImportRun &run = *static_cast<ImportRun *>(context);
    ++run.objects;
    std::string name = display_name(type, *record);
    const char *word = type_word(type, *record);
    char id[KOVA_ID_CAPACITY] = "";
    uint32_t rc = KOVA_OK;
    bool updated = false;
    if (!run.options.dry_run) rc = store(run.options, type, record, id, updated);
    run.progress.make_room();
    if (rc != KOVA_OK) {
        ++run.failed;
        error(run.file, std::string(word) + " \"" + name + "\": " + code_text(rc));
    } else {
        ++(updated ? run.updated : run.added);
        std::printf("%s\n", object_line(word, id, name).c_str());
        std::fflush(stdout);
    }
    run.progress.step(run.objects);
}

std::string count(unsigned n, const char *thing)
{
    return std::to_string(n) + " " + thing + (n == 1 ? "" : "s");
}

}  // namespace

int run_import(const ImportOptions &options)
{
    if (!options.dry_run && !open_store()) return kExitNoStore;
    unsigned files = 0, refused = 0, objects = 0, added = 0, updated = 0, failed = 0;
    for (const std::string &file : options.files) {
        if (auto reason = not_a_file(file)) {
            error(file, *reason);
            ++refused;
            continue;
        }
        std::u16string path = wide(file);
        uint32_t rc = KOVA_ReadObjects(path.c_str(), nullptr, nullptr);
        if (rc != KOVA_OK) {
            std::string reason = read_error(rc, file);
            if (rc != KOVA_CANNOT_OPEN_FILE) reason += " (kova check tells why)";
            error(file, reason);
            ++refused;
            continue;
        }
        Progress progress("importing " + file);
        ImportRun run{options, file, progress};
        KOVA_ReadObjects(path.c_str(), import_object, &run);
        ++files;
        objects += run.objects;
        added += run.added;
        updated += run.updated;
        failed += run.failed;
    }
    std::string summary = count(objects, "object") + " from " + count(files, "file") + ": ";
    if (options.dry_run) {
        summary += "nothing stored (dry run)";
    } else {
        summary += std::to_string(added) + " added, " + std::to_string(updated) + " updated";
        if (failed) summary += ", " + std::to_string(failed) + " not stored";
    }
    if (refused) summary += "; " + count(refused, "file") + " refused";
    std::printf("%s\n", summary.c_str());
    if (!options.dry_run) KOVA_Close();
    return refused || failed ? kExitFailed : kExitOk;
}

}  // namespace kova::cli
