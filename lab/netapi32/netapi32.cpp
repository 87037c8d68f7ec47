// netapi32.dll of the lab: the network-management calls answered from the simulated network.
// Every call is journalled; buffers are single allocations holding their strings, released
// with NetApiBufferFree.
#include <windows.h>
#include <lm.h>
#include <sddl.h>

#include "lab.h"

using lab::Session;

namespace {

// Journal arguments: name=value pairs, strings quoted.
struct Args {
  std::wstring text;
  Args& str(const wchar_t* name, const wchar_t* v) { return add(name, lab::quoted(v)); }
  Args& num(const wchar_t* name, DWORD v) { return add(name, std::to_wstring(v)); }
  Args& hex(const wchar_t* name, DWORD v) {
    wchar_t b[16];
    swprintf(b, 16, L"0x%lX", v);
    return add(name, b);
  }
  Args& ptr(const wchar_t* name, const void* p) {
    wchar_t b[32];
    swprintf(b, 32, L"%p", p);
    return add(name, p ? std::wstring(b) : std::wstring(L"null"));
  }
  Args& add(const wchar_t* name, const std::wstring& v) {
    if (!text.empty()) text += L' ';
    text += name;
    text += L'=';
    text += v;
    return *this;
  }
};

// A block laid out as the platform does: the fixed records first, their strings and
// descriptors behind them, all in one allocation.
class Block {
public:
  static size_t text_size(const std::wstring& s) { return (s.size() + 1) * sizeof(WCHAR); }
  static size_t bytes_size(size_t n) { return n + 8; }  // with alignment slack

