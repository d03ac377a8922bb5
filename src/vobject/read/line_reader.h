// Logical lines and property lines, shared by the four readers.
//
// A logical line is one or more physical lines: a line that starts with a space or a
// tab continues the previous one (the break and that first blank become one space),
// and '=' right before a line break is a soft line break whatever the encoding:
//   NOTE:abc=\r\ndef     -> NOTE:abcdef
//   NOTE:abc\r\n\tdef    -> NOTE:abc def
// A property line splits into a name (at most 51 bytes), a parameter text (at most
// 127 bytes, semicolons kept) and the value, which is the rest of the line:
//   TEL;TYPE=HOME;VOICE:+1 555 -> "TEL", "TYPE=HOME;VOICE", "+1 555"
// Values stay raw; quoted-printable and character sets are decoded where they are used.
#pragma once

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "base/status.h"
#include "kova/kova.h"

namespace kova::vobject {

constexpr size_t kNameCapacity = 52;
constexpr size_t kParamCapacity = 128;

// The next logical line as a heap text from model::allocate (the caller frees it), the
// empty text at the end of the stream, or null when its buffer cannot be allocated.
char *FileLine(FILE *stream);

// Fills name (52 bytes) and params (128 bytes); returns the value inside line.
char *SplitPropertyLine(char *line, char *name, char *params);

// Drops every space and tab of text in place; returns its first non-blank character.
char *RemoveBlanks(char *text);

// Copies at most n bytes of value and terminates destination.
char *CopyValue(char *destination, const char *value, size_t n);

// True when the text's leading number is nonzero and not above the limit.
bool VersionAccepted(const char *version, double limit);

// Next token of *cursor up to a delimiter (overwritten with NUL; a backslash makes the
// byte after it ordinary); null once the cursor is exhausted.
char *NextToken(char **cursor, const char *delimiters);

// Names are compared exactly; the length and the first byte part nearly all of them
// before the bytes are compared.
inline bool same_name(std::string_view a, std::string_view b)
{
    return a.size() == b.size() &&
           (a.empty() || (a[0] == b[0] && std::memcmp(a.data(), b.data(), a.size()) == 0));
}

// Fills a node's Params, Flags and at most max_values value components.
void FillProperty(const char *value, const char *params, unsigned max_values,
                  PropertyNode *node);

// First parameter whose upper-cased text contains word (given in upper case).
TextNode *FindParam(TextNode *list, const char *word);

// The name and parameter buffers of one reader level, from model::allocate.
class LineBuffers {
public:
    LineBuffers();
    ~LineBuffers();
    LineBuffers(const LineBuffers &) = delete;
    LineBuffers &operator=(const LineBuffers &) = delete;
    bool ok() const { return name && params; }
    std::string_view name_text() const { return {name, name_length}; }
    std::string_view params_text() const { return {params, params_length}; }

    char *name = nullptr;
    char *params = nullptr;
    size_t name_length = 0;  // as split_clean left them
    size_t params_length = 0;
};

// FileLine, also giving the length of the text as a string: up to its first NUL, if
// the stream held one.
char *FileLine(FILE *stream, size_t &length);

// Owns one logical line.
class LogicalLine {
public:
    explicit LogicalLine(FILE *stream) : text_(FileLine(stream, length_)) {}
    ~LogicalLine();
    LogicalLine(const LogicalLine &) = delete;
    LogicalLine &operator=(const LogicalLine &) = delete;
    bool null() const { return text_ == nullptr; }
    bool empty() const { return text_ && text_[0] == '\0'; }
    char *get() const { return text_; }
    // Where the text ends: its terminator, or the first NUL the line held.
    const char *end() const { return text_ + length_; }

private:
    size_t length_ = 0;  // before text_: FileLine sets it while text_ is initialised
    char *text_;
};

// Logs "Memory allocation error" and returns 11, for a level without its buffers.
base::Status memory_error();

// Whether a body goes on with this line. A line that could not be allocated and an
// empty line (logged with blank_warning) are skipped and make the status 18.
bool usable_body_line(const LogicalLine &line, const char *blank_warning, base::Status &status);

// Splits line into the buffers and removes the blanks from the name and, when
// clean_params is set, from the parameter text. Returns the value.
char *split_clean(char *line, LineBuffers &buffers, bool clean_params = true);

// FillProperty for a line that split_clean split: value runs up to line_end (a logical
// line's end()) and the parameter text is that of the buffers; nothing is measured again.
void fill_property(const char *value, const char *line_end, const LineBuffers &buffers,
                   unsigned max_values, PropertyNode *node);

// What ObjectLoop needs to know of one reader.
struct ObjectLoopRules {
    const char *keyword;           // the BEGIN value to match; null accepts any
    const char *no_begin_message;  // logged when the file holds no object at all
    // Reads one object after its BEGIN line into the zeroed working record.
    base::Status (*body)(FILE *stream, ObjectRecord &record);
    // The object type reported to the callback, from the record that was read.
    uint32_t (*object_type)(const ObjectRecord &record);
    // Used instead of body by a reader whose block holds several objects (a VCALENDAR
    // with its items): it hands each to the callback and releases it itself. The loop
    // then calls back for nothing and only releases what an item that failed left.
    base::Status (*delivering_body)(FILE *stream, ObjectRecord &record,
                                    KOVA_ReaderCallback callback, void *context) = nullptr;
};

// Reads objects until the first line that is not a matching BEGIN line; each goes to
// the callback (when given) and is then released. Returns 17, 18, 19 or 11.
base::Status ObjectLoop(FILE *stream, const ObjectLoopRules &rules,
                        KOVA_ReaderCallback callback, void *context);

}  // namespace kova::vobject
