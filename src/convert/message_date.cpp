#include "convert/message_date.h"

#include <algorithm>
#include <string>
#include <string_view>

#include "base/log.h"
#include "convert/charset.h"

namespace kova::convert {
namespace {

constexpr std::string_view kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr size_t kMaxToken = 99;
// A longer number reads as this: past the range of every field but the year, and a
// year no date has, so such a year fails as a date that does not exist.
constexpr int kSaturated = 1000000;

template <class Text> int month_number(const Text &name)
{
    for (int i = 0; i < 12; ++i)
        if (name.size() == 3 && name[0] == kMonths[i][0] && name[1] == kMonths[i][1] &&
            name[2] == kMonths[i][2])
            return i + 1;
    return 0;
}

bool is_digit(char16_t c) { return c >= u'0' && c <= u'9'; }

// A non-empty token of the digits 0 to 9 only, within [low, high].
bool read_number(std::string_view token, int low, int high, int &out)
{
    if (token.empty()) return false;
    int value = 0;
    for (char c : token) {
        if (!is_digit(static_cast<unsigned char>(c))) return false;
        value = std::min(value * 10 + (c - '0'), kSaturated);
    }
    out = value;
    return value >= low && value <= high;
}

int pair_value(std::string_view pair)
{
    int value = 0;
    for (size_t i = 0; i < pair.size() && is_digit(static_cast<unsigned char>(pair[i])); ++i)
        value = value * 10 + (pair[i] - '0');
    return value;
}

// Offset east of UTC in minutes; nullopt for a zone the form does not know.
std::optional<int> zone_minutes(std::string_view zone)
{
    struct Named {
        std::string_view name;
        int hours;
    };
    static constexpr Named kZones[] = {{"UT", 0},   {"GMT", 0},  {"Z", 0},    {"EST", -5},
                                       {"EDT", -4}, {"CST", -6}, {"CDT", -5}, {"MST", -7},
                                       {"MDT", -6}, {"PST", -8}, {"PDT", -7}};
    for (const Named &z : kZones)
        if (zone == z.name) return z.hours * 60;
    if (zone.size() == 1) {  // military letters; anything else of one character is UTC
        char c = zone[0];
        if (c >= 'A' && c <= 'I') return -(c - 'A' + 1) * 60;
        if (c >= 'K' && c <= 'M') return -(c - 'K' + 10) * 60;
        if (c >= 'N' && c <= 'Y') return (c - 'N' + 1) * 60;
        return 0;
    }
    if (zone.size() == 5) {  // +hhmm or -hhmm
        int minutes = pair_value(zone.substr(1, 2)) * 60 + pair_value(zone.substr(3, 2));
        return zone[0] == '-' ? -minutes : minutes;
    }
    return std::nullopt;
}

// Fields: day name (a token without a comma is read as the day, and the next token is
// the day all the same), day, month, year, hour ':' minute ':' second, zone. Nullopt
// when the text is not in this form.
std::optional<DateValue> parse_rfc822(std::string_view text)
{
    auto skip_spaces = [&text](size_t from) {
        size_t at = text.find_first_not_of(' ', from);
        return at == std::string_view::npos ? text.size() : at;
    };
    size_t pos = skip_spaces(0);
    char separator = ' ';
    int field = 0, day = 0, month = 0, year = 0, hour = 0, minute = 0, second = 0;
    std::optional<int> zone;
    while (field <= 7) {
        size_t end = text.find(separator, pos);
        std::string_view token = text.substr(pos, end == std::string_view::npos ? end : end - pos);
        pos = end == std::string_view::npos ? text.size() : skip_spaces(end + 1);
        if (token.empty()) break;
        if (token.size() > kMaxToken) return std::nullopt;
        bool ok = true;
        switch (field++) {
        case 0:
            ok = token.find(',') != std::string_view::npos || read_number(token, 1, 31, day);
            break;
        case 1: ok = read_number(token, 1, 31, day); break;
        case 2: ok = (month = month_number(token)) != 0; break;
        case 3:
            ok = read_number(token, 0, kSaturated, year);
            if (token.size() == 2) year += year < 80 ? 2000 : 1900;
            separator = ':';
            break;
        case 4: ok = read_number(token, 0, 23, hour); break;
        case 5:
            ok = read_number(token, 0, 59, minute);
            separator = ' ';
            break;
        case 6: ok = read_number(token, 0, 59, second); break;
        case 7: ok = (zone = zone_minutes(token)).has_value(); break;
        }
        if (!ok) return std::nullopt;
    }
    if (field < 7) return std::nullopt;
    // With a zone (UTC included) the time moves to UTC and then to local time.
    std::optional<SystemTime> fields = make_system_time(year, month, day, hour, minute, second);
    std::optional<double> date;
    if (fields && zone)
        date = utc_to_local_date(*fields, -int64_t{*zone} * 60);
    else if (fields)
        date = system_time_to_date(*fields);
    return date ? DateValue{*date, true} : DateValue{NoDate, false};
}

// Just enough of scanf for "%3s %d %d:%d:%d %d" on UTF-16 text.
class WideScan {
public:
    explicit WideScan(std::u16string_view text) : rest_(text) {}

