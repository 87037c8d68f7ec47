#include "session.h"

#include "app.h"
#include "ini_file.h"
#include "change_log.h"
#include "net_api.h"
#include "settings_form.h"

#include <windows.h>

#include "raii.h"
#include "tern_h.h"

namespace corvane {

FormValues load_settings(const IniFile& ini) {
  FormValues v;
  v.pattern = ini.read(kSettingsSection, kKeyPattern);
  if (v.pattern.empty()) v.pattern = kDefaultPattern;
  v.account = ini.read(kSettingsSection, kKeyAccount);
  v.read = check_value(ini.read(kSettingsSection, kKeyRead));
  v.change = check_value(ini.read(kSettingsSection, kKeyChange));
  v.full = check_value(ini.read(kSettingsSection, kKeyFull));
  v.parallel = parallel_value(ini.read(kSettingsSection, kKeyParallel));
  return v;
}

bool first_run_values(FormValues& values, const std::wstring& user) {
  if (!values.account.empty()) return false;
  values.account = user;
  values.read = 1;
  values.change = 0;
  values.full = 0;
  return true;
}

FormValues load_form(const IniFile& ini) {
  FormValues v = load_settings(ini);
  if (v.account.empty()) first_run_values(v, current_account());
  return v;
}

void save_form(IniFile& ini, const std::wstring& pattern, const std::wstring& account, int read, int change, int full) {
  ini.write(kSettingsSection, kKeyPattern, pattern);
  ini.write(kSettingsSection, kKeyAccount, account);
  ini.write(kSettingsSection, kKeyRead, std::to_wstring(read));
  ini.write(kSettingsSection, kKeyChange, std::to_wstring(change));
  ini.write(kSettingsSection, kKeyFull, std::to_wstring(full));
}

std::wstring current_account() {
  corv::ComPtr<IzrSid> sid;
  if (FAILED(CoCreateInstance(CLSID_zrSid, nullptr, CLSCTX_INPROC_SERVER, IID_IzrSid, sid.out_void()))) return {};
  VARIANT_BOOL resolved = VARIANT_FALSE;
  if (FAILED(sid->InitCurrentUser()) || FAILED(sid->SidToAccount(&resolved))) return {};
  corv::Bstr account;
  if (FAILED(sid->get_Account(account.out()))) return {};
  return account.c_str();
}

std::vector<std::wstring> list_domains(ChangeLog& log, long* status) {
  classNetAPI net;
  std::wstring workstation_domain;
  net.fnGetDomainName(workstation_domain);
  std::vector<std::wstring> domains;
  long st = net.fnNetServerEnum(workstation_domain, kSvTypeDomainEnum, domains);
  if (status) *status = st;
  if (st != 0 && st != kErrorMoreData) return {};
  for (const std::wstring& d : domains) log.write(domain_line(d));
  if (st == kErrorMoreData)
    log.write(browse_list_incomplete_line(L"domains", domains.size(),
                                          L"status 234: " + status_text(static_cast<unsigned long>(st))));
  return domains;
}

}  // namespace corvane
