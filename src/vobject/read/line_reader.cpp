#include "vobject/read/line_reader.h"

#include <array>
#include <clocale>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <locale.h>
#include <new>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "base/file.h"
#include "base/log.h"
#include "model/alloc.h"
#include "model/record.h"

namespace kova::vobject {

using base::Status;

namespace {

// The logical line is assembled here and then copied into one exact allocation, so
// every byte of the stream is read once. The buffer keeps its size between lines. When
// it cannot grow, the rest of the line is still read (so that the next call starts at
// the next line) and only counted, for the failure message.
class Scratch {
public:
    void clear()
    {
        length_ = 0;
        wanted_ = 0;
    }
    void append(const char *bytes, size_t n)
    {
        if (wanted_ || !fits(n)) {
            wanted_ = (wanted_ ? wanted_ : length_ + 1) + n;
            return;
        }
        std::memcpy(buffer_.data() + length_, bytes, n);
        length_ += n;
    }
    void append(char c)
    {
        if (wanted_ == 0 && length_ + 1 < buffer_.size())
            buffer_[length_++] = c;  // the common case, without a call
        else
            append(&c, 1);
    }
    size_t length() const { return length_; }
    size_t wanted() const { return wanted_; }  // 0 unless the buffer could not grow
    const char *data() const { return buffer_.data(); }

private:
    bool fits(size_t n)
    {
        if (length_ + n < buffer_.size()) return true;
        size_t size = buffer_.size();
        while (length_ + n >= size) size *= 2;
        try {
            buffer_.resize(size);
        } catch (const std::bad_alloc &) {
            return false;
        }
        return true;
    }

    std::vector<char> buffer_ = std::vector<char>(4096);
    size_t length_ = 0;
    size_t wanted_ = 0;
};

Scratch &scratch()
{
    static Scratch buffer;
    return buffer;
}

// The first CR, LF or NUL in [p, end), or end.
char *find_break(char *p, char *const end)
{
#if defined(__SSE2__)
    const __m128i cr = _mm_set1_epi8('\r'), lf = _mm_set1_epi8('\n'), nul = _mm_setzero_si128();
    for (; end - p >= 16; p += 16) {
        __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
        __m128i hit = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, lf)),
                                   _mm_cmpeq_epi8(v, nul));
        if (int mask = _mm_movemask_epi8(hit))
            return p + __builtin_ctz(static_cast<unsigned>(mask));
    }
#endif
    while (p < end && *p != '\r' && *p != '\n' && *p != '\0') ++p;
    return p;
}

// Takes what the stream holds buffered of the current logical line, as the state machine
// of FileLine would take it byte by byte. An '=' takes the byte after it along, so
// between line breaks only the '=' signs right before a break matter: an odd run of
// them ends in a soft line break. The scan stops in front of whatever needs a byte the
// buffer does not hold yet and in front of a NUL (with an '=' that would pair with it),
// and leaves those to the state machine, in its Text state. Returns true when the
// logical line is complete; the stream is then at the start of the next one.
// This looks into glibc's FILE, as its getc_unlocked does; elsewhere every byte goes
// through get_char.
bool take_buffered(FILE *stream, Scratch &line)
{
#if defined(__GLIBC__)
    char *p = stream->_IO_read_ptr;
    char *const end = stream->_IO_read_end;
    if (!p) return false;  // nothing read yet
    char *run = p;         // the bytes from here on are not taken yet; an '=' here is fresh
    bool complete = false;
    while (true) {
        p = find_break(p, end);
        size_t equals = 0;
        while (p - equals > run && p[-1 - static_cast<std::ptrdiff_t>(equals)] == '=') ++equals;
        char *const pending = equals % 2 ? p - 1 : nullptr;  // an '=' still without its pair
        const size_t line_break = p < end && *p == '\r' ? 2 : 1;  // a CR takes the next byte
        if (p == end || *p == '\0' || static_cast<size_t>(end - p) < line_break + !pending) {
            // The state machine goes on in front of the break or the unpaired '='.
            if (pending) p = pending;
            line.append(run, static_cast<size_t>(p - run));
            break;
        }
        if (pending) {  // a soft line break
            line.append(run, static_cast<size_t>(pending - run));
            p += line_break;
            run = p;
            continue;
        }
        line.append(run, static_cast<size_t>(p - run));
        p += line_break;
        if (*p == ' ' || *p == '\t') {  // the next physical line continues this one
            line.append(' ');
            run = ++p;
            continue;
        }
        complete = true;  // the next line starts at p
        break;
    }
    stream->_IO_read_ptr = p;
    return complete;
#else
    (void)stream;
    (void)line;
    return false;
#endif
}

