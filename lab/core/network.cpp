// Reading the network description (plain INI, read as the profile functions read it) and resolving
// server names against it.
#include "lab.h"

#include <sddl.h>

#include <deque>
#include <memory>
#include <map>

namespace lab {
namespace {

// The description, parsed once as the profile functions read it: sections and keys found without
// regard to case, the first one counting, values trimmed and freed of one pair of quotes, ";"
// lines ignored. Read through GetPrivateProfileString, a network of a few hundred servers took
// thousands of calls, each opening the file again.
class Profile {
public:
  bool load(const std::wstring& path) {
    std::wstring all;
    if (!read_text_file(path, all)) return false;
    Section* current = nullptr;
    for (size_t pos = 0; pos < all.size();) {
      size_t end = all.find_first_of(L"\r\n", pos);
      if (end == std::wstring::npos) end = all.size();
      std::wstring line = trim(all.substr(pos, end - pos));
      pos = end + 1;
      if (line.empty() || line[0] == L';') continue;
      if (line[0] == L'[') {
        size_t close = line.find(L']');
        std::wstring name = trim(line.substr(1, close == std::wstring::npos ? std::wstring::npos : close - 1));
        current = find(name);
        if (!current) {
          sections_.push_back({name, {}});
          current = &sections_.back();
          index_.emplace(upper(name), sections_.size() - 1);
        }
        continue;
      }
      if (!current) continue;
      size_t eq = line.find(L'=');
      std::wstring key = trim(line.substr(0, eq));
      std::wstring value = eq == std::wstring::npos ? std::wstring() : trim(line.substr(eq + 1));
      if (value.size() >= 2 && (value[0] == L'"' || value[0] == L'\'') && value.back() == value[0])
        value = value.substr(1, value.size() - 2);
      bool known = false;
      for (const auto& kv : current->keys) known = known || iequals(kv.first, key);
      if (!known) current->keys.emplace_back(key, value);
    }
    return true;
  }
  bool get(const std::wstring& section, const wchar_t* key, std::wstring& out) const {
    const Section* sec = const_cast<Profile*>(this)->find(section);
    if (!sec) return false;
    for (const auto& kv : sec->keys)
      if (iequals(kv.first, key)) {
        out = kv.second;
        return true;
      }
    return false;
  }
  std::vector<std::wstring> section_names() const {
    std::vector<std::wstring> out;
    for (const auto& sec : sections_) out.push_back(sec.name);
    return out;
  }
  std::vector<std::wstring> key_names(const std::wstring& section) const {
    std::vector<std::wstring> out;
    if (const Section* sec = const_cast<Profile*>(this)->find(section))
      for (const auto& kv : sec->keys) out.push_back(kv.first);
    return out;
  }

private:
  struct Section {
    std::wstring name;
    std::vector<std::pair<std::wstring, std::wstring>> keys;
  };
  Section* find(const std::wstring& name) {
    auto it = index_.find(upper(name));
    return it == index_.end() ? nullptr : &sections_[it->second];
  }
  std::deque<Section> sections_;
  std::map<std::wstring, size_t> index_;
};

std::wstring text(const Profile& ini, const std::wstring& section, const wchar_t* key, const std::wstring& def = L"") {
  std::wstring v;
  return ini.get(section, key, v) ? trim(v) : def;
}

// Decimal, 0x hexadecimal, or negative (-1 for "unlimited").
bool parse_number(const std::wstring& s, DWORD& out) {
  if (s.empty()) return false;
  wchar_t* end = nullptr;
  if (s[0] == L'-') {
    long v = wcstol(s.c_str(), &end, 10);
    if (*end) return false;
    out = static_cast<DWORD>(v);
  } else {
    unsigned long long v = wcstoull(s.c_str(), &end, 0);
    if (*end) return false;
    out = static_cast<DWORD>(v);
  }
  return true;
}

DWORD number(const Profile& ini, const std::wstring& section, const wchar_t* key, DWORD def,
             std::vector<std::wstring>& warnings) {
  std::wstring v = text(ini, section, key);
  if (v.empty()) return def;
  DWORD out = def;
  if (!parse_number(v, out)) warnings.push_back(L"[" + section + L"] " + key + L"=" + v + L" is not a number");
  return out;
}

bool flag(const Profile& ini, const std::wstring& section, const wchar_t* key, bool def) {
  std::wstring v = text(ini, section, key);
  if (v.empty()) return def;
  return iequals(v, L"1") || iequals(v, L"yes") || iequals(v, L"true") || iequals(v, L"on");
}

// "1A2B-3C4D" as the directory listing shows it, or 0x1A2B3C4D, or decimal.
DWORD parse_serial(std::wstring s) {
  if (s.size() == 9 && s[4] == L'-') s.erase(4, 1);
  if (s.size() == 8 && s.find_first_not_of(L"0123456789abcdefABCDEF") == std::wstring::npos)
    return static_cast<DWORD>(wcstoul(s.c_str(), nullptr, 16));
  DWORD v = 0;
  parse_number(s, v);
  return v;
}

// A stable made-up machine identifier for a server the description gives none.
std::wstring derived_sid(const std::wstring& name) {
  uint32_t parts[3];
  std::wstring key = upper(name);
  for (uint32_t i = 0; i < 3; ++i) parts[i] = text_hash(key, 2166136261u ^ (i * 0x9E3779B9u));
  wchar_t buf[80];
  swprintf(buf, 80, L"S-1-5-21-%u-%u-%u", parts[0], parts[1], parts[2]);
  return buf;
}

// Asked once per process: every call resolves a server name against it.
const std::wstring& computer_name() {
  static const std::wstring* name = [] {
    wchar_t buf[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD n = MAX_COMPUTERNAME_LENGTH + 1;
    return new std::wstring(GetComputerNameW(buf, &n) ? std::wstring(buf, n) : L"LOCALHOST");
  }();
  return *name;
}

// The account-domain identifier of this computer as the account functions see it.
std::wstring local_machine_sid(const std::wstring& name) {
  BYTE sid[SECURITY_MAX_SID_SIZE];
  DWORD sid_len = sizeof sid;
  wchar_t domain[256];
  DWORD domain_len = 256;
  SID_NAME_USE use;
  if (LookupAccountNameW(nullptr, name.c_str(), sid, &sid_len, domain, &domain_len, &use) && use == SidTypeDomain) {
    LPWSTR s = nullptr;
    if (ConvertSidToStringSidW(sid, &s)) {
      std::wstring out(s);
      LocalFree(s);
      return out;
    }
  }
  return derived_sid(name);
}

bool in_list(const std::vector<std::wstring>& list, const std::wstring& name) {
  for (const auto& n : list)
    if (n == L"*" || iequals(n, name)) return true;
  return false;
}

}  // namespace

const Drive* Server::drive(wchar_t letter) const {
  for (const auto& d : drives)
    if (towupper(d.letter) == towupper(letter)) return &d;
  return nullptr;
}

const Server* Network::server(const std::wstring& name) const {
  for (const auto& s : servers)
    if (iequals(s.name, name)) return &s;
  return nullptr;
}

const Domain* Network::domain(const std::wstring& name) const {
  for (const auto& d : domains)
    if (iequals(d.name, name)) return &d;
  return nullptr;
}

bool Network::is_slow(const std::wstring& name) const { return in_list(faults.slow, name); }
bool Network::refuses_1501(const std::wstring& name) const { return in_list(faults.refuse_1501, name); }
bool Network::is_hostile(const std::wstring& name) const { return in_list(faults.hostile, name); }
bool Network::repeats_resume(const std::wstring& name) const { return in_list(faults.repeat_resume, name); }
bool Network::more_data(const std::wstring& name) const {
  for (const auto& n : faults.more_data)
    if (iequals(n, name)) return true;
  return false;
}

std::shared_ptr<const Network> Network::cached(const std::wstring& path) {
  struct Cache {
    CRITICAL_SECTION lock;
    std::wstring path;
    FILETIME written = {};
    ULONGLONG size = 0;
    std::shared_ptr<const Network> net;
    Cache() { InitializeCriticalSection(&lock); }
  };
  static Cache* cache = new Cache();  // kept to the process's end: no destructor runs at exit
  WIN32_FILE_ATTRIBUTE_DATA attr;
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &attr)) return nullptr;
  ULONGLONG size = (static_cast<ULONGLONG>(attr.nFileSizeHigh) << 32) | attr.nFileSizeLow;
  EnterCriticalSection(&cache->lock);
  bool hit = cache->net && cache->path == path && cache->size == size &&
             CompareFileTime(&cache->written, &attr.ftLastWriteTime) == 0;
  if (!hit) {
    auto fresh = std::make_shared<Network>();
    cache->net = fresh->load(path) ? fresh : nullptr;
    cache->path = path;
    cache->size = size;
    cache->written = attr.ftLastWriteTime;
  }
  std::shared_ptr<const Network> out = cache->net;
  LeaveCriticalSection(&cache->lock);
  return out;
}

