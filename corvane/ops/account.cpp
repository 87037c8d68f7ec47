#include "account.h"

#include <windows.h>

#include <atomic>

#include "change_log.h"
#include "descriptor_text.h"

namespace corvane {

namespace {

class SystemDirectory : public AccountDirectory {
public:
  bool look_up(const std::wstring& name, RunAccount& out) override {
    corv::ComPtr<IzrSid> sid;
    if (name.empty() || FAILED(create_object(CLSID_zrSid, IID_IzrSid, sid))) return false;
    corv::Bstr bname(name.c_str());
    VARIANT_BOOL resolved = VARIANT_FALSE;
    if (FAILED(sid->put_Account(bname.get())) || FAILED(sid->AccountToSid(&resolved))) return false;
    std::wstring text = text_of(sid.get());
    if (text.empty()) return false;
    corv::Bstr domain;
    sid->get_Domain(domain.out());
    out = {name, text, qualified_name(sid.get()), domain.c_str()};
    return true;
  }
};

SystemDirectory system_directory;
std::atomic<AccountDirectory*> current{&system_directory};

}  // namespace

AccountDirectory& account_directory() { return *current.load(); }

DirectoryInPlace::DirectoryInPlace(AccountDirectory& directory) : previous_(current.exchange(&directory)) {}

DirectoryInPlace::~DirectoryInPlace() { current = previous_; }

std::wstring workstation_account(const RunAccount& account) {
  wchar_t computer[MAX_COMPUTERNAME_LENGTH + 1];
  DWORD n = MAX_COMPUTERNAME_LENGTH + 1;
  if (account.sid.empty() || !GetComputerNameW(computer, &n)) return {};
  // Well-known accounts resolve in "NT AUTHORITY", "BUILTIN" or no domain, never the computer's.
  return same_name(account.domain, computer) ? account.qualified : std::wstring();
}

}  // namespace corvane
