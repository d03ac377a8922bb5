#include "vobject/write/line_writer.h"

#include <unistd.h>

#include <cerrno>
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

// The pieces of a content line, each text measured once for both the length and the
// copy: the name, ";" and each parameter text, ":", the components with ";" between
// them. A node with more pieces than fit here is measured and built by build_line.
class LineParts {
public:
    LineParts(const char *name, const PropertyNode *node) : name_(name), node_(node)
    {
        add(name);
        for (const TextNode *param = node->Params; param; param = param->Next) {
            if (!param->Text) continue;
            add(";");
            add(param->Text);
        }
        add(":");
        for (const TextNode *value = node->Values; value; value = value->Next) {
            if (value != node->Values) add(";");
            if (value->Text) add(value->Text);
        }
    }
    size_t length() const { return length_; }
    // Writes the line and its terminator into length()+1 bytes.
    void build(char *buffer) const
    {
        if (count_ > kPieces) {
            build_line(name_, node_, buffer);
            return;
        }
        char *out = buffer;
        for (size_t i = 0; i < count_; ++i) {
            const Piece &piece = pieces_[i];
            if (piece.size == 1)
                *out = *piece.data;  // the separators, without a call
            else
                std::memcpy(out, piece.data, piece.size);
            out += piece.size;
        }
        *out = '\0';
    }

private:
    struct Piece {  // left uninitialised until added
        const char *data;
        size_t size;
    };
    void add(std::string_view piece)
    {
        if (count_ < kPieces) pieces_[count_] = {piece.data(), piece.size()};
        ++count_;
        length_ += piece.size();
    }

    static constexpr size_t kPieces = 48;
    const char *name_;
    const PropertyNode *node_;
    Piece pieces_[kPieces];
    size_t count_ = 0;
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

LineOut::LineOut(FILE *file, ObjectKind kind) : file_(file), kind_(kind) {}

void LineOut::line(std::string_view text, Failure failure)
{
    size_t size = text.size() + 1;
    if (count_ == kLines || used_ + size > kCapacity) send();
    if (size > kCapacity) {
        // Too long for the buffer: out by itself, in two writes that fail as one line.
        std::fflush(file_);
        if (!write_all(text.data(), text.size()) || !write_all("\n", 1)) log_failure(failure, text);
        return;
    }
    std::memcpy(buffer_ + used_, text.data(), text.size());
    buffer_[used_ + text.size()] = '\n';
    used_ += size;
    pending_[count_++] = {used_, failure};
}

void LineOut::no_memory()
{
    send();
    KOVA_LOG_ERROR("%s", messages_for(kind_).no_memory);
}

bool LineOut::write_all(const char *bytes, size_t size)
{
    int fd = fileno(file_);
    while (size) {
        ssize_t n = ::write(fd, bytes, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

void LineOut::send()
{
    if (used_ == 0) return;
    std::fflush(file_);  // nothing goes through the stream's own buffer; keep it so
    int fd = fileno(file_);
    size_t done = 0, line = 0;
    while (done < used_) {
        ssize_t n = ::write(fd, buffer_ + done, used_ - done);
        if (n < 0 && errno == EINTR) continue;
        if (n > 0) {
            done += static_cast<size_t>(n);
            while (line < count_ && pending_[line].end <= done) ++line;
            continue;
        }
        // The line that was going out fails, whatever part of it got through; the
        // lines after it are tried again, as each would have been on its own.
        size_t start = line ? pending_[line - 1].end : 0;
        log_failure(pending_[line].failure,
                    std::string_view(buffer_ + start, pending_[line].end - 1 - start));
        done = pending_[line++].end;
    }
    used_ = count_ = 0;
}

void LineOut::log_failure(Failure failure, std::string_view line)
{
    switch (failure) {
    case Failure::Kind: KOVA_LOG_ERROR("%s", messages_for(kind_).no_write); return;
    case Failure::Folded: KOVA_LOG_ERROR("KOVA:  Unable to put folded string to file"); return;
    case Failure::Rest: KOVA_LOG_ERROR("KOVA:  Unable to put string to file"); return;
    case Failure::Required:
        KOVA_LOG_ERROR("KOVA:  Unable to put '%.*s' string to file", static_cast<int>(line.size()),
                       line.data());
        return;
    }
}

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

void write_folded(LineOut &out, std::string_view line, bool quoted_printable)
{
    if (line.empty()) return;
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
            out.line(std::string_view(piece.get(), end + 1), LineOut::Failure::Folded);
            rest.remove_prefix(end);
        }
    }
    out.line(rest, LineOut::Failure::Rest);
}

void write_property(LineOut &out, const char *name, const PropertyNode *list, bool required)
{
    if (!name) return;
    if (!list) {
        if (!required) return;
        size_t length = build_line(name, nullptr, nullptr);
        LineBuffer line(length + 1);
        if (!line.get()) return;
        build_line(name, nullptr, line.get());
        out.line(std::string_view(line.get(), length), LineOut::Failure::Required);
        return;
    }
    for (const PropertyNode *node = list; node; node = node->Next) {
        LineParts parts(name, node);
        size_t length = parts.length();
        LineBuffer line(length + 1);
        if (!line.get()) continue;
        parts.build(line.get());
        write_folded(out, std::string_view(line.get(), length),
                     (node->Flags & KOVA_FLAG_QUOTED_PRINTABLE) != 0);
    }
}

int write_fixed_line(LineOut &out, std::string_view name, std::string_view params,
                     std::string_view value)
{
    // Room for ';', ':' and the terminator.
    LineBuffer line(name.size() + params.size() + value.size() + 3);
    if (!line.get()) {
        out.no_memory();
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
    out.line(std::string_view(line.get(), sink.finish()), LineOut::Failure::Kind);
    return 0;
}

void write_plain_line(LineOut &out, const char *text) { out.line(text, LineOut::Failure::Kind); }

}  // namespace kova::vobject