bool is_blank(char c) { return c == ' ' || c == '\t'; }

char ascii_upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

// What a byte means to the field copy below.
enum : uint8_t { kEndsName = 1, kEndsParams = 2, kBackslash = 4, kBlank = 8 };

constexpr std::array<uint8_t, 256> byte_classes()
{
    std::array<uint8_t, 256> classes{};
    classes['\0'] = kEndsName | kEndsParams;
    classes[':'] = kEndsName | kEndsParams;
    classes[';'] = kEndsName;
    classes['\\'] = kBackslash;
    classes[' '] = kBlank;
    classes['\t'] = kBlank;
    return classes;
}
constexpr std::array<uint8_t, 256> kByteClasses = byte_classes();

// Copies up to the first unescaped ':' (and, for a name, ';'); "\\;" and "\\\\" are kept as
// pairs and never stop the copy. At most capacity-1 bytes are stored, a pair only when
// both fit; the rest is skipped. Returns the stop position (a stop byte or the
// terminator); blank tells whether a space or a tab was stored.
char *copy_field_until(char *source, char *destination, size_t capacity, bool name, bool &blank,
                       size_t &stored_length)
{
    const uint8_t ends = name ? kEndsName : kEndsParams;
    size_t stored = 0;
    char *p = source;
    while (true) {
        // A run of plain bytes, copied as far as it fits.
        char *run = p;
        uint8_t k, seen = 0;
        while (!((k = kByteClasses[static_cast<unsigned char>(*p)]) & (ends | kBackslash))) {
            seen |= k;
            ++p;
        }
        size_t n = static_cast<size_t>(p - run), room = capacity - 1 - stored;
        size_t kept = n < room ? n : room;
        std::memcpy(destination + stored, run, kept);
        if (seen & kBlank) blank = blank || std::memchr(run, ' ', kept) || std::memchr(run, '\t', kept);
        stored += kept;
        if (!(k & kBackslash)) break;  // a byte that ends the field, or the terminator
        if (p[1] == ';' || p[1] == '\\') {
            if (stored + 2 < capacity) {
                destination[stored++] = p[0];
                destination[stored++] = p[1];
            }
            p += 2;
        } else {
            if (stored + 1 < capacity) destination[stored++] = '\\';
            ++p;
        }
    }
    destination[stored] = '\0';
    stored_length = stored;
    return p;
}

// SplitPropertyLine, telling whether the name and the parameter text hold blanks and
// how long they came out.
char *split_line(char *line, char *name, char *params, bool &name_blank, bool &params_blank,
                 size_t &name_length, size_t &params_length)
{
    params[0] = '\0';
    params_length = 0;
    char *p = copy_field_until(line, name, kNameCapacity, true, name_blank, name_length);
    if (*p == ';')
        p = copy_field_until(p + 1, params, kParamCapacity, false, params_blank, params_length);
    if (*p == ':') return p + 1;
    return p;  // no colon: the terminator, an empty value
}

// RemoveBlanks, with the result moved back to the start of the buffer. Returns its length.
size_t remove_blanks_in_place(char *buffer)
{
    char *text = RemoveBlanks(buffer);
    size_t length = std::strlen(text);
    std::memmove(buffer, text, length + 1);
    return length;
}

}  // namespace

char *FileLine(FILE *stream)
{
    size_t length = 0;
    return FileLine(stream, length);
}

