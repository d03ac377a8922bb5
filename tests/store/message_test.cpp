#include "store/message.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "model/alloc.h"
#include "model/record.h"
#include "support/test_support.h"

namespace kova::store {
namespace {

// A zeroed message record, a structure to put it into, and the body text that the
// structure points at; what the store allocated and the record's text go at the end.
struct Put {
    ~Put()
    {
        pim::MailFree(message);
        model::release(record.MainPart.Text);
    }
    void body(const std::string &text, const char *type = "", const char *encoding = "")
    {
        record.MainPart.Text = model::copy_text(text);
        model::copy_field(record.MainPart.ContentType, type);
        model::copy_field(record.MainPart.ContentTransferEncoding, encoding);
    }
    void run() { pol_PutMessage(message, record, text); }
    std::optional<std::u16string> header(const char16_t *name) const
    {
        return pim::MailGetField(message, name, 0);
    }
    MessageRecord record{};
    pim::StoreMessage message{};
    std::u16string text;
};

TEST(Message, TakesSenderAndRecipientFromTheirFallbacks)
{
    testing::TempDevice device;  // widening reads the configuration
    const struct {
        const char *name, *header, *entries, *alt_entries;
        std::optional<std::u16string> expected;
    } kCases[] = {
        {"header as it is", "Ann <a@x>", "|b", "|c", u"Ann <a@x>"},
        {"entries", "", "|a|b", "|c", u"a; b"},
        {"second entries", "", "", "|a|b", u"a;b"},
        {"entries without a bar", "", "ab", "", u"b"},
        {"a lone bar decides and gives nothing", "", "|", "|c", std::nullopt},
        {"all empty", "", "", "", std::nullopt},
    };
    for (const auto &c : kCases) {
        SCOPED_TRACE(c.name);
        Put put;
        MessageRecord &r = put.record;
        model::copy_field(r.From, c.header);
        model::copy_field(r.SenderText, c.entries);
        model::copy_field(r.SenderAltText, c.alt_entries);
        model::copy_field(r.To, c.header);
        model::copy_field(r.RecipientText, c.entries);
        model::copy_field(r.RecipientAltText, c.alt_entries);
        put.run();
        EXPECT_EQ(put.header(u"From"), c.expected);
        EXPECT_EQ(put.header(u"To"), c.expected);
    }
    Put put;  // the other headers as they are, but for Reply-To
    model::copy_field(put.record.Cc, "c@x");
    model::copy_field(put.record.Subject, "Lunch?");
    model::copy_field(put.record.ReturnPath, "<r@x>");
    model::copy_field(put.record.ReplyTo, "reply@x");
    put.run();
    EXPECT_EQ(put.header(u"Cc"), u"c@x");
    EXPECT_EQ(put.header(u"Subject"), u"Lunch?");
    EXPECT_EQ(put.header(u"Return-path"), u"<r@x>");
    EXPECT_EQ(put.header(u"Reply-To"), std::nullopt);
}

TEST(Message, DecodesTheBodyWithCrLfLineEnds)
{
    testing::TempDevice device;
    const struct {
        const char *name, *text, *type, *encoding;
        std::u16string expected;
    } kCases[] = {
        {"LF", "a\nb\n", "text/plain", "", u"a\r\nb\r\n"},
        {"CR LF", "a\r\nb", "", "", u"a\r\r\nb"},
        {"quoted-printable UTF-8", "K=C3=A4se=0Ax", "text/plain; charset=UTF-8",
         "quoted-printable", u"K\u00e4se\r\nx"},
    };
    for (const auto &c : kCases) {
        SCOPED_TRACE(c.name);
        Put put;
        put.body(c.text, c.type, c.encoding);
        put.run();
        EXPECT_EQ(put.text, c.expected);
        EXPECT_EQ(put.message.Body, put.text.data());
        EXPECT_EQ(put.message.BodyLength, c.expected.size());
    }
    Put absent, empty;
    absent.run();
    empty.body("");
    empty.run();
    for (Put *p : {&absent, &empty}) {
        EXPECT_EQ(p->message.Body, nullptr);
        EXPECT_EQ(p->message.BodyLength, 0u);
    }
}

TEST(Message, KeepsALongBodyWholeAndCutsOnlyItsLength)
{
    testing::TempDevice device;
    std::string lines;
    for (int i = 0; i < 400000; ++i) lines += "line\n";  // 2 MB, 2.4 million units
    Put big;
    big.body(lines);
    big.run();
    EXPECT_EQ(big.text.size(), 2400000u);
    EXPECT_EQ(big.message.BodyLength, 65535u);  // the store keeps the first 64 K units

    Put pair;  // the 65535th unit would be the first half of a pair
    pair.body(std::string(65534, 'a') + "\xf0\x9f\x98\x80", "text/plain; charset=UTF-8");
    pair.run();
    EXPECT_EQ(pair.text.size(), 65536u);
    EXPECT_EQ(pair.message.BodyLength, 65534u);
}

}  // namespace
}  // namespace kova::store
