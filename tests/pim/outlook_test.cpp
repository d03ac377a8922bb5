#include "pim/outlook.h"

#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

#include "pim/database.h"
#include "support/test_support.h"

namespace kova::pim {
namespace {

using testing::TempDevice;

std::unique_ptr<Application> logged_on()
{
    std::unique_ptr<Application> app = Application::create();
    if (!app || app->Logon(0) != kOk) return nullptr;
    return app;
}

template <class T> std::unique_ptr<T> create(Application &app, int type)
{
    std::unique_ptr<Item> item = app.CreateItem(type);
    return std::unique_ptr<T>(static_cast<T *>(item.release()));
}

std::unique_ptr<Item> fetch(Application &app, Oid oid)
{
    std::unique_ptr<Item> item;
    app.GetItemFromOid(oid, item);
    return item;
}

Oid save_contact(Application &app, const std::u16string &last, const std::u16string &first,
                 const std::u16string &company = u"", const std::u16string &file_as = u"")
{
    auto contact = create<Contact>(app, kItemContact);
    contact->LastName = last;
    contact->FirstName = first;
    contact->CompanyName = company;
    contact->FileAs = file_as;
    return contact->Save() == kOk ? contact->oid() : 0;
}

// Every text property gets a text of its own, with a lone surrogate, an embedded NUL and
// a character outside the BMP, which must come back unit for unit.
std::u16string odd_text(const char *name)
{
    std::u16string text = testing::widen(name);
    text += u'\xDC00';
    text += u'\0';
    text += u"\U0001F600 \xD800";
    return text;
}

#define KOVA_TEXT(name) {#name, &Contact::name}
const std::pair<const char *, std::u16string Contact::*> kContactTexts[] = {
    KOVA_TEXT(LastName), KOVA_TEXT(FirstName), KOVA_TEXT(MiddleName), KOVA_TEXT(Title),
    KOVA_TEXT(Suffix), KOVA_TEXT(FileAs), KOVA_TEXT(HomeAddressStreet), KOVA_TEXT(HomeAddressCity),
    KOVA_TEXT(HomeAddressState), KOVA_TEXT(HomeAddressPostalCode), KOVA_TEXT(HomeAddressCountry),
    KOVA_TEXT(BusinessAddressStreet), KOVA_TEXT(BusinessAddressCity),
    KOVA_TEXT(BusinessAddressState), KOVA_TEXT(BusinessAddressPostalCode),
    KOVA_TEXT(BusinessAddressCountry), KOVA_TEXT(OtherAddressStreet), KOVA_TEXT(OtherAddressCity),
    KOVA_TEXT(OtherAddressState), KOVA_TEXT(OtherAddressPostalCode), KOVA_TEXT(OtherAddressCountry),
    KOVA_TEXT(JobTitle), KOVA_TEXT(CompanyName), KOVA_TEXT(Department),
    KOVA_TEXT(HomeTelephoneNumber), KOVA_TEXT(Home2TelephoneNumber),
    KOVA_TEXT(BusinessTelephoneNumber), KOVA_TEXT(Business2TelephoneNumber),
    KOVA_TEXT(HomeFaxNumber), KOVA_TEXT(BusinessFaxNumber), KOVA_TEXT(MobileTelephoneNumber),
    KOVA_TEXT(PagerNumber), KOVA_TEXT(CarTelephoneNumber), KOVA_TEXT(AssistantTelephoneNumber),
    KOVA_TEXT(RadioTelephoneNumber), KOVA_TEXT(WebPage), KOVA_TEXT(Email1Address),
    KOVA_TEXT(Email2Address), KOVA_TEXT(Email3Address), KOVA_TEXT(Body), KOVA_TEXT(Spouse),
    KOVA_TEXT(Children), KOVA_TEXT(AssistantName)};
#undef KOVA_TEXT

auto fields(const Appointment &a)
{
    return std::make_tuple(a.Subject, a.Location, a.Categories, a.Body, a.Start, a.End,
                           a.AllDayEvent, a.BusyStatus, a.Sensitivity, a.ReminderSet,
                           a.ReminderMinutesBeforeStart, a.ReminderOptions, a.IsRecurring());
}

auto fields(const Task &t)
{
    return std::make_tuple(t.Subject, t.Categories, t.Body, t.StartDate, t.DueDate,
                           t.DateCompleted, t.Importance, t.Complete, t.Sensitivity,
                           t.ReminderSet, t.ReminderTime, t.ReminderOptions, t.IsRecurring());
}

TEST(Outlook, ItemsKeepEveryPropertyAcrossLogoff)
{
    TempDevice device;
    auto app = logged_on();
    ASSERT_TRUE(app);
    auto contact = create<Contact>(*app, kItemContact);
    for (const auto &[name, member] : kContactTexts) (*contact).*member = odd_text(name);
    contact->Birthday = 36585.75;         // 29 February 2000, 18:00
    contact->Anniversary = std::nan("");  // kept as the caller gave it
    ASSERT_EQ(contact->Save(), kOk);
    EXPECT_NE(contact->oid(), 0u);
    auto appointment = create<Appointment>(*app, kItemAppointment);
    appointment->Subject = u"Review";
    appointment->Location = u"Room \xD800";
    appointment->Body = u"Line 1\r\nLine 2";
    appointment->Start = 45000.375;
    appointment->End = 45000.4375;
    appointment->AllDayEvent = true;
    appointment->BusyStatus = 7;  // not one of the four, kept anyway
    appointment->Sensitivity = 2;
    appointment->ReminderSet = true;
    appointment->ReminderMinutesBeforeStart = 64800;
    appointment->ReminderOptions = -1;
    ASSERT_EQ(appointment->Save(), kOk);
    auto task = create<Task>(*app, kItemTask);
    task->Subject = u"Pay";
    task->StartDate = 45001.5;  // task dates keep their time of day
    task->DueDate = 45002.25;
    task->DateCompleted = 45003.125;
    task->Importance = 2;
    task->Complete = true;
    task->Sensitivity = 1;
    task->ReminderSet = true;
    task->ReminderTime = 45002.0;
    task->ReminderOptions = kReminderOptionsSound;
    ASSERT_EQ(task->Save(), kOk);

    ASSERT_EQ(app->Logoff(), kOk);
    EXPECT_FALSE(app->logged_on());
    ASSERT_EQ(app->Logon(0), kOk);
    auto c_item = fetch(*app, contact->oid());
    auto a_item = fetch(*app, appointment->oid());
    auto t_item = fetch(*app, task->oid());
    ASSERT_TRUE(c_item && c_item->as_contact() && a_item && a_item->as_appointment() && t_item &&
                t_item->as_task());
    const Contact &back = *c_item->as_contact();
    EXPECT_EQ(back.oid(), contact->oid());
    for (const auto &[name, member] : kContactTexts) EXPECT_EQ(back.*member, odd_text(name)) << name;
    EXPECT_EQ(back.Birthday, 36585.75);
    EXPECT_TRUE(std::isnan(back.Anniversary));
    EXPECT_EQ(fields(*a_item->as_appointment()), fields(*appointment));
    EXPECT_EQ(fields(*t_item->as_task()), fields(*task));
    EXPECT_EQ(t_item->as_task()->Categories, u"");  // a new item's texts are empty
}

TEST(Outlook, FetchesByIdAndKnowsTheKind)
{
    TempDevice device;
    auto app = logged_on();
    ASSERT_TRUE(app);
    Oid contact = save_contact(*app, u"Lind", u"Maja");
    auto task = create<Task>(*app, kItemTask);
    ASSERT_EQ(task->Save(), kOk);

    std::unique_ptr<Item> item;
    ASSERT_EQ(app->GetItemFromOid(contact, item), kOk);
    EXPECT_TRUE(item->type() == kItemContact && item->as_contact() && !item->as_task());
    ASSERT_EQ(app->GetItemFromOid(task->oid(), item), kOk);
    EXPECT_TRUE(item->as_task() && !item->as_contact() && !item->as_appointment());

    EXPECT_EQ(app->GetItemFromOid(task->oid() + 1, item), kNotFound);
    EXPECT_FALSE(item);
    EXPECT_EQ(app->GetItemFromOid(0, item), kNotFound);
    EXPECT_FALSE(app->CreateItem(4));
    EXPECT_FALSE(app->GetDefaultFolder(11));
    app->Logoff();
    EXPECT_FALSE(app->CreateItem(kItemContact));
    EXPECT_FALSE(app->GetDefaultFolder(kFolderContacts));
    EXPECT_TRUE(failed(app->GetItemFromOid(contact, item)));
}

TEST(Outlook, NeverReusesAnIdAndListsItemsInTheOrderFirstSaved)
{
    TempDevice device;
    auto app = logged_on();
    ASSERT_TRUE(app);
    Oid a = save_contact(*app, u"A", u"");
    Oid b = save_contact(*app, u"B", u"");
    Oid c = save_contact(*app, u"C", u"");
    auto folder = app->GetDefaultFolder(kFolderContacts);
    ItemCollection before = folder->Items();

    auto first = fetch(*app, a);  // a later save keeps the item's place
    first->as_contact()->LastName = u"A2";
    ASSERT_EQ(first->Save(), kOk);
    EXPECT_EQ(first->oid(), a);
    auto third = fetch(*app, c);
    ASSERT_EQ(third->Delete(), kOk);
    EXPECT_EQ(third->oid(), 0u);
    EXPECT_EQ(third->Delete(), kNotFound);
    EXPECT_EQ(fetch(*app, c), nullptr);

    Oid d = save_contact(*app, u"D", u"");
    EXPECT_GT(d, c);
    ASSERT_EQ(third->Save(), kOk);  // a deleted item saved again is a new item
    EXPECT_GT(third->oid(), d);

    folder = app->GetDefaultFolder(kFolderContacts);
    ItemCollection items = folder->Items();
    std::vector<std::u16string> names;
    for (int i = 1; i <= items.Count(); ++i) names.push_back(items.Item(i)->as_contact()->LastName);
    EXPECT_EQ(names, (std::vector<std::u16string>{u"A2", u"B", u"D", u"C"}));
    EXPECT_FALSE(items.Item(0));
    EXPECT_FALSE(items.Item(5));
    EXPECT_EQ(before.Count(), 3);  // the folder as it was, less what has gone since
    EXPECT_EQ(before.Item(2)->oid(), b);
    EXPECT_FALSE(before.Item(3));
    EXPECT_EQ(app->GetDefaultFolder(kFolderTasks)->Items().Count(), 0);

    // The highest id deleted, a task's, then a lower one, and the store opened afresh:
    // the highest is still not given out again.
    auto task = create<Task>(*app, kItemTask);
    ASSERT_EQ(task->Save(), kOk);
    Oid highest = task->oid();
    EXPECT_GT(highest, third->oid());
    ASSERT_EQ(task->Delete(), kOk);
    ASSERT_EQ(third->Delete(), kOk);
    third.reset();
    task.reset();
    app->Logoff();
    ASSERT_EQ(app->Logon(0), kOk);
    EXPECT_GT(save_contact(*app, u"E", u""), highest);
}

TEST(Outlook, FindReadsRestrictions)
{
    TempDevice device;
    auto app = logged_on();
    ASSERT_TRUE(app);
    const Oid lind = save_contact(*app, u"Lind", u"Maja");
    const Oid lower = save_contact(*app, u"lind", u"MAJA");
    const Oid berg = save_contact(*app, u"Berg", u"Maja");
    const Oid quote = save_contact(*app, u"O\"Brien", u"Liam");
    const Oid firm = save_contact(*app, u"", u"", u"Kova AB");
    auto folder = app->GetDefaultFolder(kFolderContacts);
    ItemCollection contacts = folder->Items();
    save_contact(*app, u"Lind", u"Maja");  // saved after the collection was made

    struct FindCase {
        const char *name;
        std::u16string restriction;
        std::vector<Oid> found;
    };
    const FindCase cases[] = {
        {"one term, ASCII case ignored", u"[LastName] = \"LIND\"", {lind, lower}},
        {"two terms", u"[FirstName] = \"Maja\" AND [LastName] = \"Berg\"", {berg}},
        {"no blanks around the equals sign", u"[LastName]=\"Berg\"", {berg}},
        {"and in lower case", u"[LastName] = \"lind\" and [FirstName] = \"maja\"", {lind, lower}},
        {"an absent text equals the empty one", u"[LastName] = \"\"", {firm}},
        {"any text property", u"[CompanyName] = \"kova ab\"", {firm}},
        {"empty restriction: every contact", u"", {lind, lower, berg, quote, firm}},
        {"blanks only", u"  ", {lind, lower, berg, quote, firm}},
        {"no match", u"[LastName] = \"Nobody\"", {}},
        {"value holding a double quote", u"[LastName] = \"O\"Brien\"", {}},
        {"unknown name", u"[Nickname] = \"Maja\"", {}},
        {"a date is not a text", u"[Birthday] = \"\"", {}},
        {"name case matters", u"[lastname] = \"Lind\"", {}},
        {"dangling AND", u"[LastName] = \"Lind\" AND", {}},
        {"AND without blanks", u"[LastName] = \"Lind\"AND[FirstName] = \"Maja\"", {}},
        {"AND without a blank after", u"[LastName] = \"Lind\" AND[FirstName] = \"Maja\"", {}},
        {"unquoted value", u"[LastName] = Lind", {}},
        {"unterminated value", u"[LastName] = \"Lind", {}},
        {"no brackets", u"LastName = \"Lind\"", {}},
    };
    for (const FindCase &c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<Oid> found;
        for (auto item = contacts.Find(c.restriction); item; item = contacts.FindNext())
            found.push_back(item->oid());
        EXPECT_EQ(found, c.found);
        EXPECT_FALSE(contacts.FindNext());  // stays at the end
    }
    EXPECT_FALSE(app->GetDefaultFolder(kFolderTasks)->Items().Find(u""));
}

TEST(Outlook, DerivesFileAsOnSaveWhenEmpty)
{
    struct FileAsCase {
        const char *name;
        std::u16string last, first, company, file_as, expected;
    };
    const FileAsCase cases[] = {
        {"both names", u"Lind", u"Maja", u"Kova AB", u"", u"Lind, Maja"},
        {"last name only", u"Lind", u"", u"Kova AB", u"", u"Lind"},
        {"first name only", u"", u"Maja", u"Kova AB", u"", u"Maja"},
        {"no name", u"", u"", u"Kova AB", u"", u"Kova AB"},
        {"nothing at all", u"", u"", u"", u"", u""},
        {"given, kept", u"Lind", u"Maja", u"", u"The Boss", u"The Boss"},
    };
    TempDevice device;
    auto app = logged_on();
    ASSERT_TRUE(app);
    for (const FileAsCase &c : cases) {
        Oid oid = save_contact(*app, c.last, c.first, c.company, c.file_as);
        EXPECT_EQ(fetch(*app, oid)->as_contact()->FileAs, c.expected) << c.name;
    }
}

TEST(Outlook, RecipientsKeepTheirOrderThroughSaves)
{
    TempDevice device;
    auto app = logged_on();
    ASSERT_TRUE(app);
    auto appointment = create<Appointment>(*app, kItemAppointment);
    Recipients &recipients = appointment->recipients();
    for (const char16_t *name : {u"Cleo", u"Ann", u"Bo", u"Ann"})
        recipients.Add(name)->Address = std::u16string(name) + u"@example.com";
    recipients.Item(2)->Address = u"";
    ASSERT_EQ(appointment->Save(), kOk);

    auto names = [&](Oid oid) {
        std::vector<std::u16string> list;
        auto item = fetch(*app, oid);
        Recipients &r = item->as_appointment()->recipients();
        for (int i = 1; i <= r.Count(); ++i) list.push_back(r.Item(i)->Name + u"|" + r.Item(i)->Address);
        return list;
    };
    EXPECT_EQ(names(appointment->oid()),
              (std::vector<std::u16string>{u"Cleo|Cleo@example.com", u"Ann|", u"Bo|Bo@example.com",
                                           u"Ann|Ann@example.com"}));

    auto item = fetch(*app, appointment->oid());
    Recipients &stored = item->as_appointment()->recipients();
    EXPECT_FALSE(stored.Remove(5));
    EXPECT_FALSE(stored.Item(0));
    EXPECT_TRUE(stored.Remove(1));
    EXPECT_TRUE(stored.Remove(2));  // Bo, now second
    ASSERT_EQ(item->Save(), kOk);
    EXPECT_EQ(names(appointment->oid()), (std::vector<std::u16string>{u"Ann|", u"Ann|Ann@example.com"}));

    while (stored.Count()) stored.Remove(stored.Count());
    ASSERT_EQ(item->Save(), kOk);
    EXPECT_TRUE(names(appointment->oid()).empty());
}

// Every field of a pattern, its start date and its exceptions.
auto fields(const RecurrencePattern &p)
{
    std::vector<double> deleted;
    for (const Exception &e : p.Exceptions()) deleted.push_back(e.Deleted ? e.OriginalDate : -1);
    return std::make_tuple(p.RecurrenceType(), p.Interval(), p.DayOfWeekMask(), p.Instance(),
                           p.DayOfMonth(), p.MonthOfYear(), p.NoEndDate(), p.Occurrences(),
                           p.PatternEndDate(), p.PatternStartDate(), deleted);
}

TEST(Outlook, RecurrencePatternAndExceptionsSurviveASave)
{
    TempDevice device;
    auto app = logged_on();
    ASSERT_TRUE(app);
    auto appointment = create<Appointment>(*app, kItemAppointment);
    appointment->Start = 45000.375;
    RecurrencePattern &pattern = appointment->GetRecurrencePattern();
    pattern.SetRecurrenceType(3);
    pattern.SetInterval(2);
    pattern.SetDayOfWeekMask(kMonday | kFriday);
    pattern.SetInstance(5);
    pattern.SetDayOfMonth(-1);
    pattern.SetMonthOfYear(13);
    pattern.SetOccurrences(7);
    pattern.DeleteOccurrence(45014.375);
    pattern.DeleteOccurrence(45007.375);  // made later, listed later
    ASSERT_EQ(appointment->Save(), kOk);
    auto task = create<Task>(*app, kItemTask);
    task->DueDate = 45010.0;
    task->GetRecurrencePattern().SetPatternEndDate(45100.0);
    task->GetRecurrencePattern().SetPatternStartDate(45003.5);
    ASSERT_EQ(task->Save(), kOk);
    auto bare = create<Task>(*app, kItemTask);  // its series starts at its own dates
    bare->DueDate = 45020.0;
    bare->GetRecurrencePattern();
    ASSERT_EQ(bare->Save(), kOk);

    app->Logoff();
    ASSERT_EQ(app->Logon(0), kOk);
    auto item = fetch(*app, appointment->oid());
    Appointment &a = *item->as_appointment();
    ASSERT_TRUE(a.IsRecurring());
    EXPECT_EQ(fields(a.GetRecurrencePattern()), fields(pattern));
    EXPECT_EQ(a.GetRecurrencePattern().Exceptions().size(), 2u);
    a.Start = 45001.25;  // the restored pattern follows its item
    EXPECT_EQ(a.GetRecurrencePattern().SeriesStart(), 45001.25);
    auto t_item = fetch(*app, task->oid());
    EXPECT_EQ(fields(t_item->as_task()->GetRecurrencePattern()),
              fields(task->GetRecurrencePattern()));
    EXPECT_EQ(t_item->as_task()->GetRecurrencePattern().SeriesStart(), 45003.5);
    auto b_item = fetch(*app, bare->oid());
    Task &b = *b_item->as_task();
    ASSERT_TRUE(b.IsRecurring());
    EXPECT_TRUE(b.GetRecurrencePattern().NoEndDate());
    EXPECT_EQ(b.GetRecurrencePattern().SeriesStart(), 45020.0);  // no start date: the due date
    b.StartDate = 45015.5;
    EXPECT_EQ(b.GetRecurrencePattern().SeriesStart(), 45015.5);

    a.ClearRecurrencePattern();
    ASSERT_EQ(a.Save(), kOk);
    EXPECT_FALSE(fetch(*app, a.oid())->as_appointment()->IsRecurring());
}

TEST(Outlook, AFailedSaveChangesNothingStored)
{
    TempDevice device;
    auto app = logged_on();
    ASSERT_TRUE(app);
    Oid kept = save_contact(*app, u"Lind", u"Maja");
    app->Logoff();

    limit_store_growth_for_tests(true);
    ASSERT_EQ(app->Logon(0), kOk);
    {
        auto big = create<Contact>(*app, kItemContact);
        big->Body.assign(200000, u'x');
        EXPECT_EQ(big->Save(), kDiskFull);
        EXPECT_EQ(big->oid(), 0u);
        auto grown = fetch(*app, kept);
        grown->as_contact()->Body.assign(200000, u'y');
        EXPECT_EQ(grown->Save(), kDiskFull);
    }
    app->Logoff();
    limit_store_growth_for_tests(false);

    ASSERT_EQ(app->Logon(0), kOk);
    EXPECT_EQ(app->GetDefaultFolder(kFolderContacts)->Items().Count(), 1);
    EXPECT_EQ(fetch(*app, kept)->as_contact()->Body, u"");
    EXPECT_EQ(save_contact(*app, u"Berg", u""), kept + 1);  // the failed saves used up no id
}

TEST(Outlook, RefusesToSavePastTheLastId)
{
    TempDevice device;
    auto app = logged_on();
    ASSERT_TRUE(app);
    auto task = create<Task>(*app, kItemTask);
    ASSERT_EQ(task->Save(), kOk);
    app->Logoff();
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open(store_path().c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "UPDATE tasks SET Oid = 4294967294", nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);

    // Contacts take their ids from the same space as tasks.
    ASSERT_EQ(app->Logon(0), kOk);
    EXPECT_EQ(save_contact(*app, u"Last", u""), 0xFFFFFFFFu);
    auto contact = create<Contact>(*app, kItemContact);
    EXPECT_EQ(contact->Save(), kFail);
    EXPECT_EQ(contact->oid(), 0u);
    EXPECT_EQ(app->GetDefaultFolder(kFolderContacts)->Items().Count(), 1);
}

}  // namespace
}  // namespace kova::pim
