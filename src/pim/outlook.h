// The device's personal information manager: contacts, appointments and tasks in one
// SQLite database in the device root, reached through an object model shaped like the
// handheld's own (application, folders, item collections, items), so that the bridge in
// store/ reads as it would against the real thing. Nothing here knows of records or
// vObjects.
//
// Conventions of the object model, kept on purpose:
// - Operations that can fail answer an HResult: 0 or positive is success, negative a
//   failure code, which callers log as a signed number.
// - Text is UTF-16 and an absent text is the empty string. Dates are local OLE dates
//   (days since 1899-12-30); kNoDate (1 January 4501) is "no date".
// - Property puts never fail and are never checked; a new item has empty texts, no
//   dates, zero numbers and false flags until they are set. Values are kept as given.
// - Items are loaded when fetched, changed in memory, and written by Save in one
//   committed transaction. Objects handed out (items, folders, collections) are owned
//   by the caller (RAII) and must not outlive the logon they came from: Logoff closes
//   the database they work on.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "pim/recurrence_pattern.h"

namespace kova::pim {

using Oid = uint32_t;
using HResult = int32_t;

constexpr HResult kOk = 0;
constexpr HResult kFail = static_cast<HResult>(0x80004005);         // E_FAIL
constexpr HResult kAccessDenied = static_cast<HResult>(0x80070005); // the database file
constexpr HResult kDiskFull = static_cast<HResult>(0x80070070);     // a save that did not fit
constexpr HResult kNotFound = static_cast<HResult>(0x80070490);     // no item with that id
constexpr HResult kOutOfMemory = static_cast<HResult>(0x8007000E);  // E_OUTOFMEMORY
constexpr HResult kNotADatabase = static_cast<HResult>(0x8004FF01); // the file is not a store
constexpr HResult kNewerStore = static_cast<HResult>(0x8004FF02);   // a schema we do not know

constexpr bool failed(HResult hr) { return hr < 0; }

// GetDefaultFolder
constexpr int kFolderCalendar = 9;
constexpr int kFolderContacts = 10;
constexpr int kFolderTasks = 13;

// CreateItem and Item::type()
constexpr int kItemAppointment = 1;
constexpr int kItemContact = 2;
constexpr int kItemTask = 3;

// ReminderOptions bit the bridge adds when it sets a reminder.
constexpr int32_t kReminderOptionsSound = 4;

class Database;
class Contact;
class Appointment;
class Task;

// An item of any kind. Save writes the item (and, for calendar items, its recipients,
// recurrence pattern and exceptions) in one transaction; the first Save gives it its
// object id, which is never reused in this store.
class Item {
public:
    virtual ~Item();
    Item(const Item &) = delete;
    Item &operator=(const Item &) = delete;

    int type() const { return type_; }
    Oid oid() const { return oid_; }  // 0 until saved
    HResult Save();
    // Removes the item from the store; the object stays usable as an unsaved copy.
    HResult Delete();

    // The QueryInterface of the object model: the item as that kind, or null.
    Contact *as_contact();
    Appointment *as_appointment();
    Task *as_task();

protected:
    Item(Database &database, int type) : database_(&database), type_(type) {}
    virtual HResult save_fields(Database &database) = 0;

    Database *database_;
    int type_;
    Oid oid_ = 0;

    friend class Database;
};

class Contact final : public Item {
public:
    explicit Contact(Database &database) : Item(database, kItemContact) {}

    // Title is the name prefix ("Dr."); JobTitle is the job.
    std::u16string LastName, FirstName, MiddleName, Title, Suffix;
    // Derived on Save when empty: "Last, First", the one name there is, else the company;
    // one that was derived follows later changes of the name.
    std::u16string FileAs;
    double Birthday = kNoDate;
    double Anniversary = kNoDate;
    std::u16string HomeAddressStreet, HomeAddressCity, HomeAddressState,
        HomeAddressPostalCode, HomeAddressCountry;
    std::u16string BusinessAddressStreet, BusinessAddressCity, BusinessAddressState,
        BusinessAddressPostalCode, BusinessAddressCountry;
    std::u16string OtherAddressStreet, OtherAddressCity, OtherAddressState,
        OtherAddressPostalCode, OtherAddressCountry;
    std::u16string JobTitle, CompanyName, Department;
    std::u16string HomeTelephoneNumber, Home2TelephoneNumber, BusinessTelephoneNumber,
        Business2TelephoneNumber, HomeFaxNumber, BusinessFaxNumber, MobileTelephoneNumber,
        PagerNumber, CarTelephoneNumber, AssistantTelephoneNumber, RadioTelephoneNumber;
    std::u16string WebPage, Email1Address, Email2Address, Email3Address;
    std::u16string Body, Spouse, Children, AssistantName;

private:
    HResult save_fields(Database &database) override;
    std::u16string derived_file_as() const;

    std::u16string file_as_as_derived_;  // what FileAs was when the names derived it