  bool allocate(size_t fixed, size_t variable) {
    if (NetApiBufferAllocate(static_cast<DWORD>(fixed + variable), reinterpret_cast<void**>(&base_))) return false;
    pos_ = fixed;
    return true;
  }
  BYTE* base() const { return base_; }
  LPWSTR text(const std::wstring& s) {
    auto* p = reinterpret_cast<LPWSTR>(base_ + pos_);
    memcpy(p, s.c_str(), text_size(s));
    pos_ += text_size(s);
    return p;
  }
  LPWSTR text_or_null(const std::wstring& s) { return s.empty() ? nullptr : text(s); }
  void* bytes(const void* data, size_t n) {
    pos_ = (pos_ + 7) & ~static_cast<size_t>(7);
    void* p = base_ + pos_;
    memcpy(p, data, n);
    pos_ += n;
    return p;
  }

private:
  BYTE* base_ = nullptr;
  size_t pos_ = 0;
};

// How many entries fit in the caller's preferred length (at least one; all for -1).
size_t fit(const std::vector<size_t>& sizes, DWORD prefmaxlen) {
  if (prefmaxlen == MAX_PREFERRED_LENGTH) return sizes.size();
  size_t total = 0, n = 0;
  for (size_t s : sizes) {
    if (n > 0 && total + s > prefmaxlen) break;
    total += s;
    ++n;
  }
  return n;
}

bool valid_share_name(const std::wstring& name) {
  if (name.empty() || name.size() > NNLEN || name.front() == L' ' || name.back() == L' ') return false;
  for (wchar_t c : name)
    if (c < 0x20 || wcschr(L"\"/\\[]:|<>+=;,?*", c)) return false;
  return true;
}

// A server without shares of its own (the local computer when undescribed) has no drives.
const lab::Drive* drive_of(const lab::Target& t, const std::wstring& path) {
  if (!t.server || path.size() < 2 || path[1] != L':') return nullptr;
  if (path.size() > 2 && path[2] != L'\\') return nullptr;
  return t.server->drive(path[0]);
}

// ---- share records ----

size_t share_record_size(DWORD level) {
  switch (level) {
    case 0: return sizeof(SHARE_INFO_0);
    case 1: return sizeof(SHARE_INFO_1);
    case 2: return sizeof(SHARE_INFO_2);
    case 502: return sizeof(SHARE_INFO_502);
  }
  return 0;
}

size_t share_variable_size(DWORD level, const lab::Share& sh) {
  size_t n = Block::text_size(sh.name);
  if (level >= 1) n += Block::text_size(sh.remark);
  if (level >= 2) n += Block::text_size(sh.path) + Block::text_size(sh.passwd);
  if (level == 502 && sh.has_sd) n += Block::bytes_size(sh.sd.size());
  return n;
}

// A well-formed descriptor (Everyone, read) that lies in this DLL, outside any answer.
const BYTE kOutsideDescriptor[] = {1, 0, 4, 0x80, 0, 0, 0,  0, 0,    0, 0,    0, 0, 0, 0, 0, 20, 0, 0, 0, 2, 0, 28, 0,
                                   1, 0, 0, 0,    0, 0, 20, 0, 0xA9, 0, 0x12, 0, 1, 1, 0, 0, 0,  0, 0, 1, 0, 0, 0,  0};

// A hostile server's descriptor as it answers it: its list's offset far past the end of the
// answer, its list claiming far more bytes and entries than the answer holds, or the pointer
// itself aimed outside the answer.
void spoil_descriptor(const std::wstring& fault, SHARE_INFO_502* r) {
  auto* sd = static_cast<BYTE*>(r->shi502_security_descriptor);
  if (!sd) return;
  if (fault == L"offset_past_end") {
    const DWORD far_away = 0x7FFFFF00;
    memcpy(sd + 16, &far_away, 4);
  } else if (fault == L"length_lies") {
    DWORD dacl = 0;
    memcpy(&dacl, sd + 16, 4);
    if (dacl) {
      const WORD size = 0xFFF0, count = 0x0800;
      memcpy(sd + dacl + 2, &size, 2);
      memcpy(sd + dacl + 4, &count, 2);
    }
  } else if (fault == L"outside") {
    r->shi502_security_descriptor = const_cast<BYTE*>(kOutsideDescriptor);
  }
}

void fill_share(DWORD level, const lab::Share& sh, BYTE* record, Block& b) {
  switch (level) {
    case 0: reinterpret_cast<SHARE_INFO_0*>(record)->shi0_netname = b.text(sh.name); break;
    case 1: {
      auto* r = reinterpret_cast<SHARE_INFO_1*>(record);
      r->shi1_netname = b.text(sh.name);
      r->shi1_type = sh.type;
      r->shi1_remark = b.text(sh.remark);
      break;
    }
    case 2:
    case 502: {
      // SHARE_INFO_502 begins with the fields of SHARE_INFO_2.
      auto* r = reinterpret_cast<SHARE_INFO_502*>(record);
      r->shi502_netname = b.text(sh.name);
      r->shi502_type = sh.type;
      r->shi502_remark = b.text(sh.remark);
      r->shi502_permissions = sh.permissions;
      r->shi502_max_uses = sh.max_uses;
      r->shi502_current_uses = 0;
      r->shi502_path = b.text(sh.path);
      r->shi502_passwd = b.text_or_null(sh.passwd);
      if (level == 502) {
        r->shi502_reserved = 0;
        r->shi502_security_descriptor = sh.has_sd ? b.bytes(sh.sd.data(), sh.sd.size()) : nullptr;
        if (!sh.sd_fault.empty()) spoil_descriptor(sh.sd_fault, r);
      }
      break;
    }
  }
}

NET_API_STATUS share_block(DWORD level, const std::vector<lab::Share*>& shares, LPBYTE* bufptr) {
  size_t fixed = share_record_size(level) * shares.size(), variable = 0;
  for (const auto* sh : shares) variable += share_variable_size(level, *sh);
  Block b;
  if (!b.allocate(fixed, variable)) return ERROR_NOT_ENOUGH_MEMORY;
  for (size_t i = 0; i < shares.size(); ++i) fill_share(level, *shares[i], b.base() + i * share_record_size(level), b);
  *bufptr = b.base();
  return NERR_Success;
}

// ---- server records ----

struct ServerEntry {
  std::wstring name, comment;
  DWORD type, version_major, version_minor;
};

NET_API_STATUS server_block(DWORD level, const std::vector<ServerEntry>& entries, LPBYTE* bufptr) {
  size_t record = level == 100 ? sizeof(SERVER_INFO_100) : sizeof(SERVER_INFO_101), variable = 0;
  for (const auto& e : entries) variable += Block::text_size(e.name) + (level == 101 ? Block::text_size(e.comment) : 0);
  Block b;
  if (!b.allocate(record * entries.size(), variable)) return ERROR_NOT_ENOUGH_MEMORY;
  for (size_t i = 0; i < entries.size(); ++i) {
    const ServerEntry& e = entries[i];
    if (level == 100) {
      auto* r = reinterpret_cast<SERVER_INFO_100*>(b.base()) + i;
      r->sv100_platform_id = PLATFORM_ID_NT;
      r->sv100_name = b.text(e.name);
    } else {
      auto* r = reinterpret_cast<SERVER_INFO_101*>(b.base()) + i;
      r->sv101_platform_id = PLATFORM_ID_NT;
      r->sv101_name = b.text(e.name);
      r->sv101_version_major = e.version_major;
      r->sv101_version_minor = e.version_minor;
      r->sv101_type = e.type;
      r->sv101_comment = b.text(e.comment);
    }
  }
  *bufptr = b.base();
  return NERR_Success;
}

// ---- the fault switch share_sd_lies ----

// [faults] share_sd_lies=SERVER:how,... makes NetShareGetInfo at level 502 on that server hand out
// the share's descriptor lying about where it ends, for readers that must not believe it:
//   length   the DACL's AclSize claims 0x400 bytes more than the buffer holds
//   offset   the owner's offset points 0x400 bytes past the end of the descriptor
//   pointer  the record's descriptor pointer lies outside the buffer (at a copy the lab keeps)
// Read from the description here, apart from the lab's other switches. Returns the lie told.
std::wstring lie_about_descriptor(const Session& s, const std::wstring& server, const lab::Share& sh, BYTE* record) {
  auto* r = reinterpret_cast<SHARE_INFO_502*>(record);
  auto* sd = static_cast<BYTE*>(r->shi502_security_descriptor);
  if (!sd || sh.sd.size() < 20) return L"";
  wchar_t value[512] = L"";
  GetPrivateProfileStringW(L"faults", L"share_sd_lies", L"", value, ARRAYSIZE(value),
                           lab::description_path(s.folder).c_str());
  for (const std::wstring& item : lab::split_list(value)) {
    size_t colon = item.find(L':');
    if (colon == std::wstring::npos || !lab::iequals(lab::trim(item.substr(0, colon)), server)) continue;
    std::wstring how = lab::trim(item.substr(colon + 1));
    auto u32 = [](const BYTE* p) { return static_cast<DWORD>(p[0] | p[1] << 8 | p[2] << 16 | p[3] << 24); };
    auto put32 = [](BYTE* p, DWORD v) {
      for (int i = 0; i < 4; ++i) p[i] = static_cast<BYTE>(v >> (8 * i));
    };
    if (how == L"length") {
      DWORD dacl = u32(sd + 16);
      if (!(sd[2] & SE_DACL_PRESENT) || !dacl || dacl + 4 > sh.sd.size()) return L"";
      WORD size = static_cast<WORD>((sd[dacl + 2] | sd[dacl + 3] << 8) + 0x400);
      sd[dacl + 2] = static_cast<BYTE>(size);
      sd[dacl + 3] = static_cast<BYTE>(size >> 8);
    } else if (how == L"offset") {
      put32(sd + 4, static_cast<DWORD>(sh.sd.size() + 0x400));
    } else if (how == L"pointer") {
      static std::vector<uint8_t>* elsewhere = new std::vector<uint8_t>;  // kept: the caller reads it later
      *elsewhere = sh.sd;
      r->shi502_security_descriptor = elsewhere->data();
    } else {
      return L"";
    }
    return how;
  }
  return L"";
}

NET_API_STATUS finish(Session& s, Args& a, NET_API_STATUS status, LPBYTE* bufptr = nullptr) {
  if (!status && !s.commit()) status = NERR_InternalError;  // a change not kept is no success
  if (bufptr && !status) a.ptr(L"buf", *bufptr);
  s.journal(a.text, status);
  return status;
}

}  // namespace

