// The lab folder: where it is, its lock, its state file and its journal.
#include "lab.h"

#include <lm.h>

namespace lab {
namespace {

const DWORD kLockWaitMs = 20000;

std::wstring num(DWORD v) { return std::to_wstring(v); }
std::wstring signed_num(DWORD v) { return std::to_wstring(static_cast<long>(static_cast<int32_t>(v))); }
std::wstring hex_num(DWORD v) {
  wchar_t b[16];
  swprintf(b, 16, L"0x%08lX", v);
  return b;
}
DWORD parse(const std::wstring& s, DWORD def) {
  if (s.empty()) return def;
  wchar_t* end = nullptr;
  if (s[0] == L'-') return static_cast<DWORD>(wcstol(s.c_str(), &end, 10));
  return static_cast<DWORD>(wcstoull(s.c_str(), &end, 0));
}

HMODULE this_module() {
  HMODULE m = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCWSTR>(&this_module), &m);
  return m;
}

bool build_state(const std::wstring& folder, std::wstring& error) {
  Network net;
  if (!net.load(description_path(folder))) {
    error = L"no network description in " + folder;
    return false;
  }
  if (!save_state(folder, State::initial(net))) {
    error = L"cannot write " + state_path(folder);
    return false;
  }
  return true;
}

// Copies the default description (shipped beside the lab modules) into a lab folder that has none.
bool ensure_created(const std::wstring& folder) {
  if (!file_exists(description_path(folder))) {
    std::wstring source = module_folder(this_module()) + L"\\networks\\default.ini";
    if (!CopyFileW(source.c_str(), description_path(folder).c_str(), FALSE)) return false;
  }
  std::wstring error;
  return file_exists(state_path(folder)) || build_state(folder, error);
}

}  // namespace

State State::initial(const Network& net) {
  State st;
  for (const auto& s : net.servers) {
    for (const auto& d : s.drives) {
      if (!d.admin_share) continue;
      Share sh;
      sh.server = s.name;
      sh.name = std::wstring(1, d.letter) + L"$";
      sh.path = std::wstring(1, d.letter) + L":\\";
      sh.remark = L"Default share";
      sh.type = STYPE_DISKTREE | STYPE_SPECIAL;
      st.shares.push_back(sh);
    }
  }
  for (const auto& seed : net.shares) {
    Share sh;
    sh.server = net.server(seed.server) ? net.server(seed.server)->name : seed.server;
    sh.name = seed.name;
    sh.path = seed.path;
    sh.remark = seed.remark;
    sh.type = seed.type;
    sh.max_uses = seed.max_uses;
    sh.has_sd = !seed.sddl.empty() && sd_from_sddl(seed.sddl, sh.sd);
    if (Share* existing = st.share(sh.server, sh.name)) *existing = sh;
    else st.shares.push_back(sh);
  }
  return st;
}

State State::from_ini(const IniDoc& doc) {
  State st;
  for (const auto& sec : doc.sections) {
    if (sec.name.compare(0, 6, L"share ") == 0) {
      std::wstring rest = sec.name.substr(6);
      size_t space = rest.find(L' ');
      if (space == std::wstring::npos) continue;
      Share sh;
      sh.server = rest.substr(0, space);
      sh.name = rest.substr(space + 1);
      sh.path = sec.get(L"path");
      sh.remark = sec.get(L"remark");
      sh.passwd = sec.get(L"passwd");
      sh.type = parse(sec.get(L"type"), 0);
      sh.permissions = parse(sec.get(L"permissions"), 0);
      sh.max_uses = parse(sec.get(L"max_uses"), 0xFFFFFFFF);
      if (const std::wstring* sd = sec.find(L"sd")) sh.has_sd = from_hex(*sd, sh.sd) && !sh.sd.empty();
      st.shares.push_back(sh);
    } else if (sec.name.compare(0, 11, L"connection ") == 0) {
      st.connections.push_back({sec.name.substr(11), sec.get(L"remote"), sec.get(L"volume")});
    } else {
      st.other.sections.push_back(sec);
    }
  }
  return st;
}

IniDoc State::to_ini() const {
  IniDoc doc;
  for (const auto& sh : shares) {
    IniSection sec{L"share " + sh.server + L" " + sh.name, {}};
    sec.set(L"path", sh.path);
    sec.set(L"remark", sh.remark);
    sec.set(L"type", hex_num(sh.type));
    sec.set(L"permissions", num(sh.permissions));
    sec.set(L"max_uses", signed_num(sh.max_uses));
    if (!sh.passwd.empty()) sec.set(L"passwd", sh.passwd);
    if (sh.has_sd) {
      sec.set(L"sd", to_hex(sh.sd));
      sec.set(L"sddl", sd_to_sddl(sh.sd));  // for people; "sd" is what counts
    }
    doc.sections.push_back(sec);
  }
  for (const auto& c : connections) {
    IniSection sec{L"connection " + c.local, {}};
    sec.set(L"remote", c.remote);
    sec.set(L"volume", c.volume);
    doc.sections.push_back(sec);
  }
  for (const auto& sec : other.sections) doc.sections.push_back(sec);
  return doc;
}

