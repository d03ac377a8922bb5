#include "vobject/read/vmessage_reader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "base/status.h"
#include "kova/kova.h"
#include "model/alloc.h"
#include "model/record.h"
#include "support/test_support.h"

namespace kova::vobject {
namespace {

using base::Status;
using testing::LogReceiver;
using testing::TempDevice;

constexpr const char *kDealloc = "KOVA:  KOVA_DeallocVMessage - Deallocating vMsg resources";
constexpr const char *kNoBody = "KOVA:  Error - vMsg missing BODY section";
constexpr const char *kContentEof = "KOVA:  Error - reached EOF while parsing CONTENT of vMsg";

struct Message {
    uint32_t type;
    uint32_t status;
    std::string head;                // the message-level arrays that are set
    std::string headers;             // the body headers that are set
    std::vector<std::string> parts;  // "Content-Type|Content-Transfer-Encoding|text"
    uint32_t capacity;               // of MainPart
    size_t text_length;              // of MainPart
};

void add(std::string &out, const char *name, const char *value)
{
    if (!value[0]) return;
    if (!out.empty()) out += ' ';
    out += std::string(name) + "=" + value;
}

void collect(uint32_t type, ObjectRecord *record, uint32_t status, void *context)
{
    const MessageRecord &m = record->Message;
    Message out{type, status, "", "", {}, m.MainPart.TextCapacity,
                m.MainPart.Text ? std::strlen(m.MainPart.Text) : 0};
    add(out.head, "luid", m.Luid);
    add(out.head, "version", m.Version);
    add(out.head, "status", m.IrmcStatus);
    add(out.head, "type", m.IrmcType);
    add(out.head, "folder", m.Folder);
    add(out.headers, "Date", m.Date);
    add(out.headers, "From", m.From);
    add(out.headers, "To", m.To);
    add(out.headers, "Cc", m.Cc);
    add(out.headers, "Reply-To", m.ReplyTo);
    add(out.headers, "Subject", m.Subject);
    add(out.headers, "Mime-Version", m.MimeVersion);
    for (const ContentPart *p = &m.MainPart; p; p = p->Next) {
        std::string text = !p->Text ? "(none)" : out.text_length > 100000 ? "(long)" : p->Text;
        out.parts.push_back(std::string(p->ContentType) + "|" + p->ContentTransferEncoding + "|" +
                            text);
    }
    static_cast<std::vector<Message> *>(context)->push_back(out);
}

struct Outcome {
    Status result;
    std::vector<Message> messages;
    std::vector<std::string> log;  // without the release trace, which every message gives
};

Outcome read(const std::string &text)
{
    TempDevice device;
    LogReceiver log(device);
    testing::write_file(device.path("m.vmg"), text);
    Outcome out{Status::Ok, {}, {}};
    FILE *stream = std::fopen(device.path("m.vmg").c_str(), "rb");
    out.result = read_vmessages(stream, collect, &out.messages);
    std::fclose(stream);
    for (const std::string &line : log.texts())
        if (line != kDealloc) out.log.push_back(line);
    return out;
}

// A message with VERSION:1.1, the given message-level lines, and a body made of the
// given lines (headers, empty line, content) inside one envelope.
std::string message(const std::string &top, const std::string &body)
{
    return "BEGIN:VMSG\r\nVERSION:1.1\r\n" + top + "BEGIN:VENV\r\nBEGIN:VBODY\r\n" + body +
           "END:VBODY\r\nEND:VENV\r\nEND:VMSG\r\n";
}

const std::string kSimpleBody = "Subject:Hi\r\n\r\ntext\r\n";

struct MessageCase {
    const char *name;
    std::string input;
    Status result;
    std::vector<Message> messages;  // capacity and text length are not compared here
    std::vector<std::string> log;
};

const std::string kMultipart =
    "Mime-Version:1.0\r\nContent-Type:multipart/mixed; boundary=b1\r\n\r\n"
    "This is the preamble.\r\n--b1\r\nContent-Type:text/plain\r\n\r\nfirst\r\npart\r\n"
    "--b1\r\nContent-Type:text/html\r\nContent-Transfer-Encoding:8bit\r\n\r\n<p>second</p>\r\n"
    "--b1--\r\nThe epilogue.\r\n";

const MessageCase kCases[] = {
    {"one message",
     message("X-IRMC-STATUS:UNREAD\r\nX-BT-FOLDER:INBOX\r\n",
             "Date:Fri, 16 May 2003 21:57:50 +0200\r\nFrom:Ann\r\nSubject:Hi\r\n\r\n"
             "first line\r\nsecond line\r\n"),
     Status::Parsed,
     {{3, 17, "version=1.1 status=UNREAD folder=INBOX",
       "Date=Fri, 16 May 2003 21:57:50 +0200 From=Ann Subject=Hi",
       {"||first line\nsecond line"}, 0, 0}},
     {}},
    {"version 1.0 passes",
     "BEGIN:VMSG\r\nVERSION:1.0\r\nBEGIN:VENV\r\nBEGIN:VBODY\r\n" + kSimpleBody +
         "END:VBODY\r\nEND:VENV\r\nEND:VMSG\r\n",
     Status::Parsed,
     {{3, 17, "version=1.0", "Subject=Hi", {"||text"}, 0, 0}},
     {}},
    {"version 1.2",
     "BEGIN:VMSG\r\nVERSION:1.2\r\nBEGIN:VENV\r\nBEGIN:VBODY\r\n" + kSimpleBody +
         "END:VBODY\r\nEND:VENV\r\nEND:VMSG\r\n",
     Status::ParseError,
     {},
     {"KOVA:  Error - vMsg version '1.2' is not supported"}},
    {"a body without an empty line has no content",
     message("", "Subject:Hi\r\n"),
     Status::Parsed,
     {{3, 17, "version=1.1", "Subject=Hi", {"||(none)"}, 0, 0}},
     {}},
    {"every header, folded one read as one value, later one wins",
     message("", "Date:d\r\nFrom:f\r\nTo:t\r\nCc:c\r\nReply-To:r\r\nSubject:Hello\r\n world\r\n"
                 "Mime-Version:1.0\r\nContent-Type:text/plain\r\nContent-Type:text/x-vnote\r\n"
                 "Content-Transfer-Encoding:8bit\r\n\r\nx\r\n"),
     Status::Parsed,
     {{3, 17, "version=1.1",
       "Date=d From=f To=t Cc=c Reply-To=r Subject=Hello world Mime-Version=1.0",
       {"text/x-vnote|8bit|x"}, 0, 0}},
     {}},
    {"header values keep their blanks, message values only the leading ones",
     message("X-IRMC-LUID: a b\r\nX-BT-FOLDER: OUTBOX\r\n", "Subject: a b\r\n"),
     Status::Parsed,
     {{3, 17, "luid= ab version=1.1 folder= OUTBOX", "Subject= a b", {"||(none)"}, 0, 0}},
     {}},
    {"content lines stay raw, empty ones included",
     message("", "\r\n\r\n  indented=\r\n\tTAB\r\n\r\nlast\r\n"),
     Status::Parsed,
     {{3, 17, "version=1.1", "", {"||\n  indented=\n\tTAB\n\nlast"}, 0, 0}},
     {}},
    {"slashes carry END:VBODY lines; a longer END:VBODY line ends the content",
     message("", "\r\n/END:VBODY\r\n//END:VBODY\r\n/x\r\nEND:VBODYX\r\nnot content\r\n"),
     Status::Parsed,
     {{3, 17, "version=1.1", "", {"||END:VBODY\n/END:VBODY\n/x"}, 0, 0}},
     {}},
    {"a long Subject is cut and warned",
     message("", "Subject:" + std::string(2000, 's') + "\r\n"),
     Status::ParsedWithWarning,
     {{3, 18, "version=1.1", "Subject=" + std::string(1023, 's'), {"||(none)"}, 0, 0}},
     {}},
    {"a long folder is cut and warned",
     message("X-BT-FOLDER:" + std::string(60, 'f') + "\r\n", kSimpleBody),
     Status::ParsedWithWarning,
     {{3, 18, "version=1.1 folder=" + std::string(49, 'f'), "Subject=Hi", {"||text"}, 0, 0}},
     {}},
    {"an unknown header is forgotten once the content is read",
     message("", "Return-Path:<a@b>\r\nsubject:x\r\n\r\ntext\r\n"),
     Status::Parsed,
     {{3, 17, "version=1.1", "", {"||text"}, 0, 0}},
     {"KOVA:  Warning - Parser encountered unknown property: 'Return-Path'",
      "KOVA:  Warning - Parser encountered unknown property: 'subject'"}},
    {"an unknown message line is a warning; header names are passed over",
     message("X-FOO:1\r\nSubject:not here\r\n", kSimpleBody),
     Status::ParsedWithWarning,
     {{3, 18, "version=1.1", "Subject=Hi", {"||text"}, 0, 0}},
     {"KOVA:  Warning - Parser encountered unknown property: 'X-FOO'"}},
    {"blank lines in the message and in the envelope",
     "BEGIN:VMSG\r\nVERSION:1.1\r\n\r\nBEGIN:VENV\r\n\r\nBEGIN:VBODY\r\n" + kSimpleBody +
         "END:VBODY\r\nEND:VENV\r\nEND:VMSG\r\n",
     Status::ParsedWithWarning,
     {{3, 18, "version=1.1", "Subject=Hi", {"||text"}, 0, 0}},
     {"KOVA:  Warning - Parser encounted a blank line in vMSG",
      "KOVA:  Warning - Parser encounted a blank line in vEnv"}},
    {"the folder before the originator vCard stays, the vCard's LUID does not arrive",
     "BEGIN:VMSG\r\nVERSION:1.1\r\nX-IRMC-LUID:m1\r\nX-BT-FOLDER:OUTBOX\r\nBEGIN:VCARD\r\n"
     "VERSION:2.1\r\nN:Doe;John\r\nX-IRMC-LUID:c1\r\nEND:VCARD\r\nBEGIN:VENV\r\nBEGIN:VCARD\r\n"
     "VERSION:2.1\r\nN:Roe;Jane\r\nEND:VCARD\r\nBEGIN:VBODY\r\n" + kSimpleBody +
         "END:VBODY\r\nEND:VENV\r\nEND:VMSG\r\n",
     Status::Parsed,
     {{5, 17, "luid=m1 version=1.1 folder=OUTBOX", "Subject=Hi", {"||text"}, 0, 0}},
     {}},
    {"a broken embedded vCard is dropped with its own log",
     "BEGIN:VMSG\r\nVERSION:1.1\r\nBEGIN:VCARD\r\nVERSION:2.1\r\nEND:VCARD\r\nBEGIN:VENV\r\n"
     "BEGIN:VBODY\r\n" + kSimpleBody + "END:VBODY\r\nEND:VENV\r\nEND:VMSG\r\n",
     Status::Parsed,
     {{3, 17, "version=1.1", "Subject=Hi", {"||text"}, 0, 0}},
     {"KOVA:  Error - vCard missing END tago or does not contain required VERSION or N "
      "properties"}},
    {"nested envelopes, and only the first body counts",
     "BEGIN:VMSG\r\nVERSION:1.1\r\nBEGIN:VENV\r\nBEGIN:VENV\r\nBEGIN:VBODY\r\n" + kSimpleBody +
         "END:VBODY\r\nBEGIN:VBODY\r\nSubject:second\r\nother\r\nEND:VBODY\r\nEND:VENV\r\n"
         "X-ANYTHING:ignored\r\nEND:VENV\r\nEND:VMSG\r\n",
     Status::Parsed,
     {{3, 17, "version=1.1", "Subject=Hi", {"||text"}, 0, 0}},
     {}},
    {"an envelope without a body",
     "BEGIN:VMSG\r\nVERSION:1.1\r\nBEGIN:VENV\r\nEND:VENV\r\nEND:VMSG\r\n",
     Status::ParseError,
     {},
     {kNoBody}},
    {"a message without an envelope",
     "BEGIN:VMSG\r\nVERSION:1.1\r\nEND:VMSG\r\n",
     Status::ParseError,
     {},
     {}},
    {"an unexpected BEGIN in the message",
     "BEGIN:VMSG\r\nVERSION:1.1\r\nBEGIN:VNOTE\r\n",
     Status::ParseError,
     {},
     {}},
    {"the stream ends in the body headers",
     "BEGIN:VMSG\r\nVERSION:1.1\r\nBEGIN:VENV\r\nBEGIN:VBODY\r\nSubject:x\r\n",
     Status::ParseError,
     {},
     {"KOVA:  Error - vBody missing END tag", kNoBody}},
    {"the stream ends in the content",
     "BEGIN:VMSG\r\nVERSION:1.1\r\nBEGIN:VENV\r\nBEGIN:VBODY\r\n\r\ntext\r\n",
     Status::ParseError,
     {},
     {kContentEof, kNoBody}},
    {"END:VBODY as the very last bytes is still the end of the stream",
     "BEGIN:VMSG\r\nVERSION:1.1\r\nBEGIN:VENV\r\nBEGIN:VBODY\r\n\r\ntext\r\nEND:VBODY",
     Status::ParseError,
     {},
     {kContentEof, kNoBody}},
    {"the stream ends right after END:VENV, which the envelope sees as ending inside it",
     "BEGIN:VMSG\r\nVERSION:1.1\r\nBEGIN:VENV\r\nBEGIN:VBODY\r\n" + kSimpleBody +
         "END:VBODY\r\nEND:VENV\r\n",
     Status::ParseError,
     {},
     {kNoBody}},
    {"the stream ends after the envelope",
     "BEGIN:VMSG\r\nVERSION:1.1\r\nBEGIN:VENV\r\nBEGIN:VBODY\r\n" + kSimpleBody +
         "END:VBODY\r\nEND:VENV\r\nX-IRMC-STATUS:READ\r\n",
     Status::ParseError,
     {},
     {}},
    {"a warning stays for the later messages of the file",
     message("X-FOO:1\r\n", kSimpleBody) + message("", kSimpleBody),
     Status::ParsedWithWarning,
     {{3, 18, "version=1.1", "Subject=Hi", {"||text"}, 0, 0},
      {3, 18, "version=1.1", "Subject=Hi", {"||text"}, 0, 0}},
     {"KOVA:  Warning - Parser encountered unknown property: 'X-FOO'"}},
    {"multipart: preamble and epilogue dropped, MainPart holds the first part",
     message("", kMultipart),
     Status::Parsed,
     {{3, 17, "version=1.1", "Mime-Version=1.0",
       {"text/plain||first\npart", "text/html|8bit|<p>second</p>"}, 0, 0}},
     {"KOVA:  Parsing Multipart Content (boundary='b1')"}},
    {"multipart with a quoted boundary; a part without Content-Type keeps the body's",
     message("", "Content-Type:multipart/mixed; boundary=\"abc def\"; x=1\r\n\r\n"
                 "--abc def\r\n\r\none\r\n--abc def--\r\n"),
     Status::Parsed,
     {{3, 17, "version=1.1", "", {"multipart/mixed; boundary=\"abc def\"; x=1||one"}, 0, 0}},
     {"KOVA:  Parsing Multipart Content (boundary='abc def')"}},
    {"no boundary without the word multipart in lower case",
     message("", "Content-Type:Multipart/mixed; boundary=b1\r\n\r\n--b1\r\n\r\none\r\n"),
     Status::Parsed,
     {{3, 17, "version=1.1", "", {"Multipart/mixed; boundary=b1||--b1\n\none"}, 0, 0}},
     {}},
    {"multipart without a closing delimiter",
     "BEGIN:VMSG\r\nVERSION:1.1\r\nBEGIN:VENV\r\nBEGIN:VBODY\r\n"
     "Content-Type:multipart/mixed; boundary=b1\r\n\r\n--b1\r\n\r\none\r\nEND:VBODY\r\n"
     "END:VENV\r\nEND:VMSG\r\n",
     Status::ParseError,
     {},
     {"KOVA:  Parsing Multipart Content (boundary='b1')", kContentEof, kNoBody}},
    {"a part header folded over two lines stops the parts with a warning",
     message("", "Content-Type:multipart/mixed; boundary=b1\r\n\r\n--b1\r\n"
                 "Content-Type:text/plain;\r\n charset=us-ascii\r\n\r\none\r\n--b1--\r\n"),
     Status::ParsedWithWarning,
     {{3, 18, "version=1.1", "", {"text/plain;||(none)"}, 0, 0}},
     {"KOVA:  Parsing Multipart Content (boundary='b1')",
      "KOVA:  Warning - Parser encountered unexpected property: 'charset=us-ascii'",
      // The envelope reads past the rest of the body, its empty line included.
      "KOVA:  Warning - Parser encounted a blank line in vEnv"}},
};

TEST(VmessageReader, ReadsMessagesWithTheirStatusAndLog)
{
    for (const MessageCase &c : kCases) {
        SCOPED_TRACE(c.name);
        Outcome out = read(c.input);
        EXPECT_EQ(out.result, c.result);
        ASSERT_EQ(out.messages.size(), c.messages.size());
        for (size_t i = 0; i < c.messages.size(); ++i) {
            EXPECT_EQ(out.messages[i].type, c.messages[i].type);
            EXPECT_EQ(out.messages[i].status, c.messages[i].status);
            EXPECT_EQ(out.messages[i].head, c.messages[i].head);
            EXPECT_EQ(out.messages[i].headers, c.messages[i].headers);
            EXPECT_EQ(out.messages[i].parts, c.messages[i].parts);
        }
        EXPECT_EQ(out.log, c.log);
    }
}

TEST(VmessageReader, FolderChoosesTheObjectType)
{
    struct FolderCase {
        const char *folder_line;
        uint32_t type;
    };
    const FolderCase cases[] = {
        {"X-BT-FOLDER:OUTBOX\r\n", 5}, {"X-BT-FOLDER:SENTBOX\r\n", 4},
        {"X-BT-FOLDER:Outbox\r\n", 3}, {"X-BT-FOLDER:INBOX\r\n", 3}, {"", 3}};
    for (const FolderCase &c : cases) {
        SCOPED_TRACE(c.folder_line);
        TempDevice device;
        testing::write_file(device.path("m.vmg"), message(c.folder_line, kSimpleBody));
        std::vector<Message> messages;
        std::u16string path = device.wide_path("m.vmg");
        EXPECT_EQ(KOVA_ReadObjects(path.c_str(), collect, &messages), 0u);
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0].type, c.type);
    }
}