extern "C" {

NET_API_STATUS WINAPI NetApiBufferAllocate(DWORD size, LPVOID* buffer) {
  if (!buffer) return ERROR_INVALID_PARAMETER;
  *buffer = HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, size ? size : 1);
  return *buffer ? NERR_Success : ERROR_NOT_ENOUGH_MEMORY;
}

NET_API_STATUS WINAPI NetApiBufferSize(LPVOID buffer, LPDWORD size) {
  if (!buffer || !size) return ERROR_INVALID_PARAMETER;
  SIZE_T n = HeapSize(GetProcessHeap(), 0, buffer);
  if (n == static_cast<SIZE_T>(-1)) return ERROR_INVALID_PARAMETER;
  *size = static_cast<DWORD>(n);
  return NERR_Success;
}

NET_API_STATUS WINAPI NetApiBufferFree(LPVOID buffer) {
  if (buffer) HeapFree(GetProcessHeap(), 0, buffer);
  // Journalled so that tests can pair every returned buffer with its release.
  std::wstring folder = lab::lab_folder();
  if (lab::file_exists(lab::state_path(folder)))
    lab::append_journal(folder, L"NetApiBufferFree", Args().ptr(L"buf", buffer).text, 0);
  return NERR_Success;
}

NET_API_STATUS WINAPI NetServerEnum(LMCSTR servername, DWORD level, LPBYTE* bufptr, DWORD prefmaxlen,
                                    LPDWORD entriesread, LPDWORD totalentries, DWORD servertype, LMCSTR domain,
                                    LPDWORD resume_handle) {
  Session s(L"NetServerEnum");
  Args a;
  a.str(L"server", servername).num(L"level", level).hex(L"type", servertype).str(L"domain", domain);
  // The servers of a domain come from its browser, another computer; the domain list is kept here.
  const bool remote = (servername && *servername) || servertype != SV_TYPE_DOMAIN_ENUM;
  if (!(remote && !servername ? s.open_browse() : s.open(servername))) return NERR_InternalError;
  if (!bufptr || !entriesread || !totalentries) return finish(s, a, ERROR_INVALID_PARAMETER);
  *bufptr = nullptr;
  *entriesread = *totalentries = 0;
  if (level != 100 && level != 101) return finish(s, a, ERROR_INVALID_LEVEL);
  lab::Target browser = lab::resolve(s.net(), servername);
  if (browser.status) return finish(s, a, browser.status);
  // A network without the computer browser service (no SMBv1) keeps no browse list at all.
  if (s.net().browser_off) return finish(s, a, ERROR_NO_BROWSER_SERVERS_FOUND);

  std::vector<ServerEntry> entries;
  bool more_data = false;
  if (servertype == SV_TYPE_DOMAIN_ENUM) {
    for (const auto& d : s.net().domains)
      entries.push_back({d.name, d.servers.empty() ? L"" : d.servers.front(), SV_TYPE_DOMAIN_ENUM | SV_TYPE_NT, 5, 0});
    more_data = s.net().more_data(L"*");
  } else {
    std::wstring name = domain && *domain ? std::wstring(domain) : s.net().workstation_domain;
    const lab::Domain* d = s.net().domain(name);
    if (!d) return finish(s, a, ERROR_NO_BROWSER_SERVERS_FOUND);
    for (const auto& n : d->servers) {
      const lab::Server* sv = s.net().server(n);
      if (sv && (sv->type & servertype))
        entries.push_back({sv->name, sv->comment, sv->type, sv->version_major, sv->version_minor});
    }
    more_data = s.net().more_data(d->name);
  }

  std::vector<size_t> sizes;
  for (const auto& e : entries)
    sizes.push_back((level == 100 ? sizeof(SERVER_INFO_100) : sizeof(SERVER_INFO_101)) + Block::text_size(e.name) +
                    Block::text_size(e.comment));
  size_t n = fit(sizes, prefmaxlen);
  // The fault switch: the browser answers with part of its list and ERROR_MORE_DATA.
  if (more_data && entries.size()) n = std::min(n, (entries.size() + 1) / 2);
  NET_API_STATUS status = n < entries.size() ? ERROR_MORE_DATA : NERR_Success;
  *totalentries = static_cast<DWORD>(entries.size());
  entries.resize(n);
  if (NET_API_STATUS st = server_block(level, entries, bufptr)) return finish(s, a, st);
  *entriesread = static_cast<DWORD>(n);
  if (resume_handle) *resume_handle = 0;
  a.num(L"read", *entriesread).num(L"total", *totalentries);
  return finish(s, a, status, bufptr);
}

