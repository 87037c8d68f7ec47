#include "zr_log.h"
#include <string>
#include "byte_string.h"
#include "log_line.h"
#include "log_outputs.h"

namespace wick {
namespace {

const char16_t* u16(const wchar_t* s) { return reinterpret_cast<const char16_t*>(s); }
const wchar_t* wide(const std::u16string& s) { return reinterpret_cast<const wchar_t*>(s.c_str()); }

// A record's texts are read up to their first NUL: a plain wide string serves as well as a BSTR.
BSTR copy_or_null(const wchar_t* s) { return s ? SysAllocString(s) : nullptr; }

}  // namespace

ZrLog::ZrLog() : tabulator_(L"\t"), even_source_(L"Not set") {
  log_module_path();  // the process-wide module path is found when the first log object is made
}

STDMETHODIMP ZrLog::LogError(BSTR System, BSTR Source, long Severity, long Error, BSTR Description) {
  corv::Bstr system, source, description;
  bool fire_sinks;
  {
    corv::Lock hold(state_lock_);
    unsigned long bit = 1ul << (static_cast<unsigned long>(Severity) & 31);
    if ((static_cast<unsigned long>(filter_) & bit) == 0) return S_FALSE;
    // Outputs switched on before a host marked the callers untrusted are not theirs to use:
    // the record is refused whole rather than sent to some outputs only.
    if (file_ || event_log_) RETURN_IF_FAILED(refuse_untrusted_caller());
    last_system_.reset(copy_or_null(System));
    last_source_.reset(copy_or_null(Source));
    last_severity_ = Severity;
    last_error_ = Error;
    last_description_.reset(copy_or_null(Description));
    if (!trace_ && !file_ && !event_log_ && !call_on_error_) return S_OK;
    try {
      write_outputs(System, Source, Severity, Error, Description);
    } catch (const std::exception&) {
      // Out of memory while composing: logging is best effort.
    }
    fire_sinks = call_on_error_ != 0;
    if (fire_sinks) {
      system.reset(copy_or_null(System));
      source.reset(copy_or_null(Source));
      description.reset(copy_or_null(Description));
    }
  }
  // Outside every lock: a sink may call back into this object.
  if (fire_sinks)
    fire(1, {corv::event_arg(system.get()), corv::event_arg(source.get()), corv::event_arg(Severity),
             corv::event_arg(Error), corv::event_arg(description.get())});
  return S_OK;
}

void ZrLog::write_outputs(const wchar_t* system, const wchar_t* source, long severity, long error,
                          const wchar_t* description) {
  std::u16string error_text = decimal_text(error);
  std::u16string sev_text = severity_text(severity);
  std::u16string line = compose_log_line(u16(system), u16(source), u16(tabulator_.get()), sev_text, error_text,
                                         u16(description));
  if (trace_) OutputDebugStringW(wide(line));
  if (file_) append_to_file(file_name_.get(), unicode_ ? encode_utf16le(line) : encode_8bit(line));
  // Without a source name there is no key of its own to register: the event output is skipped.
  if (event_log_ && even_source_.get() && *even_source_.get() && ensure_event_source(even_source_.get())) {
    const wchar_t* inserts[5] = {system ? system : L"", source ? source : L"", wide(sev_text), wide(error_text),
                                 description ? description : L""};
    report_event(even_source_.get(), event_type(severity), inserts);
  }
}

STDMETHODIMP ZrLog::GetLastError(BSTR* System, BSTR* Source, long* Severity, long* Error, BSTR* Description) {
  for (BSTR* out : {System, Source, Description})
    if (out) *out = nullptr;
  if (Severity) *Severity = 0;
  if (Error) *Error = 0;
  if (!Severity || !Error) return E_POINTER;
  corv::Lock hold(state_lock_);
  corv::Bstr sys, src, desc;
  if (System && FAILED(corv::copy_text(last_system_.get(), sys.out()))) return E_OUTOFMEMORY;
  if (Source && FAILED(corv::copy_text(last_source_.get(), src.out()))) return E_OUTOFMEMORY;
  if (Description && FAILED(corv::copy_text(last_description_.get(), desc.out()))) return E_OUTOFMEMORY;
  if (System) *System = sys.release();
  if (Source) *Source = src.release();
  if (Description) *Description = desc.release();
  *Severity = last_severity_;
  *Error = last_error_;
  return S_OK;
}

HRESULT ZrLog::get_flag(const LONG& flag, VARIANT_BOOL* out) {
  if (!out) return E_POINTER;
  corv::Lock hold(state_lock_);
  *out = static_cast<VARIANT_BOOL>(static_cast<USHORT>(flag & 0xFFFF));
  return S_OK;
}

HRESULT ZrLog::put_flag(LONG& flag, VARIANT_BOOL value) {
  corv::Lock hold(state_lock_);
  flag = static_cast<LONG>(static_cast<SHORT>(value));
  return S_OK;
}

HRESULT ZrLog::get_text(const corv::Bstr& text, BSTR* out) {
  *out = nullptr;
  corv::Lock hold(state_lock_);
  return corv::copy_text(text.get(), out);
}

HRESULT ZrLog::put_text(corv::Bstr& text, BSTR value) {
  BSTR copy = copy_or_null(value);
  if (value && !copy) return E_OUTOFMEMORY;
  corv::Lock hold(state_lock_);
  text.reset(copy);
  return S_OK;
}

STDMETHODIMP ZrLog::get_FilterSeverity(long* pVal) {
  if (!pVal) return E_POINTER;
  corv::Lock hold(state_lock_);
  *pVal = filter_;
  return S_OK;
}

STDMETHODIMP ZrLog::put_FilterSeverity(long newVal) {
  corv::Lock hold(state_lock_);
  filter_ = newVal;
  return S_OK;
}

// The file and the event log lie outside anything an untrusted caller hands the object: a
// page must not name a file to create (a script in a start-up folder, a share that asks for
// the user's credentials) nor a registry key to make. Switching an output off stays allowed.
STDMETHODIMP ZrLog::get_FlagTrace(VARIANT_BOOL* pVal) { return get_flag(trace_, pVal); }
STDMETHODIMP ZrLog::put_FlagTrace(VARIANT_BOOL newVal) { return put_flag(trace_, newVal); }
STDMETHODIMP ZrLog::get_FlagFile(VARIANT_BOOL* pVal) { return get_flag(file_, pVal); }
STDMETHODIMP ZrLog::put_FlagFile(VARIANT_BOOL newVal) {
  if (newVal) RETURN_IF_FAILED(refuse_untrusted_caller());
  return put_flag(file_, newVal);
}
STDMETHODIMP ZrLog::get_FlagEventLog(VARIANT_BOOL* pVal) { return get_flag(event_log_, pVal); }
STDMETHODIMP ZrLog::put_FlagEventLog(VARIANT_BOOL newVal) {
  if (newVal) RETURN_IF_FAILED(refuse_untrusted_caller());
  return put_flag(event_log_, newVal);
}
STDMETHODIMP ZrLog::get_FlagCallOnError(VARIANT_BOOL* pVal) { return get_flag(call_on_error_, pVal); }
STDMETHODIMP ZrLog::put_FlagCallOnError(VARIANT_BOOL newVal) { return put_flag(call_on_error_, newVal); }
STDMETHODIMP ZrLog::get_FileUnicode(VARIANT_BOOL* pVal) { return get_flag(unicode_, pVal); }
STDMETHODIMP ZrLog::put_FileUnicode(VARIANT_BOOL newVal) { return put_flag(unicode_, newVal); }

// FileName answers a null out-pointer with S_OK, unlike the other two texts.
STDMETHODIMP ZrLog::get_FileName(BSTR* pVal) { return pVal ? get_text(file_name_, pVal) : S_OK; }
STDMETHODIMP ZrLog::put_FileName(BSTR newVal) {
  RETURN_IF_FAILED(refuse_untrusted_caller());
  return put_text(file_name_, newVal);
}
STDMETHODIMP ZrLog::get_FileTabulator(BSTR* pVal) { return pVal ? get_text(tabulator_, pVal) : E_POINTER; }
STDMETHODIMP ZrLog::put_FileTabulator(BSTR newVal) { return put_text(tabulator_, newVal); }
STDMETHODIMP ZrLog::get_EvenSource(BSTR* pVal) { return pVal ? get_text(even_source_, pVal) : E_POINTER; }
STDMETHODIMP ZrLog::put_EvenSource(BSTR newVal) {
  RETURN_IF_FAILED(refuse_untrusted_caller());
  return put_text(even_source_, newVal);
}

}  // namespace wick
