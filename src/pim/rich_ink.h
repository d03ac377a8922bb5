// The note control: a hidden edit control of class "RichInk" that takes a note's text
// in and gives it out as an ink document, and the shell's special folders.
//
// Text goes in as plain UTF-16 (kStreamText16) up to the first NUL character; the ink
// document that comes out (kStreamInk) is an RTF document holding that text, so that a
// note file opens in any word processor. The control exists only after InitRichInkDLL.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace kova::pim {

constexpr uint32_t kStreamText16 = 17;     // SF_TEXT | SF_UNICODE
constexpr uint32_t kStreamInk = 0x10802;   // the ink file format
constexpr uint32_t kRichInkStyle = 0x800;

constexpr int kSpecialFolderPersonal = 5;  // the personal documents folder

// The stream descriptor of the edit control's stream messages: the callback moves up
// to count bytes from or to buffer, reports how many in done and returns 0 to go on.
struct EditStream {
    uintptr_t Cookie;
    uint32_t Error;
    uint32_t (*Callback)(uintptr_t cookie, uint8_t *buffer, int32_t count, int32_t *done);
};

// Registers the "RichInk" window class for this process; once is enough.
void InitRichInkDLL();

class RichInk {
public:
    // CreateWindowExW(0, "RichInk", "", style, ...): null when the class is not
    // registered or the style is not one the control takes.
    static std::unique_ptr<RichInk> create(const std::u16string &class_name, uint32_t style);
    ~RichInk();  // DestroyWindow
    RichInk(const RichInk &) = delete;
    RichInk &operator=(const RichInk &) = delete;

    // EM_STREAMIN / EM_STREAMOUT: the number of bytes taken or given; 0 and
    // stream.Error set when the format is not one the control knows. StreamIn pulls
    // until the callback gives 0 bytes or returns non-zero (kept in stream.Error), and
    // replaces the text. StreamOut gives kStreamInk, or the text as kStreamText16
    // without its NUL, in pieces; it goes on after a callback that took fewer bytes
    // and stops at one that takes none or returns non-zero.
    int32_t StreamIn(uint32_t format, EditStream &stream);
    int32_t StreamOut(uint32_t format, EditStream &stream);

    const std::u16string &text() const { return text_; }

private:
    RichInk() = default;
    std::u16string text_;
};

// The path of a special folder; for kSpecialFolderPersonal the Documents folder of the
// device root, whether or not it exists. Empty for other numbers.
std::string SpecialFolderPath(int folder);

}  // namespace kova::pim
