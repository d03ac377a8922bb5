#include "convert/ole_date.h"

#include <cmath>
#include <ctime>

namespace kova::convert {
namespace {

constexpr int64_t kSecondsPerDay = 86400;
constexpr int64_t kTicksPerSecond = 10000000;
constexpr int64_t kTicksPerDay = kSecondsPerDay * kTicksPerSecond;
constexpr int64_t kMaxFileTime = INT64_MAX;  // the platform refuses the top bit

constexpr bool leap(int64_t year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

constexpr unsigned kDaysBeforeMonth[] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};

// Days from 0001-01-01 to 1 January of the year, in the Gregorian calendar carried back.
constexpr int64_t days_before_year(int64_t year)
{
    int64_t y = year - 1;
    return y * 365 + y / 4 - y / 100 + y / 400;
}

// Day number of a date, 0 being 0001-01-01; every year we handle is 100 or later.
constexpr int64_t day_number(int64_t year, unsigned month, unsigned day)
{
    return days_before_year(year) + kDaysBeforeMonth[month - 1] + (month > 2 && leap(year)) + day -
           1;
}

struct Civil {
    int64_t year;
    unsigned month;
    unsigned day;
};

Civil civil_from_day_number(int64_t n)
{
    int64_t year = n * 400 / 146097 + 1;  // within one of the truth
    while (days_before_year(year + 1) <= n) ++year;
    while (days_before_year(year) > n) --year;
    auto in_year = static_cast<unsigned>(n - days_before_year(year));
    unsigned month = 12;
    while (kDaysBeforeMonth[month - 1] + (month > 2 && leap(year)) > in_year) --month;
    return {year, month, in_year - kDaysBeforeMonth[month - 1] - (month > 2 && leap(year)) + 1};
}

constexpr int64_t kOleEpoch = day_number(1899, 12, 30);
constexpr int64_t kFileTimeEpoch = day_number(1601, 1, 1);
constexpr int64_t kUnixEpochSeconds = (day_number(1970, 1, 1) - kFileTimeEpoch) * kSecondsPerDay;
static_assert(kFirstOleDay == day_number(100, 1, 1) - kOleEpoch &&
              kLastOleDay == day_number(9999, 12, 31) - kOleEpoch);
static_assert(kUnixEpochSeconds == 11644473600);

bool real_time(const SystemTime &t)
{
    return t.month >= 1 && t.month <= 12 && t.day >= 1 && t.day <= days_in_month(t.year, t.month) &&
           t.hour < 24 && t.minute < 60 && t.second < 60 && t.milliseconds < 1000;
}

int64_t seconds_of_day(const SystemTime &t) { return t.hour * 3600 + t.minute * 60 + t.second; }

SystemTime fields(int64_t day, int64_t seconds)
{
    Civil c = civil_from_day_number(day);
    SystemTime t;
    t.year = static_cast<uint16_t>(c.year);
    t.month = static_cast<uint16_t>(c.month);
    t.day = static_cast<uint16_t>(c.day);
    t.hour = static_cast<uint16_t>(seconds / 3600);
    t.minute = static_cast<uint16_t>(seconds / 60 % 60);
    t.second = static_cast<uint16_t>(seconds % 60);
    return t;
}

std::optional<FileTime> &fixed_now()
{
    static std::optional<FileTime> now;
    return now;
}

}  // namespace

unsigned days_in_month(unsigned year, unsigned month)
{
    if (month < 1 || month > 12) return 0;
    unsigned next = month == 12 ? 365 : kDaysBeforeMonth[month];
    return next - kDaysBeforeMonth[month - 1] + (month == 2 && leap(year));
}

int day_of_week(int64_t day)
{
    return static_cast<int>(((day + 6) % 7 + 7) % 7);  // day 0, 1899-12-30, was a Saturday
}

std::optional<SystemTime> make_system_time(int year, int month, int day, int hour, int minute,
                                           int second)
{
    for (int v : {year, month, day, hour, minute, second})
        if (v < 0 || v > 0xFFFF) return std::nullopt;
    SystemTime t;
    t.year = static_cast<uint16_t>(year);
    t.month = static_cast<uint16_t>(month);
    t.day = static_cast<uint16_t>(day);
    t.hour = static_cast<uint16_t>(hour);
    t.minute = static_cast<uint16_t>(minute);
    t.second = static_cast<uint16_t>(second);
    return t;
}

std::optional<double> system_time_to_date(const SystemTime &time)
{
    if (time.year < 100 || time.year > 9999 || !real_time(time)) return std::nullopt;
    int64_t days = day_number(time.year, time.month, time.day) - kOleEpoch;
    double fraction = static_cast<double>(seconds_of_day(time)) / kSecondsPerDay;
    return days >= 0 ? static_cast<double>(days) + fraction : static_cast<double>(days) - fraction;
}

std::optional<SystemTime> date_to_system_time(double date)
{
    if (!std::isfinite(date)) return std::nullopt;
    double whole = std::trunc(date);
    if (whole < static_cast<double>(kFirstOleDay) || whole > static_cast<double>(kLastOleDay))
        return std::nullopt;
    auto day = static_cast<int64_t>(whole);
    int64_t seconds = std::llround(std::fabs(date - whole) * kSecondsPerDay);
    if (seconds >= kSecondsPerDay) {  // 23:59:59.5 and later round into the next day
        seconds -= kSecondsPerDay;
        ++day;
    }
    if (day > kLastOleDay) return std::nullopt;
    return fields(day + kOleEpoch, seconds);
}

std::optional<FileTime> system_time_to_file_time(const SystemTime &time)
{
    if (time.year < 1601 || time.year > 30827 || !real_time(time)) return std::nullopt;
    int64_t days = day_number(time.year, time.month, time.day) - kFileTimeEpoch;
    int64_t ms = (days * kSecondsPerDay + seconds_of_day(time)) * 1000 + time.milliseconds;
    return static_cast<FileTime>(ms * 10000);
}

std::optional<SystemTime> file_time_to_system_time(FileTime time)
{
    if (time > static_cast<FileTime>(kMaxFileTime)) return std::nullopt;
    auto ticks = static_cast<int64_t>(time);
    int64_t in_day = ticks % kTicksPerDay;
    SystemTime t = fields(ticks / kTicksPerDay + kFileTimeEpoch, in_day / kTicksPerSecond);
    t.milliseconds = static_cast<uint16_t>(in_day % kTicksPerSecond / 10000);
    return t;
}

std::optional<FileTime> add_seconds(FileTime time, int64_t seconds)
{
    if (time > static_cast<FileTime>(kMaxFileTime)) return std::nullopt;
    int64_t ticks = seconds * kTicksPerSecond;
    auto t = static_cast<int64_t>(time);
    if (ticks < 0 ? t < -ticks : t > kMaxFileTime - ticks) return std::nullopt;
    return static_cast<FileTime>(t + ticks);
}

std::optional<FileTime> utc_to_local(FileTime utc)
{
    return add_seconds(utc, utc_offset_seconds());
}

std::optional<FileTime> local_to_utc(FileTime local)
{
    return add_seconds(local, -utc_offset_seconds());
}

std::optional<double> utc_to_local_date(const SystemTime &utc, int64_t seconds)
{
    std::optional<FileTime> time = system_time_to_file_time(utc);
    if (time) time = add_seconds(*time, seconds);
    if (time) time = utc_to_local(*time);
    std::optional<SystemTime> local = time ? file_time_to_system_time(*time) : std::nullopt;
    return local ? system_time_to_date(*local) : std::nullopt;
}

FileTime current_file_time()
{
    if (fixed_now()) return *fixed_now();
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<FileTime>((now.tv_sec + kUnixEpochSeconds) * kTicksPerSecond +
                                 now.tv_nsec / 100);
}

void set_fixed_now(std::optional<FileTime> now) { fixed_now() = now; }

int64_t utc_offset_seconds()
{
    auto now = static_cast<time_t>(static_cast<int64_t>(current_file_time() / kTicksPerSecond) -
                                   kUnixEpochSeconds);
    tzset();  // TZ may have changed since the last call
    tm local{};
    if (!localtime_r(&now, &local)) return 0;
    return local.tm_gmtoff;
}

}  // namespace kova::convert
