// The permission step of the share commands, shared by "Add/Update", its preview and undo:
// the account resolved once, the share's list read, and the list it becomes, composed through
// the tern objects without writing anything.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "app.h"
#include "raii.h"
#include "tern_h.h"

namespace corvane {

constexpr long kSeLmShare = 5;          // SE_LMSHARE
constexpr long kDaclInformation = 4;    // DACL_SECURITY_INFORMATION
constexpr long kDuplicateShare = 2118;  // NERR_DuplicateShare

// A resolved account: the identifier object and its text form ("S-1-5-32-545").
struct Account {
  corv::ComPtr<IzrSid> sid;
  std::wstring text;
  std::wstring qualified() const;  // "DOMAIN\account" as the identifier resolved it
};
bool resolve(const std::wstring& name, Account& out);

struct Plan {
  bool ready = false;           // a descriptor to write was composed
  bool had_descriptor = false;  // the share had one
  std::wstring old_sddl;        // what it was, owner, group and list as read
  corv::Bstr new_bytes;         // what it becomes
  bool replaced = false;        // an allow entry of the account was taken out
  bool deny_remains = false;    // a deny entry of the account stays (and still wins)
  corv::ComPtr<IzrSecurityInfo> info;
  corv::ComPtr<IzrAcl> acl;     // the resulting list
  std::wstring reason;          // not ready: why ("the share's descriptor is not valid.")
};

// Reads the share's list and composes the new one with the account's entry. Writes nothing.
// Not ready when a component cannot be created or the share's descriptor is invalid.
Plan plan_permissions(const std::wstring& object, const Account& account, unsigned long mask);

// Writes descriptor bytes to the share's list through tern; false when the write failed, with
// the reason tern gave (its status and text) in `reason` when asked for.
bool write_share_dacl(IzrSecurityInfo* info, const std::wstring& object, const corv::Bstr& bytes,
                      std::wstring* reason = nullptr);

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

// What removing the account's entries leaves of a share's list (read before as `sddl`).
struct RevokePlan {
  bool ready = false;
  size_t removed = 0, left = 0;  // entries taken out, entries that stay
  corv::Bstr new_bytes;
  std::wstring new_sddl, reason;
};
RevokePlan plan_revoke(const std::wstring& sddl, const std::wstring& sid, bool deny_too);

template <class T>
HRESULT create_object(const CLSID& clsid, const IID& iid, corv::ComPtr<T>& out) {
  return CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, iid, out.out_void());
}

}  // namespace corvane
