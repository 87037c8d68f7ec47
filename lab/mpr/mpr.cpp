// mpr.dll of the lab: connections to the simulated network's shares. A connection with a local
// letter maps the letter to a folder standing for the share's drive, so the volume functions
// answer through the file system. Every call is journalled.
#include <windows.h>
#include <winnetwk.h>

#include "lab.h"

#include <memory>

using lab::Session;

namespace {

std::wstring args(const wchar_t* remote, const wchar_t* local) {
  return L"remote=" + lab::quoted(remote) + L" local=" + lab::quoted(local);
}

// "X:" with a letter, in upper case; empty when the name is not a drive device.
std::wstring drive_device(const wchar_t* local) {
  if (!local || wcslen(local) != 2 || local[1] != L':' || !iswalpha(local[0])) return {};
  return std::wstring(1, static_cast<wchar_t>(towupper(local[0]))) + L":";
}

bool letter_in_use(const std::wstring& device) {
  std::wstring root = device + L"\\";
  return GetDriveTypeW(root.c_str()) != DRIVE_NO_ROOT_DIR;
}

// "\\server\share[\...]" split; false when the name has no server or no share.
bool split_remote(const wchar_t* remote, std::wstring& server, std::wstring& share) {
  if (!remote || remote[0] != L'\\' || remote[1] != L'\\') return false;
  std::wstring rest(remote + 2);
  size_t slash = rest.find(L'\\');
  if (slash == 0 || slash == std::wstring::npos) return false;
  server = rest.substr(0, slash);
  share = rest.substr(slash + 1);
  share = share.substr(0, share.find(L'\\'));
  return !share.empty();
}

// A letter is mapped under its own lock, taken before the folder's, and the folder is unlocked
// while the mount manager works: callers with other letters go on meanwhile.
// `remember`: the connection goes into the user's profile too (WNetAddConnection always,
// WNetAddConnection2 with CONNECT_UPDATE_PROFILE).
DWORD add_connection(const wchar_t* fn, const wchar_t* remote, const wchar_t* local, bool remember) {
  std::wstring device = drive_device(local);
  std::unique_ptr<lab::LetterMutex> letter;
  // Whether the letter is in use is asked before the folder is locked: the answer may wait for the
  // mount manager, and the letter's lock keeps it true meanwhile.
  bool in_use = false;
  if (!device.empty()) {
    letter.reset(new lab::LetterMutex(device[0]));
    in_use = letter_in_use(device);
  }
  Session s(fn);
  std::wstring a = args(remote, local) + L" profile=" + (remember ? L"1" : L"0");
  std::wstring server, share;
  bool well_formed = split_remote(remote, server, share);
  if (!s.open(well_formed ? (L"\\\\" + server).c_str() : nullptr)) return ERROR_NO_NETWORK;
  auto done = [&](DWORD status) {
    s.journal(a, status);
    return status;
  };
  if (!remote) return done(ERROR_INVALID_PARAMETER);
  bool deviceless = !local || !*local;
  if (!deviceless && device.empty()) return done(ERROR_BAD_DEVICE);
  if (!well_formed) return done(ERROR_BAD_NET_NAME);

  if (!deviceless && (s.state.connection(device) || in_use)) {
    // A recorded connection whose letter has vanished is stale and gives way.
    lab::Connection* c = s.state.connection(device);
    if (!c || in_use) return done(ERROR_ALREADY_ASSIGNED);
    s.state.connections.erase(s.state.connections.begin() + (c - s.state.connections.data()));
    s.mappings_dirty = true;
  }
  lab::RememberedConnections profile = lab::load_profile(s.folder, s.net());
  // A letter the profile remembers is not free though no drive is live on it.
  if (!deviceless && profile.count(device)) return done(ERROR_DEVICE_ALREADY_REMEMBERED);
  lab::Target t = lab::resolve(s.net(), (L"\\\\" + server).c_str());
  if (t.status) return done(t.status);
  lab::Share* sh = s.state.share(t.name, share);
  if (!sh) return done(ERROR_BAD_NET_NAME);
  const lab::Drive* drive = t.server && sh->path.size() >= 2 ? t.server->drive(sh->path[0]) : nullptr;
  if (drive && drive->connect) return done(drive->connect);
  if (deviceless) return done(NO_ERROR);
  if (!drive) return done(ERROR_BAD_NET_NAME);

  std::wstring volume = lab::prepare_volume(s.folder, t.name, *drive);
  const std::wstring mapped = L"\\\\" + t.name + L"\\" + sh->name;
  s.state.connections.push_back({device, mapped, volume});
  s.mappings_dirty = true;
  if (remember) {
    profile[device] = mapped;
    if (!lab::save_profile(s.folder, profile)) return done(ERROR_NO_NETWORK);
  }
  if (!s.release()) return done(ERROR_NO_NETWORK);
  if (DWORD err = lab::map_letter(device[0], volume)) {
    // Not mapped after all: the record goes again.
    if (s.relock()) {
      if (lab::Connection* c = s.state.connection(device)) {
        s.state.connections.erase(s.state.connections.begin() + (c - s.state.connections.data()));
        s.mappings_dirty = true;
      }
      if (remember) {
        lab::RememberedConnections now = lab::load_profile(s.folder, s.net());
        now.erase(device);
        lab::save_profile(s.folder, now);
      }
      s.release();
    }
    return done(err);
  }
  return done(NO_ERROR);
}

// Ends the connection of one letter when it is still the one expected (by letter alone when
// `remote` is empty). The caller holds the letter's lock and the folder's; the record goes under
// the folder lock, the letter after it.
DWORD cancel_letter(Session& s, const std::wstring& device, const std::wstring& remote, bool& found) {
  lab::Connection* c = s.state.connection(device);
  if (!c || (!remote.empty() && !lab::iequals(c->remote, remote))) {
    s.release();
    return NO_ERROR;
  }
  lab::Connection gone = *c;
  s.state.connections.erase(s.state.connections.begin() + (c - s.state.connections.data()));
  s.mappings_dirty = true;
  if (!s.release()) return ERROR_NO_NETWORK;
  if (DWORD err = lab::unmap_letter(gone.local[0], gone.volume, false)) {
    // Still mapped: the record comes back.
    if (s.relock()) {
      s.state.connections.push_back(gone);
      s.mappings_dirty = true;
      s.release();
    }
    return err;
  }
  found = true;
  return NO_ERROR;
}

// Whether a connection to this share's server has files open (the `open_files` fault).
bool files_open(const lab::Network& net, const std::wstring& remote) {
  std::wstring server, share;
  if (!split_remote(remote.c_str(), server, share)) return false;
  for (const std::wstring& s : net.faults.open_files)
    if (s == L"*" || lab::iequals(s, server)) return true;
  return false;
}

// Takes the letter (or, without one, every letter remembered for the remote name) out of the
// user's profile; whether anything was there. The caller holds the folder lock.
bool forget(lab::Session& s, const std::wstring& device, const wchar_t* remote) {
  lab::RememberedConnections profile = lab::load_profile(s.folder, s.net());
  size_t before = profile.size();
  for (auto it = profile.begin(); it != profile.end();)
    it = (device.empty() ? lab::iequals(it->second, remote) : it->first == device) ? profile.erase(it) : std::next(it);
  return profile.size() != before && lab::save_profile(s.folder, profile);
}

DWORD cancel_connection(const wchar_t* fn, const wchar_t* name, DWORD flags, BOOL force) {
  // A letter's lock comes before the folder's.
  std::wstring device = name ? drive_device(name) : std::wstring();
  std::unique_ptr<lab::LetterMutex> letter;
  if (!device.empty()) letter.reset(new lab::LetterMutex(device[0]));
  Session s(fn);
  std::wstring a = L"name=" + lab::quoted(name) + L" flags=" + std::to_wstring(flags) + L" force=" +
                   std::to_wstring(force ? 1 : 0);
  if (!s.open()) return ERROR_NO_NETWORK;
  auto done = [&](DWORD status) {
    s.journal(a, status);
    return status;
  };
  if (!name || !*name) return done(ERROR_INVALID_PARAMETER);
  bool found = false;
  // A connection with files open is not ended unless forced; the profile is left as it was.
  for (const lab::Connection& c : s.state.connections)
    if ((device.empty() ? lab::iequals(c.remote, name) : lab::iequals(c.local, device)) && !force &&
        files_open(s.net(), c.remote))
      return done(ERROR_OPEN_FILES);
  // The profile forgets the connection only when asked to; otherwise a remembered letter stays
  // remembered (and comes back at the next logon) though it is no longer live.
  bool forgotten = (flags & CONNECT_UPDATE_PROFILE) && forget(s, device.empty() ? std::wstring() : device, name);
  if (!device.empty()) {
    if (DWORD err = cancel_letter(s, device, std::wstring(), found)) return done(err);
    return done(found || forgotten ? NO_ERROR : ERROR_NOT_CONNECTED);
  }
  // A remote name: every letter connected to it, each under its own lock.
  std::vector<std::pair<std::wstring, std::wstring>> targets;
  for (const lab::Connection& c : s.state.connections)
    if (lab::iequals(c.remote, name)) targets.emplace_back(c.local, c.remote);
  s.release();
  for (const auto& target : targets) {
    lab::LetterMutex each(target.first[0]);
    if (!s.relock()) return done(ERROR_NO_NETWORK);
    if (DWORD err = cancel_letter(s, target.first, target.second, found)) return done(err);
  }
  return done(found || forgotten ? NO_ERROR : ERROR_NOT_CONNECTED);
}

DWORD get_connection(const wchar_t* fn, const wchar_t* local, std::wstring& remote) {
  Session s(fn);
  if (!s.open()) return ERROR_NO_NETWORK;
  std::wstring device = drive_device(local);
  DWORD status = ERROR_NOT_CONNECTED;
  if (!local) status = ERROR_INVALID_PARAMETER;
  else if (device.empty()) status = ERROR_BAD_DEVICE;
  else if (const lab::Connection* c = s.state.connection(device)) {
    remote = c->remote;
    status = NO_ERROR;
  } else {
    // Remembered but not live: the remote name, and the status that says so.
    lab::RememberedConnections profile = lab::load_profile(s.folder, s.net());
    auto it = profile.find(device);
    if (it != profile.end()) {
      remote = it->second;
      status = ERROR_CONNECTION_UNAVAIL;
    }
  }
  s.journal(L"local=" + lab::quoted(local), status);
  return status;
}

std::wstring wide(const char* s) { return lab::from_acp(s); }
const wchar_t* opt(const char* a, const std::wstring& w) { return a ? w.c_str() : nullptr; }

}  // namespace