bool Network::load(const std::wstring& path) {
  *this = Network();
  Profile ini;
  if (!ini.load(path)) return false;
  const std::wstring& real_name = computer_name();
  // Read first: the texts of hostile servers are decoded as they are read.
  const std::vector<std::wstring> hostile_servers = split_list(text(ini, L"faults", L"hostile"));

  workstation = text(ini, L"network", L"workstation");
  if (workstation.empty()) workstation = real_name;
  workstation_domain = text(ini, L"network", L"workstation_domain", L"WORKGROUP");
  workstation_sid = text(ini, L"network", L"workstation_sid");
  if (workstation_sid.empty())
    workstation_sid = iequals(workstation, real_name) ? local_machine_sid(real_name) : derived_sid(workstation);

  auto add_server = [&](const std::wstring& name, const std::wstring& domain_name) {
    if (server(name)) return;
    Server s;
    s.name = name;
    s.domain = domain_name;
    servers.push_back(s);
  };
  for (const auto& name : split_list(text(ini, L"network", L"domains"))) {
    Domain d;
    d.name = name;
    std::wstring sec = L"domain " + name;
    d.comment = text(ini, sec, L"comment");
    d.servers = split_list(text(ini, sec, L"servers"));
    for (const auto& s : d.servers) add_server(s, name);
    domains.push_back(d);
  }

  const std::vector<std::wstring> sections = ini.section_names();
  for (const auto& sec : sections)
    if (sec.compare(0, 7, L"server ") == 0) add_server(trim(sec.substr(7)), workstation_domain);

  for (auto& s : servers) {
    std::wstring sec = L"server " + s.name;
    bool described = false;
    for (const auto& n : sections) described = described || iequals(n, sec);
    if (!described) warnings.push_back(L"server " + s.name + L" has no [" + sec + L"] section");
    s.comment = text(ini, sec, L"comment");
    s.type = number(ini, sec, L"type", s.type, warnings);
    std::wstring version = text(ini, sec, L"version", L"6.1");
    swscanf(version.c_str(), L"%lu.%lu", &s.version_major, &s.version_minor);
    s.account_domain = text(ini, sec, L"account_domain", s.name);
    s.sid = text(ini, sec, L"sid");
    if (s.sid.empty()) s.sid = iequals(s.name, workstation) ? workstation_sid : derived_sid(s.name);
    s.reachable = !flag(ini, sec, L"unreachable", false);
    s.share_status = number(ini, sec, L"share_status", 0, warnings);
    s.disk_status = number(ini, sec, L"disk_status", 0, warnings);
    for (const auto& letter : split_list(text(ini, sec, L"drives"))) {
      Drive d;
      d.letter = static_cast<wchar_t>(towupper(letter[0]));
      if (letter.size() > 2 || (letter.size() == 2 && letter[1] != L':') || d.letter < L'A' || d.letter > L'Z') {
        warnings.push_back(L"server " + s.name + L": drive \"" + letter + L"\" is not a letter");
        continue;
      }
      std::wstring dsec = L"drive " + s.name + L" " + std::wstring(1, d.letter);
      d.label = text(ini, dsec, L"label");
      if (in_list(hostile_servers, s.name)) d.label = decode_hostile(d.label);
      d.filesystem = text(ini, dsec, L"filesystem", L"NTFS");
      d.serial = parse_serial(text(ini, dsec, L"serial"));
      d.size_mb = number(ini, dsec, L"size_mb", 0, warnings);
      d.free_mb = number(ini, dsec, L"free_mb", 0, warnings);
      d.admin_share = flag(ini, dsec, L"admin_share", true);
      d.connect = number(ini, dsec, L"connect", 0, warnings);
      s.drives.push_back(d);
    }
  }

  for (const auto& sec : sections) {
    if (sec.compare(0, 6, L"share ") != 0) continue;
    std::wstring rest = trim(sec.substr(6));
    size_t space = rest.find(L' ');
    if (space == std::wstring::npos) {
      warnings.push_back(L"[" + sec + L"] should be [share <server> <name>]");
      continue;
    }
    ShareSeed sh;
    sh.server = rest.substr(0, space);
    sh.name = trim(rest.substr(space + 1));
    sh.path = text(ini, sec, L"path");
    sh.remark = text(ini, sec, L"remark");
    sh.sddl = text(ini, sec, L"sddl");
    sh.max_uses = number(ini, sec, L"max_uses", 0xFFFFFFFF, warnings);
    if (in_list(hostile_servers, sh.server)) {
      sh.name = decode_hostile(sh.name);
      sh.path = decode_hostile(sh.path);
      sh.remark = decode_hostile(sh.remark);
      sh.sd_fault = text(ini, sec, L"sd_fault");
    }
    sh.type = number(ini, sec, L"type", 0, warnings);
    const Server* owner = server(sh.server);
    if (!owner) warnings.push_back(L"share " + sh.name + L": unknown server " + sh.server);
    else if (sh.path.size() < 2 || sh.path[1] != L':' || !owner->drive(sh.path[0]))
      warnings.push_back(L"share " + sh.server + L"\\" + sh.name + L": path " + sh.path +
                         L" is on no drive of the server");
    std::vector<uint8_t> sd;
    if (!sh.sddl.empty() && !sd_from_sddl(sh.sddl, sd))
      warnings.push_back(L"share " + sh.server + L"\\" + sh.name + L": descriptor \"" + sh.sddl + L"\" is not valid");
    shares.push_back(sh);
  }

  for (const auto& key : ini.key_names(L"picker")) {
    std::wstring v = text(ini, L"picker", key.c_str());
    wchar_t expanded[1024];
    if (ExpandEnvironmentStringsW(v.c_str(), expanded, 1024)) v = expanded;
    Pick p;
    size_t bar = v.find(L'|');
    std::wstring who = trim(v.substr(0, bar));
    if (bar != std::wstring::npos) p.description = trim(v.substr(bar + 1));
    size_t slash = who.find(L'\\');
    if (slash == std::wstring::npos) {
      p.account = who;
    } else {
      p.domain = who.substr(0, slash);
      p.account = who.substr(slash + 1);
    }
    if (!p.account.empty()) picks.push_back(p);
  }

  faults.more_data = split_list(text(ini, L"faults", L"more_data"));
  faults.slow = split_list(text(ini, L"faults", L"slow"));
  faults.slow_ms = number(ini, L"faults", L"slow_ms", faults.slow_ms, warnings);
  faults.latency_ms = number(ini, L"faults", L"latency_ms", 0, warnings);
  faults.refuse_1501 = split_list(text(ini, L"faults", L"refuse_1501"));
  faults.hostile = hostile_servers;
  faults.repeat_resume = split_list(text(ini, L"faults", L"repeat_resume"));
  faults.timeout_ms = number(ini, L"faults", L"timeout_ms", 0, warnings);
  faults.open_files = split_list(text(ini, L"faults", L"open_files"));
  browser_off = iequals(text(ini, L"network", L"browser"), L"off");
  for (const auto& key : ini.key_names(L"profile")) {
    std::wstring letter = upper(trim(key));
    if (letter.size() != 2 || letter[1] != L':' || letter[0] < L'A' || letter[0] > L'Z') {
      warnings.push_back(L"profile: " + key + L" is no drive letter like G:");
      continue;
    }
    remembered.emplace_back(letter, text(ini, L"profile", key.c_str()));
  }
  // "NetShareSetInfo:5,NetShareAdd:2"
  for (auto [key, list] :
       {std::make_pair(L"die_at", &faults.die_at), std::make_pair(L"die_after", &faults.die_after)}) {
    for (const std::wstring& item : split_list(text(ini, L"faults", key))) {
      size_t colon = item.find(L':');
      unsigned long n = colon == std::wstring::npos ? 0 : wcstoul(item.c_str() + colon + 1, nullptr, 10);
      if (n == 0) {
        warnings.push_back(std::wstring(L"faults: ") + key + L" takes Function:N, not " + item);
        continue;
      }
      list->push_back({trim(item.substr(0, colon)), n});
    }
  }
  // "NetShareSetInfo:S1:5,NetShareGetInfo:*:1722"
  for (const std::wstring& item : split_list(text(ini, L"faults", L"refuse"))) {
    size_t first = item.find(L':'), second = first == std::wstring::npos ? first : item.find(L':', first + 1);
    unsigned long status = second == std::wstring::npos ? 0 : wcstoul(item.c_str() + second + 1, nullptr, 10);
    if (status == 0) {
      warnings.push_back(L"faults: refuse takes Function:SERVER:STATUS, not " + item);
      continue;
    }
    faults.refuse.push_back({trim(item.substr(0, first)), trim(item.substr(first + 1, second - first - 1)), status});
  }
  for (const auto& d : faults.more_data)
    if (d != L"*" && !domain(d)) warnings.push_back(L"faults: more_data names unknown domain " + d);
  return true;
}

Target resolve(const Network& net, const wchar_t* server_name) {
  Target t;
  std::wstring name = strip_server(server_name);
  if (name.empty() || iequals(name, net.workstation) || iequals(name, computer_name())) {
    t.local = true;
    t.name = net.workstation;
    t.server = net.server(net.workstation);
    return t;
  }
  const Server* s = net.server(name);
  if (!s || !s->reachable) {
    t.status = ERROR_BAD_NETPATH;
    t.name = name;
    return t;
  }
  t.server = s;
  t.name = s->name;
  return t;
}

}  // namespace lab