    friend class Database;
};

struct Recipient {
    std::u16string Name;
    std::u16string Address;
};

// An appointment's attendees, in the order they were added; indexes are 1-based.
class Recipients {
public:
    int Count() const { return static_cast<int>(list_.size()); }
    // Null when the index is out of range.
    Recipient *Item(int index);
    // False when the index is out of range.
    bool Remove(int index);
    // A new recipient with that name and an empty address, at the end.
    Recipient *Add(const std::u16string &name);

private:
    std::vector<std::unique_ptr<Recipient>> list_;
    friend class Database;
};

// One occurrence of a recurring appointment or task, as the pattern's lookup finds it.
class Occurrence {
public:
    double Start() const { return start_; }
    // Makes the occurrence an exception of its series (kept at the item's next Save).
    HResult Delete();

private:
    Occurrence(RecurrencePattern &pattern, double start) : pattern_(&pattern), start_(start) {}
    RecurrencePattern *pattern_;
    double start_;
    friend class CalendarItem;
};

// An appointment or a task, either of which may recur. GetRecurrencePattern makes the
// item recurring (a new pattern is daily, interval 1, no end) and hands out the item's
// own pattern; ClearRecurrencePattern makes it a one-time item again and drops its
// exceptions.
class CalendarItem : public Item {
public:
    bool IsRecurring() const { return pattern_.has_value(); }
    RecurrencePattern &GetRecurrencePattern();
    void ClearRecurrencePattern() { pattern_.reset(); }
    // The occurrence of the series that starts at date; see RecurrencePattern::find.
    std::optional<Occurrence> GetOccurrence(double date);

protected:
    using Item::Item;
    // Where the series starts when its pattern names no start of its own.
    virtual double series_start() const = 0;

    std::optional<RecurrencePattern> pattern_;
    friend class Database;
};

class Appointment final : public CalendarItem {
public:
    explicit Appointment(Database &database) : CalendarItem(database, kItemAppointment) {}

    std::u16string Subject, Location, Categories, Body;
    double Start = kNoDate;
    double End = kNoDate;
    bool AllDayEvent = false;
    int32_t BusyStatus = 0;   // 0 free, 1 tentative, 2 busy, 3 out of office
    int32_t Sensitivity = 0;  // 0 normal, 2 private
    bool ReminderSet = false;
    int32_t ReminderMinutesBeforeStart = 0;
    int32_t ReminderOptions = 0;

    Recipients &recipients() { return recipients_; }

private:
    HResult save_fields(Database &database) override;
    double series_start() const override { return Start; }
    Recipients recipients_;
    friend class Database;
};

class Task final : public CalendarItem {
public:
    explicit Task(Database &database) : CalendarItem(database, kItemTask) {}

    // Task dates keep the time of day they are given.
    std::u16string Subject, Categories, Body;
    double StartDate = kNoDate;
    double DueDate = kNoDate;
    double DateCompleted = kNoDate;
    int32_t Importance = 0;  // 0 low, 1 normal, 2 high
    bool Complete = false;
    int32_t Sensitivity = 0;
    bool ReminderSet = false;
    double ReminderTime = kNoDate;
    int32_t ReminderOptions = 0;

private:
    HResult save_fields(Database &database) override;
    // A task's series starts at its start date, else at its due date.
    double series_start() const override { return StartDate != kNoDate ? StartDate : DueDate; }
    friend class Database;
};

// The items of one folder, in the order they were first saved. Count and Item see the
// folder as it was when the collection was made.
class ItemCollection {
public:
    int Count() const { return static_cast<int>(oids_.size()); }
    // Index 1..Count; null when out of range or when the item has gone since.
    std::unique_ptr<pim::Item> Item(int index);

    // Contacts only. restriction: terms of the form [Name] = "value" joined by " AND ",
    // Name a contact property; values compare without regard to ASCII case, and an
    // absent text equals "". An empty restriction matches every contact; one that does
    // not read as such terms (a value holding a double quote, an unknown name) matches
    // none. Find starts over; FindNext goes on after the previous match. Null: no more.
    std::unique_ptr<pim::Item> Find(const std::u16string &restriction);
    std::unique_ptr<pim::Item> FindNext();

private:
    ItemCollection(Database &database, int folder);
    Database *database_;
    int folder_;
    std::vector<Oid> oids_;
    std::vector<Oid> matches_;
    size_t next_match_ = 0;
    friend class Folder;
};

class Folder {
public:
    ItemCollection Items();

private:
    Folder(Database &database, int number) : database_(&database), number_(number) {}
    Database *database_;
    int number_;
    friend class Application;
};

// The PIM application object. create() makes it (null when the device root cannot be
// used as a folder); Logon opens, or creates, the database in the device root and the
// personal documents folder; Logoff closes the database.
class Application {
public:
    static std::unique_ptr<Application> create();
    ~Application();
    Application(const Application &) = delete;
    Application &operator=(const Application &) = delete;

    // window is the owner window of any user interface; always 0 here.
    HResult Logon(uintptr_t window);
    HResult Logoff();
    bool logged_on() const { return database_ != nullptr; }

    // 9 calendar, 10 contacts, 13 tasks; null for other numbers or when logged off.
    std::unique_ptr<Folder> GetDefaultFolder(int folder);
    // 1 appointment, 2 contact, 3 task: a new unsaved item; null otherwise.
    std::unique_ptr<Item> CreateItem(int type);
    // kOk with the item, or kNotFound (item left null).
    HResult GetItemFromOid(Oid oid, std::unique_ptr<Item> &item);

private:
    Application() = default;
    std::unique_ptr<Database> database_;
};

// The database file in the device root.
std::string store_path();

}  // namespace kova::pim