extern "C" {

DWORD WINAPI WNetAddConnectionW(LPCWSTR remote, LPCWSTR password, LPCWSTR local) {
  return add_connection(L"WNetAddConnectionW", remote, local, true);
}

DWORD WINAPI WNetAddConnectionA(LPCSTR remote, LPCSTR password, LPCSTR local) {
  std::wstring r = wide(remote), l = wide(local);
  return add_connection(L"WNetAddConnectionA", opt(remote, r), opt(local, l), true);
}

DWORD WINAPI WNetAddConnection2W(LPNETRESOURCEW res, LPCWSTR password, LPCWSTR user, DWORD flags) {
  if (!res) return ERROR_INVALID_PARAMETER;
  return add_connection(L"WNetAddConnection2W", res->lpRemoteName, res->lpLocalName,
                        (flags & CONNECT_UPDATE_PROFILE) != 0);
}

DWORD WINAPI WNetAddConnection2A(LPNETRESOURCEA res, LPCSTR password, LPCSTR user, DWORD flags) {
  if (!res) return ERROR_INVALID_PARAMETER;
  std::wstring r = wide(res->lpRemoteName), l = wide(res->lpLocalName);
  return add_connection(L"WNetAddConnection2A", opt(res->lpRemoteName, r), opt(res->lpLocalName, l),
                        (flags & CONNECT_UPDATE_PROFILE) != 0);
}

DWORD WINAPI WNetCancelConnection2W(LPCWSTR name, DWORD flags, BOOL force) {
  return cancel_connection(L"WNetCancelConnection2W", name, flags, force);
}

DWORD WINAPI WNetCancelConnection2A(LPCSTR name, DWORD flags, BOOL force) {
  std::wstring n = wide(name);
  return cancel_connection(L"WNetCancelConnection2A", opt(name, n), flags, force);
}

DWORD WINAPI WNetCancelConnectionW(LPCWSTR name, BOOL force) {
  return cancel_connection(L"WNetCancelConnectionW", name, 0, force);
}

DWORD WINAPI WNetCancelConnectionA(LPCSTR name, BOOL force) {
  std::wstring n = wide(name);
  return cancel_connection(L"WNetCancelConnectionA", opt(name, n), 0, force);
}

DWORD WINAPI WNetGetConnectionW(LPCWSTR local, LPWSTR remote, LPDWORD length) {
  if (!length) return ERROR_INVALID_PARAMETER;
  std::wstring r;
  DWORD status = get_connection(L"WNetGetConnectionW", local, r);
  if (status && status != ERROR_CONNECTION_UNAVAIL) return status;
  DWORD need = static_cast<DWORD>(r.size() + 1);
  if (!remote || *length < need) {
    *length = need;
    return ERROR_MORE_DATA;
  }
  memcpy(remote, r.c_str(), need * sizeof(wchar_t));
  return status;
}

DWORD WINAPI WNetGetConnectionA(LPCSTR local, LPSTR remote, LPDWORD length) {
  if (!length) return ERROR_INVALID_PARAMETER;
  std::wstring l = wide(local), r;
  DWORD status = get_connection(L"WNetGetConnectionA", opt(local, l), r);
  if (status && status != ERROR_CONNECTION_UNAVAIL) return status;
  std::string text = lab::to_acp(r);
  DWORD need = static_cast<DWORD>(text.size() + 1);
  if (!remote || *length < need) {
    *length = need;
    return ERROR_MORE_DATA;
  }
  memcpy(remote, text.c_str(), need);
  return status;
}

// The name of a file on a connected letter with the server and share in place of the letter
// (UNIVERSAL_NAME_INFO_LEVEL only).
DWORD WINAPI WNetGetUniversalNameW(LPCWSTR local_path, DWORD level, LPVOID buffer, LPDWORD size) {
  if (!local_path || !size || (!buffer && *size)) return ERROR_INVALID_PARAMETER;
  if (level != UNIVERSAL_NAME_INFO_LEVEL) return ERROR_NOT_SUPPORTED;
  std::wstring device(local_path, wcsnlen(local_path, 2)), r;
  if (DWORD status = get_connection(L"WNetGetUniversalNameW", device.c_str(), r)) return status;
  std::wstring full = r + (local_path + device.size());
  DWORD need = static_cast<DWORD>(sizeof(UNIVERSAL_NAME_INFOW) + (full.size() + 1) * sizeof(wchar_t));
  if (!buffer || *size < need) {
    *size = need;
    return ERROR_MORE_DATA;
  }
  auto* info = static_cast<UNIVERSAL_NAME_INFOW*>(buffer);
  info->lpUniversalName = reinterpret_cast<LPWSTR>(info + 1);
  memcpy(info->lpUniversalName, full.c_str(), (full.size() + 1) * sizeof(wchar_t));
  return NO_ERROR;
}

// Password caching is not part of the simulated network: nothing is cached, nothing is found.
// Wine's own modules (wininet) import these two.
DWORD WINAPI WNetCachePassword(LPSTR, WORD, LPSTR, WORD, BYTE, WORD) { return ERROR_NOT_SUPPORTED; }
DWORD WINAPI WNetGetCachedPassword(LPSTR, WORD, LPSTR, LPWORD, BYTE) { return ERROR_NOT_SUPPORTED; }

}  // extern "C"
