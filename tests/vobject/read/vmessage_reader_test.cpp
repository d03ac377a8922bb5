#include "vobject/read/vmessage_reader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "kova/kova.h"
#include "model/alloc.h"
#include "support/test_support.h"

namespace kova::vobject {
namespace {

const char *const kDealloc = "KOVA:  KOVA_DeallocVMessage - Deallocating vMsg resources";
const char *const kNoBody = "KOVA:  Error - vMsg missing BODY section";
const char *const kContentEof = "KOVA:  Error - reached EOF while parsing CONTENT of vMsg";
const char *const kEnvBlank = "KOVA:  Warning - Parser encounted a blank line in vEnv";
const char *const kTrace = "KOVA:  Parsing Multipart Content (boundary='b1')";

void add(std::string &out, const char *name, const char *value)
{
    if (value[0]) out += std::string(" ") + name + "=" + value;
}

// A message as "type/status luid=.. folder=..; Subject=..; type|encoding|text + ...".
// Texts over 100 kB show as their length.
void collect(uint32_t type, ObjectRecord *record, uint32_t status, void *context)
{
    const MessageRecord &m = record->Message;
    std::string out = std::to_string(type) + "/" + std::to_string(status);
    add(out, "luid", m.Luid);
    add(out, "version", m.Version);
    add(out, "status", m.IrmcStatus);
    add(out, "type", m.IrmcType);
    add(out, "folder", m.Folder);
    out += ";";
    add(out, "Date", m.Date);
    add(out, "From", m.From);
    add(out, "To", m.To);
    add(out, "Cc", m.Cc);
    add(out, "Reply-To", m.ReplyTo);
    add(out, "Subject", m.Subject);
    add(out, "Mime-Version", m.MimeVersion);
    out += "; ";
    for (const ContentPart *p = &m.MainPart; p; p = p->Next) {
        size_t length = p->Text ? std::strlen(p->Text) : 0;
        out += std::string(p == &m.MainPart ? "" : " + ") + p->ContentType + "|" +
               p->ContentTransferEncoding + "|" +
               (!p->Text ? "(none)" : length > 100000 ? std::to_string(length) : p->Text);
    }
    if (m.MainPart.TextCapacity > 20480) out += " @" + std::to_string(m.MainPart.TextCapacity);
    static_cast<std::vector<std::string> *>(context)->push_back(out);
}

struct Outcome {
    uint32_t result;
    std::vector<std::string> messages;
    std::vector<std::string> log;  // without the release trace that every message gives
};

Outcome read(const std::string &text)
{
    testing::TempDevice device;
    testing::LogReceiver log(device);
    testing::write_file(device.path("m.vmg"), text);
    Outcome out{};
    FILE *stream = std::fopen(device.path("m.vmg").c_str(), "rb");
    out.result = base::to_code(read_vmessages(stream, collect, &out.messages));
    std::fclose(stream);
    for (const std::string &line : log.texts())
        if (line != kDealloc) out.log.push_back(line);
    return out;
}

const std::string kHead = "BEGIN:VMSG\r\nVERSION:1.1\r\n";
const std::string kOpen = "BEGIN:VENV\r\nBEGIN:VBODY\r\n";
const std::string kClose = "END:VBODY\r\nEND:VENV\r\nEND:VMSG\r\n";
const std::string kBody = "Subject:Hi\r\n\r\ntext\r\n";
const char *const kBodyText = "; Subject=Hi; ||text";

// VERSION:1.1, the given message-level lines, one envelope with the given body lines.
std::string message(const std::string &top, const std::string &body)
{
    return kHead + top + kOpen + body + kClose;
}

const std::string kMultipart =
    "Mime-Version:1.0\r\nContent-Type:multipart/mixed; boundary=b1\r\n\r\npreamble\r\n--b1\r\n"
    "Content-Type:text/plain\r\n\r\nfirst\r\npart\r\n--b1\r\nContent-Type:text/html\r\n"
    "Content-Transfer-Encoding:8bit\r\n\r\n<p>second</p>\r\n--b1--\r\nepilogue\r\n";

struct MessageCase {
    const char *name;
    std::string input;
    uint32_t result;
    std::vector<std::string> messages;
    std::vector<std::string> log;
};

const MessageCase kCases[] = {
    {"one message",
     message("X-IRMC-STATUS:UNREAD\r\nX-BT-FOLDER:INBOX\r\n",
             "Date:Fri, 16 May 2003 21:57:50 +0200\r\nFrom:Ann\r\nSubject:Hi\r\n\r\nline 1\r\n"
             "line 2\r\n"), 17,
     {"3/17 version=1.1 status=UNREAD folder=INBOX; Date=Fri, 16 May 2003 21:57:50 +0200 "
      "From=Ann Subject=Hi; ||line 1\nline 2"}, {}},
    {"version 1.0 passes", "BEGIN:VMSG\r\nVERSION:1.0\r\n" + kOpen + kBody + kClose, 17,
     {std::string("3/17 version=1.0") + kBodyText}, {}},
    {"version 1.2", "BEGIN:VMSG\r\nVERSION:1.2\r\n" + kOpen + kBody + kClose, 19, {},
     {"KOVA:  Error - vMsg version '1.2' is not supported"}},
    {"a body without an empty line has no content", message("", "Subject:Hi\r\n"), 17,
     {"3/17 version=1.1; Subject=Hi; ||(none)"}, {}},
    {"every header; a folded one is one value, a later one wins",
     message("", "Date:d\r\nFrom:f\r\nTo:t\r\nCc:c\r\nReply-To:r\r\nSubject:Hello\r\n world\r\n"
                 "Mime-Version:1.0\r\nContent-Type:text/plain\r\nContent-Type:text/x-vnote\r\n"
                 "Content-Transfer-Encoding:8bit\r\n\r\nx\r\n"), 17,
     {"3/17 version=1.1; Date=d From=f To=t Cc=c Reply-To=r Subject=Hello world "
      "Mime-Version=1.0; text/x-vnote|8bit|x"}, {}},
    {"header values keep their blanks, message values only the leading ones",
     message("X-IRMC-LUID: a b\r\nX-BT-FOLDER: OUTBOX\r\n", "Subject: a b\r\n"), 17,
     {"3/17 luid= ab version=1.1 folder= OUTBOX; Subject= a b; ||(none)"}, {}},
    {"content lines stay raw, empty ones included",
     message("", "\r\n\r\n  indented=\r\n\tTAB\r\n\r\nlast\r\n"), 17,
     {"3/17 version=1.1;; ||\n  indented=\n\tTAB\n\nlast"}, {}},
    {"slashes carry END:VBODY lines; a longer END:VBODY line ends the content",
     message("", "\r\n/END:VBODY\r\n//END:VBODY\r\n/x\r\nEND:VBODYX\r\nnot content\r\n"), 17,
     {"3/17 version=1.1;; ||END:VBODY\n/END:VBODY\n/x"}, {}},
    {"over-long values are cut and warned",
     message("X-BT-FOLDER:" + std::string(60, 'f') + "\r\n",
             "Subject:" + std::string(2000, 's') + "\r\n"), 18,
     {"3/18 version=1.1 folder=" + std::string(49, 'f') + "; Subject=" + std::string(1023, 's') +
      "; ||(none)"}, {}},
    {"an unknown header is forgotten once the content is read",
     message("", "Return-Path:<a@b>\r\nsubject:x\r\n\r\ntext\r\n"), 17,
     {"3/17 version=1.1;; ||text"},
     {"KOVA:  Warning - Parser encountered unknown property: 'Return-Path'",
      "KOVA:  Warning - Parser encountered unknown property: 'subject'"}},
    {"unknown message lines warn this and every later message; headers pass over here",
     message("X-FOO:1\r\nSubject:not here\r\n", kBody) + message("", kBody), 18,
     {std::string("3/18 version=1.1") + kBodyText, std::string("3/18 version=1.1") + kBodyText},
     {"KOVA:  Warning - Parser encountered unknown property: 'X-FOO'"}},
    {"blank lines in the message and in the envelope",
     kHead + "\r\nBEGIN:VENV\r\n\r\nBEGIN:VBODY\r\n" + kBody + kClose, 18,
     {std::string("3/18 version=1.1") + kBodyText},
     {"KOVA:  Warning - Parser encounted a blank line in vMSG", kEnvBlank}},
    {"a folder before the originator vCard stays, the vCard's LUID does not arrive",
     kHead + "X-IRMC-LUID:m1\r\nX-BT-FOLDER:OUTBOX\r\nBEGIN:VCARD\r\nVERSION:2.1\r\nN:Doe\r\n"
             "X-IRMC-LUID:c1\r\nEND:VCARD\r\nBEGIN:VENV\r\nBEGIN:VCARD\r\nVERSION:2.1\r\n"
             "N:Roe\r\nEND:VCARD\r\nBEGIN:VBODY\r\n" + kBody + kClose, 17,
     {std::string("5/17 luid=m1 version=1.1 folder=OUTBOX") + kBodyText}, {}},
    {"a broken originator vCard is dropped with its own log",
     kHead + "BEGIN:VCARD\r\nVERSION:2.1\r\nEND:VCARD\r\n" + kOpen + kBody + kClose, 17,
     {std::string("3/17 version=1.1") + kBodyText},
     {"KOVA:  Error - vCard missing END tago or does not contain required VERSION or N "
      "properties"}},
    {"nested envelopes; only the first body counts",
     kHead + "BEGIN:VENV\r\n" + kOpen + kBody + "END:VBODY\r\nBEGIN:VBODY\r\nSubject:2\r\n"
             "END:VBODY\r\nEND:VENV\r\nX-ANY:ignored\r\nEND:VENV\r\nEND:VMSG\r\n", 17,
     {std::string("3/17 version=1.1") + kBodyText}, {}},
    {"an envelope without a body", kHead + "BEGIN:VENV\r\nEND:VENV\r\nEND:VMSG\r\n", 19, {},
     {kNoBody}},
    {"no envelope", kHead + "END:VMSG\r\n", 19, {}, {}},
    {"an unexpected BEGIN in the message", kHead + "BEGIN:VNOTE\r\n" + kOpen + kBody + kClose, 19,
     {}, {}},
    {"the stream ends in the body headers", kHead + kOpen + "Subject:x\r\n", 19, {},
     {"KOVA:  Error - vBody missing END tag", kNoBody}},
    {"END:VBODY as the very last bytes is still the end of the stream",
     kHead + kOpen + "\r\ntext\r\nEND:VBODY", 19, {}, {kContentEof, kNoBody}},
    {"after the content's END:VBODY line the envelope meets the empty text at the end",
     kHead + kOpen + "\r\ntext\r\nEND:VBODY\r\n", 19, {}, {kEnvBlank, kNoBody}},
    {"END:VENV as the last line leaves the envelope at the end of the stream",
     kHead + kOpen + kBody + "END:VBODY\r\nEND:VENV\r\n", 19, {}, {kNoBody}},
    {"the stream ends after the envelope",
     kHead + kOpen + kBody + "END:VBODY\r\nEND:VENV\r\nX-IRMC-TYPE:SMS\r\n", 19, {}, {}},
    {"multipart: preamble and epilogue dropped, MainPart holds the first part",
     message("", kMultipart), 17,
     {"3/17 version=1.1; Mime-Version=1.0; text/plain||first\npart + text/html|8bit|<p>second</p>"},
     {kTrace}},
    {"quoted boundary; a first part without Content-Type keeps the body's",
     message("", "Content-Type:multipart/mixed; boundary=\"abc def\"; x=1\r\n\r\n--abc def\r\n"
                 "\r\none\r\n--abc def--\r\n"), 17,
     {"3/17 version=1.1;; multipart/mixed; boundary=\"abc def\"; x=1||one"},
     {"KOVA:  Parsing Multipart Content (boundary='abc def')"}},
    {"the words of a boundary are lower case",
     message("", "Content-Type:Multipart/mixed; boundary=b1\r\n\r\n--b1\r\n\r\none\r\n"), 17,
     {"3/17 version=1.1;; Multipart/mixed; boundary=b1||--b1\n\none"}, {}},
    {"multipart without a closing delimiter",
     message("", "Content-Type:multipart/mixed; boundary=b1\r\n\r\n--b1\r\n\r\none\r\n"), 19, {},
     {kTrace, kContentEof, kNoBody}},
    {"a part header folded over two lines stops the parts with a warning",
     message("", "Content-Type:multipart/mixed; boundary=b1\r\n\r\n--b1\r\n"
                 "Content-Type:text/plain;\r\n charset=us-ascii\r\n\r\none\r\n--b1--\r\n"), 18,
     {"3/18 version=1.1;; text/plain;||(none)"},
     {kTrace, "KOVA:  Warning - Parser encountered unexpected property: 'charset=us-ascii'",
      kEnvBlank}},  // the envelope reads past the rest of the body
};

TEST(VmessageReader, ReadsMessagesWithTheirStatusAndLog)
{
    for (const MessageCase &c : kCases) {
        SCOPED_TRACE(c.name);
        Outcome out = read(c.input);
        EXPECT_EQ(out.result, c.result);
        EXPECT_EQ(out.messages, c.messages);
        EXPECT_EQ(out.log, c.log);
    }
}

TEST(VmessageReader, FolderChoosesTheObjectType)
{
    const std::pair<const char *, char> cases[] = {
        {"X-BT-FOLDER:OUTBOX\r\n", '5'}, {"X-BT-FOLDER:SENTBOX\r\n", '4'},
        {"X-BT-FOLDER:Outbox\r\n", '3'}, {"", '3'}};
    for (const auto &[line, type] : cases) {
        SCOPED_TRACE(line);
        testing::TempDevice device;
        testing::write_file(device.path("m.vmg"), message(line, kBody));
        std::vector<std::string> messages;
        std::u16string path = device.wide_path("m.vmg");
        EXPECT_EQ(KOVA_ReadObjects(path.c_str(), collect, &messages), 0u);
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0][0], type);
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
    // 500 lines of 99 bytes joined by LF: 49999 bytes.
    Outcome out = read(message("", "\r\n" + lines_of(500, 99)));
    ASSERT_EQ(out.messages.size(), 1u);
    EXPECT_EQ(out.messages[0].substr(out.messages[0].size() - 7), " @81920");
    EXPECT_EQ(out.log, (std::vector<std::string>{
                           "KOVA:  CONTENT_AddToBuffer - expanding to 40960 bytes",
                           "KOVA:  CONTENT_AddToBuffer - expanding to 81920 bytes"}));

