// Content lines out of property nodes, and the fixed lines (BEGIN, VERSION, END, LUID,
// message headers) out of plain text. Values go out exactly as the record holds them:
// the store side has already encoded and escaped them, so nothing is escaped, converted
// or folded for length here. The one exception is quoted-printable, whose encoded line
// feeds ("=0A") end a physical line with a soft break:
//   NOTE;ENCODING=QUOTED-PRINTABLE:one=0D=0Atwo  ->  NOTE;ENCODING=QUOTED-PRINTABLE:one=0D=0A=
//                                                    two
// A line that cannot be written is logged and skipped; the object goes on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string_view>

#include "kova/kova.h"

namespace kova::vobject {

// The object kinds only differ in the name their failure messages carry.
enum class ObjectKind { VCard, VCalendar, VMessage, VNote };

// Where an object's lines go. They are gathered in memory and reach the file in as few
// writes as the buffer allows, at the latest when the object is done: one write call
// per object instead of one per line. A line that does not reach the file is logged
// then with its own message, in the order of the lines, exactly as if each line had
// been written and flushed by itself (a full device fails every line from the one it
// filled up on). Other messages of the writers first send what is gathered, so the
// log keeps its order.
class LineOut {
public:
    LineOut(FILE *file, ObjectKind kind);
    ~LineOut() { send(); }
    LineOut(const LineOut &) = delete;
    LineOut &operator=(const LineOut &) = delete;

    // What is logged for a line that does not reach the file.
    enum class Failure : uint8_t {
        Kind,      // the kind's "Unable to put vCard string to file"
        Folded,    // "Unable to put folded string to file"
        Rest,      // "Unable to put string to file"
        Required,  // "Unable to put '%s' string to file" with the line
    };
    void line(std::string_view text, Failure failure);
    // Logs the kind's message for a line that could not be built for want of memory.
    void no_memory();
    ObjectKind kind() const { return kind_; }

private:
    struct Pending {
        size_t end;  // offset just past the line's newline
        Failure failure;
    };
    void send();
    bool write_all(const char *bytes, size_t size);
    void log_failure(Failure failure, std::string_view line);

    static constexpr size_t kCapacity = 8192;
    static constexpr size_t kLines = 128;
    FILE *file_;
    ObjectKind kind_;
    size_t used_ = 0;
    size_t count_ = 0;
    Pending pending_[kLines];
    char buffer_[kCapacity];
};

// NAME;param;param:value;value with null parameter texts left out and a null value
// component reduced to its separator. Returns the length without terminator (0 for a
// null name) and, when buffer is given (length+1 bytes), writes the line there.
size_t build_line(const char *name, const PropertyNode *node, char *buffer);

// Sends line, broken after every "=0A" that is not its end when quoted_printable is set.
void write_folded(LineOut &out, std::string_view line, bool quoted_printable);

// One line per node in list order; "NAME:" for an empty list when required. A line that
// cannot be built for want of memory is skipped silently.
void write_property(LineOut &out, const char *name, const PropertyNode *list, bool required);

// NAME:value, or NAME;params:value when params is not empty. Returns 1 after logging the
// kind's message when memory runs out.
int write_fixed_line(LineOut &out, std::string_view name, std::string_view params,
                     std::string_view value);

// The text as it is, as one line (a message's blank line and body).
void write_plain_line(LineOut &out, const char *text);

}  // namespace kova::vobject