NET_API_STATUS WINAPI NetServerDiskEnum(LMSTR servername, DWORD level, LPBYTE* bufptr, DWORD prefmaxlen,
                                        LPDWORD entriesread, LPDWORD totalentries, LPDWORD resume_handle) {
  Session s(L"NetServerDiskEnum");
  Args a;
  a.str(L"server", servername).num(L"level", level);
  if (!s.open(servername)) return NERR_InternalError;
  if (!bufptr || !entriesread || !totalentries) return finish(s, a, ERROR_INVALID_PARAMETER);
  *bufptr = nullptr;
  *entriesread = *totalentries = 0;
  if (level != 0) return finish(s, a, ERROR_INVALID_LEVEL);
  lab::Target t = lab::resolve(s.net(), servername);
  if (t.status) return finish(s, a, t.status);
  if (DWORD refused = s.refusal()) return finish(s, a, refused);
  // Only administrators of the server may list its disks.
  if (t.server && t.server->disk_status) return finish(s, a, t.server->disk_status);
  std::vector<wchar_t> drives;
  if (t.server)
    for (const auto& d : t.server->drives) drives.insert(drives.end(), {d.letter, L':', L'\0'});
  drives.push_back(L'\0');  // the list ends with one more terminator, as the platform's does
  Block b;
  if (!b.allocate(drives.size() * sizeof(wchar_t), 0)) return finish(s, a, ERROR_NOT_ENOUGH_MEMORY);
  memcpy(b.base(), drives.data(), drives.size() * sizeof(wchar_t));
  *bufptr = b.base();
  *entriesread = *totalentries = static_cast<DWORD>(drives.size() / 3);
  if (resume_handle) *resume_handle = 0;
  a.num(L"read", *entriesread);
  return finish(s, a, NERR_Success, bufptr);
}

