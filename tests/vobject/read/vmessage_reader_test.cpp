#include "vobject/read/vmessage_reader.h"

#include <gtest/gtest.h>

#include "model/alloc.h"
#include "vobject/read/read_fixture.h"

namespace kova::vobject {
namespace {

using testing::field;

// " luid=.. folder=..; Subject=..; type|encoding|text + ...".
std::string message_line(const ObjectRecord &record)
{
    const MessageRecord &m = record.Message;
    std::string out = field("luid", m.Luid) + field("version", m.Version) +
                      field("status", m.IrmcStatus) + field("type", m.IrmcType) +
                      field("folder", m.Folder) + ";" + field("Date", m.Date) +
                      field("From", m.From) + field("To", m.To) + field("Cc", m.Cc) +
                      field("Reply-To", m.ReplyTo) + field("Subject", m.Subject) +
                      field("Mime-Version", m.MimeVersion) + "; ";
    for (const ContentPart *p = &m.MainPart; p; p = p->Next)
        out += std::string(p == &m.MainPart ? "" : " + ") + p->ContentType + "|" +
               p->ContentTransferEncoding + "|" + (p->Text ? p->Text : "(none)");
    return out;
}

const char *const kNoBody = "KOVA:  Error - vMsg missing BODY section";
const std::string kHead = "BEGIN:VMSG\r\nVERSION:1.1\r\n";
const std::string kOpen = "BEGIN:VENV\r\nBEGIN:VBODY\r\n";
const std::string kClose = "END:VBODY\r\nEND:VENV\r\nEND:VMSG\r\n";
const std::string kBody = "Subject:Hi\r\n\r\ntext\r\n";
const std::string kLong(2000, 'x');

// VERSION:1.1, the given message-level lines, one envelope with the given body lines.
std::string message(const std::string &top, const std::string &body)
{
    return kHead + top + kOpen + body + kClose;
}

const testing::ReadCase kCases[] = {
    // A folded header is one value and a later one wins; header values keep their blanks,
    // message values only the leading ones; an unknown header is forgotten with the content.
    {"one message with every field",
     message("X-IRMC-LUID: a b\r\nX-IRMC-STATUS:UNREAD\r\nX-IRMC-TYPE:S\r\nX-BT-FOLDER: OUTBOX\r\n",
             "Date:Fri, 16 May 2003 21:57:50 +0200\r\nFrom: A b\r\nTo:t\r\nCc:c\r\nReply-To:r\r\n"
             "Subject:Hello\r\n world\r\nMime-Version:1.0\r\nContent-Type:text/plain\r\n"
             "subject:x\r\nContent-Type:text/x-vnote\r\nContent-Transfer-Encoding:8bit\r\n\r\n"
             "line 1\r\nline 2\r\n"),
     0, {"3/17 luid= ab version=1.1 status=UNREAD type=S folder= OUTBOX; Date=Fri, 16 May 2003 "
         "21:57:50 +0200 From= A b To=t Cc=c Reply-To=r Subject=Hello world Mime-Version=1.0; "
         "text/x-vnote|8bit|line 1\nline 2"},
     {"KOVA:  Warning - Parser encountered unknown property: 'subject'"}},
    {"the folder picks the type, OUTBOX 5 in the originator row",
     message("X-BT-FOLDER:SENTBOX\r\n", kBody) + message("X-BT-FOLDER:Outbox\r\n", kBody), 0,
     {"4/17 version=1.1 folder=SENTBOX; Subject=Hi; ||text",
      "3/17 version=1.1 folder=Outbox; Subject=Hi; ||text"}, {}},
    {"version 1.2", "BEGIN:VMSG\r\nVERSION:1.2\r\n" + kOpen + kBody + kClose, 19, {},
     {"KOVA:  Error - vMsg version '1.2' is not supported"}},
    {"content lines stay raw; slashes carry END:VBODY lines; a longer one ends the content",
     message("", "\r\n\r\n  indented=\r\n\tTAB\r\n\r\n/END:VBODY\r\n//END:VBODY\r\n/x\r\n"
                 "END:VBODYX\r\nnot content\r\n"), 0,
     {"3/17 version=1.1;; ||\n  indented=\n\tTAB\n\nEND:VBODY\n/END:VBODY\n/x"}, {}},
    {"a text as long as its buffer leaves no room for the terminator",
     message("", "\r\n" + std::string(40960, 'x') + "\r\n"), 0,
     {"3/17 version=1.1;; ||" + std::string(40960, 'x')},
     {"KOVA:  CONTENT_AddToBuffer - expanding to 40960 bytes",
      "KOVA:  CONTENT_AddToBuffer - expanding to 81920 bytes"}},
    {"an over-long message value is cut and warned", message("X-BT-FOLDER:" + kLong + "\r\n", ""),
     0, {"3/18 version=1.1 folder=" + kLong.substr(0, 49) + ";; ||(none)"}, {}},
    {"an over-long header is cut and warned", message("", "Subject:" + kLong + "\r\n"), 0,
     {"3/18 version=1.1; Subject=" + kLong.substr(0, 1023) + "; ||(none)"}, {}},
    // Blank lines and unknown names warn; header names pass over in the message.
    {"what precedes the originator stays; vCards are dropped, broken ones with their log",
     kHead + "\r\nX-FOO:1\r\nSubject:no\r\nX-IRMC-LUID:m1\r\nX-BT-FOLDER:OUTBOX\r\nBEGIN:VCARD\r\n"
             "VERSION:2.1\r\nN:Doe\r\nX-IRMC-LUID:c1\r\nEND:VCARD\r\nBEGIN:VENV\r\n\r\n"
             "BEGIN:VCARD\r\nVERSION:2.1\r\nEND:VCARD\r\nBEGIN:VBODY\r\n" + kBody + kClose, 0,
     {"5/18 luid=m1 version=1.1 folder=OUTBOX; Subject=Hi; ||text"},
     {"KOVA:  Warning - Parser encounted a blank line in vMSG",
      "KOVA:  Warning - Parser encountered unknown property: 'X-FOO'",
      "KOVA:  Warning - Parser encounted a blank line in vEnv",
      "KOVA:  Error - vCard missing END tago or does not contain required VERSION or N "
      "properties"}},
    {"a nested envelope ends at its own END; only the first body counts",
     kHead + "BEGIN:VENV\r\n" + kOpen + kBody + "END:VBODY\r\nEND:VENV\r\nBEGIN:VBODY\r\n"
             "Subject:2\r\n" + kClose, 0, {"3/17 version=1.1; Subject=Hi; ||text"}, {}},
    {"a second envelope's parts join those of the first",
     kHead + kOpen + "Content-Type:multipart/mixed; boundary=b\r\n\r\n--b\r\n\r\na1\r\n--b\r\n"
             "\r\na2\r\n--b--\r\nEND:VBODY\r\nEND:VENV\r\n" + kOpen + "\r\npreamble\r\n--b\r\n\r\nb1\r\n"
             "--b\r\n\r\nb2\r\n--b\r\n\r\nb3\r\n--b--\r\n" + kClose, 0,
     {"3/17 version=1.1;; multipart/mixed; boundary=b||a1\nb1 + ||a2\nb2 + ||b3"},
     {"KOVA:  Parsing Multipart Content (boundary='b')",
      "KOVA:  Parsing Multipart Content (boundary='b')"}},
    {"an envelope without a body", kHead + "BEGIN:VENV\r\nEND:VENV\r\nEND:VMSG\r\n", 19, {},
     {kNoBody}},
    {"an unexpected BEGIN", kHead + "BEGIN:VNOTE\r\n" + kOpen + kBody + kClose, 19, {}, {}},
    {"the stream ends in the body headers", kHead + kOpen + "Subject:x\r\n", 19, {},
     {"KOVA:  Error - vBody missing END tag", kNoBody}},
    {"END:VBODY as the very last bytes is still the end of the stream",
     kHead + kOpen + "\r\ntext\r\nEND:VBODY", 19, {},
     {"KOVA:  Error - reached EOF while parsing CONTENT of vMsg", kNoBody}},
    {"multipart: preamble and epilogue dropped, MainPart holds the first part; only -- closes",
     message("", "Content-Type:multipart/mixed; boundary=\"b 1\"; x=1\r\n\r\npreamble\r\n--b 1\r\n"
                 "Content-Type:text/plain\r\n\r\nfirst\r\npart\r\n--b 1--x\r\n"
                 "Content-Transfer-Encoding:8bit\r\n\r\nsecond\r\n--b 1--\r\nepilogue\r\n"),
     0, {"3/17 version=1.1;; text/plain||first\npart + |8bit|second"},
     {"KOVA:  Parsing Multipart Content (boundary='b 1')"}},
};

TEST(VmessageReader, ReadsMessagesWithTheirStatusAndLog)
{
    testing::check_reads(kCases, message_line);
}

// A line that does not fit is dropped; the text, its buffer and its length stay as they were.
TEST(VmessageReader, ContentThatCannotGrowIsDropped)
{
    ContentPart part{};
    size_t used = 0;
    CONTENT_AddToBuffer(part, used, "a");
    model::fail_allocation_after(1);
    EXPECT_EQ(CONTENT_AddToBuffer(part, used, std::string(30000, 'w').c_str()),
              base::Status::OutOfMemory);
    EXPECT_EQ(CONTENT_AddToBuffer(part, used, "b"), base::Status::Parsed);
    EXPECT_STREQ(part.Text, "a\nb");
    EXPECT_EQ(part.TextCapacity, 20480u);
    model::release(part.Text);
}

}  // namespace
}  // namespace kova::vobject
