// QpDecode and QpEncode on arbitrary bytes: measuring agrees with writing, a short
// buffer gets a terminated prefix of the whole result, and decoding an encoding gives
// the bytes back.
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "convert/quoted_printable.h"

using namespace kova::convert;

namespace {

using Codec = size_t (*)(std::string_view, char *, size_t);

std::string run(Codec codec, std::string_view in, size_t short_size)
{
    size_t length = codec(in, nullptr, 0);
    std::vector<char> full(length + 1, '\x7f');
    if (codec(in, full.data(), full.size()) != length || full[length] != '\0') __builtin_trap();
    // A short buffer, with a guard byte after it that must stay untouched.
    short_size = short_size % (length + 2);
    std::vector<char> part(short_size + 1, '\x7f');
    codec(in, short_size ? part.data() : nullptr, short_size);
    if (part[short_size] != '\x7f') __builtin_trap();
    // Pieces ("=XX" is one) go in whole or not at all, so up to two bytes of room may
    // stay unused. A result with a NUL byte in it has no visible end; it is left out.
    if (short_size && !std::memchr(full.data(), '\0', length)) {
        size_t kept = std::strlen(part.data());
        if (kept >= short_size || (kept != length && kept + 3 < short_size)) __builtin_trap();
        if (std::memcmp(part.data(), full.data(), kept) != 0) __builtin_trap();
    }
    return std::string(full.data(), length);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1) return 0;
    size_t short_size = data[0];
    std::string_view in(reinterpret_cast<const char *>(data) + 1, size - 1);
    run(QpDecode, in, short_size);
    std::string encoded = run(QpEncode, in, short_size);
    std::string decoded = run(QpDecode, encoded, short_size);
    if (decoded != in) __builtin_trap();
    return 0;
}
