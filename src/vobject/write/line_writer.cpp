#include "vobject/write/line_writer.h"

#include <cstring>

#include "base/file.h"
#include "base/log.h"
#include "model/alloc.h"

namespace kova::vobject {
namespace {

// Counts, and copies too when there is somewhere to copy to, so that measuring and
// building a line can never disagree.
class LineSink {
public:
    explicit LineSink(char *buffer) : buffer_(buffer) {}
    void add(std::string_view text)
    {
        if (buffer_ && !text.empty()) std::memcpy(buffer_ + length_, text.data(), text.size());
        length_ += text.size();
    }
    size_t finish()
    {
        if (buffer_) buffer_[length_] = '\0';
        return length_;
    }

private:
    char *buffer_;
    size_t length_ = 0;
};

struct KindMessages {
    const char *no_memory;
    const char *no_write;
};

KindMessages messages_for(ObjectKind kind)
{
    switch (kind) {
    case ObjectKind::VCard:
        return {"KOVA:  Insufficient memory to generate vCard string",
                "KOVA:  Unable to put vCard string to file"};
    case ObjectKind::VCalendar:
        return {"KOVA:  Insufficient memory to generate vCalendar string",
                "KOVA:  Unable to put vCalendar string to file"};
    case ObjectKind::VMessage:
        return {"KOVA:  Insufficient memory to generate vMessage string",
                "KOVA:  Unable to put vMessage string to file"};
    case ObjectKind::VNote:
        return {"KOVA:  Insufficient memory to generate vNote string",
                "KOVA:  Unable to put vNote string to file"};
    }
    return {"", ""};
}

// A heap line from model::allocate, freed on every way out.
class LineBuffer {
public:
    explicit LineBuffer(size_t capacity) : text_(static_cast<char *>(model::allocate(capacity))) {}
    ~LineBuffer() { model::release(text_); }
    LineBuffer(const LineBuffer &) = delete;
    LineBuffer &operator=(const LineBuffer &) = delete;
    char *get() const { return text_; }

private:
    char *text_;
};

constexpr std::string_view kEncodedLineFeed = "=0A";

}  // namespace

size_t build_line(const char *name, const PropertyNode *node, char *buffer)
{
    if (!name) return 0;
    LineSink line(buffer);
    line.add(name);
    if (node) {
        for (const TextNode *param = node->Params; param; param = param->Next) {
            if (!param->Text) continue;
            line.add(";");
            line.add(param->Text);
        }
    }
    line.add(":");
    if (node) {
        for (const TextNode *value = node->Values; value; value = value->Next) {
            if (value != node->Values) line.add(";");
            if (value->Text) line.add(value->Text);
        }
    }
    return line.finish();
}

int write_folded(FILE *file, const char *line, bool quoted_printable)
{
    if (!line || !*line) return 0;
    int result = 0;
    std::string_view rest = line;
    if (quoted_printable) {
        while (true) {
            size_t at = rest.find(kEncodedLineFeed);
            if (at == std::string_view::npos) break;
            size_t end = at + kEncodedLineFeed.size();
            if (end == rest.size()) break;  // a line feed that ends the value needs no break
            LineBuffer piece(end + 2);
            if (!piece.get()) break;
            std::memcpy(piece.get(), rest.data(), end);
            piece.get()[end] = '=';
            piece.get()[end + 1] = '\0';
            if (base::write_line(file, piece.get()) != 0) {
                KOVA_LOG_ERROR("KOVA:  Unable to put folded string to file");
                result = 1;
            }
            rest.remove_prefix(end);
        }
    }
    // rest always ends where line ends, so its terminator is line's.
    if (base::write_line(file, rest.data()) != 0) {
        KOVA_LOG_ERROR("KOVA:  Unable to put string to file");
        result = 1;
    }
    return result;
}

int write_property(FILE *file, const char *name, const PropertyNode *list, bool required)
{
    if (!name) return 0;
    if (!list) {
        if (!required) return 0;
        size_t length = build_line(name, nullptr, nullptr);
        LineBuffer line(length + 1);
        if (!line.get()) return 0;
        build_line(name, nullptr, line.get());
        if (base::write_line(file, line.get()) != 0)
            KOVA_LOG_ERROR("KOVA:  Unable to put '%s' string to file", line.get());
        return 0;
    }
    for (const PropertyNode *node = list; node; node = node->Next) {
        size_t length = build_line(name, node, nullptr);
        if (length == 0) continue;
        LineBuffer line(length + 1);
        if (!line.get()) continue;
        build_line(name, node, line.get());
        write_folded(file, line.get(), (node->Flags & KOVA_FLAG_QUOTED_PRINTABLE) != 0);
    }
    return 0;
}

int write_fixed_line(FILE *file, ObjectKind kind, std::string_view name, std::string_view params,
                     std::string_view value)
{
    // Room for ';', ':' and the terminator.
    LineBuffer line(name.size() + params.size() + value.size() + 3);
    if (!line.get()) {
        KOVA_LOG_ERROR("%s", messages_for(kind).no_memory);
        return 1;
    }
    LineSink sink(line.get());
    sink.add(name);
    if (!params.empty()) {
        sink.add(";");
        sink.add(params);
    }
    sink.add(":");
    sink.add(value);
    sink.finish();
    return write_plain_line(file, kind, line.get());
}

int write_plain_line(FILE *file, ObjectKind kind, const char *text)
{
    if (base::write_line(file, text) == 0) return 0;
    KOVA_LOG_ERROR("%s", messages_for(kind).no_write);
    return 1;
}

}  // namespace kova::vobject
