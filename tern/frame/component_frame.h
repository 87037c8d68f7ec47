// The reporting state of an object that sends records to an attached log object:
// the log reference, System, Source, the last error code and the last message.
#pragma once
#include <windows.h>
#include <oleauto.h>
#include <string>
#include "catalogue.h"
#include "raii.h"
#include "zrlog_h.h"

namespace tern {

class ComponentFrame {
public:
  explicit ComponentFrame(const wchar_t* source);
  ComponentFrame(const ComponentFrame&) = delete;
  ComponentFrame& operator=(const ComponentFrame&) = delete;

  // The Log property: get gives E_FAIL with none attached; putref detaches, then attaches
  // the argument's IzrLog (E_NOINTERFACE leaves none).
  HRESULT get_log(IDispatch** out);
  HRESULT putref_log(IDispatch* log);

  // System string of the records (none when null or empty is given by the owner).
  void set_system(const wchar_t* system);
  const wchar_t* system() const { return system_.get(); }

  long last_error = 0;
  std::wstring last_message;

  // Sends one record; true when the log object accepted it.
  bool report(long error, const wchar_t* text, DWORD lookup_id, long severity);
  bool report_last(DWORD lookup_id, long severity) {
    return report(last_error, last_message.c_str(), lookup_id, severity);
  }

  // Composes the description of a record (exposed for tests of the composition rules).
  static std::wstring describe(long error, const wchar_t* text, DWORD lookup_id);

private:
  corv::ComPtr<IzrLog> log_;
  corv::Bstr system_;
  corv::Bstr source_;
};

}  // namespace tern
