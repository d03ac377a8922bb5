#include "pim/outlook.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <string_view>
#include <utility>

#include "base/registry.h"
#include "pim/database.h"
#include "pim/rich_ink.h"

namespace kova::pim {
namespace {

int folder_type(int folder)
{
    switch (folder) {
    case kFolderCalendar: return kItemAppointment;
    case kFolderContacts: return kItemContact;
    case kFolderTasks: return kItemTask;
    }
    return 0;
}

size_t skip_blanks(std::u16string_view &text)
{
    size_t n = 0;
    while (n < text.size() && (text[n] == u' ' || text[n] == u'\t')) ++n;
    text.remove_prefix(n);
    return n;
}

bool consume(std::u16string_view &text, char16_t c)
{
    if (text.empty() || text.front() != c) return false;
    text.remove_prefix(1);
    return true;
}

std::u16string_view take_until(std::u16string_view &text, char16_t stop)
{
    size_t n = std::min(text.find(stop), text.size());
    std::u16string_view taken = text.substr(0, n);
    text.remove_prefix(n);
    return taken;
}

bool consume_and(std::u16string_view &text)
{
    if (text.size() < 3) return false;
    for (size_t i = 0; i < 3; ++i)
        if ((text[i] | 0x20) != u"and"[i]) return false;
    text.remove_prefix(3);
    return true;
}

// [LastName] = "Lind" AND [FirstName] = "Maja": terms of a property name in brackets,
// an equals sign and a value in double quotes, joined by AND between blanks. The value
// runs to the next double quote, so a value holding one leaves text that does not read.
bool parse_restriction(std::u16string_view text,
                       std::vector<std::pair<std::string, std::u16string>> &terms)
{
    skip_blanks(text);
    if (text.empty()) return true;
    for (;;) {
        if (!consume(text, u'[')) return false;
        std::u16string_view name = take_until(text, u']');
        if (!consume(text, u']') || name.empty()) return false;
        std::string ascii;
        for (char16_t c : name) {
            if (c >= 0x80) return false;
            ascii += static_cast<char>(c);
        }
        skip_blanks(text);
        if (!consume(text, u'=')) return false;
        skip_blanks(text);
        if (!consume(text, u'"')) return false;
        std::u16string_view value = take_until(text, u'"');
        if (!consume(text, u'"')) return false;
        terms.emplace_back(std::move(ascii), std::u16string(value));
        if (skip_blanks(text) == 0 || text.empty()) return text.empty();
        if (!consume_and(text) || skip_blanks(text) == 0) return false;
    }
}

HResult make_folder(const std::string &path)
{
    std::error_code ec;
    std::filesystem::create_directory(path, ec);
    if (!ec && std::filesystem::is_directory(path, ec)) return kOk;
    if (ec == std::errc::permission_denied || ec == std::errc::read_only_file_system)
        return kAccessDenied;
    return kFail;
}

}  // namespace

std::string store_path() { return base::device_root() + "/pim.db"; }

// --- Items ---

Item::~Item() = default;

HResult Item::Save() { return database_->save(*this); }

HResult Item::Delete() { return database_->remove(*this); }

Contact *Item::as_contact()
{
    return type_ == kItemContact ? static_cast<Contact *>(this) : nullptr;
}

Appointment *Item::as_appointment()
{
    return type_ == kItemAppointment ? static_cast<Appointment *>(this) : nullptr;
}

Task *Item::as_task() { return type_ == kItemTask ? static_cast<Task *>(this) : nullptr; }

std::u16string Contact::derived_file_as() const
{
    if (!LastName.empty() && !FirstName.empty()) return LastName + u", " + FirstName;
    if (!LastName.empty() || !FirstName.empty()) return LastName + FirstName;
    return CompanyName;
}

HResult Contact::save_fields(Database &database)
{
    if (FileAs.empty() || (!file_as_as_derived_.empty() && FileAs == file_as_as_derived_)) {
        FileAs = derived_file_as();
        file_as_as_derived_ = FileAs;
    }
    return database.write(*this);
}

Recipient *Recipients::Item(int index)
{
    if (index < 1 || index > Count()) return nullptr;
    return list_[static_cast<size_t>(index - 1)].get();
}

bool Recipients::Remove(int index)
{
    if (index < 1 || index > Count()) return false;
    list_.erase(list_.begin() + (index - 1));
    return true;
}

Recipient *Recipients::Add(const std::u16string &name)
{
    list_.push_back(std::make_unique<Recipient>(Recipient{name, u""}));
    return list_.back().get();
}

HResult Occurrence::Delete()
{
    pattern_->DeleteOccurrence(start_);
    return kOk;
}

RecurrencePattern &CalendarItem::GetRecurrencePattern()
{
    if (!pattern_) pattern_.emplace([this] { return series_start(); });
    return *pattern_;
}

std::optional<Occurrence> CalendarItem::GetOccurrence(double date)
{
    std::optional<double> start = pattern_ ? pattern_->Find(date) : std::nullopt;
    return start ? std::optional<Occurrence>(Occurrence(*pattern_, *start)) : std::nullopt;
}

HResult Appointment::save_fields(Database &database) { return database.write(*this); }

HResult Task::save_fields(Database &database) { return database.write(*this); }

// --- Folders and collections ---

ItemCollection::ItemCollection(Database &database, int folder)
    : database_(&database), folder_(folder), oids_(database.items_of_type(folder_type(folder)))
{
}

std::unique_ptr<Item> ItemCollection::Item(int index)
{
    std::unique_ptr<pim::Item> item;
    if (index < 1 || index > Count()) return item;
    database_->load(oids_[static_cast<size_t>(index - 1)], item);
    return item;
}

std::unique_ptr<Item> ItemCollection::Find(const std::u16string &restriction)
{
    matches_.clear();
    next_match_ = 0;
    std::vector<std::pair<std::string, std::u16string>> terms;
    std::vector<Oid> found;
    if (folder_ != kFolderContacts || !parse_restriction(restriction, terms) ||
        !database_->find_contacts(terms, found))
        return nullptr;
    // Only what the collection holds: contacts saved since it was made stay out.
    for (Oid oid : found)
        if (std::binary_search(oids_.begin(), oids_.end(), oid)) matches_.push_back(oid);
    return FindNext();
}

std::unique_ptr<Item> ItemCollection::FindNext()
{
    std::unique_ptr<pim::Item> item;
    while (!item && next_match_ < matches_.size()) database_->load(matches_[next_match_++], item);
    return item;
}

ItemCollection Folder::Items() { return ItemCollection(*database_, number_); }

// --- Application ---

std::unique_ptr<Application> Application::create()
{
    std::string root = base::device_root();
    std::error_code ec;
    std::filesystem::create_directories(root, ec);
    if (ec || !std::filesystem::is_directory(root, ec)) return nullptr;
    return std::unique_ptr<Application>(new Application());
}

Application::~Application() = default;

HResult Application::Logon(uintptr_t)
{
    if (database_) return kOk;
    std::unique_ptr<Database> database;
    HResult hr = Database::open(database);
    if (failed(hr)) return hr;
    hr = make_folder(SpecialFolderPath(kSpecialFolderPersonal));
    if (failed(hr)) return hr;
    database_ = std::move(database);
    return kOk;
}

HResult Application::Logoff()
{
    database_.reset();
    return kOk;
}

std::unique_ptr<Folder> Application::GetDefaultFolder(int folder)
{
    if (!database_ || folder_type(folder) == 0) return nullptr;
    return std::unique_ptr<Folder>(new Folder(*database_, folder));
}

std::unique_ptr<Item> Application::CreateItem(int type)
{
    if (!database_) return nullptr;
    switch (type) {
    case kItemAppointment: return std::make_unique<Appointment>(*database_);
    case kItemContact: return std::make_unique<Contact>(*database_);
    case kItemTask: return std::make_unique<Task>(*database_);
    }
    return nullptr;
}

HResult Application::GetItemFromOid(Oid oid, std::unique_ptr<Item> &item)
{
    item.reset();
    if (!database_) return kFail;
    HResult hr = database_->load(oid, item);
    return failed(hr) ? hr : kOk;
}

}  // namespace kova::pim
