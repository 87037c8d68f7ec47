#include "component_frame.h"

namespace tern {

ComponentFrame::ComponentFrame(const wchar_t* source) : source_(source) {}

HRESULT ComponentFrame::get_log(IDispatch** out) {
  if (out) *out = nullptr;
  if (!log_) return E_FAIL;
  if (!out) return E_POINTER;
  return log_->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(out));
}

HRESULT ComponentFrame::putref_log(IDispatch* log) {
  log_.reset();
  if (!log) return S_OK;
  return log->QueryInterface(IID_IzrLog, log_.out_void());
}

void ComponentFrame::set_system(const wchar_t* system) { system_.reset(system ? SysAllocString(system) : nullptr); }

std::wstring ComponentFrame::describe(long error, const wchar_t* text, DWORD lookup_id) {
  std::wstring d;
  DWORD code = static_cast<DWORD>(error);
  if (lookup_id == kLookupNone) {
    // no error text
  } else if (lookup_id != kLookupSystem) {
    d = lookup_module_text(code, lookup_id);
    if (d.empty()) d = system_error_text(code);
  } else {
    d = system_error_text(code);
  }
  if (text) {
    d += L' ';
    d += text;
  }
  return d;
}

bool ComponentFrame::report(long error, const wchar_t* text, DWORD lookup_id, long severity) {
  if (!log_) return false;
  corv::ComPtr<IzrLog> log = log_;  // a sink may detach the log while it is called
  std::wstring d = describe(error, text, lookup_id);
  corv::Bstr desc(d.c_str());
  HRESULT hr = log->LogError(system_.get(), source_.get(), severity, error, desc.get());
  return hr == S_OK || hr == S_FALSE;
}

}  // namespace tern
