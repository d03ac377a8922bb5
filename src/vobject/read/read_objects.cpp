#include "vobject/read/read_objects.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "base/file.h"
#include "vobject/read/other_readers.h"
#include "vobject/read/vcard_reader.h"

namespace kova::vobject {

using base::Status;

constexpr size_t kStreamBuffer = 64 * 1024;

const char *ReadField(char *destination, size_t capacity, const char *source,
                      const char *delimiters)
{
    size_t stored = 0;
    const char *p = source;
    while (*p && !std::strchr(delimiters, *p)) {
        char c = *p;
        if (c == '\\' && (p[1] == ';' || p[1] == '\\')) c = *++p;
        if (stored + 1 < capacity) destination[stored++] = c;
        ++p;
    }
    destination[stored] = '\0';
    return p;
}

Status read_objects(const char16_t *path, KOVA_ReaderCallback callback, void *context)
{
    // Larger reads than the default 4 KiB: the readers spend less time in the kernel.
    // glibc takes the size only with a buffer; without one the default stays. Declared
    // before the file, so that it outlives the stream.
    std::unique_ptr<char, decltype(&std::free)> buffer(
        static_cast<char *>(std::malloc(kStreamBuffer)), &std::free);
    base::File file;
    if (file.open(path, "rb") != 0) return Status::CannotOpenFile;
    FILE *stream = file.get();
    if (buffer) std::setvbuf(stream, buffer.get(), _IOFBF, kStreamBuffer);

    char line[base::kReadLineCapacity] = "";
    if (base::read_line(line, stream) != 0) line[0] = '\0';
    base::rewind_file(stream);

    char name[base::kReadLineCapacity];
    const char *stop = ReadField(name, sizeof name, line, ":");
    if (!std::strstr(name, "BEGIN") || *stop != ':') return Status::NotAnObject;
    char keyword[base::kReadLineCapacity];
    ReadField(keyword, sizeof keyword, stop + 1, "");

    if (std::strcmp(keyword, "VCARD") == 0) return read_vcards(stream, callback, context);
    if (std::strcmp(keyword, "VCALENDAR") == 0) return read_vcalendars(stream, callback, context);
    if (std::strcmp(keyword, "VNOTE") == 0) return read_vnotes(stream, callback, context);
    if (std::strcmp(keyword, "VMSG") == 0) return read_vmessages(stream, callback, context);
    return Status::NotAnObject;
}

}  // namespace kova::vobject
