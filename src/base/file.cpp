#include "base/file.h"

#include <cerrno>
#include <cstring>
#include <new>
#include <string>

#include "base/log.h"
#include "base/utf16.h"

namespace kova::base {

int open_file(FILE **handle, const char16_t *path, const char *mode)
{
    std::string name = path_to_utf8(path);
    *handle = std::fopen(name.c_str(), mode);
    if (*handle) return 0;
    if (std::strcmp(mode, "w+") == 0)
        KOVA_LOG_ERROR("KOVA:  Unable to create or open file '%s' for writing", name.c_str());
    else if (std::strcmp(mode, "r") == 0)
        KOVA_LOG_ERROR("KOVA:  Unable to open file '%s' for reading", name.c_str());
    else
        KOVA_LOG_ERROR("KOVA:  Unable to open file '%s'", name.c_str());
    return 1;
}

// Runs from destructors, so nothing may escape: a name that cannot be converted for want
// of memory is logged empty.
int close_file(FILE *handle, const char16_t *path)
{
    if (std::fclose(handle) == 0) return 0;
    std::string name;
    try {
        name = path_to_utf8(path);
    } catch (const std::bad_alloc &) {
    }
    KOVA_LOG_ERROR("KOVA:  Unable to close file '%s'", name.c_str());
    return 1;
}

int read_line(char *buffer, FILE *handle)
{
    if (!std::fgets(buffer, kReadLineCapacity, handle)) return 1;
    buffer[std::strcspn(buffer, "\n")] = '\0';
    buffer[std::strcspn(buffer, "\r")] = '\0';
    return 0;
}

int write_line(FILE *handle, const char *text)
{
    // Flushed per line so that a full device is reported for the line that met it,
    // not later at the close.
    if (std::fprintf(handle, "%s\n", text) < 0) return 1;
    return std::fflush(handle) != 0 ? 1 : 0;
}

// Runs while records are released, where nothing may escape: without memory for the
// name the file stays, and that is logged as a failed removal.
int remove_file(const char16_t *path)
{
    std::string name;
    try {
        name = path_to_utf8(path);
    } catch (const std::bad_alloc &) {
        KOVA_LOG_ERROR("KOVA:  Unable to remove file (file=%s)", "");
        KOVA_LOG_ERROR("KOVA:  Error: 0x%08x", static_cast<unsigned>(ENOMEM));
        return 1;
    }
    if (std::remove(name.c_str()) == 0) return 0;
    unsigned error = static_cast<unsigned>(errno);
    KOVA_LOG_ERROR("KOVA:  Unable to remove file (file=%s)", name.c_str());
    KOVA_LOG_ERROR("KOVA:  Error: 0x%08x", error);
    return 1;
}

}  // namespace kova::base
