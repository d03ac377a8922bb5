// Placeholder until the occurrence computation lands: no series has occurrences.
#include "pim/occurrences.h"

namespace kova::pim {

std::optional<double> find_occurrence(const SeriesRule &, double, double) { return std::nullopt; }

int32_t count_through_end(const SeriesRule &, double) { return 0; }

std::vector<double> list_occurrences(const SeriesRule &, double, double, double, size_t)
{
    return {};
}

}  // namespace kova::pim