std::string lines_of(size_t count, size_t width)
{
    std::string out;
    out.reserve(count * (width + 2));
    for (size_t i = 0; i < count; ++i) out.append(width, 'x').append("\r\n");
    return out;
}

TEST(VmessageReader, ContentBufferDoublesFrom20480)
{
    // 500 lines of 99 bytes joined by LF: 49999 bytes of text.
    Outcome out = read(message("", "\r\n" + lines_of(500, 99)));
    ASSERT_EQ(out.messages.size(), 1u);
    EXPECT_EQ(out.messages[0].text_length, 49999u);
    EXPECT_EQ(out.messages[0].capacity, 81920u);
    EXPECT_EQ(out.log, (std::vector<std::string>{
                           "KOVA:  CONTENT_AddToBuffer - expanding to 40960 bytes",
                           "KOVA:  CONTENT_AddToBuffer - expanding to 81920 bytes"}));
}

TEST(VmessageReader, FiftyMegabyteBody)
{
    // 51200 lines of 1023 bytes: 52428799 bytes once joined, so twelve doublings.
    Outcome out = read(message("", "\r\n" + lines_of(51200, 1023)));
    ASSERT_EQ(out.messages.size(), 1u);
    EXPECT_EQ(out.messages[0].status, 17u);
    EXPECT_EQ(out.messages[0].text_length, 52428799u);
    EXPECT_EQ(out.messages[0].capacity, 20480u << 12);
    EXPECT_EQ(out.log.size(), 12u);
}

