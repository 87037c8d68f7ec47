// Security descriptors and their lists as texts: SDDL to and from bytes, a server's descriptor
// read safely, entries in words, and the tern objects a descriptor is loaded into.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "raii.h"
#include "tern_h.h"

namespace corvane {

template <class T>
HRESULT create_object(const CLSID& clsid, const IID& iid, corv::ComPtr<T>& out) {
  return CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, iid, out.out_void());
}

// "0x80070005 Access denied." for a failed component call.
std::wstring hresult_text(HRESULT hr);
// Descriptor bytes as SDDL (owner, group and list as far as present, or the list alone);
// empty when none.
std::wstring sddl_of(const corv::Bstr& bytes, bool dacl_only = false);
// A share's descriptor as a server answered it (owner, group and list as SDDL), read only within
// `answer`, the buffer the call returned (NetApiBufferSize gives its end): the pointer must lie
// inside it and the descriptor's length and every offset within what is left, checked by the
// project's own codec before the system sees a copy. Empty for a null descriptor, and empty
// with `reason` set when it cannot be read.
std::wstring sddl_of_descriptor(const void* answer, PSECURITY_DESCRIPTOR sd, std::wstring* reason = nullptr);
// How many whole records of `record_size` bytes the answer holds from its start (0 when its size
// cannot be read): a count from the server is never trusted beyond it.
size_t records_in_answer(const void* answer, size_t record_size);
// SDDL to a self-relative descriptor in a byte string; a null string when the text is refused.
corv::Bstr bytes_of(const std::wstring& sddl);

// An identifier's text form ("S-1-5-32-545"); empty for none.
std::wstring text_of(IzrSid* sid);
// "DOMAIN\account" of an identifier that has been resolved.
std::wstring qualified_name(IzrSid* sid);
// The identifier an entry names.
corv::ComPtr<IzrSid> sid_of(IzrAce* ace);

// Calls f(IDispatch* item, IzrAce* ace) for every entry of the list, in its order.
template <class F>
void for_each_entry(IzrAcl* acl, F f) {
  corv::ComPtr<IUnknown> unk;
  corv::ComPtr<IEnumVARIANT> entries;
  if (FAILED(acl->get__NewEnum(unk.out())) || !unk || FAILED(unk.query(entries.out()))) return;
  for (;;) {
    corv::Variant item;
    ULONG fetched = 0;
    if (entries->Next(1, item.get(), &fetched) != S_OK || fetched != 1) break;
    if (item.get()->vt != VT_DISPATCH || !item.get()->pdispVal) continue;
    corv::ComPtr<IzrAce> ace;
    if (SUCCEEDED(item.get()->pdispVal->QueryInterface(IID_IzrAce, ace.out_void()))) f(item.get()->pdispVal, ace.get());
  }
}

// An entry of a list in words: "BUILTIN\Users: Read (allow)".
struct EntryWords {
  std::wstring account, rights, kind;  // kind: "allow", "deny", "other"
  std::wstring sid;                    // "S-1-5-32-545"
  unsigned long mask = 0;
  long type = -1, flags = 0;
  std::wstring inheritance;            // the entry's flags as in SDDL: "CI NP", empty for none
};
// An identifier the workstation cannot name is asked of `server` ("\\FS01"), whose own groups only it
// knows; one neither can name is shown as its SDDL form.
std::vector<EntryWords> entries_in_words(IzrAcl* acl, const std::wstring& server = L"");
// "Read", "Change", "Full Control", or the mask in hexadecimal ("0x1301BF" style) when none.
std::wstring rights_in_words(unsigned long mask);

// A descriptor given as SDDL, loaded into tern objects: its list (null when it has none).
struct LoadedDescriptor {
  corv::ComPtr<IzrSd> sd;
  corv::ComPtr<IzrAcl> acl;
  std::wstring reason;  // why it could not be loaded
};
bool load_descriptor(const std::wstring& sddl, LoadedDescriptor& out);
// The entries of the list of a descriptor given as SDDL; none when it has no list.
std::vector<EntryWords> entries_of_sddl(const std::wstring& sddl, const std::wstring& server = L"");

}  // namespace corvane