char *FileLine(FILE *stream, size_t &string_length)
{
    Scratch &line = scratch();
    line.clear();
    size_t first_nul = SIZE_MAX;  // where a NUL byte of the stream ends the text as a string
    auto note_nul = [&](size_t at) {
        if (first_nul == SIZE_MAX) first_nul = at;
    };
    enum class State { Text, LineEnd, Equals, Done } state = State::Text;
    while (state != State::Done) {
        if (state == State::Text && take_buffered(stream, line)) break;
        int c = base::get_char(stream);
        switch (state) {
        case State::Text:
            if (c == base::kEndOfFile) {
                state = State::Done;
            } else if (c == '\r') {
                base::get_char(stream);  // taken as the LF, whatever it is
                state = State::LineEnd;
            } else if (c == '\n') {
                state = State::LineEnd;
            } else if (c == '=') {
                state = State::Equals;
            } else {
                if (c == 0) note_nul(line.length());
                line.append(static_cast<char>(c));
            }
            break;
        case State::LineEnd:
            if (c == base::kEndOfFile) {
                state = State::Done;
            } else if (c == ' ' || c == '\t') {
                line.append(' ');
                state = State::Text;
            } else {
                std::ungetc(c, stream);  // the next call starts at this line
                state = State::Done;
            }
            break;
        case State::Equals:
            if (c == base::kEndOfFile) {
                line.append('=');
                state = State::Done;
            } else if (c == '\r') {
                base::get_char(stream);
                state = State::Text;
            } else if (c == '\n') {
                state = State::Text;
            } else {
                if (c == 0) note_nul(line.length() + 1);
                const char pair[] = {'=', static_cast<char>(c)};
                line.append(pair, 2);
                state = State::Text;
            }
            break;
        case State::Done: break;
        }
    }
    if (line.wanted()) {
        KOVA_LOG_ERROR("KOVA:  Memory allocation of %d bytes failed in 'FileLine'",
                       static_cast<int>(line.wanted()));
        return nullptr;
    }
    size_t length = line.length();
    char *text = static_cast<char *>(model::allocate(length + 1));
    if (!text) {
        KOVA_LOG_ERROR("KOVA:  Memory allocation of %d bytes failed in 'FileLine'",
                       static_cast<int>(length + 1));
        return nullptr;
    }
    // No CR can reach the text: every CR is read as a line break with the byte after it.
    std::memcpy(text, line.data(), length);
    text[length] = '\0';
    string_length = first_nul < length ? first_nul : length;
    return text;
}

char *SplitPropertyLine(char *line, char *name, char *params)
{
    bool name_blank = false, params_blank = false;
    size_t name_length = 0, params_length = 0;
    return split_line(line, name, params, name_blank, params_blank, name_length, params_length);
}

char *RemoveBlanks(char *text)
{
    while (is_blank(*text)) ++text;
    char *out = text;
    for (char *in = text; *in; ++in)
        if (!is_blank(*in)) *out++ = *in;
    *out = '\0';
    return text;
}

char *CopyValue(char *destination, const char *value, size_t n)
{
    size_t length = value ? strnlen(value, n) : 0;
    if (length) std::memcpy(destination, value, length);
    destination[length] = '\0';
    return destination;
}

bool VersionAccepted(const char *version, double limit)
{
    // Read as the C library reads a double, whatever locale the caller has set.
    // The versions nearly every file carries, without the full conversion.
    if (std::strcmp(version, "2.1") == 0) return 2.1 <= limit;
    if (std::strcmp(version, "1.0") == 0) return 1.0 <= limit;
    if (std::strcmp(version, "1.1") == 0) return 1.1 <= limit;
    static locale_t c_locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    double number = c_locale ? strtod_l(version, nullptr, c_locale) : std::strtod(version, nullptr);
    return number != 0.0 && number <= limit;
}

char *NextToken(char **cursor, const char *delimiters)
{
    if (!cursor || !*cursor) return nullptr;
    char *token = *cursor;
    for (char *p = token; *p; ++p) {
        if (*p == '\\') {
            if (p[1]) ++p;
            continue;
        }
        if (std::strchr(delimiters, *p)) {
            *p = '\0';
            *cursor = p + 1;
            return token;
        }
    }
    *cursor = nullptr;
    return token;
}

TextNode *FindParam(TextNode *list, const char *word)
{
    if (!list || !word) return nullptr;
    size_t word_length = std::strlen(word);
    // Only where the first letter matches, in either case, is the rest compared.
    const char first = word[0];
    const char first_lower = first >= 'A' && first <= 'Z' ? static_cast<char>(first + 32) : first;
    for (TextNode *node = list; node; node = node->Next) {
        const char *text = node->Text;
        if (!text || !*text) continue;
        if (word_length == 0) return node;
        for (const char *start = text; *start; ++start) {
            if (*start != first && *start != first_lower) continue;
            size_t k = 1;
            while (k < word_length && start[k] && ascii_upper(start[k]) == word[k]) ++k;
            if (k == word_length) return node;
        }
    }
    return nullptr;
}

