// kova list: one line per stored object, "<type> <id> <display name>", contacts first,
// then appointments, tasks, messages (their folder in brackets) and notes.
#include <cstdio>

#include "commands.h"
#include "common.h"
#include "store_walk.h"

namespace kova::cli {

int run_list(const ListOptions &options)
{
    KindSet kinds = options.types.empty() ? kAllKinds : 0;
    for (const std::string &word : options.types) kinds |= kinds_of_word(word).value_or(0);
    if (!open_store()) return kExitNoStore;
    auto objects = stored_objects(kinds);
    KOVA_Close();
    if (!objects) {
        report_no_store(code_text(KOVA_PIM_ERROR));
        return kExitNoStore;
    }
    for (const StoredObject &o : *objects)
        std::printf("%s\n", object_line(kind_word(o.kind), o.id, o.name).c_str());
    return kExitOk;
}

}  // namespace kova::cli
