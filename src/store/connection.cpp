#include "store/connection.h"

#include "base/log.h"
#include "pim/rich_ink.h"

namespace kova::store {

using base::Status;

StoreConnection &connection()
{
    static StoreConnection state;
    return state;
}

Status POL_Open()
{
    KOVA_LOG_TRACE("KOVA:  POL_Open()");
    StoreConnection &c = connection();
    if (!c.application) {
        c.application = pim::Application::create();
        if (!c.application) {
            KOVA_LOG_ERROR("KOVA:  Unable to get application object from POOM interface.");
            return Status::PimError;
        }
        pim::HResult hr = c.application->Logon(0);
        if (pim::failed(hr)) {
            KOVA_LOG_ERROR("KOVA:  POOM 'Logon' failed (code=%d)", hr);
            c.application.reset();
            return Status::PimError;
        }
    } else if (c.mail) {
        return Status::Ok;
    }
    if (!c.mail && !pim::MailOpen(c.mail, 0)) {
        KOVA_LOG_ERROR("KOVA:  'MailOpen' failed.");
        c.application->Logoff();
        c.application.reset();
        return Status::PimError;
    }
    pim::InitRichInkDLL();
    return Status::Ok;
}

Status POL_Close()
{
    KOVA_LOG_TRACE("KOVA:  POL_Close()");
    StoreConnection &c = connection();
    if (c.application) {
        c.application->Logoff();
        c.application.reset();
    }
    if (c.mail) pim::MailClose(c.mail);
    return Status::Ok;
}

}  // namespace kova::store