Share* State::share(const std::wstring& server, const std::wstring& name) {
  for (auto& sh : shares)
    if (iequals(sh.server, server) && iequals(sh.name, name)) return &sh;
  return nullptr;
}

std::vector<Share*> State::shares_of(const std::wstring& server) {
  std::vector<Share*> out;
  for (auto& sh : shares)
    if (iequals(sh.server, server)) out.push_back(&sh);
  return out;
}

Connection* State::connection(const std::wstring& local) {
  for (auto& c : connections)
    if (iequals(c.local, local)) return &c;
  return nullptr;
}

std::wstring lab_folder() {
  wchar_t buf[MAX_PATH];
  DWORD n = GetEnvironmentVariableW(L"CORV_LAB_DIR", buf, MAX_PATH);
  std::wstring folder = (n > 0 && n < MAX_PATH) ? std::wstring(buf, n) : module_folder(this_module()) + L"\\lab";
  wchar_t full[MAX_PATH];
  if (GetFullPathNameW(folder.c_str(), MAX_PATH, full, nullptr)) folder = full;
  while (folder.size() > 3 && (folder.back() == L'\\' || folder.back() == L'/')) folder.pop_back();
  return folder;
}

std::wstring description_path(const std::wstring& folder) { return folder + L"\\network.ini"; }
std::wstring state_path(const std::wstring& folder) { return folder + L"\\state.ini"; }
std::wstring connections_path(const std::wstring& folder) { return folder + L"\\connections.ini"; }

namespace {
bool is_connection(const IniSection& sec) { return sec.name.compare(0, 11, L"connection ") == 0; }

bool file_stamp(const std::wstring& path, FILETIME& written, ULONGLONG& size) {
  WIN32_FILE_ATTRIBUTE_DATA a;
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &a)) return false;
  written = a.ftLastWriteTime;
  size = (static_cast<ULONGLONG>(a.nFileSizeHigh) << 32) | a.nFileSizeLow;
  return true;
}

// The parsed state.ini of the last lab this process used, with the file's time and size: other
// processes change the file, and then it is read again.
struct MainCache {
  CRITICAL_SECTION lock;
  std::wstring path, text;
  FILETIME written = {};
  ULONGLONG size = 0;
  State state;
  bool valid = false;
  MainCache() { InitializeCriticalSection(&lock); }
};
MainCache& main_cache() {
  static MainCache* cache = new MainCache();  // kept to the process's end: no destructor at exit
  return *cache;
}

void remember(const std::wstring& path, const std::wstring& text, const State& main) {
  MainCache& c = main_cache();
  EnterCriticalSection(&c.lock);
  c.valid = file_stamp(path, c.written, c.size);
  c.path = path;
  c.text = text;
  c.state = main;
  LeaveCriticalSection(&c.lock);
}
}  // namespace

bool load_state(const std::wstring& folder, State& state, StateFiles* files) {
  const std::wstring path = state_path(folder);
  FILETIME written;
  ULONGLONG size = 0;
  if (!file_stamp(path, written, size)) return false;
  MainCache& c = main_cache();
  std::wstring main_text;
  EnterCriticalSection(&c.lock);
  bool hit = c.valid && c.path == path && c.size == size && CompareFileTime(&c.written, &written) == 0;
  if (hit) {
    state = c.state;
    main_text = c.text;
  }
  LeaveCriticalSection(&c.lock);
  if (!hit) {
    if (!read_text_file(path, main_text)) return false;
    state = State::from_ini(IniDoc::parse(main_text));
    remember(path, main_text, state);
  }
  // Mappings found in state.ini (a lab written before they were kept apart) count too; the next
  // save moves them.
  std::wstring conn_text;
  if (read_text_file(connections_path(folder), conn_text))
    for (const Connection& k : State::from_ini(IniDoc::parse(conn_text)).connections) state.connections.push_back(k);
  if (files) *files = {main_text, conn_text};
  return true;
}

bool save_connections(const std::wstring& folder, const State& state, StateFiles& files) {
  State only;
  only.connections = state.connections;
  const std::wstring text = only.to_ini().text();
  if (text == files.connections_text) return true;
  if (!write_utf16_file(connections_path(folder), text)) return false;
  files.connections_text = text;
  return true;
}

