// The address book's rules for what a vCard's repeated properties become:
//   TEL;WORK;FAX:...      the business fax (the first one; later ones find it taken)
//   TEL;CELL;WORK:...     the mobile number only: a device type wins over home and work
//   TEL:...               a home number (no type at all reads as home)
//   EMAIL;INTERNET;PREF   e-mail address 1, the other INTERNET addresses after it
//   ADR;HOME / ADR;WORK   the home and business address, anything else the other one
#include "store/contact.h"

#include <string>

#include "convert/value_text.h"
#include "model/alloc.h"
#include "model/record.h"
#include "store/record_text.h"
#include "vobject/read/line_reader.h"

namespace kova::store {
namespace {

bool has(PropertyNode *node, const char *word)
{
    return vobject::FindParam(node->Params, word) != nullptr;
}

// The reader keeps one empty parameter text for a property written without any.
bool no_parameters(const PropertyNode *node)
{
    for (const TextNode *p = node->Params; p; p = p->Next)
        if (p->Text && *p->Text) return false;
    return true;
}

struct AddressSlots {
    std::u16string *street, *city, *state, *postal_code, *country;
};

void put_address(PropertyNode *node, const AddressSlots &slots)
{
    std::u16string street;
    for (unsigned i = 0; i < 3; ++i) {
        std::u16string part = value_text(node, i);
        if (part.empty()) continue;
        if (!street.empty()) street += u"\r\n";
        street += part;
    }
    *slots.street = street;
    *slots.city = value_text(node, 3);
    *slots.state = value_text(node, 4);
    *slots.postal_code = value_text(node, 5);
    *slots.country = value_text(node, 6);
}

void put_addresses(pim::Contact &contact, PropertyNode *list)
{
    bool home = false, work = false, other = false;
    for (PropertyNode *node = list; node; node = node->Next) {
        if (!node->Values) continue;
        if (has(node, "HOME") && !home) {
            home = true;
            put_address(node, {&contact.HomeAddressStreet, &contact.HomeAddressCity,
                               &contact.HomeAddressState, &contact.HomeAddressPostalCode,
                               &contact.HomeAddressCountry});
        } else if (has(node, "WORK") && !work) {
            work = true;
            put_address(node, {&contact.BusinessAddressStreet, &contact.BusinessAddressCity,
                               &contact.BusinessAddressState, &contact.BusinessAddressPostalCode,
                               &contact.BusinessAddressCountry});
        } else if (!other) {
            other = true;
            put_address(node, {&contact.OtherAddressStreet, &contact.OtherAddressCity,
                               &contact.OtherAddressState, &contact.OtherAddressPostalCode,
                               &contact.OtherAddressCountry});
        }
    }
}

// Fills the first free slot of the list; false when all are taken.
bool fill_free(std::initializer_list<std::u16string *> slots, bool *taken,
               const std::u16string &value)
{
    size_t i = 0;
    for (std::u16string *slot : slots) {
        if (!taken[i]) {
            taken[i] = true;
            *slot = value;
            return true;
        }
        ++i;
    }
    return false;
}

void put_telephones(pim::Contact &c, PropertyNode *list)
{
    bool home_fax = false, work_fax = false, home[2] = {}, work[2] = {};
    struct Device {
        const char *word;
        std::u16string *slot;
        bool taken;
    } devices[] = {{"CELL", &c.MobileTelephoneNumber, false},
                   {"PAGER", &c.PagerNumber, false},
                   {"CAR", &c.CarTelephoneNumber, false},
                   {"X-ASSISTANT", &c.AssistantTelephoneNumber, false},
                   {"X-RADIO", &c.RadioTelephoneNumber, false}};
    for (PropertyNode *node = list; node; node = node->Next) {
        if (!node->Values) continue;
        std::u16string number = value_text(node, 0);
        bool device = false;
        for (Device &d : devices) {
            if (!has(node, d.word)) continue;
            device = true;
            if (!d.taken) *d.slot = number;
            d.taken = true;
        }
        if (device) continue;
        bool fax = has(node, "FAX"), is_work = has(node, "WORK");
        bool is_home = has(node, "HOME") || no_parameters(node) || (fax && !is_work) ||
                       (has(node, "VOICE") && !is_work);
        if (is_home) {
            if (fax) {
                if (!home_fax) c.HomeFaxNumber = number;
                home_fax = true;
            } else {
                fill_free({&c.HomeTelephoneNumber, &c.Home2TelephoneNumber}, home, number);
            }
        } else if (is_work) {
            if (fax) {
                if (!work_fax) c.BusinessFaxNumber = number;
                work_fax = true;
            } else {
                fill_free({&c.BusinessTelephoneNumber, &c.Business2TelephoneNumber}, work,
                          number);
            }
        }
    }
}

void put_emails(pim::Contact &c, PropertyNode *list)
{
    PropertyNode *preferred = nullptr;
    for (PropertyNode *node = list; node; node = node->Next)
        if (has(node, "INTERNET") && has(node, "PREF")) preferred = node;
    bool taken[3] = {};
    auto slots = {&c.Email1Address, &c.Email2Address, &c.Email3Address};
    if (preferred) fill_free(slots, taken, value_text(preferred, 0));
    for (PropertyNode *node = list; node; node = node->Next) {
        if (node == preferred || !node->Values || !has(node, "INTERNET")) continue;
        if (!fill_free(slots, taken, value_text(node, 0))) break;
    }
}

void put_first_date(double &slot, PropertyNode *list)
{
    if (list) slot = convert::GetDate(list);
}

struct AddressOut {
    const char *param;  // null: the other address, written without parameters
    const std::u16string *parts[5];
};

void add_address(PropertyNode **list, const AddressOut &address)
{
    bool any = false;
    for (const std::u16string *part : address.parts) any = any || !part->empty();
    if (!any) return;
    PropertyNode *node = append_property(list);
    put_param(node, address.param);
    for (unsigned i = 0; i < 5; ++i)
        put_value(*address.parts[i], node, convert::kAllowQuotedPrintable, i + 2);
}

}  // namespace

void pol_PutContact(pim::Contact &contact, ContactRecord &record)
{
    PropertyNode *n = record.N;
    contact.LastName = value_text(n, 0);
    contact.FirstName = value_text(n, 1);
    contact.MiddleName = value_text(n, 2);
    contact.Title = value_text(n, 3);
    contact.Suffix = value_text(n, 4);
    put_first_date(contact.Birthday, record.Bday);
    put_addresses(contact, record.Adr);
    put_first(contact.JobTitle, record.Title);
    if (record.Org) {
        contact.CompanyName = value_text(record.Org, 0);
        contact.Department = value_text(record.Org, 1);
    }
    put_telephones(contact, record.Tel);
    for (PropertyNode *node = record.Url; node; node = node->Next) {
        std::u16string page = value_text(node, 0);
        if (page.empty()) continue;
        contact.WebPage = page;
        break;
    }
    put_emails(contact, record.Email);
    put_first(contact.Body, record.Note);
    put_first(contact.Spouse, record.Spouse);
    put_first_date(contact.Anniversary, record.Anniversary);
    put_first(contact.Children, record.Children);
    put_first(contact.AssistantName, record.Assistant);
}

void pol_GetContact(pim::Contact &contact, ContactRecord &record)
{
    record.ObjectClass = 1;
    format_id(record.Luid, contact.oid());
    model::copy_field(record.Version, "2.1");

    PropertyNode *n = append_property(&record.N);
    const std::u16string *names[] = {&contact.LastName, &contact.FirstName,
                                      &contact.MiddleName, &contact.Title, &contact.Suffix};
    for (unsigned i = 0; i < 5; ++i) put_value(*names[i], n, 0, i);
    add_text(&record.FN, contact.FileAs);
    add_date(&record.Bday, contact.Birthday);
    const AddressOut addresses[] = {
        {"HOME",
         {&contact.HomeAddressStreet, &contact.HomeAddressCity, &contact.HomeAddressState,
          &contact.HomeAddressPostalCode, &contact.HomeAddressCountry}},
        {"WORK",
         {&contact.BusinessAddressStreet, &contact.BusinessAddressCity,
          &contact.BusinessAddressState, &contact.BusinessAddressPostalCode,
          &contact.BusinessAddressCountry}},
        {nullptr,
         {&contact.OtherAddressStreet, &contact.OtherAddressCity, &contact.OtherAddressState,
          &contact.OtherAddressPostalCode, &contact.OtherAddressCountry}},
    };
    for (const AddressOut &address : addresses) add_address(&record.Adr, address);
    add_text(&record.Title, contact.JobTitle);
    if (!contact.CompanyName.empty() || !contact.Department.empty()) {
        PropertyNode *org = append_property(&record.Org);
        put_value(contact.CompanyName, org, 0, 0);
        put_value(contact.Department, org, 0, 1);
    }
    const std::pair<const std::u16string *, const char *> telephones[] = {
        {&contact.HomeTelephoneNumber, "HOME;VOICE"},
        {&contact.Home2TelephoneNumber, "HOME;VOICE"},
        {&contact.BusinessTelephoneNumber, "WORK;VOICE"},
        {&contact.Business2TelephoneNumber, "WORK;VOICE"},
        {&contact.HomeFaxNumber, "HOME;FAX"},
        {&contact.BusinessFaxNumber, "WORK;FAX"},
        {&contact.MobileTelephoneNumber, "CELL"},
        {&contact.PagerNumber, "PAGER"},
        {&contact.CarTelephoneNumber, "CAR"},
        {&contact.AssistantTelephoneNumber, "TYPE=X-ASSISTANT"},
        {&contact.RadioTelephoneNumber, "TYPE=X-RADIO"},
    };
    for (const auto &[number, param] : telephones) add_text(&record.Tel, *number, {param});
    add_text(&record.Url, contact.WebPage);
    bool first = true;
    for (const std::u16string *address :
         {&contact.Email1Address, &contact.Email2Address, &contact.Email3Address}) {
        if (address->empty()) continue;
        if (first)
            add_text(&record.Email, *address, {"INTERNET", "PREF"});
        else
            add_text(&record.Email, *address, {"INTERNET"});
        first = false;
    }
    add_text(&record.Note, contact.Body, {}, convert::kAllowQuotedPrintable);
    add_text(&record.Spouse, contact.Spouse);
    add_date(&record.Anniversary, contact.Anniversary);
    add_text(&record.Children, contact.Children);
    add_text(&record.Assistant, contact.AssistantName);
}

}  // namespace kova::store
