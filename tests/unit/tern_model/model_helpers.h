// Building identifiers, entries, lists and descriptors through their interfaces.
#pragma once
#include "com_test.h"
#include "tern_h.h"

namespace modeltest {

using Bytes = std::vector<uint8_t>;

corv::ComPtr<IzrSid> sid(const wchar_t* text);
corv::ComPtr<IzrAce> ace(long type, long flags, long mask, const wchar_t* sid_text);
corv::ComPtr<IzrAcl> acl(long revision, std::initializer_list<IzrAce*> entries);

// Data of any object with a Data property (S_OK expected); empty when nothing was written.
Bytes data_of(IzrSid* s);
Bytes data_of(IzrAce* a);
Bytes data_of(IzrAcl* a);
Bytes data_of(IzrSd* d);
HRESULT put(IzrSid* s, const Bytes& b);
HRESULT put(IzrAce* a, const Bytes& b);
HRESULT put(IzrAcl* a, const Bytes& b);
HRESULT put(IzrSd* d, const Bytes& b);

// The binary form of an identifier text, made by the system.
Bytes system_sid(const wchar_t* text);
std::wstring sid_text(IzrSid* s);          // "" when the object holds none
std::wstring sid_text_of(IDispatch* s);

// The entries of a list, in order, through its enumerator.
std::vector<corv::ComPtr<IzrAce>> entries(IzrAcl* a);

template <class T>
corv::ComPtr<T> as(IDispatch* d) {
  corv::ComPtr<T> p;
  if (d) {
    EXPECT_EQ(S_OK, d->QueryInterface(__uuidof(T), p.out_void()));
  }
  return p;
}

// Whether two interface pointers name the same object.
bool same_object(IUnknown* a, IUnknown* b);

inline Bytes cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

}  // namespace modeltest
