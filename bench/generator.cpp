#include "generator.h"

#include <cctype>
#include <cstring>

namespace kova::bench {
namespace {

constexpr const char *kGiven[] = {"Maja",  "Chidi", "Åsa",   "Jürgen", "Zoë",   "Liam",  "Noor",
                                  "Kenji", "Aoife", "Mateo", "Priya",  "Oskar", "Inés",  "Sven",
                                  "Amara", "Tomasz", "Léa",  "Ravi",   "Hana",  "Björn", "Ilse"};
constexpr const char *kFamily[] = {"Lind",   "Okafor",  "Nyström", "Müller",   "García",
                                   "Tanaka", "O'Brien", "Kowalski", "Dubois",  "Haddad",
                                   "Silva",  "Rossi",   "Novák",   "Jensen",   "Murphy",
                                   "Eriksson", "Patel", "Kim",     "Schmidt",  "Ferreira"};
constexpr const char *kCompany[] = {"Harbour Works", "Northwind Traders", "Blue Fjord AB",
                                    "Kestrel Systems", "Café Lumière", "Ostsee Logistik GmbH",
                                    "Saffron & Sons", "Polar Grid Oy", "Atlas Survey Ltd"};
constexpr const char *kDepartment[] = {"Design", "Sales", "Support", "Engineering", "Finance",
                                       "Field Service", "Procurement"};
constexpr const char *kTitle[] = {
    "Lead designer", "Account manager", "Field engineer",
    "Senior account manager for the northern region, the islands and the coastal offices",
    "Head of procurement and supplier relations for all of the Nordic and Baltic markets",
    "Chief executive", "Service technician"};
constexpr const char *kStreet[] = {"Kajgatan 4", "Hauptstraße 12", "12 Rue de la Paix",
                                   "Via Roma 88", "1-2-3 Shibuya", "Strandvejen 101",
                                   "Calle Mayor 7", "Østre Allé 3"};
constexpr const char *kCity[] = {"Stockholm", "München", "Lyon", "Milano", "Tokyo", "København",
                                 "Madrid", "Aarhus", "Göteborg"};
constexpr const char *kCountry[] = {"Sweden", "Germany", "France", "Italy", "Japan", "Denmark",
                                    "Spain"};
constexpr const char *kWords[] = {
    "prefers", "calls", "before", "noon", "café", "on", "Fridays", "the", "ferry", "leaves",
    "at", "seven", "bring", "drawings", "for", "review", "and", "the", "signed", "contract",
    "déjà", "vu", "meeting", "moved", "to", "room", "four", "parking", "behind", "building",
    "invoice", "follows", "next", "week", "ask", "about", "the", "harbour", "project",
    "naïve", "schedule", "Größe", "numbers", "budget", "agreed", "with", "finance"};
constexpr const char *kSummary[] = {"Design review", "Quarterly planning", "Dentist",
                                    "Ferry to Åland", "Call with Kenji", "Budget sync",
                                    "Site visit in München", "Team lunch", "Board meeting"};
constexpr const char *kRRule[] = {"W1 MO WE FR #10", "D1 #5", "MD1 15 #12", "W2 TU TH #0",
                                  "YM1 6 #3", "MP1 1+ MO #6", "D2 20261231T000000Z"};

std::string number(unsigned value, int digits)
{
    char text[16];
    std::snprintf(text, sizeof text, "%0*u", digits, value);
    return text;
}

std::string phone(Random &r)
{
    return "+" + std::to_string(10 + r.below(80)) + " " + std::to_string(1 + r.below(9)) + " " +
           number(r.below(1000), 3) + " " + number(r.below(10000), 4);
}

std::string words(Random &r, unsigned count)
{
    std::string text;
    for (unsigned i = 0; i < count; ++i) {
        if (i) text += ' ';
        text += r.pick(kWords);
    }
    return text;
}

// Basic ISO 8601 in UTC: 2024-2027, days up to 28 so every date exists.
std::string iso_date(Random &r, bool with_time = true)
{
    std::string text = std::to_string(2024 + r.below(4)) + number(1 + r.below(12), 2) +
                       number(1 + r.below(28), 2);
    if (with_time) text += "T" + number(r.below(24), 2) + number(r.below(4) * 15, 2) + "00Z";
    return text;
}

// Quoted-printable as phones write it: CR LF encoded as =0D=0A, and a soft line break
// ("=" CR LF) before an encoded line would pass 76 characters. first is the length
// of what precedes the value on its first physical line.
std::string quoted_printable(const std::string &text, size_t first)
{
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    size_t column = first;
    for (size_t i = 0; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        std::string piece;
        if (c == '\n') {
            piece = "=0D=0A";
        } else if (c < 32 || c == '=' || c > 126) {
            piece = {'=', kHex[c >> 4], kHex[c & 15]};
        } else {
            piece = std::string(1, static_cast<char>(c));
        }
        if (column + piece.size() > 75) {
            out += "=\r\n";
            column = 0;
        }
        out += piece;
        column += piece.size();
    }
    return out;
}

// A long plain line folded at blanks: the blank moves to the start of the next
// physical line, so unfolding gives the text back.
std::string folded(const std::string &line)
{
    std::string out;
    size_t column = 0;
    for (char c : line) {
        if (c == ' ' && column > 60) {
            out += "\r\n";
            column = 0;
        }
        out += c;
        ++column;
    }
    return out;
}

void line(std::string &out, const std::string &text) { out += text + "\r\n"; }

void qp_line(std::string &out, const std::string &head, const std::string &text)
{
    std::string prefix = head + ";ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:";
    out += prefix + quoted_printable(text, prefix.size()) + "\r\n";
}

bool is_ascii(const std::string &text)
{
    for (char c : text)
        if (static_cast<unsigned char>(c) > 126) return false;
    return true;
}

// CHARSET=UTF-8 only where the text needs it, as phones do.
std::string charset_for(const std::string &text) { return is_ascii(text) ? "" : ";CHARSET=UTF-8"; }

// The first n characters of UTF-8 text, never half of one.
std::string first_letters(const std::string &text, unsigned n)
{
    size_t end = 0;
    for (unsigned i = 0; i < n && end < text.size(); ++i)
        do ++end;
        while (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xc0) == 0x80);
    return text.substr(0, end);
}

std::string mail_of(const std::string &given, const std::string &family, Random &r)
{
    std::string local;
    for (char c : given + "." + family)
        if (std::isalnum(static_cast<unsigned char>(c)) || c == '.') local += c;
    return local + "@" + (r.chance(50) ? "example.org" : "mail.example.com");
}

std::string vcard(Random &r, unsigned index)
{
    std::string given = r.pick(kGiven), family = r.pick(kFamily);
    std::string n = family + ";" + given + ";" + (r.chance(30) ? r.pick(kGiven) : "") + ";" +
                    (r.chance(20) ? "Dr." : "") + ";" + (r.chance(10) ? "Jr." : "");
    std::string out;
    line(out, "BEGIN:VCARD");
    line(out, "VERSION:2.1");
    line(out, "N" + charset_for(n) + ":" + n);
    line(out, "FN" + charset_for(given + family) + ":" + given + " " + family);
    if (r.chance(30)) line(out, "NICKNAME" + charset_for(given) + ":" + first_letters(given, 3));
    std::string org = std::string(r.pick(kCompany)) + ";" + r.pick(kDepartment);
    line(out, "ORG" + charset_for(org) + ":" + org);
    line(out, folded("TITLE:" + std::string(r.pick(kTitle))));
    line(out, "TEL;WORK;VOICE:" + phone(r));
    line(out, "TEL;HOME;VOICE:" + phone(r));
    line(out, "TEL;CELL:" + phone(r));
    if (r.chance(50)) line(out, "TEL;FAX;WORK:" + phone(r));
    if (r.chance(10)) line(out, "TEL;PAGER:" + phone(r));
    line(out, "EMAIL;INTERNET;PREF:" + mail_of(given, family, r));
    if (r.chance(50)) line(out, "EMAIL;INTERNET;HOME:" + mail_of(family, given, r));
    if (r.chance(40)) line(out, "URL:http://www.example.org/people/" + number(index, 6));
    std::string street = std::string("Building ") + std::to_string(1 + r.below(9)) + "\nFloor " +
                         std::to_string(1 + r.below(12));
    qp_line(out, "ADR;WORK",
            ";" + street + ";" + r.pick(kStreet) + ";" + r.pick(kCity) + ";;" +
                number(10000 + r.below(90000), 5) + ";" + r.pick(kCountry));
    if (r.chance(40)) {
        std::string home = std::string(";;") + r.pick(kStreet) + ";" + r.pick(kCity) + ";;" +
                           number(10000 + r.below(90000), 5) + ";" + r.pick(kCountry);
        line(out, "ADR;HOME" + charset_for(home) + ":" + home);
    }
    if (r.chance(60)) line(out, "BDAY:" + iso_date(r, false));
    qp_line(out, "NOTE", words(r, 10 + r.below(10)) + ".\n" + words(r, 9 + r.below(12)) + ".");
    if (r.chance(10)) line(out, "X-SPOUSE:" + std::string(r.pick(kGiven)));
    if (r.chance(5)) line(out, "X-ASSISTANT:" + std::string(r.pick(kGiven)));
    line(out, "X-IRMC-LUID:" + number(index + 1, 8));
    line(out, "END:VCARD");
    return out;
}

std::string vevent(Random &r, unsigned index)
{
    std::string out;
    line(out, "BEGIN:VEVENT");
    std::string summary = r.pick(kSummary);
    if (is_ascii(summary))
        line(out, "SUMMARY:" + summary);
    else
        qp_line(out, "SUMMARY", summary);
    qp_line(out, "DESCRIPTION", words(r, 10 + r.below(12)) + ".\n" + words(r, 5 + r.below(10)) +
                                    ".\n" + words(r, 3 + r.below(6)));
    std::string start = iso_date(r);
    line(out, "DTSTART:" + start);
    std::string end = start;
    end[9] = static_cast<char>(end[9] < '9' ? end[9] + 1 : '0');  // an hour or so later
    line(out, "DTEND:" + end);
    line(out, std::string("CLASS:") + (r.chance(80) ? "PUBLIC" : "PRIVATE"));
    line(out, "PRIORITY:" + std::to_string(r.below(4)));
    line(out, std::string("STATUS:") + (r.chance(70) ? "CONFIRMED" : "TENTATIVE"));
    if (r.chance(70)) line(out, "LOCATION:Room " + std::to_string(1 + r.below(40)));
    line(out, std::string("CATEGORIES:") + (r.chance(60) ? "MEETING" : "BUSINESS"));
    if (r.chance(70)) line(out, "DALARM:" + start + ";PT5M;2;" + summary);
    if (r.chance(50)) {
        line(out, "RRULE:" + std::string(r.pick(kRRule)));
        if (r.chance(60)) line(out, "EXDATE:" + iso_date(r) + ";" + iso_date(r));
    }
    if (r.chance(40))
        line(out, "ATTENDEE;ROLE=ATTENDEE;STATUS=CONFIRMED:" + std::string(r.pick(kGiven)) + " <" +
                      mail_of(r.pick(kGiven), r.pick(kFamily), r) + ">");
    line(out, "X-IRMC-LUID:" + number(index + 1, 8));
    if (r.chance(20)) line(out, "X-BLUETOOTH-ALLDAYEVENT:TRUE");
    line(out, "END:VEVENT");
    return out;
}

std::string vtodo(Random &r, unsigned index)
{
    std::string out;
    line(out, "BEGIN:VTODO");
    line(out, "SUMMARY:" + words(r, 3 + r.below(4)));
    qp_line(out, "DESCRIPTION", words(r, 8 + r.below(12)) + ".\n" + words(r, 4 + r.below(8)));
    line(out, "DUE:" + iso_date(r));
    line(out, "COMPLETED:" + (r.chance(30) ? iso_date(r) : std::string()));
    line(out, "PRIORITY:" + std::to_string(1 + r.below(3)));
    line(out, std::string("STATUS:") + (r.chance(70) ? "NEEDS ACTION" : "COMPLETED"));
    line(out, std::string("CATEGORIES:") + (r.chance(50) ? "WORK" : "PERSONAL"));
    line(out, "CLASS:PRIVATE");
    if (r.chance(50)) line(out, "DALARM:" + iso_date(r) + ";PT10M;1;Due soon");
    if (r.chance(30)) line(out, "RRULE:" + std::string(r.pick(kRRule)));
    line(out, "X-IRMC-LUID:" + number(index + 1, 8));
    line(out, "END:VTODO");
    return out;
}

std::string vnote(Random &r, unsigned index)
{
    std::string out;
    line(out, "BEGIN:VNOTE");
    line(out, "VERSION:1.1");
    line(out, "DCREATED:" + iso_date(r));
    line(out, "LAST-MODIFIED:" + iso_date(r));
    std::string summary = words(r, 3 + r.below(4));
    line(out, "SUMMARY" + charset_for(summary) + ":" + summary);
    qp_line(out, "BODY", words(r, 10 + r.below(20)) + ".\n" + words(r, 5 + r.below(15)) + ".");
    line(out, std::string("CATEGORIES:") + (r.chance(50) ? "PERSONAL" : "WORK"));
    if (r.chance(50)) line(out, "CLASS:PRIVATE");
    line(out, "X-IRMC-LUID:" + number(index + 1, 8));
    line(out, "END:VNOTE");
    return out;
}

std::string envelope_card(Random &r)
{
    std::string given = r.pick(kGiven), family = r.pick(kFamily);
    std::string out;
    line(out, "BEGIN:VCARD");
    line(out, "VERSION:2.1");
    line(out, "N" + charset_for(given + family) + ":" + family + ";" + given);
    line(out, "TEL:" + phone(r));
    line(out, "EMAIL;INTERNET:" + mail_of(given, family, r));
    line(out, "END:VCARD");
    return out;
}

std::string vmessage(Random &r, unsigned index)
{
    static constexpr const char *kFolders[] = {"INBOX", "INBOX", "INBOX", "SENTBOX", "OUTBOX"};
    std::string out;
    line(out, "BEGIN:VMSG");
    line(out, "VERSION:1.1");
    line(out, std::string("X-IRMC-STATUS:") + (r.chance(50) ? "READ" : "UNREAD"));
    line(out, std::string("X-IRMC-TYPE:") + (r.chance(70) ? "SMS" : "MAIL"));
    line(out, "X-IRMC-LUID:" + number(index + 1, 8));
    line(out, "X-BT-FOLDER:" + std::string(r.pick(kFolders)));
    out += envelope_card(r);
    line(out, "BEGIN:VENV");
    out += envelope_card(r);
    line(out, "BEGIN:VENV");
    line(out, "BEGIN:VBODY");
    line(out, "Date:Sat, " + std::to_string(1 + r.below(28)) + " Dec 2026 " + number(r.below(24), 2) +
                  ":" + number(r.below(60), 2) + ":00 +0100");
    line(out, "From:" + mail_of(r.pick(kGiven), r.pick(kFamily), r));
    line(out, "To:" + mail_of(r.pick(kGiven), r.pick(kFamily), r));
    line(out, "Subject:" + words(r, 2 + r.below(5)));
    if (r.chance(10)) {
        std::string boundary = "kova-" + number(index, 6);
        line(out, "Content-Type:multipart/mixed; boundary=\"" + boundary + "\"");
        line(out, "");
        line(out, "This is a multi-part message in MIME format.");
        line(out, "--" + boundary);
        line(out, "Content-Type:text/plain; charset=UTF-8");
        line(out, "");
        line(out, words(r, 6 + r.below(10)) + ".");
        line(out, "--" + boundary);
        line(out, "Content-Type:text/plain; charset=UTF-8");
        line(out, "Content-Transfer-Encoding:quoted-printable");
        line(out, "");
        line(out, quoted_printable(words(r, 5 + r.below(10)), 0));
        line(out, "--" + boundary + "--");
    } else {
        line(out, "Content-Type:text/plain; charset=UTF-8");
        line(out, "Content-Transfer-Encoding:8bit");
        line(out, "");
        unsigned lines = 1 + r.below(4);
        for (unsigned i = 0; i < lines; ++i) line(out, words(r, 4 + r.below(10)));
        if (r.chance(5)) line(out, "/END:VBODY");
    }
    line(out, "END:VBODY");
    line(out, "END:VENV");
    line(out, "END:VENV");
    line(out, "END:VMSG");
    return out;
}

// One object (a whole VCALENDAR block for vCalendar, holding up to `count` items) and
// how many objects it holds.
std::string object_text(Kind kind, Random &r, unsigned index, unsigned count, unsigned &held)
{
    held = 1;
    switch (kind) {
    case Kind::VCard: return vcard(r, index);
    case Kind::VNote: return vnote(r, index);
    case Kind::VMessage: return vmessage(r, index);
    case Kind::VCalendar: {
        held = 1 + r.below(10);
        if (held > count) held = count;
        std::string out;
        line(out, "BEGIN:VCALENDAR");
        line(out, "VERSION:1.0");
        for (unsigned i = 0; i < held; ++i)
            out += r.chance(70) ? vevent(r, index + i) : vtodo(r, index + i);
        line(out, "END:VCALENDAR");
        return out;
    }
    }
    return {};
}

}  // namespace