TEST(VmessageReader, TenThousandNestedEnvelopes)
{
    std::string text = "BEGIN:VMSG\r\nVERSION:1.1\r\n";
    for (int i = 0; i < 10000; ++i) text += "BEGIN:VENV\r\n";
    text += "BEGIN:VBODY\r\n" + kSimpleBody + "END:VBODY\r\n";
    for (int i = 0; i < 10000; ++i) text += "END:VENV\r\n";
    text += "END:VMSG\r\n";
    Outcome out = read(text);
    EXPECT_EQ(out.result, Status::Parsed);
    ASSERT_EQ(out.messages.size(), 1u);
    EXPECT_EQ(out.messages[0].parts, std::vector<std::string>{"||text"});

    // The same without the closing lines: the stream ends inside the envelope, whose
    // last read finds the empty text at the end.
    out = read(text.substr(0, text.find("END:VENV")));
    EXPECT_EQ(out.result, Status::ParseError);
    EXPECT_EQ(out.log, (std::vector<std::string>{
                           "KOVA:  Warning - Parser encounted a blank line in vEnv", kNoBody}));
}

TEST(VmessageReader, TenThousandNestedBeginsInAnOriginator)
{
    std::string text = "BEGIN:VMSG\r\nVERSION:1.1\r\nBEGIN:VCARD\r\n";
    for (int i = 0; i < 10000; ++i) text += "BEGIN:AGENT\r\n";
    Outcome out = read(text);
    EXPECT_EQ(out.result, Status::ParseError);
    EXPECT_TRUE(out.messages.empty());
}