namespace {

// Where NextToken at ';' would end the token that starts at p, without changing the text:
// a backslash makes the byte after it ordinary. end is the text's terminator.
const char *token_end(const char *p, const char *end)
{
    while (true) {
#if defined(__SSE2__)
        const __m128i semicolon = _mm_set1_epi8(';'), backslash = _mm_set1_epi8('\\');
        for (; end - p >= 16; p += 16) {
            __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
            __m128i hit = _mm_or_si128(_mm_cmpeq_epi8(v, semicolon), _mm_cmpeq_epi8(v, backslash));
            if (int mask = _mm_movemask_epi8(hit)) {
                p += __builtin_ctz(static_cast<unsigned>(mask));
                break;
            }
        }
#endif
        while (p < end && *p != ';' && *p != '\\') ++p;
        if (p == end || *p == ';') return p;
        p += p + 1 < end ? 2 : 1;  // the backslash and the byte it makes ordinary
    }
}

// The first letters of the four words, either case, as the upper-case letter.
constexpr std::array<char, 256> word_starts()
{
    std::array<char, 256> starts{};
    for (char c : {'C', 'Q', 'B', '8'}) starts[static_cast<unsigned char>(c)] = c;
    for (char c : {'c', 'q', 'b'}) starts[static_cast<unsigned char>(c)] = static_cast<char>(c - 32);
    return starts;
}
constexpr std::array<char, 256> kWordStarts = word_starts();

bool starts_with_upper(const char *text, std::string_view word)
{
    for (size_t k = 0; k < word.size(); ++k)
        if (ascii_upper(text[k]) != word[k]) return false;  // stops at the terminator too
    return true;
}

// Which of the four words FillProperty looks for a text holds.
struct EncodingWords {
    bool charset = false, quoted = false, base64 = false, eight = false;

    void look_at(const char *p)  // a byte of a NUL-terminated text
    {
        switch (kWordStarts[static_cast<unsigned char>(*p)]) {
        case 0: break;
        case 'C': charset = charset || starts_with_upper(p, "CHARSET"); break;
        case 'Q': quoted = quoted || starts_with_upper(p, "QUOTED-PRINTABLE"); break;
        case 'B': base64 = base64 || starts_with_upper(p, "BASE64"); break;
        default: eight = eight || starts_with_upper(p, "8BIT"); break;
        }
    }
    // [p, end) of a text whose terminator is at end or later.
    void look_through(const char *p, const char *end)
    {
#if defined(__SSE2__)
        // Setting bit 5 folds the case of the letters: candidates are c, q, b and 8 (and
        // a control byte or two, which the comparison turns down).
        const __m128i fold = _mm_set1_epi8(0x20);
        const __m128i c = _mm_set1_epi8('c'), q = _mm_set1_epi8('q'), b = _mm_set1_epi8('b'),
                      eight_ = _mm_set1_epi8('8');
        for (; end - p >= 16; p += 16) {
            __m128i v = _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i *>(p)), fold);
            __m128i hit = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, c), _mm_cmpeq_epi8(v, q)),
                                       _mm_or_si128(_mm_cmpeq_epi8(v, b), _mm_cmpeq_epi8(v, eight_)));
            for (unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(hit)); mask;
                 mask &= mask - 1)
                look_at(p + __builtin_ctz(mask));
        }
#endif
        for (; p < end; ++p) look_at(p);
    }
    // Step 3 and 4 of FillProperty.
    uint32_t flags() const
    {
        uint32_t flags = charset ? KOVA_FLAG_CHARSET : 0;
        if (quoted)
            flags |= KOVA_FLAG_QUOTED_PRINTABLE;
        else if (base64)
            flags |= KOVA_FLAG_BASE64;
        else if (eight)
            flags |= KOVA_FLAG_8BIT;
        return flags;
    }
};

}  // namespace

namespace {

// FillProperty with the ends of the value and the parameter text known.
void fill(const char *value, const char *value_end, const char *params, const char *params_end,
          unsigned max_values, PropertyNode *node)
{
    // Split as NextToken at ';' does, copying each token straight out of the line.
    model::TextListTail param_list(&node->Params);
    const bool was_empty = param_list.count() == 0;
    unsigned tokens = 0;
    for (const char *p = params;; ++p) {
        const char *end = token_end(p, params_end);
        if (char *copy = model::copy_text(std::string_view(p, static_cast<size_t>(end - p))))
            param_list.append(copy);
        ++tokens;
        p = end;
        if (p == params_end) break;
    }
    // FindParam looks at the parameters the node holds. When they are all the tokens of
    // the text, the text itself can be looked through: none of the words holds a ';'.
    EncodingWords words;
    if (was_empty && param_list.count() == tokens) {
        words.look_through(params, params_end);
    } else {
        for (const TextNode *param = node->Params; param; param = param->Next)
            if (param->Text) words.look_through(param->Text, param->Text + std::strlen(param->Text));
    }
    node->Flags |= words.flags();

    model::TextListTail value_list(&node->Values);
    const char *p = value;
    for (unsigned i = 0; i < max_values; ++i, ++p) {
        const char *end = token_end(p, value_end);
        value_list.set(model::copy_text(std::string_view(p, static_cast<size_t>(end - p))), i);
        p = end;
        if (p == value_end) break;
    }
}

}  // namespace