uint64_t Random::next()
{
    uint64_t z = (state_ += 0x9e3779b97f4a7c15ull);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
    return z ^ (z >> 31);
}

namespace {

struct KindNames {
    const char *name, *slug, *extension;
};

// In the order of Kind.
constexpr KindNames kKindNames[] = {{"vCard", "vcard", ".vcf"},
                                    {"vCalendar", "vcalendar", ".vcs"},
                                    {"vNote", "vnote", ".vnt"},
                                    {"vMessage", "vmessage", ".vmg"}};

const KindNames &names_of(Kind kind) { return kKindNames[static_cast<int>(kind)]; }

}  // namespace

const char *kind_name(Kind kind) { return names_of(kind).name; }
const char *kind_slug(Kind kind) { return names_of(kind).slug; }
const char *kind_extension(Kind kind) { return names_of(kind).extension; }

bool kind_from_slug(const std::string &slug, Kind &kind)
{
    for (Kind k : kKinds)
        if (slug == kind_slug(k)) {
            kind = k;
            return true;
        }
    return false;
}

void generate(Kind kind, unsigned count, uint64_t seed, std::FILE *out, std::vector<long> *starts)
{
    Random r(seed * 4 + static_cast<uint64_t>(kind));
    long offset = 0;
    for (unsigned index = 0; index < count;) {
        unsigned held = 0;
        std::string text = object_text(kind, r, index, count - index, held);
        if (starts) starts->push_back(offset);
        std::fwrite(text.data(), 1, text.size(), out);
        offset += static_cast<long>(text.size());
        index += held;
    }
}

