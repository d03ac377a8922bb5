#include "vobject/read/vmessage_reader.h"

#include <gtest/gtest.h>

#include <cstring>

#include "model/alloc.h"
#include "vobject/read/read_fixture.h"

namespace kova::vobject {
namespace {

using testing::field;
using testing::repeat;

// " luid=.. folder=..; Subject=..; type|encoding|text + ...". A text over 10 kB shows as
// its length, a buffer grown beyond 20480 bytes as "@capacity".
std::string message_line(const ObjectRecord &record)
{
    const MessageRecord &m = record.Message;
    std::string out = field("luid", m.Luid) + field("version", m.Version) +
                      field("status", m.IrmcStatus) + field("type", m.IrmcType) +
                      field("folder", m.Folder) + ";" + field("Date", m.Date) +
                      field("From", m.From) + field("To", m.To) + field("Cc", m.Cc) +
                      field("Reply-To", m.ReplyTo) + field("Subject", m.Subject) +
                      field("Mime-Version", m.MimeVersion) + "; ";
    for (const ContentPart *p = &m.MainPart; p; p = p->Next) {
        size_t length = p->Text ? std::strlen(p->Text) : 0;
        out += std::string(p == &m.MainPart ? "" : " + ") + p->ContentType + "|" +
               p->ContentTransferEncoding + "|" +
               (!p->Text ? "(none)" : length > 10000 ? std::to_string(length) : p->Text);
    }
    if (m.MainPart.TextCapacity > 20480) out += " @" + std::to_string(m.MainPart.TextCapacity);
    return out;
}

const char *const kNoBody = "KOVA:  Error - vMsg missing BODY section";
const char *const kContentEof = "KOVA:  Error - reached EOF while parsing CONTENT of vMsg";
const char *const kEnvBlank = "KOVA:  Warning - Parser encounted a blank line in vEnv";
const char *const kTrace = "KOVA:  Parsing Multipart Content (boundary='b1')";
const char *const kVcardMissing =
    "KOVA:  Error - vCard missing END tago or does not contain required VERSION or N properties";
const std::string kHead = "BEGIN:VMSG\r\nVERSION:1.1\r\n";
const std::string kOpen = "BEGIN:VENV\r\nBEGIN:VBODY\r\n";
const std::string kClose = "END:VBODY\r\nEND:VENV\r\nEND:VMSG\r\n";
const std::string kBody = "Subject:Hi\r\n\r\ntext\r\n";
const std::string kRead = "3/17 version=1.1; Subject=Hi; ||text";
const std::string kWarned = "3/18 version=1.1; Subject=Hi; ||text";
const std::string kMultipart = "Content-Type:multipart/mixed; boundary=b1; x=1\r\n\r\n";
const std::string kLong(2000, 'x');

// VERSION:1.1, the given message-level lines, one envelope with the given body lines.
std::string message(const std::string &top, const std::string &body)
{
    return kHead + top + kOpen + body + kClose;
}

// The log of a content buffer that doubles from 20480 bytes the given number of times.
std::vector<std::string> expansions(int count)
{
    std::vector<std::string> log;
    for (int i = 1; i <= count; ++i)
        log.push_back("KOVA:  CONTENT_AddToBuffer - expanding to " +
                      std::to_string(20480 << i) + " bytes");
    return log;
}

const testing::ReadCase kCases[] = {
    {"one message; a folded header is one value, a later one wins",
     message("X-IRMC-STATUS:UNREAD\r\nX-BT-FOLDER:INBOX\r\n",
             "Date:Fri, 16 May 2003 21:57:50 +0200\r\nFrom:Ann\r\nTo:t\r\nCc:c\r\nReply-To:r\r\n"
             "Subject:Hello\r\n world\r\nMime-Version:1.0\r\nContent-Type:text/plain\r\n"
             "Content-Type:text/x-vnote\r\nContent-Transfer-Encoding:8bit\r\n\r\nline 1\r\n"
             "line 2\r\n"),
     0, {"3/17 version=1.1 status=UNREAD folder=INBOX; Date=Fri, 16 May 2003 21:57:50 +0200 "
         "From=Ann To=t Cc=c Reply-To=r Subject=Hello world Mime-Version=1.0; "
         "text/x-vnote|8bit|line 1\nline 2"}, {}},
    {"the folder picks the type",
     message("X-BT-FOLDER:SENTBOX\r\n", kBody) + message("X-BT-FOLDER:Outbox\r\n", kBody) +
         message("X-BT-FOLDER:OUTBOX\r\n", kBody), 0,
     {"4/17 version=1.1 folder=SENTBOX; Subject=Hi; ||text",
      "3/17 version=1.1 folder=Outbox; Subject=Hi; ||text",
      "5/17 version=1.1 folder=OUTBOX; Subject=Hi; ||text"}, {}},
    {"version 1.2", "BEGIN:VMSG\r\nVERSION:1.2\r\n" + kOpen + kBody + kClose, 19, {},
     {"KOVA:  Error - vMsg version '1.2' is not supported"}},
    {"header values keep their blanks, message values only the leading ones; no content",
     message("X-IRMC-LUID: a b\r\nX-BT-FOLDER: OUTBOX\r\n", "Subject: a b\r\n"), 0,
     {"3/17 luid= ab version=1.1 folder= OUTBOX; Subject= a b; ||(none)"}, {}},
    {"content lines stay raw; slashes carry END:VBODY lines; a longer one ends the content",
     message("", "\r\n\r\n  indented=\r\n\tTAB\r\n\r\n/END:VBODY\r\n//END:VBODY\r\n/x\r\n"
                 "END:VBODYX\r\nnot content\r\n"), 0,
     {"3/17 version=1.1;; ||\n  indented=\n\tTAB\n\nEND:VBODY\n/END:VBODY\n/x"}, {}},
    {"a line that fills the first buffer to its last byte",
     message("", "\r\n" + std::string(20479, 'x') + "\r\n"), 0, {"3/17 version=1.1;; ||20479"}, {}},
    {"a text as long as its buffer leaves no room for the terminator",
     message("", "\r\n" + repeat(std::string(1023, 'x') + "\r\n", 5120) + "\r\n"), 0,
     {"3/17 version=1.1;; ||5242880 @10485760"}, expansions(9)},
    {"an over-long message value is cut and warned", message("X-BT-FOLDER:" + kLong + "\r\n", ""),
     0, {"3/18 version=1.1 folder=" + kLong.substr(0, 49) + ";; ||(none)"}, {}},
    {"an over-long header is cut and warned", message("", "Subject:" + kLong + "\r\n"), 0,
     {"3/18 version=1.1; Subject=" + kLong.substr(0, 1023) + "; ||(none)"}, {}},
    {"an unknown header is forgotten once the content is read",
     message("", "Return-Path:<a@b>\r\nsubject:x\r\n\r\ntext\r\n"), 0,
     {"3/17 version=1.1;; ||text"},
     {"KOVA:  Warning - Parser encountered unknown property: 'Return-Path'",
      "KOVA:  Warning - Parser encountered unknown property: 'subject'"}},
    {"unknown message lines warn this and every later message; headers pass over here",
     message("X-FOO:1\r\nSubject:not here\r\n", kBody) + message("", kBody), 0, {kWarned, kWarned},
     {"KOVA:  Warning - Parser encountered unknown property: 'X-FOO'"}},
    {"blank lines in the message and in the envelope",
     kHead + "\r\nBEGIN:VENV\r\n\r\nBEGIN:VBODY\r\n" + kBody + kClose, 0, {kWarned},
     {"KOVA:  Warning - Parser encounted a blank line in vMSG", kEnvBlank}},
    {"what precedes the originator stays; vCards are dropped, broken ones with their log",
     kHead + "X-IRMC-LUID:m1\r\nX-BT-FOLDER:OUTBOX\r\nBEGIN:VCARD\r\nVERSION:2.1\r\nN:Doe\r\n"
             "X-IRMC-LUID:c1\r\nEND:VCARD\r\nBEGIN:VENV\r\nBEGIN:VCARD\r\nVERSION:2.1\r\n"
             "END:VCARD\r\nBEGIN:VBODY\r\n" + kBody + kClose, 0,
     {"5/17 luid=m1 version=1.1 folder=OUTBOX; Subject=Hi; ||text"}, {kVcardMissing}},
    {"ten thousand nested envelopes; only the first body counts",
     kHead + repeat("BEGIN:VENV\r\n", 10000) + "BEGIN:VBODY\r\n" + kBody + "END:VBODY\r\n" +
         "BEGIN:VBODY\r\nSubject:2\r\nEND:VBODY\r\nX-ANY:ignored\r\n" +
         repeat("END:VENV\r\n", 10000) + "END:VMSG\r\n", 0, {kRead}, {}},
    {"an envelope without a body", kHead + "BEGIN:VENV\r\nEND:VENV\r\nEND:VMSG\r\n", 19, {},
     {kNoBody}},
    {"no envelope", kHead + "END:VMSG\r\n", 19, {}, {}},
    {"an unexpected BEGIN", kHead + "BEGIN:VNOTE\r\n" + kOpen + kBody + kClose, 19, {}, {}},
    {"a first name that merely holds BEGIN", "X-BEGIN:VMSG\r\n" + kOpen + kBody + kClose, 19, {},
     {"KOVA:  Error - vMsg does not have a BEGIN tag"}},
    {"the stream ends in the body headers", kHead + kOpen + "Subject:x\r\n", 19, {},
     {"KOVA:  Error - vBody missing END tag", kNoBody}},
    {"END:VBODY as the very last bytes is still the end of the stream",
     kHead + kOpen + "\r\ntext\r\nEND:VBODY", 19, {}, {kContentEof, kNoBody}},
    {"END:VENV as the last line leaves the envelope at the end of the stream",
     kHead + kOpen + kBody + "END:VBODY\r\nEND:VENV\r\n", 19, {}, {kNoBody}},
    {"the stream ends after the envelope",
     kHead + kOpen + kBody + "END:VBODY\r\nEND:VENV\r\nX-IRMC-TYPE:SMS\r\n", 19, {}, {}},
    {"multipart: preamble and epilogue dropped, MainPart holds the first part",
     message("", "Mime-Version:1.0\r\nContent-Type:multipart/mixed; boundary=b1 x\r\n\r\npreamble"
                 "\r\n--b1\r\nContent-Type:text/plain\r\n\r\nfirst\r\npart\r\n--b1\r\n"
                 "Content-Type:text/html\r\n"
                 "Content-Transfer-Encoding:8bit\r\n\r\n<p>second</p>\r\n--b1--\r\nepilogue\r\n"),
     0, {"3/17 version=1.1; Mime-Version=1.0; text/plain||first\npart + "
         "text/html|8bit|<p>second</p>"}, {kTrace}},
    {"quoted boundary; a first part without Content-Type keeps the body's; only -- closes",
     message("", "Content-Type:multipart/mixed; boundary=\"abc def\"; x=1\r\n\r\n--abc def\r\n"
                 "\r\none\r\n--abc def--x\r\n\r\ntwo\r\n--abc def--\r\n"), 0,
     {"3/17 version=1.1;; multipart/mixed; boundary=\"abc def\"; x=1||one + ||two"},
     {"KOVA:  Parsing Multipart Content (boundary='abc def')"}},
    {"the words of a boundary are lower case",
     message("", "Content-Type:Multipart/mixed; boundary=b1\r\n\r\n--b1\r\n\r\none\r\n"), 0,
     {"3/17 version=1.1;; Multipart/mixed; boundary=b1||--b1\n\none"}, {}},
    {"no closing delimiter", message("", kMultipart + "--b1\r\n\r\none\r\n"), 19, {},
     {kTrace, kContentEof, kNoBody}},
    {"a part header folded over two lines stops the parts with a warning",
     message("", kMultipart + "--b1\r\nContent-Type:text/plain;\r\n charset=us-ascii\r\n\r\n"
                              "one\r\n--b1--\r\n"), 0, {"3/18 version=1.1;; text/plain;||(none)"},
     {kTrace, "KOVA:  Warning - Parser encountered unexpected property: 'charset=us-ascii'",
      kEnvBlank}},  // the envelope reads past the rest of the body
};

TEST(VmessageReader, ReadsMessagesWithTheirStatusAndLog)
{
    testing::check_reads(kCases, message_line);
}

// A line that does not fit is dropped; the text and its buffer stay as they were.
TEST(VmessageReader, ContentThatCannotGrowIsDropped)
{
    ContentPart part{};
    size_t used = 0;
    const std::string wide(30000, 'w');
    EXPECT_EQ(CONTENT_AddToBuffer(part, used, "a"), base::Status::Parsed);
    model::fail_allocation_after(1);
    EXPECT_EQ(CONTENT_AddToBuffer(part, used, wide.c_str()), base::Status::OutOfMemory);
    EXPECT_STREQ(part.Text, "a");
    EXPECT_EQ(part.TextCapacity, 20480u);
    EXPECT_EQ(CONTENT_AddToBuffer(part, used, wide.c_str()), base::Status::Parsed);
    EXPECT_EQ(std::strlen(part.Text), 30002u);
    model::release(part.Text);
}

TEST(VmessageReader, SurvivesEachAllocationFailing)
{
    const std::string originator = "BEGIN:VCARD\r\nVERSION:2.1\r\nN:A;B\r\nEND:VCARD\r\n";
    const std::string parts = "--b1\r\n\r\none\r\n--b1\r\n\r\ntwo\r\n--b1--\r\n";
    testing::walk_allocation_failures(message(originator, kMultipart + parts), message_line);
}

}  // namespace
}  // namespace kova::vobject