// A caller may attach files to the parts it gets; the reader's release removes the files
// of chained parts, never the one named in MainPart.
void attach_files(uint32_t, ObjectRecord *record, uint32_t, void *context)
{
    auto *names = static_cast<std::vector<std::u16string> *>(context);
    MessageRecord &m = record->Message;
    ASSERT_NE(m.MainPart.Next, nullptr);
    std::memcpy(m.MainPart.FileName, (*names)[0].c_str(), ((*names)[0].size() + 1) * 2);
    std::memcpy(m.MainPart.Next->FileName, (*names)[1].c_str(), ((*names)[1].size() + 1) * 2);
}

TEST(VmessageReader, ReleaseRemovesTheFilesOfChainedParts)
{
    TempDevice device;
    testing::write_file(device.path("main.txt"), "m");
    testing::write_file(device.path("second.txt"), "s");
    testing::write_file(device.path("m.vmg"), message("", kMultipart));
    std::vector<std::u16string> names = {device.wide_path("main.txt"),
                                         device.wide_path("second.txt")};
    std::u16string path = device.wide_path("m.vmg");
    EXPECT_EQ(KOVA_ReadObjects(path.c_str(), attach_files, &names), 0u);
    EXPECT_TRUE(std::filesystem::exists(device.path("main.txt")));
    EXPECT_FALSE(std::filesystem::exists(device.path("second.txt")));
}

