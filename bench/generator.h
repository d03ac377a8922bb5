// Deterministic benchmark input: the same seed and count give the same bytes on every
// machine (our own generator and our own arithmetic, no std distributions). Objects
// look like what phones and sync peers send: vCards of about 800 bytes with several
// TEL types, EMAIL;INTERNET;PREF, quoted-printable addresses and notes with soft line
// breaks, folded lines and X-IRMC-LUID; vCalendars with VEVENTs and VTODOs carrying
// RRULE, EXDATE and DALARM; notes; messages with envelope vCards and multipart bodies.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace kova::bench {

enum class Kind { VCard, VCalendar, VNote, VMessage };

constexpr Kind kKinds[] = {Kind::VCard, Kind::VCalendar, Kind::VNote, Kind::VMessage};

const char *kind_name(Kind kind);         // "vCard", ...
const char *kind_slug(Kind kind);         // "vcard", ...
const char *kind_extension(Kind kind);    // ".vcf", ...
bool kind_from_slug(const std::string &slug, Kind &kind);

// splitmix64: small, fast and the same everywhere.
class Random {
public:
    explicit Random(uint64_t seed) : state_(seed) {}
    uint64_t next();
    unsigned below(unsigned n) { return static_cast<unsigned>(next() % n); }
    bool chance(unsigned percent) { return below(100) < percent; }
    template <class T, size_t N> const T &pick(const T (&items)[N]) { return items[below(N)]; }

private:
    uint64_t state_;
};

// Writes objects of one kind to out. For vCalendar an object is one VEVENT or VTODO;
// they come in VCALENDAR blocks of up to 10. Object boundaries (byte offsets where
// a vCard, a VCALENDAR block, ... starts) are appended to starts when it is given,
// so that a peer can be handed whole pieces.
void generate(Kind kind, unsigned count, uint64_t seed, std::FILE *out,
              std::vector<long> *starts = nullptr);

// Small, odd files for the checksum comparison: the objects above cut short, with
// bytes flipped, lines doubled, blanks and line ends shuffled. Each is complete text.
std::vector<std::string> mutated_inputs(unsigned count, uint64_t seed);

}  // namespace kova::bench
