// Shared helpers of the security reader/writer tests: descriptors from SDDL, and checks of
// the one record an operation sends to the log.
#pragma once
#include "com_test.h"
#include "event_sink.h"
#include <sddl.h>
#include <string>
#include <vector>
#include "tern_h.h"
#include "test_log.h"
#include "wick_h.h"

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

// Receives the records of a real zrLog through its events, so that every record (not only the
// last) can be checked.
class LogRecorder final : public corvtest::EventSink<&DIID__IzrLogEvents> {
public:
  std::vector<corvtest::LogRecord> records;

  static corv::ComPtr<LogRecorder> make() { return corv::ComPtr<LogRecorder>::attach(new LogRecorder); }

  // onError(System, Source, Severity, Error, Description), arguments in reverse order.
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* p, VARIANT*, EXCEPINFO*, UINT*) override {
    if (id != 1 || !p || p->cArgs != 5) return DISP_E_MEMBERNOTFOUND;
    BSTR system = V_BSTR(&p->rgvarg[4]), source = V_BSTR(&p->rgvarg[3]), description = V_BSTR(&p->rgvarg[0]);
    records.push_back({system == nullptr, source == nullptr, description == nullptr, system ? system : L"",
                       source ? source : L"", description ? description : L"", V_I4(&p->rgvarg[2]),
                       V_I4(&p->rgvarg[1])});
    return S_OK;
  }

private:
  LogRecorder() = default;
};

// A real log object, attached to `target` through its Log property, with a recorder on its events.
inline corv::ComPtr<LogRecorder> attach_real_log(IzrSecurityInfo* target, corv::ComPtr<IzrLog>& log) {
  auto recorder = LogRecorder::make();
  log = corvtest::create<IzrLog>(CLSID_zrLog);
  if (!log) return recorder;
  corv::ComPtr<IConnectionPointContainer> cpc;
  corv::ComPtr<IConnectionPoint> cp;
  DWORD cookie = 0;
  EXPECT_EQ(S_OK, log->QueryInterface(IID_IConnectionPointContainer, cpc.out_void()));
  if (cpc) {
    EXPECT_EQ(S_OK, cpc->FindConnectionPoint(DIID__IzrLogEvents, cp.out()));
  }
  if (cp) {
    EXPECT_EQ(S_OK, cp->Advise(recorder.get(), &cookie));
  }
  corv::ComPtr<IDispatch> d;
  log->QueryInterface(IID_IDispatch, d.out_void());
  EXPECT_EQ(S_OK, target->putref_Log(d.get()));
  return recorder;
}

// Checks that the log received exactly one record: error with the system text of the code
// in front, or information (no system text) with error code 0.
template <class Log>
void expect_one_record(const Log* log, long severity, long error, const std::wstring& message) {
  ASSERT_EQ(1u, log->records.size());
  const corvtest::LogRecord& r = log->records[0];
  // This class leaves System and Source unset (the event copies turn null into empty).
  EXPECT_EQ(L"", r.system);
  EXPECT_EQ(L"", r.source);
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
