#include "convert/quoted_printable.h"

#include <cstring>

namespace kova::convert {
namespace {

// Collects the result, writing into the caller's buffer while there is room for the
// piece and the terminator.
class Sink {
public:
    Sink(char *out, size_t size) : out_(out), size_(size) {}
    ~Sink()
    {
        if (out_ && size_ > 0) out_[written_] = '\0';
    }
    Sink(const Sink &) = delete;
    Sink &operator=(const Sink &) = delete;

    void put(char c)
    {
        if (out_ && written_ == length_ && length_ + 1 < size_) out_[written_++] = c;
        ++length_;
    }
    void put(const char *piece, size_t n)
    {
        if (out_ && written_ == length_ && length_ + n < size_) {
            std::memcpy(out_ + written_, piece, n);
            written_ += n;
        }
        length_ += n;
    }
    size_t length() const { return length_; }

private:
    char *out_;
    size_t size_;
    size_t written_ = 0;
    size_t length_ = 0;
};

bool stays_plain(unsigned char c)
{
    return c == ' ' || c == '\t' ||
           (c >= 33 && c <= 126 && c != '=' && c != ':' && c != ';' && c != '\\');
}

int hex_value(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

}  // namespace

size_t QpEncode(std::string_view bytes, char *out, size_t size)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    Sink sink(out, size);
    for (char c : bytes) {
        auto b = static_cast<unsigned char>(c);
        if (stays_plain(b)) {
            sink.put(c);
        } else {
            const char escape[] = {'=', kHex[b >> 4], kHex[b & 0xF]};
            sink.put(escape, sizeof escape);
        }
    }
    return sink.length();
}

size_t QpDecode(std::string_view text, char *out, size_t size)
{
    Sink sink(out, size);
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '=') {
            sink.put(text[i]);
            continue;
        }
        if (text.size() - i < 3) break;
        int value = 16 * hex_value(text[i + 1]) + hex_value(text[i + 2]);
        sink.put(static_cast<char>(static_cast<unsigned char>(value & 0xFF)));
        i += 2;
    }
    return sink.length();
}

}  // namespace kova::convert
