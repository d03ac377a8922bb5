// libical's vCard 2.1 / vCalendar 1.0 parser (libicalvcal, the "vcc" grammar), the first
// peer. Its parser stack overflows past a few hundred objects in one input, so the file
// is handed over in pieces of whole objects.
#pragma once

#include <string>

namespace kova::bench {

// Whether the runner was built with libical.
bool libical_available();

// Parses the file in pieces of `per_piece` top-level objects (vCards or VCALENDAR
// blocks), timing only the parsing (the file is read into memory first). Counts vCards,
// or VEVENTs and VTODOs. Returns false with a reason when libical is missing.
bool libical_parse(const std::string &path, bool calendar, unsigned per_piece, double &seconds,
                   long &objects, std::string &error);

}  // namespace kova::bench