NET_API_STATUS WINAPI NetShareAdd(LMSTR servername, DWORD level, LPBYTE buf, LPDWORD parm_err) {
  Session s(L"NetShareAdd");
  Args a;
  a.str(L"server", servername).num(L"level", level);
  if (!s.open(servername)) return NERR_InternalError;
  auto invalid = [&](DWORD parm) {
    if (parm_err) *parm_err = parm;
    a.num(L"parm_err", parm);
    return finish(s, a, ERROR_INVALID_PARAMETER);
  };
  if (level != 2 && level != 502) return finish(s, a, ERROR_INVALID_LEVEL);
  if (!buf) return invalid(0);
  // SHARE_INFO_502 begins with the fields of SHARE_INFO_2.
  const auto* r = reinterpret_cast<const SHARE_INFO_502*>(buf);
  a.str(L"netname", r->shi502_netname)
      .hex(L"type", r->shi502_type)
      .str(L"remark", r->shi502_remark)
      .str(L"path", r->shi502_path)
      .num(L"max_uses", r->shi502_max_uses);
  lab::Target t = lab::resolve(s.net(), servername);
  if (t.status) return finish(s, a, t.status);
  if (DWORD refused = s.refusal()) return finish(s, a, refused);
  if (t.server && t.server->share_status) return finish(s, a, t.server->share_status);
  if (!r->shi502_netname) return invalid(SHARE_NETNAME_PARMNUM);
  if (!valid_share_name(r->shi502_netname)) return finish(s, a, ERROR_INVALID_NAME);
  if ((r->shi502_type & ~(STYPE_SPECIAL | STYPE_TEMPORARY)) != STYPE_DISKTREE) return invalid(SHARE_TYPE_PARMNUM);
  if (r->shi502_remark && wcslen(r->shi502_remark) > MAXCOMMENTSZ) return invalid(SHARE_REMARK_PARMNUM);
  if (!r->shi502_path) return invalid(SHARE_PATH_PARMNUM);
  if (s.state.share(t.name, r->shi502_netname)) return finish(s, a, NERR_DuplicateShare);
  if (!drive_of(t, r->shi502_path)) return finish(s, a, NERR_UnknownDevDir);

  lab::Share sh;
  sh.server = t.name;
  sh.name = r->shi502_netname;
  sh.path = r->shi502_path;
  if (sh.path.size() == 2) sh.path += L'\\';
  sh.path[0] = static_cast<wchar_t>(towupper(sh.path[0]));
  sh.remark = r->shi502_remark ? r->shi502_remark : L"";
  sh.type = r->shi502_type;
  sh.permissions = r->shi502_permissions;
  sh.max_uses = r->shi502_max_uses;
  sh.passwd = r->shi502_passwd ? r->shi502_passwd : L"";
  if (level == 502 && r->shi502_security_descriptor) {
    if (!lab::sd_capture(r->shi502_security_descriptor, sh.sd)) return invalid(SHARE_FILE_SD_PARMNUM);
    sh.has_sd = true;
  } else {
    // A share made without a descriptor gets the default share permission.
    sh.has_sd = lab::sd_from_sddl(lab::kDefaultShareSddl, sh.sd);
  }
  s.state.shares.push_back(sh);
  s.dirty = true;
  return finish(s, a, NERR_Success);
}

