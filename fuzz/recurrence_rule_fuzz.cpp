// ERG_Parse on arbitrary text, then ERG_Generate: whatever parses must print as text
// that parses back to the same tree, and printing that tree again gives the same text.
#include <cstdint>
#include <string>
#include <vector>

#include "recurrence/rule_generator.h"
#include "recurrence/rule_parser.h"
#include "recurrence/rule_trees.h"

using kova::base::Status;
using namespace kova::recurrence;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string text(reinterpret_cast<const char *>(data), size);
    testing::OwnedRule first;
    if (ERG_Parse(text.c_str(), first.rule) != Status::Ok || first.rule.Kind == kNoRule) return 0;
    // A parsed rule prints at most a few characters longer than its tokens ("Y1" is
    // "YM1", "#" is "#0"); the generator refuses rather than cuts when it does not fit.
    std::vector<char> printed(4 * size + 64);
    if (ERG_Generate(first.rule, printed.data(), printed.size()) != Status::Ok) __builtin_trap();
    testing::OwnedRule second;
    if (ERG_Parse(printed.data(), second.rule) != Status::Ok) __builtin_trap();
    if (testing::dump(first.rule) != testing::dump(second.rule)) __builtin_trap();
    std::vector<char> again(printed.size());
    if (ERG_Generate(second.rule, again.data(), again.size()) != Status::Ok) __builtin_trap();
    if (std::string(printed.data()) != again.data()) __builtin_trap();
    return 0;
}
