// zrLog: takes one record at a time, filters it by severity, keeps the last one and sends it
// to the debugger output, a log file, the Application event log and connected onError sinks.
#pragma once
#include "com_object.h"
#include "connection_point.h"
#include "raii.h"
#include "wick_h.h"

namespace wick {

class ZrLog : public corv::CoClass<ZrLog, IzrLog, corv::FreeThreaded, corv::Events<&DIID__IzrLogEvents>,
                                   corv::ObjectSafetyImpl<INTERFACESAFE_FOR_UNTRUSTED_CALLER>> {
public:
  ZrLog();

  // IzrLog
  STDMETHODIMP LogError(BSTR System, BSTR Source, long Severity, long Error, BSTR Description) override;
  STDMETHODIMP GetLastError(BSTR* System, BSTR* Source, long* Severity, long* Error, BSTR* Description) override;
  STDMETHODIMP get_FilterSeverity(long* pVal) override;
  STDMETHODIMP put_FilterSeverity(long newVal) override;
  STDMETHODIMP get_FlagTrace(VARIANT_BOOL* pVal) override;
  STDMETHODIMP put_FlagTrace(VARIANT_BOOL newVal) override;
  STDMETHODIMP get_FlagFile(VARIANT_BOOL* pVal) override;
  STDMETHODIMP put_FlagFile(VARIANT_BOOL newVal) override;
  STDMETHODIMP get_FlagEventLog(VARIANT_BOOL* pVal) override;
  STDMETHODIMP put_FlagEventLog(VARIANT_BOOL newVal) override;
  STDMETHODIMP get_FlagCallOnError(VARIANT_BOOL* pVal) override;
  STDMETHODIMP put_FlagCallOnError(VARIANT_BOOL newVal) override;
  STDMETHODIMP get_FileName(BSTR* pVal) override;
  STDMETHODIMP put_FileName(BSTR newVal) override;
  STDMETHODIMP get_FileUnicode(VARIANT_BOOL* pVal) override;
  STDMETHODIMP put_FileUnicode(VARIANT_BOOL newVal) override;
  STDMETHODIMP get_FileTabulator(BSTR* pVal) override;
  STDMETHODIMP put_FileTabulator(BSTR newVal) override;
  STDMETHODIMP get_EvenSource(BSTR* pVal) override;
  STDMETHODIMP put_EvenSource(BSTR newVal) override;

private:
  HRESULT get_flag(const LONG& flag, VARIANT_BOOL* out);
  HRESULT put_flag(LONG& flag, VARIANT_BOOL value);
  HRESULT get_text(const corv::Bstr& text, BSTR* out);
  HRESULT put_text(corv::Bstr& text, BSTR value);
  void write_outputs(const wchar_t* system, const wchar_t* source, long severity, long error,
                     const wchar_t* description);

  // Properties and the last record. Guarded by state_lock_ so that a client that shares one
  // object between threads cannot tear a string apart; never held while a sink is called.
  corv::CritSec state_lock_;
  long filter_ = -1;
  // Booleans are held as 32-bit values: a put stores the 16-bit value sign-extended, a get
  // answers its low 16 bits (so a new object's FlagCallOnError reads 1).
  LONG trace_ = 0;
  LONG file_ = 0;
  LONG event_log_ = 0;
  LONG call_on_error_ = 1;
  LONG unicode_ = 0;
  corv::Bstr file_name_;
  corv::Bstr tabulator_;
  corv::Bstr even_source_;
  corv::Bstr last_system_;
  corv::Bstr last_source_;
  long last_severity_ = 0;
  long last_error_ = 0;
  corv::Bstr last_description_;
};

}  // namespace wick