NET_API_STATUS WINAPI NetShareDel(LMSTR servername, LMSTR netname, DWORD reserved) {
  Session s(L"NetShareDel");
  Args a;
  a.str(L"server", servername).str(L"netname", netname);
  if (!s.open(servername)) return NERR_InternalError;
  lab::Target t = lab::resolve(s.net(), servername);
  if (t.status) return finish(s, a, t.status);
  if (DWORD refused = s.refusal()) return finish(s, a, refused);
  if (t.server && t.server->share_status) return finish(s, a, t.server->share_status);
  if (!netname) return finish(s, a, ERROR_INVALID_PARAMETER);
  for (auto it = s.state.shares.begin(); it != s.state.shares.end(); ++it) {
    if (lab::iequals(it->server, t.name) && lab::iequals(it->name, netname)) {
      s.state.shares.erase(it);
      s.dirty = true;
      return finish(s, a, NERR_Success);
    }
  }
  return finish(s, a, NERR_NetNameNotFound);
}

NET_API_STATUS WINAPI NetShareGetInfo(LMSTR servername, LMSTR netname, DWORD level, LPBYTE* bufptr) {
  Session s(L"NetShareGetInfo");
  Args a;
  a.str(L"server", servername).str(L"netname", netname).num(L"level", level);
  if (!s.open(servername)) return NERR_InternalError;
  if (!bufptr) return finish(s, a, ERROR_INVALID_PARAMETER);
  *bufptr = nullptr;
  if (!share_record_size(level)) return finish(s, a, ERROR_INVALID_LEVEL);
  lab::Target t = lab::resolve(s.net(), servername);
  if (t.status) return finish(s, a, t.status);
  if (DWORD refused = s.refusal()) return finish(s, a, refused);
  if (!netname) return finish(s, a, ERROR_INVALID_PARAMETER);
  lab::Share* sh = s.state.share(t.name, netname);
  if (!sh) return finish(s, a, NERR_NetNameNotFound);
  NET_API_STATUS status = share_block(level, {sh}, bufptr);
  if (!status && level == 502) {
    std::wstring lie = lie_about_descriptor(s, t.name, *sh, *bufptr);
    if (!lie.empty()) a.add(L"lie", lie);
  }
  return finish(s, a, status, bufptr);
}

NET_API_STATUS WINAPI NetShareSetInfo(LMSTR servername, LMSTR netname, DWORD level, LPBYTE buf, LPDWORD parm_err) {
  Session s(L"NetShareSetInfo");
  Args a;
  a.str(L"server", servername).str(L"netname", netname).num(L"level", level);
  if (!s.open(servername)) return NERR_InternalError;
  auto invalid = [&](DWORD parm) {
    if (parm_err) *parm_err = parm;
    a.num(L"parm_err", parm);
    return finish(s, a, ERROR_INVALID_PARAMETER);
  };
  if (level != 1501 && level != 502) return finish(s, a, ERROR_INVALID_LEVEL);
  lab::Target t = lab::resolve(s.net(), servername);
  if (t.status) return finish(s, a, t.status);
  if (DWORD refused = s.refusal()) return finish(s, a, refused);
  // The fault switch: a server that knows no level 1501, so callers fall back to 502.
  if (level == 1501 && s.net().refuses_1501(t.name)) return finish(s, a, ERROR_INVALID_LEVEL);
  if (!buf) return invalid(0);
  if (t.server && t.server->share_status) return finish(s, a, t.server->share_status);
  if (!netname) return finish(s, a, ERROR_INVALID_PARAMETER);
  lab::Share* sh = s.state.share(t.name, netname);
  if (!sh) return finish(s, a, NERR_NetNameNotFound);

  lab::Share updated = *sh;
  if (level == 1501) {
    const auto* r = reinterpret_cast<const SHARE_INFO_1501*>(buf);
    if (!lab::sd_capture(r->shi1501_security_descriptor, updated.sd)) return invalid(SHARE_FILE_SD_PARMNUM);
    updated.has_sd = true;
  } else {
    // Name, type and path of a share do not change; a null remark or descriptor keeps the old one.
    const auto* r = reinterpret_cast<const SHARE_INFO_502*>(buf);
    a.str(L"remark", r->shi502_remark).num(L"max_uses", r->shi502_max_uses);
    if (r->shi502_remark && wcslen(r->shi502_remark) > MAXCOMMENTSZ) return invalid(SHARE_REMARK_PARMNUM);
    if (r->shi502_remark) updated.remark = r->shi502_remark;
    updated.max_uses = r->shi502_max_uses;
    updated.permissions = r->shi502_permissions;
    if (r->shi502_security_descriptor) {
      if (!lab::sd_capture(r->shi502_security_descriptor, updated.sd)) return invalid(SHARE_FILE_SD_PARMNUM);
      updated.has_sd = true;
    }
  }
  if (updated.has_sd) a.add(L"sddl", lab::quoted(lab::sd_to_sddl(updated.sd).c_str()));
  *sh = updated;
  s.dirty = true;
  return finish(s, a, NERR_Success);
}

