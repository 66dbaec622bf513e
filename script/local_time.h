// The local wall-clock time, from the platform.
#pragma once

struct LocalTime {
    int year, month, day, hour, minute, second;  // month 1..12
};

void PlatformLocalTime(LocalTime* out);