bool save_state(const std::wstring& folder, const State& state, StateFiles* files) {
  IniDoc all = state.to_ini(), main, conns;
  for (const IniSection& sec : all.sections) (is_connection(sec) ? conns : main).sections.push_back(sec);
  const std::wstring main_text = main.text(), conn_text = conns.text();
  if (!files || files->main_text != main_text) {
    if (!write_utf16_file(state_path(folder), main_text)) return false;
    remember(state_path(folder), main_text, State::from_ini(main));
  }
  if (!files || files->connections_text != conn_text) {
    if (!write_utf16_file(connections_path(folder), conn_text)) return false;
  }
  if (files) *files = {main_text, conn_text};
  return true;
}
std::wstring journal_path(const std::wstring& folder) { return folder + L"\\journal.log"; }

FolderLock::FolderLock(const std::wstring& folder) {
  std::wstring path = folder + L"\\lab.lock";
  HANDLE h = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return;
  DWORD start = GetTickCount();
  for (;;) {
    OVERLAPPED ov = {};
    if (LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &ov)) {
      handle_ = h;
      return;
    }
    if (GetTickCount() - start > kLockWaitMs) break;
    Sleep(2);
  }
  CloseHandle(h);
}

FolderLock::~FolderLock() {
  if (handle_ == INVALID_HANDLE_VALUE) return;
  OVERLAPPED ov = {};
  UnlockFileEx(handle_, 0, 1, 0, &ov);
  CloseHandle(handle_);
}

Session::Session(const wchar_t* function) : function_(function) {}

Session::~Session() {
  commit();
  delete lock_;
}

bool Session::commit() {
  if (!dirty && !mappings_dirty) return true;
  if (!lock_ || !lock_->held()) return false;
  if (dirty ? !save_state(folder, state, &files_) : !save_connections(folder, state, files_)) return false;
  dirty = mappings_dirty = false;
  return true;
}

bool Session::lock_and_load() {
  delete lock_;
  lock_ = new FolderLock(folder);
  return lock_->held() && ensure_created(folder) && net.load_cached(description_path(folder));
}

bool Session::open(const wchar_t* target_server) {
  folder = lab_folder();
  CreateDirectoryW(folder.c_str(), nullptr);
  if (!lock_and_load()) return false;
  Target t = resolve(net, target_server);
  DWORD wait = 0;
  if (target_server && !t.local) wait += net.faults.latency_ms;  // the round trip, answered or not
  if (target_server && !t.status && net.is_slow(t.name)) wait += net.faults.slow_ms;
  if (wait) {
    // The wait holds no lock, so other callers go on meanwhile.
    delete lock_;
    lock_ = nullptr;
    Sleep(wait);
    if (!lock_and_load()) return false;
  }
  return load_state(folder, state, &files_);
}

void Session::journal(const std::wstring& args, DWORD status) {
  if (lock_ && lock_->held()) append_journal(folder, function_, args, status);
}

void append_journal(const std::wstring& folder, const std::wstring& function, const std::wstring& args,
                    DWORD status) {
  SYSTEMTIME t;
  GetLocalTime(&t);
  wchar_t head[64];
  swprintf(head, 64, L"%02u:%02u:%02u.%03u\t%lu\t", t.wHour, t.wMinute, t.wSecond, t.wMilliseconds,
           GetCurrentProcessId());
  std::string line = narrow(head + function + L"\t" + args + L"\t" + std::to_wstring(status)) + "\r\n";
  HANDLE h = CreateFileW(journal_path(folder).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                         nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(h, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  CloseHandle(h);
}

bool create_lab(const std::wstring& folder, const std::wstring* description_source, std::wstring& error) {
  if (!CreateDirectoryW(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
    error = L"cannot create " + folder;
    return false;
  }
  FolderLock lock(folder);
  if (!lock.held()) {
    error = L"the lab is locked by another process";
    return false;
  }
  // Drive mappings made by this lab are undone before its state is thrown away.
  State old;
  if (load_state(folder, old)) {
    LetterMutex letters;
    for (const auto& c : old.connections)
      if (!c.local.empty()) unmap_letter(c.local[0], c.volume);
  }
  if (description_source) {
    std::wstring desc;
    if (!read_text_file(*description_source, desc)) {
      error = L"cannot read " + *description_source;
      return false;
    }
    // Stored as UTF-16 with a byte-order mark so that the profile functions read any name.
    if (!write_utf16_file(description_path(folder), desc)) {
      error = L"cannot write " + description_path(folder);
      return false;
    }
  }
  if (!build_state(folder, error)) return false;
  if (!write_file_replace(journal_path(folder), std::string())) {
    error = L"cannot empty " + journal_path(folder);
    return false;
  }
  return true;
}

}  // namespace lab
