// labctl: creates, resets and shows a lab (the simulated network of the lab DLLs).
#include <windows.h>
#include <lm.h>

#include <cstdio>

#include "lab.h"

namespace {

void out(const std::wstring& text) {
  HANDLE h = GetStdHandle(STD_OUTPUT_HANDLE);
  DWORD mode = 0, written = 0;
  if (GetConsoleMode(h, &mode)) {
    WriteConsoleW(h, text.c_str(), static_cast<DWORD>(text.size()), &written, nullptr);
  } else {
    std::string bytes = lab::narrow(text);
    WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  }
}

void line(const std::wstring& text = L"") { out(text + L"\r\n"); }

int fail(const std::wstring& text) {
  line(L"labctl: " + text);
  return 1;
}

int usage() {
  line(L"usage: labctl [-lab <folder>] <command>");
  line(L"  create <description.ini>  make the lab from a network description");
  line(L"  reset                     back to the lab's description: shares and mappings as described,");
  line(L"                            empty journal");
  line(L"  network                   domains, servers, drives and fault switches");
  line(L"  shares                    every server's shares with path, remark, max uses, descriptor");
  line(L"  connections               drive letters mapped to the lab's shares, and those the profile remembers");
  line(L"  journal                   every call made against the lab");
  line(L"  picker                    the last account-picker request");
  line(L"  where                     the lab folder in use");
  line(L"The folder is -lab, else %CORV_LAB_DIR%, else \"lab\" beside labctl.exe.");
  return 2;
}

std::wstring pad(std::wstring s, size_t width) {
  if (s.size() < width) s.append(width - s.size(), L' ');
  return s;
}

std::wstring max_uses_text(DWORD v) { return v == SHI_USES_UNLIMITED ? L"unlimited" : std::to_wstring(v); }

std::wstring status_text(DWORD status) {
  switch (status) {
    case 0: return L"0 (reachable)";
    case ERROR_ACCESS_DENIED: return L"5 (access denied)";
    case ERROR_BAD_NETPATH: return L"53 (network path not found)";
    case ERROR_BAD_NET_NAME: return L"67 (no such share)";
  }
  return std::to_wstring(status);
}

bool load(const std::wstring& folder, lab::Network& net, lab::State& state) {
  lab::FolderLock lock(folder);
  if (!lock.held()) return false;
  return net.load(lab::description_path(folder)) && lab::load_state(folder, state);
}

void show_warnings(const lab::Network& net) {
  for (const auto& w : net.warnings) line(L"warning: " + w);
}

int show_network(const std::wstring& folder) {
  lab::Network net;
  lab::State state;
  if (!load(folder, net, state)) return fail(L"no lab in " + folder + L" (labctl create <description.ini>)");
  line(L"Workstation " + net.workstation + L" in domain " + net.workstation_domain + L", account domain " +
       net.workstation_sid);
  std::vector<lab::Domain> groups = net.domains;
  lab::Domain others;
  others.name = L"(none: reachable by name only)";
  for (const auto& s : net.servers) {
    bool listed = false;
    for (const auto& d : net.domains)
      for (const auto& n : d.servers) listed = listed || lab::iequals(n, s.name);
    if (!listed) others.servers.push_back(s.name);
  }
  if (!others.servers.empty()) groups.push_back(others);
  for (const auto& d : groups) {
    line();
    line(L"Domain " + d.name + (net.more_data(d.name) ? L"   [server list answers 234, more data]" : L""));
    for (const auto& name : d.servers) {
      const lab::Server* s = net.server(name);
      if (!s) continue;
      std::wstring notes;
      if (!s->reachable) notes += L"   [unreachable: 53]";
      if (net.is_slow(s->name)) notes += L"   [slow: " + std::to_wstring(net.faults.slow_ms) + L" ms]";
      if (net.refuses_1501(s->name)) notes += L"   [refuses level 1501]";
      if (s->share_status) notes += L"   [share changes answer " + std::to_wstring(s->share_status) + L"]";
      line(L"  \\\\" + s->name + (s->comment.empty() ? L"" : L"  \"" + s->comment + L"\"") + notes);
      line(L"    account domain " + s->account_domain + L"  " + s->sid);
      for (const auto& dr : s->drives) {
        wchar_t serial[16];
        swprintf(serial, 16, L"%04lX-%04lX", dr.serial >> 16, dr.serial & 0xFFFF);
        line(L"    " + std::wstring(1, dr.letter) + L":  " + pad(L"\"" + dr.label + L"\"", 14) + pad(dr.filesystem, 7) +
             serial + L"  " + std::to_wstring(dr.size_mb) + L" MB, " + std::to_wstring(dr.free_mb) + L" MB free  " +
             (dr.admin_share ? L"admin share" : L"no admin share") + L", connect " + status_text(dr.connect));
      }
    }
  }
  line();
  line(L"Picker: " + std::to_wstring(net.picks.size()) + L" account(s)");
  for (const auto& p : net.picks) line(L"  " + p.domain + L"\\" + p.account + L"  \"" + p.description + L"\"");
  show_warnings(net);
  return 0;
}

int show_shares(const std::wstring& folder) {
  lab::Network net;
  lab::State state;
  if (!load(folder, net, state)) return fail(L"no lab in " + folder);
  std::vector<std::wstring> servers;
  for (const auto& s : net.servers) servers.push_back(s.name);
  for (const auto& sh : state.shares) {
    bool known = false;
    for (const auto& n : servers) known = known || lab::iequals(n, sh.server);
    if (!known) servers.push_back(sh.server);
  }
  size_t count = 0;
  for (const auto& name : servers) {
    std::vector<lab::Share*> shares = state.shares_of(name);
    if (shares.empty()) continue;
    line(L"\\\\" + name);
    for (const auto* sh : shares) {
      line(L"  " + pad(sh->name, 12) + L" " + pad(sh->path, 14) + L" max uses " + pad(max_uses_text(sh->max_uses), 10) +
           L" remark \"" + sh->remark + L"\"");
      line(L"  " + pad(L"", 12) + L" descriptor " + (sh->has_sd ? lab::sd_to_sddl(sh->sd) : std::wstring(L"(none)")));
      ++count;
    }
  }
  line(std::to_wstring(count) + L" share(s)");
  return 0;
}

int show_connections(const std::wstring& folder) {
  lab::Network net;
  lab::State state;
  if (!load(folder, net, state)) return fail(L"no lab in " + folder);
  for (const auto& c : state.connections) line(c.local + L"  " + c.remote + L"  (" + c.volume + L")");
  line(std::to_wstring(state.connections.size()) + L" connection(s)");
  lab::RememberedConnections remembered = lab::load_profile(folder, net);
  for (const auto& [letter, remote] : remembered) line(letter + L"  " + remote + L"  (remembered by the profile)");
  line(std::to_wstring(remembered.size()) + L" remembered connection(s)");
  return 0;
}

int show_journal(const std::wstring& folder) {
  std::wstring text;
  if (!lab::read_text_file(lab::journal_path(folder), text)) return fail(L"no journal in " + folder);
  out(text);
  return 0;
}

int show_picker(const std::wstring& folder) {
  lab::Network net;
  lab::State state;
  if (!load(folder, net, state)) return fail(L"no lab in " + folder);
  const lab::IniSection* sec = state.other.find(L"picker request");
  if (!sec) {
    line(L"no account-picker request yet");
    return 0;
  }
  for (const auto& kv : sec->keys) line(pad(kv.first, 14) + L" " + kv.second);
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  int i = 1;
  std::wstring folder;
  if (i + 1 < argc && lstrcmpiW(argv[i], L"-lab") == 0) {
    wchar_t full[MAX_PATH];
    folder = GetFullPathNameW(argv[i + 1], MAX_PATH, full, nullptr) ? full : argv[i + 1];
    SetEnvironmentVariableW(L"CORV_LAB_DIR", folder.c_str());
    i += 2;
  }
  if (i >= argc) return usage();
  folder = lab::lab_folder();
  std::wstring cmd = argv[i];
  std::wstring error;
  if (cmd == L"create" && i + 1 < argc) {
    wchar_t full[MAX_PATH];
    std::wstring source = GetFullPathNameW(argv[i + 1], MAX_PATH, full, nullptr) ? full : argv[i + 1];
    if (!lab::create_lab(folder, &source, error)) return fail(error);
    lab::Network net;
    net.load(lab::description_path(folder));
    show_warnings(net);
    line(L"lab created in " + folder);
    return 0;
  }
  if (cmd == L"reset") {
    if (!lab::file_exists(lab::description_path(folder))) return fail(L"no lab in " + folder);
    if (!lab::create_lab(folder, nullptr, error)) return fail(error);
    line(L"lab reset in " + folder);
    return 0;
  }
  if (cmd == L"network") return show_network(folder);
  if (cmd == L"shares") return show_shares(folder);
  if (cmd == L"connections") return show_connections(folder);
  if (cmd == L"journal") return show_journal(folder);
  if (cmd == L"picker") return show_picker(folder);
  if (cmd == L"where") {
    line(folder);
    return 0;
  }
  return usage();
}
