#include "opcsim/date_text.h"

#include <cmath>
#include <cstdio>

namespace {

constexpr long long kMsPerDay = 86400000;

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's algorithm).
long long DaysFromCivil(long long y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

void CivilFromDays(long long z, int& y, unsigned& m, unsigned& d)
{
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y = static_cast<int>(static_cast<long long>(yoe) + era * 400 + (m <= 2));
}

const long long kOleEpochDays = DaysFromCivil(1899, 12, 30);
const long long kFileTimeEpochDays = DaysFromCivil(1601, 1, 1);

// "YYYY-MM-DD[THH:MM:SS[.fff]][Z]" into days since 1970 and milliseconds of the day.
bool ParseIso(const std::string& text, long long& days, long long& msOfDay)
{
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0, ms = 0, used = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2d%n", &y, &mo, &d, &used) != 3 || used != 10) return false;
    std::string rest = text.substr(10);
    if (!rest.empty()) {
        int n = 0;
        if (std::sscanf(rest.c_str(), "T%2d:%2d:%2d%n", &h, &mi, &s, &n) != 3 || n != 9) return false;
        rest = rest.substr(9);
        if (!rest.empty() && rest[0] == '.') {
            if (rest.size() < 4 || std::sscanf(rest.c_str(), ".%3d%n", &ms, &n) != 1 || n != 4) return false;
            rest = rest.substr(4);
        }
        if (rest == "Z") rest.clear();
        if (!rest.empty()) return false;
    }
    if (mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || s > 59) return false;
    days = DaysFromCivil(y, static_cast<unsigned>(mo), static_cast<unsigned>(d));
    int y2 = 0;
    unsigned m2 = 0, d2 = 0;
    CivilFromDays(days, y2, m2, d2);
    if (static_cast<int>(d2) != d) return false; // 31 April and the like
    msOfDay = ((h * 60LL + mi) * 60 + s) * 1000 + ms;
    return true;
}

} // namespace

bool ParseOleDate(const std::string& text, double& date)
{
    long long days = 0, ms = 0;
    if (!ParseIso(text, days, ms)) return false;
    long long oleDays = days - kOleEpochDays;
    double fraction = static_cast<double>(ms) / kMsPerDay;
    // Before 1899-12-30 the time of day still counts forward from midnight: -1.25 is 29 Dec, 06:00.
    date = oleDays >= 0 ? static_cast<double>(oleDays) + fraction : static_cast<double>(oleDays) - fraction;
    return true;
}

std::string FormatOleDate(double date)
{
    double whole = std::trunc(date);
    long long ms = std::llround(std::fabs(date - whole) * kMsPerDay);
    if (ms >= kMsPerDay) ms = kMsPerDay - 1;
    int y = 0;
    unsigned m = 0, d = 0;
    CivilFromDays(static_cast<long long>(whole) + kOleEpochDays, y, m, d);
    char buf[48];
    long long secs = ms / 1000;
    std::snprintf(buf, sizeof buf, "%04d-%02u-%02uT%02lld:%02lld:%02lld", y, m, d, secs / 3600,
                  secs / 60 % 60, secs % 60);
    std::string out = buf;
    if (ms % 1000 != 0) {
        std::snprintf(buf, sizeof buf, ".%03lld", ms % 1000);
        out += buf;
    }
    return out;
}

bool ParseFileTime(const std::string& text, FILETIME& time)
{
    long long days = 0, ms = 0;
    if (!ParseIso(text, days, ms) || days < kFileTimeEpochDays) return false;
    unsigned long long ticks =
        static_cast<unsigned long long>((days - kFileTimeEpochDays) * kMsPerDay + ms) * 10000;
    time.dwLowDateTime = static_cast<DWORD>(ticks);
    time.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    return true;
}

FILETIME FileTimeNow()
{
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    return now;
}
