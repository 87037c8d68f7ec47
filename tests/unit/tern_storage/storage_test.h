// Shared helpers of the security reader/writer tests: descriptors from SDDL, and checks of
// the one record an operation sends to the log.
#pragma once
#include "com_test.h"
#include <sddl.h>
#include <string>
#include <vector>
#include "tern_h.h"
#include "test_log.h"

namespace storagetest {

// Self-relative bytes of an SDDL text, made by the system.
inline std::vector<uint8_t> sddl_bytes(const wchar_t* sddl) {
  PSECURITY_DESCRIPTOR sd = nullptr;
  ULONG len = 0;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &sd, &len)) return {};
  std::vector<uint8_t> v(static_cast<uint8_t*>(sd), static_cast<uint8_t*>(sd) + len);
  LocalFree(sd);
  return v;
}

// The SDDL text of the parts info selects of a descriptor held in bytes.
inline std::wstring to_sddl(const std::vector<uint8_t>& sd, DWORD info) {
  if (sd.empty()) return L"<empty>";
  wchar_t* text = nullptr;
  if (!ConvertSecurityDescriptorToStringSecurityDescriptorW(const_cast<uint8_t*>(sd.data()), SDDL_REVISION_1, info,
                                                            &text, nullptr))
    return L"<invalid>";
  std::wstring s = text;
  LocalFree(text);
  return s;
}

// The same SDDL text after a trip through the system's binary form (its own spelling).
inline std::wstring normal_sddl(const wchar_t* sddl, DWORD info) { return to_sddl(sddl_bytes(sddl), info); }

// Checks that the log received exactly one record: error with the system text of the code
// in front, or information (no system text) with error code 0.
inline void expect_one_record(const corvtest::TestLog* log, long severity, long error, const std::wstring& message) {
  ASSERT_EQ(1u, log->records.size());
  const corvtest::LogRecord& r = log->records[0];
  EXPECT_TRUE(r.system_null);
  EXPECT_TRUE(r.source_null);
  EXPECT_EQ(severity, r.severity);
  EXPECT_EQ(error, r.error);
  std::wstring prefix = severity == 2 ? std::wstring() : corvtest::system_text(static_cast<DWORD>(error));
  EXPECT_EQ(prefix + L" " + message, r.description);
}

inline std::wstring temp_folder() {
  wchar_t buf[MAX_PATH];
  DWORD n = GetTempPathW(MAX_PATH, buf);
  return std::wstring(buf, n);
}

}  // namespace storagetest
