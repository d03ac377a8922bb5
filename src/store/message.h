// Messages: a MessageRecord into the message store's structure (read state, headers,
// date and body). Messages only ever go into the store.
#pragma once

#include <string>

#include "kova/kova.h"
#include "pim/mail.h"

namespace kova::store {

// body receives the converted body text, which message.Body points into; it must
// outlive the store call that takes the message.
void pol_PutMessage(pim::StoreMessage &message, MessageRecord &record, std::u16string &body);

}  // namespace kova::store
