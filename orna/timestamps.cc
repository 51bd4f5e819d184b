// Time stamps and the build-stamp parser.
#include <cstdio>
#include <cstring>
#include <ctime>
#include <initializer_list>

#include "orna/orna_api.h"
#include "platform/sys.h"

// Seconds since 1970 with millisecond steps: the wall clock, as the server's other
// time stamps read it.
double makeDataTimeStamp(void) {
  int64_t seconds = 0;
  int32_t milliseconds = 0;
  SysTimeNow(&seconds, &milliseconds);
  return (double)(seconds * 1000 + milliseconds) / 1000.0;
}

namespace {

bool Digit(char c) { return c >= '0' && c <= '9'; }

// Digits, blanks and colons where the compiler puts them (the day may be blank-padded),
// so that the number conversions below never see a sign or a leading blank.
bool OfTheForm(const char* date, const char* time) {
  if (date[3] != ' ' || (date[4] != ' ' && !Digit(date[4])) || !Digit(date[5]) || date[6] != ' ')
    return false;
  for (int i = 7; i < 11; ++i)
    if (!Digit(date[i])) return false;
  for (int i : {0, 1, 3, 4, 6, 7})
    if (!Digit(time[i])) return false;
  return time[2] == ':' && time[5] == ':';
}

}  // namespace

// "Dec  2 2008" and "11:18:08", as a compiler's __DATE__ and __TIME__ give them.
time_t parseCDateAndTimeStr(const char* date, const char* time) {
  static const char kMonths[] = "JanFebMarAprMayJunJulAugSepOctNovDec";
  if (date == nullptr || time == nullptr) return (time_t)-1;
  if (strlen(date) != 11 || strlen(time) != 8 || !OfTheForm(date, time)) return (time_t)-1;
  char month[4] = {date[0], date[1], date[2], '\0'};
  const char* found = strstr(kMonths, month);
  if (found == nullptr || (found - kMonths) % 3 != 0) return (time_t)-1;
  int day = 0, year = 0, hour = 0, minute = 0, second = 0;
  char tail = 0;
  if (date[3] != ' ' || sscanf(date + 4, "%2d %4d%c", &day, &year, &tail) != 2) return (time_t)-1;
  if (time[2] != ':' || time[5] != ':' ||
      sscanf(time, "%2d:%2d:%2d%c", &hour, &minute, &second, &tail) != 3)
    return (time_t)-1;
  if (day < 1 || day > 31 || year < 1970 || hour > 23 || minute > 59 || second > 60)
    return (time_t)-1;
  tm parts{};
  parts.tm_year = year - 1900;
  parts.tm_mon = int(found - kMonths) / 3;
  parts.tm_mday = day;
  parts.tm_hour = hour;
  parts.tm_min = minute;
  parts.tm_sec = second;
  parts.tm_isdst = -1;
  time_t result = mktime(&parts);
  // mktime moves a day the month does not have ("Feb 30") into the next month.
  if (parts.tm_mday != day || parts.tm_mon != int(found - kMonths) / 3) return (time_t)-1;
  return result;
}
