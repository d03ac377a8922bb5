// Placeholder until the message conversion lands.
#include "store/message.h"

namespace kova::store {

void pol_PutMessage(pim::StoreMessage &, MessageRecord &, std::u16string &) {}

}  // namespace kova::store
