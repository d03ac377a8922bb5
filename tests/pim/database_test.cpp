#include "pim/database.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <vector>

#include "pim/mail.h"
#include "pim/rich_ink.h"
#include "support/test_support.h"

namespace kova::pim {
namespace {

using testing::LogReceiver;
using testing::TempDevice;

// Runs one statement on the file with a connection of the test's own; the first
// column of the first row as text.
std::string ask(const std::string &path, const char *sql)
{
    sqlite3 *db = nullptr;
    std::string answer = "(failed)";
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt *stmt = nullptr;
        if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) == SQLITE_OK &&
            sqlite3_step(stmt) == SQLITE_ROW)
            answer = reinterpret_cast<const char *>(sqlite3_column_text(stmt, 0));
        sqlite3_finalize(stmt);
    }
    sqlite3_close(db);
    return answer;
}

TEST(PimStore, FirstLogonMakesTheStoreAndTheDocumentsFolder)
{
    TempDevice device;
    std::string root = device.path("device");
    setenv("KOVA_DEVICE_ROOT", root.c_str(), 1);  // missing: made by create
    auto app = Application::create();
    ASSERT_TRUE(app);
    EXPECT_TRUE(std::filesystem::is_directory(root));
    EXPECT_FALSE(app->logged_on());
    ASSERT_EQ(app->Logon(0), kOk);
    EXPECT_TRUE(app->logged_on());
    EXPECT_EQ(app->Logon(0), kOk);  // once is enough
    EXPECT_EQ(store_path(), root + "/pim.db");
    EXPECT_TRUE(std::filesystem::is_directory(SpecialFolderPath(kSpecialFolderPersonal)));

    auto contact = app->CreateItem(kItemContact);
    contact->as_contact()->LastName = u"Lind";
    ASSERT_EQ(contact->Save(), kOk);
    // What a user finds with sqlite3.
    EXPECT_EQ(ask(store_path(), "PRAGMA encoding"), "UTF-16le");
    EXPECT_EQ(ask(store_path(), "PRAGMA journal_mode"), "wal");
    EXPECT_EQ(ask(store_path(), "PRAGMA user_version"), "1");
    EXPECT_EQ(ask(store_path(), "SELECT LastName || '/' || FileAs FROM contacts"), "Lind/Lind");
}

TEST(PimStore, LogonRefusesAFileWhereTheDocumentsFolderBelongs)
{
    TempDevice device;
    testing::write_file(SpecialFolderPath(kSpecialFolderPersonal), "x");
    auto app = Application::create();
    ASSERT_TRUE(app);
    EXPECT_EQ(app->Logon(0), kFail);
    EXPECT_FALSE(app->logged_on());
}

TEST(PimStore, LeavesANewerStoreAloneAndSaysWhy)
{
    TempDevice device;
    LogReceiver log(device);
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open(store_path().c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "CREATE TABLE future (x); PRAGMA user_version = 7", nullptr,
                           nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
    std::string before = testing::read_file(store_path());

    auto app = Application::create();
    ASSERT_TRUE(app);
    EXPECT_EQ(app->Logon(0), kNewerStore);
    std::unique_ptr<MailStore> mail;
    EXPECT_FALSE(MailOpen(mail, 0));
    EXPECT_EQ(testing::read_file(store_path()), before);
    EXPECT_FALSE(std::filesystem::exists(store_path() + "-wal"));
    std::vector<std::string> lines = log.texts();
    ASSERT_FALSE(lines.empty());
    for (const std::string &part :
         {std::string("KOVA:  "), store_path(), std::string("version 7"), std::string(" 1")})
        EXPECT_NE(lines.front().find(part), std::string::npos) << lines.front();
}

TEST(PimStore, LogonWithoutPermissionIsAccessDenied)
{
    if (geteuid() == 0) GTEST_SKIP() << "root passes every permission check";
    TempDevice device;
    {
        auto app = Application::create();
        ASSERT_EQ(app->Logon(0), kOk);
        auto contact = app->CreateItem(kItemContact);
        ASSERT_EQ(contact->Save(), kOk);
    }
    std::string before = testing::read_file(store_path());
    for (mode_t mode : {0000, 0444}) {
        SCOPED_TRACE(mode);
        ASSERT_EQ(chmod(store_path().c_str(), mode), 0);
        auto app = Application::create();
        ASSERT_TRUE(app);
        EXPECT_EQ(app->Logon(0), kAccessDenied);
        EXPECT_FALSE(app->logged_on());
    }
    chmod(store_path().c_str(), 0644);
    EXPECT_EQ(testing::read_file(store_path()), before);

    TempDevice locked;  // a root where no store can be made
    ASSERT_EQ(chmod(locked.root().c_str(), 0555), 0);
    auto app = Application::create();
    ASSERT_TRUE(app);
    EXPECT_EQ(app->Logon(0), kAccessDenied);
    chmod(locked.root().c_str(), 0755);
}

}  // namespace
}  // namespace kova::pim