void FillProperty(const char *value, const char *params, unsigned max_values, PropertyNode *node)
{
    if (!node || !params || max_values == 0) return;
    // A NUL ends the text for NextToken, so it ends it here too.
    if (!value) value = "";
    fill(value, value + std::strlen(value), params, params + std::strlen(params), max_values, node);
}

void fill_property(const char *value, const char *line_end, const LineBuffers &buffers,
                   unsigned max_values, PropertyNode *node)
{
    if (!node || !buffers.params || max_values == 0) return;
    fill(value, line_end, buffers.params, buffers.params + buffers.params_length, max_values,
         node);
}

LineBuffers::LineBuffers()
    : name(static_cast<char *>(model::allocate(kNameCapacity))),
      params(static_cast<char *>(model::allocate(kParamCapacity)))
{
    if (name) name[0] = '\0';
    if (params) params[0] = '\0';
}

LineBuffers::~LineBuffers()
{
    model::release(name);
    model::release(params);
}

LogicalLine::~LogicalLine() { model::release(text_); }

Status memory_error()
{
    KOVA_LOG_ERROR("KOVA:  Error - Memory allocation error");
    return Status::OutOfMemory;
}

bool usable_body_line(const LogicalLine &line, const char *blank_warning, Status &status)
{
    if (line.null()) {
        status = base::worse(status, Status::ParsedWithWarning);
        return false;
    }
    if (line.empty()) {
        KOVA_LOG_ERROR("%s", blank_warning);
        status = base::worse(status, Status::ParsedWithWarning);
        return false;
    }
    return true;
}

char *split_clean(char *line, LineBuffers &buffers, bool clean_params)
{
    bool name_blank = false, params_blank = false;
    char *value = split_line(line, buffers.name, buffers.params, name_blank, params_blank,
                             buffers.name_length, buffers.params_length);
    if (name_blank) buffers.name_length = remove_blanks_in_place(buffers.name);
    if (clean_params && params_blank) buffers.params_length = remove_blanks_in_place(buffers.params);
    return value;
}

Status ObjectLoop(FILE *stream, const ObjectLoopRules &rules, KOVA_ReaderCallback callback,
                  void *context)
{
    if (base::at_end(stream)) return Status::ParseError;
    // Every object builds and releases much the same small blocks: keep them for the next.
    model::RecyclingScope recycling;
    LineBuffers buffers;
    if (!buffers.ok()) return memory_error();
    Status status = Status::Parsed;
    bool object_seen = false;
    ObjectRecord record;  // this call's own, so that a callback may read another file
    while (true) {
        char *line = FileLine(stream);
        if (!line) {
            status = Status::ParseError;
            break;
        }
        char *value = SplitPropertyLine(line, buffers.name, buffers.params);
        bool keyword_matches = !rules.keyword || std::strcmp(RemoveBlanks(value), rules.keyword) == 0;
        model::release(line);
        if (std::strcmp(RemoveBlanks(buffers.name), "BEGIN") != 0 || !keyword_matches) break;

        object_seen = true;
        std::memset(&record, 0, sizeof record);
        Status body = rules.delivering_body
                          ? rules.delivering_body(stream, record, callback, context)
                          : rules.body(stream, record);
        uint32_t type = rules.object_type(record);
        if (body == Status::ParseError) {
            model::ReleaseRecord(type, &record);
            std::memset(&record, 0, sizeof record);
            status = Status::ParseError;
            break;
        }
        if (body == Status::OutOfMemory) {
            // The body read nothing for want of memory: end the file rather than hand
            // out an empty object.
            model::ReleaseRecord(type, &record);
            std::memset(&record, 0, sizeof record);
            return Status::OutOfMemory;
        }
        if (body == Status::ParsedWithWarning) status = Status::ParsedWithWarning;
        if (callback && !rules.delivering_body)
            callback(type, &record, base::to_code(status), context);
        model::ReleaseRecord(type, &record);  // zeroed again before the next object
    }
    std::memset(&record, 0, sizeof record);
    if (!object_seen) {
        KOVA_LOG_ERROR("%s", rules.no_begin_message);
        status = Status::ParseError;
    }
    return status;
}

}  // namespace kova::vobject
