// A log object for tests: implements IzrLog and keeps every record it is given.
#pragma once
#include <string>
#include <vector>
#include "com_test.h"
#include "event_sink.h"
#include "zrlog_h.h"

namespace corvtest {

struct LogRecord {
  bool system_null, source_null, description_null;
  std::wstring system, source, description;
  long severity, error;
};

class TestLog final : public DispatchObject<IzrLog, &IID_IzrLog> {
public:
  static corv::ComPtr<TestLog> make() { return corv::ComPtr<TestLog>::attach(new TestLog); }

  std::vector<LogRecord> records;
  HRESULT answer = S_OK;  // what LogError returns

  STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return E_NOTIMPL;
  }

  STDMETHODIMP LogError(BSTR System, BSTR Source, long Severity, long Error, BSTR Description) override {
    records.push_back({System == nullptr, Source == nullptr, Description == nullptr, System ? System : L"",
                       Source ? Source : L"", Description ? Description : L"", Severity, Error});
    return answer;
  }
  STDMETHODIMP GetLastError(BSTR*, BSTR*, long*, long*, BSTR*) override { return E_NOTIMPL; }
  STDMETHODIMP get_FilterSeverity(long*) override { return E_NOTIMPL; }
  STDMETHODIMP put_FilterSeverity(long) override { return E_NOTIMPL; }
  STDMETHODIMP get_FlagTrace(VARIANT_BOOL*) override { return E_NOTIMPL; }
  STDMETHODIMP put_FlagTrace(VARIANT_BOOL) override { return E_NOTIMPL; }
  STDMETHODIMP get_FlagFile(VARIANT_BOOL*) override { return E_NOTIMPL; }
  STDMETHODIMP put_FlagFile(VARIANT_BOOL) override { return E_NOTIMPL; }
  STDMETHODIMP get_FlagEventLog(VARIANT_BOOL*) override { return E_NOTIMPL; }
  STDMETHODIMP put_FlagEventLog(VARIANT_BOOL) override { return E_NOTIMPL; }
  STDMETHODIMP get_FlagCallOnError(VARIANT_BOOL*) override { return E_NOTIMPL; }
  STDMETHODIMP put_FlagCallOnError(VARIANT_BOOL) override { return E_NOTIMPL; }
  STDMETHODIMP get_FileName(BSTR*) override { return E_NOTIMPL; }
  STDMETHODIMP put_FileName(BSTR) override { return E_NOTIMPL; }
  STDMETHODIMP get_FileUnicode(VARIANT_BOOL*) override { return E_NOTIMPL; }
  STDMETHODIMP put_FileUnicode(VARIANT_BOOL) override { return E_NOTIMPL; }
  STDMETHODIMP get_FileTabulator(BSTR*) override { return E_NOTIMPL; }
  STDMETHODIMP put_FileTabulator(BSTR) override { return E_NOTIMPL; }
  STDMETHODIMP get_EvenSource(BSTR*) override { return E_NOTIMPL; }
  STDMETHODIMP put_EvenSource(BSTR) override { return E_NOTIMPL; }

private:
  TestLog() = default;
  ~TestLog() = default;
  volatile LONG refs_ = 1;
};

// The system's text for an error code, first line only (what the frame puts in a record).
inline std::wstring system_text(DWORD code) {
  wchar_t* buf = nullptr;
  DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                           nullptr, code, 0, reinterpret_cast<LPWSTR>(&buf), 0, nullptr);
  std::wstring s = n && buf ? buf : L"";
  if (buf) LocalFree(buf);
  size_t p = s.find(L"\r\n");
  if (p != std::wstring::npos) s.erase(p);
  return s;
}

}  // namespace corvtest