struct LineCase {
    const char *name;
    std::string input;
    std::vector<std::string> lines;  // until the stream is at its end
};

const LineCase kLineCases[] = {
    {"CR LF and LF end lines, a lone CR cuts", "a\r\nb\n\nc\rd\n", {"a", "b", "", "c", ""}},
    {"no unfolding, no soft breaks", "x=\r\n y\r\n\tz", {"x=", " y", "\tz"}},
    {"a last line ending in LF leaves one empty line", "a\n", {"a", ""}},
    {"an empty stream", "", {""}},
};

TEST(VmessageReader, ContentLineReadsRawLines)
{
    TempDevice device;
    for (const LineCase &c : kLineCases) {
        SCOPED_TRACE(c.name);
        testing::write_file(device.path("l.txt"), c.input);
        FILE *stream = std::fopen(device.path("l.txt").c_str(), "rb");
        std::vector<std::string> lines;
        do {
            char *line = ContentLine(stream);
            ASSERT_NE(line, nullptr);
            lines.push_back(line);
            model::release(line);
        } while (!std::feof(stream) && lines.size() < 10);
        std::fclose(stream);
        EXPECT_EQ(lines, c.lines);
    }
}

TEST(VmessageReader, ContentThatCannotGrowIsDroppedAndThePartKept)
{
    ContentPart part{};
    size_t used = 0;
    model::fail_allocation_after(1);
    EXPECT_EQ(CONTENT_AddToBuffer(part, used, "lost"), Status::OutOfMemory);
    EXPECT_EQ(part.Text, nullptr);
    EXPECT_EQ(part.TextCapacity, 0u);

    // An empty first line is still a line: the next one follows after an LF.
    EXPECT_EQ(CONTENT_AddToBuffer(part, used, ""), Status::Parsed);
    EXPECT_EQ(CONTENT_AddToBuffer(part, used, "a"), Status::Parsed);
    const std::string wide(30000, 'w');
    model::fail_allocation_after(1);
    EXPECT_EQ(CONTENT_AddToBuffer(part, used, wide.c_str()), Status::OutOfMemory);
    EXPECT_STREQ(part.Text, "\na");
    EXPECT_EQ(part.TextCapacity, 20480u);
    EXPECT_EQ(used, 2u);

    EXPECT_EQ(CONTENT_AddToBuffer(part, used, wide.c_str()), Status::Parsed);
    EXPECT_EQ(part.TextCapacity, 40960u);
    EXPECT_EQ(std::strlen(part.Text), 30003u);
    model::release(part.Text);
}

