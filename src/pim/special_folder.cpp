// The shell's special folders, of which the device has one: the personal documents
// folder, Documents in the device root.
#include "pim/rich_ink.h"

#include "base/registry.h"

namespace kova::pim {

std::string SpecialFolderPath(int folder)
{
    if (folder != kSpecialFolderPersonal) return {};
    return base::device_root() + "/Documents";
}

}  // namespace kova::pim