std::vector<std::string> mutated_inputs(unsigned count, uint64_t seed)
{
    static constexpr char kBytes[] = {'=', '\r', '\n', ' ', '\t', ';', ':', '\\', '\0', 'a', '"'};
    static constexpr const char *kInserts[] = {
        "\r\n\r\n", "=\r\n", "=", "\r\n ", "\r\n\t", "BEGIN:VCARD\r\n", "END:VCARD\r\n",
        "BEGIN:VEVENT\r\n", "END:VBODY\r\n", "BEGIN:VENV\r\n", "VERSION:3.0\r\n", "\\;", "\r",
        "X-UNKNOWN;A=B:C\r\n", "tel:123\r\n", "--kova-000001\r\n"};
    Random r(seed);
    std::vector<std::string> inputs;
    for (unsigned i = 0; i < count; ++i) {
        Kind kind = kKinds[r.below(4)];
        unsigned held = 0;
        std::string text = object_text(kind, r, i, 3, held);
        if (r.chance(30)) text += object_text(kind, r, i + 1, 2, held);
        unsigned edits = 1 + r.below(5);
        for (unsigned e = 0; e < edits && !text.empty(); ++e) {
            size_t at = r.below(static_cast<unsigned>(text.size()));
            switch (r.below(8)) {
            case 0: text.resize(at); break;
            case 1: text[at] = kBytes[r.below(sizeof kBytes)]; break;
            case 2: text.insert(at, r.pick(kInserts)); break;
            case 3: text.insert(at, std::string(40 + r.below(700), static_cast<char>('A' + r.below(26)))); break;
            case 4: {  // a whole line doubled or dropped
                size_t begin = text.rfind('\n', at);
                begin = begin == std::string::npos ? 0 : begin + 1;
                size_t end = text.find('\n', at);
                end = end == std::string::npos ? text.size() : end + 1;
                std::string whole = text.substr(begin, end - begin);
                if (r.chance(50))
                    text.insert(begin, whole);
                else
                    text.erase(begin, end - begin);
                break;
            }
            case 5: {  // CR LF to LF, or the other way round
                std::string out;
                for (char c : text)
                    if (c != '\r') out += c;
                text = out;
                break;
            }
            case 6:
                for (size_t k = at; k < text.size() && text[k] != '\n'; ++k)
                    text[k] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[k])));
                break;
            default: text.insert(at, std::string(1 + r.below(3), ' ')); break;
            }
        }
        inputs.push_back(text);
    }
    // A few shapes that mutation reaches only by luck.
    for (const char *text :
         {"", "BEGIN:VCARD", "BEGIN:VCARD\r\nVERSION:2.1\r\nN:a=", "BEGIN:VNOTE\r\n",
          "BEGIN:VMSG\r\nVERSION:1.1\r\nBEGIN:VENV\r\nBEGIN:VBODY\r\n\r\nx",
          "BEGIN:VCALENDAR\r\nVERSION:1.0\r\nEND:VCALENDAR\r\n", "\r\n", "=\r\n=\r\n",
          "BEGIN:VCARD\nVERSION:2.1\nN:x\nEND:VCARD"})
        inputs.emplace_back(text);
    return inputs;
}

}  // namespace kova::bench