// Every allocation of a multipart read fails once in turn: no crash, no leak (the
// sanitizer build checks), one of the reader's codes. The boundary copy is the last
// allocation before the multipart trace: failing it ends the file with 11.
TEST(VmessageReader, SurvivesEachAllocationFailing)
{
    const std::string text =
        "BEGIN:VMSG\r\nVERSION:1.1\r\nBEGIN:VCARD\r\nVERSION:2.1\r\nN:A;B\r\nEND:VCARD\r\n"
        "BEGIN:VENV\r\nBEGIN:VBODY\r\n" + kMultipart + "END:VBODY\r\nEND:VENV\r\nEND:VMSG\r\n";
    unsigned long before = model::allocation_count();
    ASSERT_EQ(read(text).result, Status::Parsed);
    unsigned long needed = model::allocation_count() - before;
    unsigned long last_without_trace = 0;
    Outcome at_boundary{};
    for (unsigned long n = 1; n <= needed; ++n) {
        SCOPED_TRACE(n);
        model::fail_allocation_after(n);
        Outcome out = read(text);
        model::fail_allocation_after(0);
        EXPECT_TRUE(out.result == Status::Parsed || out.result == Status::ParsedWithWarning ||
                    out.result == Status::ParseError || out.result == Status::OutOfMemory);
        bool traced = false;
        for (const std::string &line : out.log)
            traced = traced || line.rfind("KOVA:  Parsing Multipart", 0) == 0;
        if (!traced) {
            last_without_trace = n;
            at_boundary = out;
        }
    }
    ASSERT_GT(last_without_trace, 0u);
    EXPECT_EQ(at_boundary.result, Status::OutOfMemory);
    EXPECT_TRUE(at_boundary.messages.empty());
    EXPECT_EQ(at_boundary.log, std::vector<std::string>{"KOVA:  Error - Memory allocation error"});
}

}  // namespace
}  // namespace kova::vobject
