// Property lists for the writer tests, built from the text of a line after its name:
// parameters, ':', value components, each side split at ';', "~" for a null text.
//   {&c.Tel, "WORK;~;VOICE:+1 555"}   parameters WORK, (null), VOICE; one component
//   {&c.N, ":Lind;Maja;~;Dr."}          no parameters; the third component null
// A null component only shows between two others: SetValue ignores a null text.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string_view>

#include "model/alloc.h"
#include "model/record.h"

namespace kova::testing {

struct Occurrence { PropertyNode **list; std::string_view text; uint32_t flags = 0; };

inline void add(std::initializer_list<Occurrence> occurrences)
{
    for (const Occurrence &o : occurrences) {
        PropertyNode *node = model::AppendProperty(o.list);
        node->Flags = o.flags;
        bool in_values = o.text.front() == ':';
        std::string_view rest = o.text.substr(in_values ? 1 : 0);
        for (unsigned index = 0;;) {
            size_t end = rest.find_first_of(in_values ? ";" : ";:");
            std::string_view piece = rest.substr(0, end);
            char *copy = piece == "~" ? nullptr : model::copy_text(piece);
            if (in_values)
                model::SetValue(node, copy, index++);
            else
                model::AddParam(node, copy);
            if (end == std::string_view::npos) break;
            in_values = in_values || rest[end] == ':';
            rest.remove_prefix(end + 1);
        }
    }
}

}  // namespace kova::testing
