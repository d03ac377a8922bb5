#include "pim/outlook.h"

#include <gtest/gtest.h>

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

// A pattern saved and loaded again gives the same days: every field that shapes the
// series, the last-weekday instance and the deleted occurrences included.
TEST(Outlook, ASavedPatternGivesTheSameOccurrences)
{
    TempDevice device;
    auto app = logged_on();
    ASSERT_TRUE(app);
    auto appointment = create<Appointment>(*app, kItemAppointment);
    appointment->Start = 45000.375;
    RecurrencePattern &pattern = appointment->GetRecurrencePattern();
    pattern.SetRecurrenceType(3);
    pattern.SetInterval(2);
    pattern.SetDayOfWeekMask(kFriday);
    pattern.SetInstance(5);
    pattern.SetOccurrences(7);
    pattern.DeleteOccurrence(pattern.List(45000, 46000, 2).back());
    const std::vector<double> days = pattern.List(45000, 46000, 10);
    ASSERT_EQ(days.size(), 6u);
    ASSERT_EQ(appointment->Save(), kOk);
    app->Logoff();
    ASSERT_EQ(app->Logon(0), kOk);
    auto item = fetch(*app, appointment->oid());
    EXPECT_EQ(item->as_appointment()->GetRecurrencePattern().List(45000, 46000, 10), days);
}

// A save that finds the store full leaves the store as it was and uses up no id.
TEST(Outlook, AFailedSaveChangesNothingStored)
{
    TempDevice device;
    auto app = logged_on();
    ASSERT_TRUE(app);
    Oid kept = save_contact(*app, u"Lind", u"Maja");
    app->Logoff();
    limit_store_growth_for_tests(true);
    ASSERT_EQ(app->Logon(0), kOk);
    auto big = create<Contact>(*app, kItemContact);
    big->Body.assign(200000, u'x');
    EXPECT_EQ(big->Save(), kDiskFull);
    EXPECT_EQ(big->oid(), 0u);
    limit_store_growth_for_tests(false);
    app->Logoff();
    ASSERT_EQ(app->Logon(0), kOk);
    EXPECT_EQ(app->GetDefaultFolder(kFolderContacts)->Items().Count(), 1);
    EXPECT_EQ(save_contact(*app, u"Berg", u""), kept + 1);
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