NET_API_STATUS WINAPI NetShareEnum(LMSTR servername, DWORD level, LPBYTE* bufptr, DWORD prefmaxlen, LPDWORD entriesread,
                                   LPDWORD totalentries, LPDWORD resume_handle) {
  Session s(L"NetShareEnum");
  Args a;
  a.str(L"server", servername).num(L"level", level);
  if (!s.open(servername)) return NERR_InternalError;
  if (!bufptr || !entriesread || !totalentries) return finish(s, a, ERROR_INVALID_PARAMETER);
  *bufptr = nullptr;
  *entriesread = *totalentries = 0;
  if (!share_record_size(level)) return finish(s, a, ERROR_INVALID_LEVEL);
  lab::Target t = lab::resolve(s.net(), servername);
  if (t.status) return finish(s, a, t.status);
  if (DWORD refused = s.refusal()) return finish(s, a, refused);
  std::vector<lab::Share*> all = s.state.shares_of(t.name);
  size_t start = resume_handle && !s.net().repeats_resume(t.name) ? std::min<size_t>(*resume_handle, all.size()) : 0;
  std::vector<lab::Share*> rest(all.begin() + static_cast<std::ptrdiff_t>(start), all.end());
  std::vector<size_t> sizes;
  for (const auto* sh : rest) sizes.push_back(share_record_size(level) + share_variable_size(level, *sh));
  size_t n = fit(sizes, prefmaxlen);
  rest.resize(n);
  if (NET_API_STATUS st = share_block(level, rest, bufptr)) return finish(s, a, st);
  *entriesread = static_cast<DWORD>(n);
  *totalentries = static_cast<DWORD>(all.size() - start);
  bool more = start + n < all.size();
  if (resume_handle) *resume_handle = more ? static_cast<DWORD>(start + n) : 0;
  // The fault: "more" for ever, from the start again, with the one resume handle 1.
  if (s.net().repeats_resume(t.name)) {
    more = true;
    if (resume_handle) *resume_handle = 1;
  }
  a.num(L"read", *entriesread).num(L"total", *totalentries);
  return finish(s, a, more ? ERROR_MORE_DATA : NERR_Success, bufptr);
}

NET_API_STATUS WINAPI NetWkstaGetInfo(LMSTR servername, DWORD level, LPBYTE* bufptr) {
  Session s(L"NetWkstaGetInfo");
  Args a;
  a.str(L"server", servername).num(L"level", level);
  if (!s.open(servername)) return NERR_InternalError;
  if (!bufptr) return finish(s, a, ERROR_INVALID_PARAMETER);
  *bufptr = nullptr;
  if (level != 100) return finish(s, a, ERROR_INVALID_LEVEL);
  lab::Target t = lab::resolve(s.net(), servername);
  if (t.status) return finish(s, a, t.status);
  if (DWORD refused = s.refusal()) return finish(s, a, refused);
  std::wstring computer = t.name, group = t.local ? s.net().workstation_domain : t.server->domain;
  DWORD major = 6, minor = 1;
  if (t.server && !t.local) {
    major = t.server->version_major;
    minor = t.server->version_minor;
  }
  Block b;
  if (!b.allocate(sizeof(WKSTA_INFO_100), Block::text_size(computer) + Block::text_size(group)))
    return finish(s, a, ERROR_NOT_ENOUGH_MEMORY);
  auto* r = reinterpret_cast<WKSTA_INFO_100*>(b.base());
  r->wki100_platform_id = PLATFORM_ID_NT;
  r->wki100_computername = b.text(computer);
  r->wki100_langroup = b.text(group);
  r->wki100_ver_major = major;
  r->wki100_ver_minor = minor;
  *bufptr = b.base();
  return finish(s, a, NERR_Success, bufptr);
}

