#include <time.h>

#include "script/local_time.h"

void PlatformLocalTime(LocalTime* out) {
    time_t now = time(nullptr);
    struct tm parts;
    localtime_r(&now, &parts);
    out->year = parts.tm_year + 1900;
    out->month = parts.tm_mon + 1;
    out->day = parts.tm_mday;
    out->hour = parts.tm_hour;
    out->minute = parts.tm_min;
    out->second = parts.tm_sec;
}