    bool word(size_t max, std::u16string &out)
    {
        skip_space();
        size_t n = 0;
        while (n < max && n < rest_.size() && !space(rest_[n])) ++n;
        out = rest_.substr(0, n);
        rest_.remove_prefix(n);
        return n > 0;
    }
    bool number(int &out)
    {
        skip_space();
        size_t n = 0;
        bool negative = false;
        if (n < rest_.size() && (rest_[n] == u'+' || rest_[n] == u'-'))
            negative = rest_[n++] == u'-';
        size_t digits = n;
        long value = 0;
        for (; n < rest_.size() && is_digit(rest_[n]); ++n)
            value = std::min<long>(value * 10 + (rest_[n] - u'0'), kSaturated);
        if (n == digits) return false;
        out = static_cast<int>(negative ? -value : value);
        rest_.remove_prefix(n);
        return true;
    }
    bool literal(char16_t c)
    {
        if (rest_.empty() || rest_.front() != c) return false;
        rest_.remove_prefix(1);
        return true;
    }

private:
    static bool space(char16_t c) { return c == u' ' || (c >= u'\t' && c <= u'\r'); }
    void skip_space()
    {
        while (!rest_.empty() && space(rest_.front())) rest_.remove_prefix(1);
    }
    std::u16string_view rest_;
};

// "May 16 21:57:50 2003", the day name and its comma already cut off.
DateValue parse_legacy(const std::u16string &wide)
{
    std::string text = narrow_system(wide);
    WideScan scan(wide);
    std::u16string month_part;
    int day = 0, hour = 0, minute = 0, second = 0, year = 0;
    if (!(scan.word(3, month_part) && scan.number(day) && scan.number(hour) &&
          scan.literal(u':') && scan.number(minute) && scan.literal(u':') &&
          scan.number(second) && scan.number(year))) {
        KOVA_LOG_ERROR("KOVA:  Error in date '%s' - cannot convert legacy Date", text.c_str());
        return {NoDate, true};
    }
    int month = month_number(month_part);
    if (month == 0) {
        KOVA_LOG_ERROR("KOVA:  Error in date '%s' - Invalid Month part '%s' in legacy Date",
                       text.c_str(), narrow_system(month_part).c_str());
        return {NoDate, true};
    }
    std::optional<SystemTime> fields = make_system_time(year, month, day, hour, minute, second);
    std::optional<double> date = fields ? system_time_to_date(*fields) : std::nullopt;
    if (!date) {
        KOVA_LOG_ERROR("KOVA:  Error in date '%s' - could not set OLE date/time", text.c_str());
        return {NoDate, false};
    }
    return {*date, true};
}

}  // namespace

DateValue ParseMessageDate(const char *text)
{
    std::string_view header = text ? text : "";
    if (std::optional<DateValue> date = parse_rfc822(header)) return *date;
    std::u16string wide = widen_system(header);
    if (wide.size() >= 4 && wide[3] == u',') wide.erase(0, 5);
    return parse_legacy(wide);
}

FileTime MessageDateToFileTime(const char *text)
{
    DateValue parsed = ParseMessageDate(text);
    std::optional<SystemTime> local =
        parsed.valid ? date_to_system_time(parsed.date) : std::nullopt;
    std::optional<FileTime> time = local ? system_time_to_file_time(*local) : std::nullopt;
    if (time) time = local_to_utc(*time);
    return time ? *time : current_file_time();
}

}  // namespace kova::convert
