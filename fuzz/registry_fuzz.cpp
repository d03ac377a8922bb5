// The registry file reader on arbitrary bytes as registry.reg, through the queries the
// library makes: the log address, the stack configuration's values, key presence and
// the system code page.
#include <cstdint>
#include <string>

#include "base/registry.h"
#include "base/stack_config.h"
#include "fuzz_support.h"

using namespace kova::base;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const std::string file = kova::fuzz::scratch_path("registry.reg");
    kova::fuzz::write_bytes(file, data, size);
    registry_dword("HKEY_LOCAL_MACHINE\\Software\\Harvex\\BTConfig\\Debug", "LogIPAddr");
    registry_string("HKLM\\SYSTEM\\CurrentControlSet\\Control\\Nls\\CodePage", "ACP");
    registry_key_exists("HKEY_LOCAL_MACHINE\\Software\\Harvex\\BTConfig\\General");
    registry_value("HKEY_LOCAL_MACHINE\\Software\\Harvex\\BTConfig\\General", "@");
    StackConfig config;
    config.read();
    return 0;
}