    // 51200 lines of 1023 bytes: 52428799 bytes, twelve doublings.
    out = read(message("", "\r\n" + lines_of(51200, 1023)));
    EXPECT_EQ(out.messages, std::vector<std::string>{"3/17 version=1.1;; ||52428799 @83886080"});
    EXPECT_EQ(out.log.size(), 12u);
}

TEST(VmessageReader, TenThousandNestedBegins)
{
    std::string text = kHead;
    for (int i = 0; i < 10000; ++i) text += "BEGIN:VENV\r\n";
    text += "BEGIN:VBODY\r\n" + kBody + "END:VBODY\r\n";
    for (int i = 0; i < 10000; ++i) text += "END:VENV\r\n";
    Outcome out = read(text + "END:VMSG\r\n");
    EXPECT_EQ(out.messages, std::vector<std::string>{std::string("3/17 version=1.1") + kBodyText});

    std::string originator = kHead + "BEGIN:VCARD\r\n";
    for (int i = 0; i < 10000; ++i) originator += "BEGIN:AGENT\r\n";
    out = read(originator);
    EXPECT_EQ(out.result, 19u);
    EXPECT_TRUE(out.messages.empty());
}

// A caller may attach files to the parts it gets; releasing the message removes those of
// chained parts, never the one named in MainPart.
void attach_files(uint32_t, ObjectRecord *record, uint32_t, void *context)
{
    auto *names = static_cast<std::vector<std::u16string> *>(context);
    MessageRecord &m = record->Message;
    ASSERT_NE(m.MainPart.Next, nullptr);
    (*names)[0].copy(m.MainPart.FileName, (*names)[0].size());
    (*names)[1].copy(m.MainPart.Next->FileName, (*names)[1].size());
}

TEST(VmessageReader, ReleaseRemovesTheFilesOfChainedParts)
{
    testing::TempDevice device;
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

TEST(VmessageReader, ContentThatCannotGrowIsDroppedAndThePartKept)
{
    ContentPart part{};
    size_t used = 0;
    model::fail_allocation_after(1);
    EXPECT_EQ(CONTENT_AddToBuffer(part, used, "lost"), base::Status::OutOfMemory);
    EXPECT_EQ(part.Text, nullptr);
    // An empty first line is still a line: the next one follows after an LF.
    EXPECT_EQ(CONTENT_AddToBuffer(part, used, ""), base::Status::Parsed);
    EXPECT_EQ(CONTENT_AddToBuffer(part, used, "a"), base::Status::Parsed);
    const std::string wide(30000, 'w');
    model::fail_allocation_after(1);
    EXPECT_EQ(CONTENT_AddToBuffer(part, used, wide.c_str()), base::Status::OutOfMemory);
    EXPECT_STREQ(part.Text, "\na");
    EXPECT_EQ(part.TextCapacity, 20480u);
    EXPECT_EQ(CONTENT_AddToBuffer(part, used, wide.c_str()), base::Status::Parsed);
    EXPECT_EQ(part.TextCapacity, 40960u);
    EXPECT_EQ(std::strlen(part.Text), 30003u);
    model::release(part.Text);
}

// Every allocation of a multipart read fails once in turn: no crash, no leak (the
// sanitizer build checks), a reader code. The boundary copy is the last allocation
// before the multipart trace; failing it ends the file with 11.
TEST(VmessageReader, SurvivesEachAllocationFailing)
{
    const std::string originator = "BEGIN:VCARD\r\nVERSION:2.1\r\nN:A;B\r\nEND:VCARD\r\n";
    const std::string text = kHead + originator + kOpen + kMultipart + kClose;
    unsigned long before = model::allocation_count();
    ASSERT_EQ(read(text).result, 17u);
    unsigned long needed = model::allocation_count() - before;
    Outcome at_boundary{};
    for (unsigned long n = 1; n <= needed; ++n) {
        SCOPED_TRACE(n);
        model::fail_allocation_after(n);
        Outcome out = read(text);
        model::fail_allocation_after(0);
        EXPECT_TRUE(out.result == 11 || (out.result >= 17 && out.result <= 19));
        bool traced = false;
        for (const std::string &line : out.log) traced = traced || line.rfind(kTrace, 0) == 0;
        if (!traced) at_boundary = out;
    }
    EXPECT_EQ(at_boundary.result, 11u);
    EXPECT_TRUE(at_boundary.messages.empty());
    EXPECT_EQ(at_boundary.log, std::vector<std::string>{"KOVA:  Error - Memory allocation error"});
}

}  // namespace
}  // namespace kova::vobject
