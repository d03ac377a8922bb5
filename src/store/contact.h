// Contacts: a ContactRecord onto a PIM contact and back, with the telephone, e-mail
// and address rules of the handheld's address book.
#pragma once

#include "kova/kova.h"
#include "pim/outlook.h"

namespace kova::store {

// Sets what the record carries; the contact's other properties stay as they were.
void pol_PutContact(pim::Contact &contact, ContactRecord &record);
// Fills a zeroed record.
void pol_GetContact(pim::Contact &contact, ContactRecord &record);

}  // namespace kova::store
