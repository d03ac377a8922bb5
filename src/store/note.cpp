// Notes: one ink file per note in the personal documents folder, named after the note's
// Summary and holding what the note control streams out for its Body.
//
// The cleaned name keeps what iswprint calls printable in a UTF-8 locale, whatever the
// process's own locale is: in the "C" locale every letter outside ASCII would go. A
// surrogate pair counts as the character it encodes (and as two of the 260 units); a
// lone surrogate, which no file name can hold, is dropped. Without '/' and '\' in the
// name the file stays in the documents folder (".." becomes "...pwi"), and a symbolic
// link in the file's place is refused rather than followed.
#include "store/note.h"

#include <fcntl.h>
#include <locale.h>
#include <unistd.h>
#include <wctype.h>

#include <algorithm>
#include <cerrno>
#include <string_view>

#include "base/log.h"
#include "base/utf16.h"
#include "convert/value_text.h"
#include "pim/rich_ink.h"
#include "store/record_text.h"

namespace kova::store {
namespace {

constexpr size_t kMaxNameUnits = 260;
constexpr std::u16string_view kForbidden = u"\\/:*?<>|\"";

bool printable(char32_t c)
{
    static const locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
    if (c >= 0xD800 && c <= 0xDFFF) return false;
    if (utf8) return iswprint_l(static_cast<wint_t>(c), utf8) != 0;
    return c >= 0x20 && !(c >= 0x7F && c < 0xA0);  // no such locale: drop the controls
}

std::u16string clean_name(const std::u16string &name)
{
    std::u16string out;
    for (size_t i = 0; i < name.size(); ++i) {
        char16_t unit = name[i];
        char32_t c = unit;
        size_t units = 1;
        if (unit >= 0xD800 && unit < 0xDC00 && i + 1 < name.size() && name[i + 1] >= 0xDC00 &&
            name[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((char32_t{unit} - 0xD800) << 10) + (name[i + 1] - 0xDC00);
            units = 2;
        }
        if (kForbidden.find(unit) == std::u16string_view::npos && printable(c)) {
            if (out.size() + units > kMaxNameUnits) break;
            out.append(name, i, units);
        }
        i += units - 1;
    }
    return out;
}

class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor()
    {
        if (fd_ >= 0) close(fd_);
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

// The text to stream in, its NUL included; position and size count bytes.
struct TextCursor {
    const char16_t *start;
    size_t position;
    size_t size;
};

uint32_t read_text(uintptr_t cookie, uint8_t *buffer, int32_t count, int32_t *done)
{
    TextCursor &text = *reinterpret_cast<TextCursor *>(cookie);
    size_t n = std::min(text.size - text.position, static_cast<size_t>(std::max(count, 0)));
    for (size_t i = 0; i < n; ++i, ++text.position) {  // UTF-16LE on any host
        char16_t unit = text.start[text.position / 2];
        buffer[i] = static_cast<uint8_t>(text.position % 2 ? unit >> 8 : unit & 0xFF);
    }
    *done = static_cast<int32_t>(n);
    return 0;
}

uint32_t write_to_file(uintptr_t cookie, uint8_t *buffer, int32_t count, int32_t *done)
{
    ssize_t n;
    do
        n = write(static_cast<int>(cookie), buffer, static_cast<size_t>(std::max(count, 0)));
    while (n < 0 && errno == EINTR);
    *done = n > 0 ? static_cast<int32_t>(n) : 0;
    return 0;
}

}  // namespace

std::string note_path(const std::u16string &name)
{
    return pim::SpecialFolderPath(pim::kSpecialFolderPersonal) + "/" +
           base::utf16_to_utf8(clean_name(name)) + ".pwi";
}

void pol_PutNote(NoteRecord &record)
{
    std::u16string name = value_text(record.Summary);
    std::unique_ptr<pim::RichInk> ink = pim::RichInk::create(u"RichInk", pim::kRichInkStyle);
    if (!ink) {
        KOVA_LOG_ERROR("KOVA:  Unable to create RICHINK control");
        return;
    }
    std::string path = note_path(name);
    Descriptor file(
        open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (file.get() < 0) {
        KOVA_LOG_ERROR("KOVA:  pol_PutNote Error - Unable to create file '%s'", path.c_str());
        return;
    }
    std::u16string body = value_text(record.Body);
    TextCursor cursor{body.c_str(), 0, (body.size() + 1) * 2};
    pim::EditStream in{reinterpret_cast<uintptr_t>(&cursor), 0, read_text};
    ink->StreamIn(pim::kStreamText16, in);
    pim::EditStream out{static_cast<uintptr_t>(file.get()), 0, write_to_file};
    ink->StreamOut(pim::kStreamInk, out);
}

}  // namespace kova::store