NET_API_STATUS WINAPI NetWkstaUserGetInfo(LMSTR reserved, DWORD level, LPBYTE* bufptr) {
  Session s(L"NetWkstaUserGetInfo");
  Args a;
  a.num(L"level", level);
  if (!s.open()) return NERR_InternalError;
  if (!bufptr) return finish(s, a, ERROR_INVALID_PARAMETER);
  *bufptr = nullptr;
  if (level != 0 && level != 1) return finish(s, a, ERROR_INVALID_LEVEL);
  wchar_t user[UNLEN + 1];
  DWORD n = UNLEN + 1;
  std::wstring name = GetUserNameW(user, &n) ? user : L"";
  const std::wstring& machine = s.net().workstation;
  Block b;
  if (level == 0) {
    if (!b.allocate(sizeof(WKSTA_USER_INFO_0), Block::text_size(name))) return finish(s, a, ERROR_NOT_ENOUGH_MEMORY);
    reinterpret_cast<WKSTA_USER_INFO_0*>(b.base())->wkui0_username = b.text(name);
  } else {
    // A local account: logged on to this computer, which is also its logon server.
    if (!b.allocate(sizeof(WKSTA_USER_INFO_1),
                    Block::text_size(name) + 2 * Block::text_size(machine) + Block::text_size(L"")))
      return finish(s, a, ERROR_NOT_ENOUGH_MEMORY);
    auto* r = reinterpret_cast<WKSTA_USER_INFO_1*>(b.base());
    r->wkui1_username = b.text(name);
    r->wkui1_logon_domain = b.text(machine);
    r->wkui1_oth_domains = b.text(L"");
    r->wkui1_logon_server = b.text(machine);
  }
  *bufptr = b.base();
  return finish(s, a, NERR_Success, bufptr);
}

NET_API_STATUS WINAPI NetUserModalsGet(LPCWSTR servername, DWORD level, LPBYTE* bufptr) {
  Session s(L"NetUserModalsGet");
  Args a;
  a.str(L"server", servername).num(L"level", level);
  if (!s.open(servername)) return NERR_InternalError;
  if (!bufptr) return finish(s, a, ERROR_INVALID_PARAMETER);
  *bufptr = nullptr;
  if (level != 2) return finish(s, a, ERROR_INVALID_LEVEL);
  lab::Target t = lab::resolve(s.net(), servername);
  if (t.status) return finish(s, a, t.status);
  if (DWORD refused = s.refusal()) return finish(s, a, refused);
  std::wstring domain = t.server ? t.server->account_domain : t.name;
  std::wstring sid_text = t.server ? t.server->sid : s.net().workstation_sid;
  PSID sid = nullptr;
  if (!ConvertStringSidToSidW(sid_text.c_str(), &sid)) return finish(s, a, NERR_InternalError);
  DWORD sid_len = GetLengthSid(sid);
  Block b;
  NET_API_STATUS status = NERR_Success;
  if (b.allocate(sizeof(USER_MODALS_INFO_2), Block::text_size(domain) + Block::bytes_size(sid_len))) {
    auto* r = reinterpret_cast<USER_MODALS_INFO_2*>(b.base());
    r->usrmod2_domain_name = b.text(domain);
    r->usrmod2_domain_id = b.bytes(sid, sid_len);
    *bufptr = b.base();
  } else {
    status = ERROR_NOT_ENOUGH_MEMORY;
  }
  LocalFree(sid);
  a.str(L"domain", domain.c_str()).str(L"sid", sid_text.c_str());
  return finish(s, a, status, bufptr);
}

}  // extern "C"
