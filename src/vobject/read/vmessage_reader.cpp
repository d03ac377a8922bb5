#include "vobject/read/vmessage_reader.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <string_view>
#include <vector>

#include "base/file.h"
#include "base/log.h"
#include "model/alloc.h"
#include "model/record.h"
#include "vobject/read/line_reader.h"
#include "vobject/read/vcard_reader.h"

// Five levels: object loop, message, envelope, body and content. The first three read
// logical lines; the content is read as raw lines so that the text keeps its own line
// structure (a leading blank or a trailing '=' is content, not folding).
//
// Memory: a level that cannot get its own working buffers (name and parameter buffers,
// the boundary, the multipart delimiter) ends the file with 11, as the object loop does.
// Content that does not fit (a line, a buffer that cannot grow, one more part) is
// dropped without a remark and the message still goes out.

namespace kova::vobject {

using base::Status;
using std::string_view;

namespace {

struct ReleaseText {
    void operator()(char *text) const { model::release(text); }
};
using OwnedText = std::unique_ptr<char, ReleaseText>;

constexpr uint32_t kFirstCapacity = 20480;
constexpr char kBodyEnd[] = "END:VBODY";

// A fixed array of the record with its size.
struct Field {
    char *text = nullptr;
    size_t capacity = 0;
    explicit operator bool() const { return text != nullptr; }
};

template <size_t N> Field field(char (&array)[N]) { return {array, N}; }

Field message_field(MessageRecord &m, string_view name)
{
    if (name == "VERSION") return field(m.Version);
    if (name == "X-IRMC-LUID") return field(m.Luid);
    if (name == "X-IRMC-STATUS") return field(m.IrmcStatus);
    if (name == "X-IRMC-TYPE") return field(m.IrmcType);
    if (name == "X-BT-FOLDER") return field(m.Folder);
    return {};
}

// Header names match in this spelling only: "subject" or "DATE" is an unknown header.
Field body_field(MessageRecord &m, string_view name)
{
    if (name == "Date") return field(m.Date);
    if (name == "From") return field(m.From);
    if (name == "To") return field(m.To);
    if (name == "Cc") return field(m.Cc);
    if (name == "Reply-To") return field(m.ReplyTo);
    if (name == "Subject") return field(m.Subject);
    if (name == "Mime-Version") return field(m.MimeVersion);
    if (name == "Content-Type") return field(m.MainPart.ContentType);
    if (name == "Content-Transfer-Encoding") return field(m.MainPart.ContentTransferEncoding);
    return {};
}

// A value longer than this is cut where it is kept and makes the message a warning.
size_t value_limit(MessageRecord &m, string_view name)
{
    if (Field f = message_field(m, name)) return f.capacity - 1;
    if (Field f = body_field(m, name)) return f.capacity - 1;
    if (name == "BEGIN" || name == "END") return 5;
    return 0;
}

void copy_into(Field f, const char *value) { CopyValue(f.text, value, f.capacity - 1); }

// An originator or recipient vCard is read to its END and dropped. It goes into a
// scratch record, so the message keeps the Luid, Version and folder it read before.
void skip_vcard(FILE *stream)
{
    ObjectRecord scratch;
    std::memset(&scratch, 0, sizeof scratch);
    read_vcard_body(stream, scratch.Contact);
    model::ReleaseRecord(KOVA_TYPE_CONTACT, &scratch);
}

// "multipart/mixed; boundary=abc; x=1" gives abc; a quoted boundary runs to the next
// quote: boundary="abc def" gives abc def. The words are matched in lower case only.
std::optional<string_view> find_boundary(const char *content_type)
{
    const char *multipart = std::strstr(content_type, "multipart");
    if (!multipart) return std::nullopt;
    const char *boundary = std::strstr(multipart + std::strlen("multipart"), "boundary");
    if (!boundary) return std::nullopt;
    const char *equals = std::strchr(boundary + std::strlen("boundary"), '=');
    if (!equals) return std::nullopt;
    const char *start = equals + 1;
    size_t length;
    if (*start == '"') {
        ++start;
        const char *quote = std::strchr(start, '"');
        length = quote ? static_cast<size_t>(quote - start) : std::strlen(start);
    } else {
        length = std::strcspn(start, "; ");
    }
    return string_view(start, length);
}

// MIME multipart content up to the END:VBODY after the closing delimiter. The first
// part's headers and text go into MainPart, later parts are chained from it; preamble
// and epilogue are dropped. Part headers are raw lines, so a folded one is unexpected.
Status read_multipart(FILE *stream, MessageRecord &m, const char *boundary)
{
    KOVA_LOG_TRACE("KOVA:  Parsing Multipart Content (boundary='%s')", boundary);
    size_t boundary_length = std::strlen(boundary);
    OwnedText delimiter(static_cast<char *>(model::allocate(boundary_length + 3)));
    LineBuffers buffers;
    if (!delimiter || !buffers.ok()) return memory_error();
    std::memcpy(delimiter.get(), "--", 2);
    std::memcpy(delimiter.get() + 2, boundary, boundary_length + 1);

    enum class State { Preamble, Headers, Epilogue } state = State::Preamble;
    ContentPart *current = &m.MainPart;
    Status status = Status::Parsed;
    bool finished = false;
    while (!base::at_end(stream) && status == Status::Parsed && !finished) {
        OwnedText line(ContentLine(stream));
        if (!line) continue;  // dropped, like a line that does not fit
        switch (state) {
        case State::Preamble:
            if (std::strcmp(line.get(), delimiter.get()) == 0) state = State::Headers;
            break;
        case State::Epilogue:
            if (std::strcmp(line.get(), kBodyEnd) == 0) finished = true;
            break;
        case State::Headers: {
            if (line.get()[0] == '\0') {
                bool closing = false;
                if (ReadContent(stream, *current, delimiter.get(), &closing) ==
                    Status::ParseError) {
                    status = Status::ParseError;
                } else if (closing) {
                    state = State::Epilogue;
                } else if (current->Next) {
                    // A second envelope's body: its parts join those read before, as
                    // its first part joins MainPart, and the chain stays owned.
                    current = current->Next;
                } else {
                    auto *next =
                        static_cast<ContentPart *>(model::allocate_zeroed(sizeof(ContentPart)));
                    if (!next) {
                        // The parts read so far stay; the rest of the body is dropped
                        // and read past by the envelope.
                        finished = true;
                        break;
                    }
                    current->Next = next;
                    current = next;
                }
                break;
            }
            char *value = split_clean(line.get(), buffers, false);
            if (std::strcmp(buffers.name, "Content-Type") == 0) {
                copy_into(field(current->ContentType), value);
            } else if (std::strcmp(buffers.name, "Content-Transfer-Encoding") == 0) {
                copy_into(field(current->ContentTransferEncoding), value);
            } else {
                KOVA_LOG_TRACE("KOVA:  Warning - Parser encountered unexpected property: '%s'",
                               buffers.name);
                status = Status::ParsedWithWarning;
            }
            break;
        }
        }
    }
    return status;
}

// The content after the body's empty line: multipart when the Content-Type names a
// boundary, else one part up to END:VBODY.
Status read_body_content(FILE *stream, MessageRecord &m)
{
    if (std::optional<string_view> boundary = find_boundary(m.MainPart.ContentType)) {
        OwnedText text(model::copy_text(*boundary));
        if (!text) return memory_error();
        return read_multipart(stream, m, text.get());
    }
    Status status = ReadContent(stream, m.MainPart, kBodyEnd, nullptr);
    // A last line that did not fit is dropped without a remark.
    return status == Status::OutOfMemory ? Status::Parsed : status;
}

// The VBODY lines after its BEGIN line: headers, an empty line, the content.
Status read_body(FILE *stream, MessageRecord &m)
{
    LineBuffers buffers;
    if (!buffers.ok()) return memory_error();
    Status status = Status::Parsed;
    bool done = false;
    while (!base::at_end(stream) && !done) {
        LogicalLine line(stream);
        if (line.null()) {
            status = base::worse(status, Status::ParsedWithWarning);
            continue;
        }
        if (line.empty()) {
            // The content's result replaces any remark about the headers.
            status = read_body_content(stream, m);
            if (status == Status::OutOfMemory) return status;
            done = true;
            continue;
        }
        // Header values are taken exactly as they follow the colon.
        char *value = split_clean(line.get(), buffers, false);
        const char *name = buffers.name;
        if (Field f = body_field(m, name)) {
            copy_into(f, value);
        } else if (std::strcmp(name, "END") == 0) {
            done = true;
        } else {
            KOVA_LOG_TRACE("KOVA:  Warning - Parser encountered unknown property: '%s'", name);
            status = base::worse(status, Status::ParsedWithWarning);
        }
        if (status != Status::ParseError && std::strlen(value) > value_limit(m, name))
            status = Status::ParsedWithWarning;
    }
    if (base::at_end(stream) && !done) {
        KOVA_LOG_ERROR("KOVA:  Error - vBody missing END tag");
        return Status::ParseError;
    }
    return status;
}

// The VENV lines after its BEGIN line. Only BEGIN and END matter; nested envelopes are
// counted, not descended into, and only the first VBODY is read.
Status read_envelope(FILE *stream, MessageRecord &m)
{
    LineBuffers buffers;
    if (!buffers.ok()) return memory_error();
    Status status = Status::Parsed;
    int depth = 1;
    bool body_seen = false;
    while (!base::at_end(stream)) {
        LogicalLine line(stream);
        if (!usable_body_line(line, "KOVA:  Warning - Parser encounted a blank line in vEnv", status)) continue;
        char *value = split_clean(line.get(), buffers, false);
        RemoveBlanks(value);
        const char *name = buffers.name;
        if (std::strcmp(name, "BEGIN") == 0) {
            if (std::strcmp(value, "VCARD") == 0) {
                skip_vcard(stream);
            } else if (std::strcmp(value, "VENV") == 0) {
                ++depth;
            } else if (std::strcmp(value, "VBODY") == 0 && !body_seen) {
                body_seen = true;
                Status body = read_body(stream, m);
                if (body == Status::OutOfMemory) return body;
                if (body == Status::ParseError) {
                    status = Status::ParseError;
                    break;
                }
                status = base::worse(status, body);
            }
        } else if (std::strcmp(name, "END") == 0 && std::strcmp(value, "VENV") == 0) {
            if (depth == 1) break;
            --depth;
        }
    }
    if (body_seen && !base::at_end(stream)) return status;
    KOVA_LOG_ERROR("KOVA:  Error - vMsg missing BODY section");
    return Status::ParseError;
}

// The VMSG lines after its BEGIN line. There is no depth here: any BEGIN but an
// originator vCard or the envelope ends the message.
Status read_message(FILE *stream, ObjectRecord &record)
{
    LineBuffers buffers;
    if (!buffers.ok()) return memory_error();
    MessageRecord &m = record.Message;
    Status status = Status::Parsed;
    bool envelope_seen = false;
    bool done = false;
    while (!base::at_end(stream) && !done) {
        LogicalLine line(stream);
        if (!usable_body_line(line, "KOVA:  Warning - Parser encounted a blank line in vMSG", status)) continue;
        char *value = split_clean(line.get(), buffers, false);
        RemoveBlanks(value);  // blanks after the first non-blank go, leading ones stay
        const char *name = buffers.name;
        if (std::strcmp(name, "BEGIN") == 0) {
            if (std::strcmp(value, "VCARD") == 0) {
                skip_vcard(stream);
            } else if (std::strcmp(value, "VENV") == 0) {
                envelope_seen = true;
                Status envelope = read_envelope(stream, m);
                if (envelope == Status::OutOfMemory) return envelope;
                if (envelope == Status::ParseError) done = true;
                status = base::worse(status, envelope);
            } else {
                status = Status::ParseError;
                done = true;
            }
        } else if (std::strcmp(name, "END") == 0) {
            if (std::strcmp(value, "VMSG") == 0) done = true;
        } else if (Field f = message_field(m, name)) {
            copy_into(f, value);
            if (f.text == m.Version && !VersionAccepted(m.Version, 1.1)) {
                KOVA_LOG_ERROR("KOVA:  Error - vMsg version '%s' is not supported", m.Version);
                status = Status::ParseError;
                done = true;
            }
        } else if (!body_field(m, name)) {
            KOVA_LOG_TRACE("KOVA:  Warning - Parser encountered unknown property: '%s'", name);
            status = base::worse(status, Status::ParsedWithWarning);
        }
        if (status != Status::ParseError && std::strlen(value) > value_limit(m, name))
            status = Status::ParsedWithWarning;
    }
    if (!envelope_seen || (base::at_end(stream) && !done)) return Status::ParseError;
    return status;
}

uint32_t message_type(const ObjectRecord &record)
{
    const char *folder = record.Message.Folder;
    if (std::strcmp(folder, "OUTBOX") == 0) return KOVA_TYPE_MESSAGE_OUTBOX;
    if (std::strcmp(folder, "SENTBOX") == 0) return KOVA_TYPE_MESSAGE_SENT;
    return KOVA_TYPE_MESSAGE;
}

}  // namespace

char *ContentLine(FILE *stream)
{
    // Collected once into a buffer kept between lines, then copied into an exact block.
    static std::vector<char> scratch;
    size_t length = 0;
    bool fits = true;
    int c;
    while ((c = base::get_char(stream)) != base::kEndOfFile && c != '\n') {
        if (fits && length == scratch.size()) {
            try {
                scratch.resize(scratch.empty() ? 4096 : scratch.size() * 2);
            } catch (const std::bad_alloc &) {
                fits = false;
            }
        }
        if (fits) scratch[length] = static_cast<char>(c);
        ++length;
    }
    size_t size = length + 1;
    char *line = fits ? static_cast<char *>(model::allocate(size)) : nullptr;
    if (!line) {
        KOVA_LOG_ERROR("KOVA:  Memory allocation of %d bytes failed in 'ContentLine'",
                       static_cast<int>(size));
        return nullptr;  // the stream stays after the line: it is skipped
    }
    if (length) std::memcpy(line, scratch.data(), length);
    line[length] = '\0';
    if (char *cr = static_cast<char *>(std::memchr(line, '\r', length))) *cr = '\0';
    return line;
}

Status CONTENT_AddToBuffer(ContentPart &part, size_t &used, const char *line)
{
    size_t length = std::strlen(line);
    bool had_text = part.Text != nullptr;
    uint64_t need = uint64_t{used} + length + 1 + (had_text ? 1 : 0);
    if (part.TextCapacity < need) {
        uint64_t capacity = part.TextCapacity;
        bool first = !had_text;
        while (capacity < need) {
            capacity = first ? kFirstCapacity : capacity * 2;
            if (!first)
                KOVA_LOG_TRACE("KOVA:  CONTENT_AddToBuffer - expanding to %d bytes",
                               static_cast<int>(capacity));
            first = false;
            if (capacity > UINT32_MAX) return Status::OutOfMemory;
        }
        auto *grown = static_cast<char *>(model::reallocate(part.Text, capacity));
        if (!grown) return Status::OutOfMemory;  // the old block is untouched
        std::memset(grown + part.TextCapacity, 0, capacity - part.TextCapacity);
        part.Text = grown;
        part.TextCapacity = static_cast<uint32_t>(capacity);
    }
    char *end = part.Text + used;
    if (had_text) *end++ = '\n';
    // "/END:VBODY" carries a content line END:VBODY; "//END:VBODY" carries "/END:VBODY".
    const char *from = line;
    size_t slashes = std::strspn(line, "/");
    if (slashes > 0 && std::strncmp(line + slashes, kBodyEnd, sizeof kBodyEnd - 1) == 0)
        ++from;
    size_t copied = length - static_cast<size_t>(from - line);
    std::memcpy(end, from, copied);
    end[copied] = '\0';
    used = static_cast<size_t>(end + copied - part.Text);
    return Status::Parsed;
}

Status ReadContent(FILE *stream, ContentPart &part, const char *terminator, bool *closing)
{
    size_t n = std::strlen(terminator);
    size_t used = part.Text ? std::strlen(part.Text) : 0;
    Status status = Status::Parsed;
    while (!base::at_end(stream)) {
        OwnedText line(ContentLine(stream));
        if (!line) {
            status = Status::OutOfMemory;
            continue;
        }
        // A prefix match: END:VBODYX ends a single-part body too.
        if (std::strncmp(line.get(), terminator, n) == 0) {
            if (closing) *closing = std::strcmp(line.get() + n, "--") == 0;
            break;
        }
        status = CONTENT_AddToBuffer(part, used, line.get());
    }
    if (base::at_end(stream)) {
        KOVA_LOG_ERROR("KOVA:  Error - reached EOF while parsing CONTENT of vMsg");
        return Status::ParseError;
    }
    return status;
}

Status read_vmessages(FILE *stream, KOVA_ReaderCallback callback, void *context)
{
    static constexpr ObjectLoopRules kRules = {
        "VMSG", "KOVA:  Error - vMsg does not have a BEGIN tag", read_message, message_type};
    return ObjectLoop(stream, kRules, callback, context);
}

}  // namespace kova::vobject
