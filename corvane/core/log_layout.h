// Texts the program composes: change-log lines, the share remark, the version line.
#pragma once
#include <string>

namespace corvane {

struct Stamp {
  int year = 0, month = 1, day = 1, hour = 0, minute = 0;  // month 1..12
};

// "dd-mmm-yyyy hh:mm" with the locale's abbreviated month name.
std::wstring format_stamp(const Stamp& when, const std::wstring& month_abbrev);

// One change-log line without its line end: stamp + "> " + text.
std::wstring log_line(const std::wstring& stamp, const std::wstring& text);

struct Version {
  unsigned major = 0, minor = 0, revision = 0;
};

// "Using Corvane v1.0.4"
std::wstring version_line(const Version& v);

// "Added via Velmora Corvane v1.0 at 05-Mar-2007 09:07"
std::wstring share_remark(const Version& v, const std::wstring& stamp);

// Fixed texts of the change log.
extern const wchar_t kSessionStarted[];     // "Started Velmora Corvane session."
extern const wchar_t kSessionTerminated[];  // "Corvane session terminated."

}  // namespace corvane
