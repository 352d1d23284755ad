#pragma once

#include <functional>

namespace PDFWriter {

// A reading of the local wall clock.
struct LocalTime {
    int year = 0;    // four digits
    int month = 0;   // 1..12
    int day = 0;     // 1..31
    int hour = 0;    // 0..23
    int minute = 0;  // 0..59
    int second = 0;  // 0..59 (60 on a leap second)
};

// Reads the local clock now.
LocalTime CurrentLocalTime();

using LocalClock = std::function<LocalTime()>;

}  // namespace PDFWriter
