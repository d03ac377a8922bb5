// The connection to the device PIM: the application object after a logon, and the
// message store handle. Both are process-wide and both empty until POL_Open succeeds;
// a failed open never leaves the one without the other.
#pragma once

#include <memory>

#include "base/status.h"
#include "pim/mail.h"
#include "pim/outlook.h"

namespace kova::store {

struct StoreConnection {
    std::unique_ptr<pim::Application> application;
    std::unique_ptr<pim::MailStore> mail;
};

// The connection as it stands; its members are null while closed.
StoreConnection &connection();

// Logs on, opens the message store and initialises the note control. Ok when open
// already; PimError (logged) when any step fails.
base::Status POL_Open();
// Logs off and closes the message store. Always Ok.
base::Status POL_Close();

}  // namespace kova::store
