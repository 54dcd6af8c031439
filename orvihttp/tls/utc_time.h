#pragma once

#include <cstdint>
#include <string>

// Calendar times in UTC as certificates hold them, without the C library's
// time zone functions (which differ between the platforms and are not
// thread-safe everywhere).

struct UtcDateTime {
  int year = 1970;
  int month = 1;  // 1 to 12
  int day = 1;    // 1 to 31
  int hour = 0;
  int minute = 0;
  int second = 0;
};

// Seconds since 1970 for a calendar time, and back.
int64_t UtcSeconds(const UtcDateTime& time);
UtcDateTime UtcDateTimeOf(int64_t seconds);

// "2029-03-14 09:05:00 UTC", as the settings window and messages show a date.
std::string UtcTimeText(int64_t seconds);
// "20290314090500", as mbedTLS takes a certificate's validity.
std::string X509TimeText(int64_t seconds);

// The current time, in seconds since 1970.
int64_t UtcNow();
