// The lab folder: where it is, its lock, its state file and its journal.
#include "lab.h"

#include <lm.h>

#include <map>
#include <mutex>

namespace lab {
namespace {

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
  DeleteFileW(state_path(folder).c_str());
  DeleteFileW(profile_path(folder).c_str());  // the profile starts from the description again
  delete_files(shares_folder(folder), L"*.ini");  // an earlier state's servers
  CreateDirectoryW(shares_folder(folder).c_str(), nullptr);
  if (!save_state(folder, State::initial(net))) {
    error = L"cannot write " + state_path(folder);
    return false;
  }
  return true;
}

bool folder_exists(const std::wstring& path) {
  DWORD a = GetFileAttributesW(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

// Copies the default description (shipped beside the lab modules) into a lab folder that has none;
// builds the state when there is none, and moves the shares of a lab written before they were
// kept per server out of its state.ini.
bool ensure_created(const std::wstring& folder) {
  if (!file_exists(description_path(folder))) {
    std::wstring source = module_folder(this_module()) + L"\\networks\\default.ini";
    if (!CopyFileW(source.c_str(), description_path(folder).c_str(), FALSE)) return false;
  }
  std::wstring error;
  if (!file_exists(state_path(folder))) return build_state(folder, error);
  if (folder_exists(shares_folder(folder))) return true;
  State old;
  if (!load_state(folder, old)) return false;
  CreateDirectoryW(shares_folder(folder).c_str(), nullptr);
  return save_state(folder, old);
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
    sh.sd_fault = seed.sd_fault;
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
      sh.name = unescape_value(rest.substr(space + 1));  // a hostile name may hold line ends
      sh.path = sec.get(L"path");
      sh.remark = sec.get(L"remark");
      sh.passwd = sec.get(L"passwd");
      sh.type = parse(sec.get(L"type"), 0);
      sh.permissions = parse(sec.get(L"permissions"), 0);
      sh.max_uses = parse(sec.get(L"max_uses"), 0xFFFFFFFF);
      if (const std::wstring* sd = sec.find(L"sd")) sh.has_sd = from_hex(*sd, sh.sd) && !sh.sd.empty();
      sh.sd_fault = sec.get(L"sd_fault");
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
    IniSection sec{L"share " + sh.server + L" " + escape_value(sh.name), {}};
    sec.set(L"path", sh.path);
    sec.set(L"remark", sh.remark);
    sec.set(L"type", hex_num(sh.type));
    sec.set(L"permissions", num(sh.permissions));
    sec.set(L"max_uses", signed_num(sh.max_uses));
    if (!sh.passwd.empty()) sec.set(L"passwd", sh.passwd);
    if (!sh.sd_fault.empty()) sec.set(L"sd_fault", sh.sd_fault);
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

std::wstring shares_folder(const std::wstring& folder) { return folder + L"\\shares"; }

std::wstring share_file(const std::wstring& folder, const std::wstring& server) {
  // Upper case, and anything a file name could not hold as %XXXX.
  std::wstring name;
  for (wchar_t c : upper(server)) {
    if ((c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') || c == L'-' || c == L'_') {
      name += c;
    } else {
      wchar_t buf[8];
      swprintf(buf, 8, L"%%%04X", static_cast<unsigned>(c));
      name += buf;
    }
  }
  return shares_folder(folder) + L"\\" + name + L".ini";
}

namespace {
bool is_share(const IniSection& sec) { return sec.name.compare(0, 6, L"share ") == 0; }
bool is_connection(const IniSection& sec) { return sec.name.compare(0, 11, L"connection ") == 0; }

bool file_stamp(const std::wstring& path, FILETIME& written, ULONGLONG& size) {
  WIN32_FILE_ATTRIBUTE_DATA a;
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &a)) return false;
  written = a.ftLastWriteTime;
  size = (static_cast<ULONGLONG>(a.nFileSizeHigh) << 32) | a.nFileSizeLow;
  return true;
}

// The state files this process read or wrote last, parsed, with each file's time and size: a
// call looks at the time and size (no read) and reads the file again only when another process
// has changed it.
struct FileCache {
  struct Entry {
    FILETIME written = {};
    ULONGLONG size = 0;
    std::wstring text;
    State state;
  };
  CRITICAL_SECTION lock;
  std::map<std::wstring, Entry> files;  // by upper-case path
  FileCache() { InitializeCriticalSection(&lock); }
};
FileCache& file_cache() {
  static FileCache* cache = new FileCache();  // kept to the process's end: no destructor at exit
  return *cache;
}

void remember(const std::wstring& path, const std::wstring& text, const State& parsed) {
  FileCache& c = file_cache();
  FileCache::Entry e;
  if (!file_stamp(path, e.written, e.size)) return;
  e.text = text;
  e.state = parsed;
  EnterCriticalSection(&c.lock);
  c.files[upper(path)] = std::move(e);
  LeaveCriticalSection(&c.lock);
}

// Reads one state file through the cache; false when it does not exist or cannot be read.
bool read_state_file(const std::wstring& path, std::wstring& text, State& parsed) {
  FILETIME written;
  ULONGLONG size = 0;
  if (!file_stamp(path, written, size)) return false;
  FileCache& c = file_cache();
  const std::wstring key = upper(path);
  EnterCriticalSection(&c.lock);
  auto it = c.files.find(key);
  bool hit = it != c.files.end() && it->second.size == size && CompareFileTime(&it->second.written, &written) == 0;
  if (hit) {
    text = it->second.text;
    parsed = it->second.state;
  }
  LeaveCriticalSection(&c.lock);
  if (hit) return true;
  if (!read_text_file(path, text)) return false;
  parsed = State::from_ini(IniDoc::parse(text));
  remember(path, text, parsed);
  return true;
}

bool write_state_file(const std::wstring& path, const std::wstring& text) {
  if (!write_utf16_file(path, text)) return false;
  remember(path, text, State::from_ini(IniDoc::parse(text)));
  return true;
}

std::wstring sections_text(const IniDoc& all, bool (*keep)(const IniSection&)) {
  IniDoc part;
  for (const IniSection& sec : all.sections)
    if (keep(sec)) part.sections.push_back(sec);
  return part.text();
}

// The shares of one server as its file holds them.
std::wstring server_text(const State& state, const std::wstring& server) {
  State one;
  for (const Share& sh : state.shares)
    if (iequals(sh.server, server)) one.shares.push_back(sh);
  return one.to_ini().text();
}

bool load_shares(const std::wstring& folder, const std::wstring& server, State& state, StateFiles* files) {
  std::wstring text;
  State parsed;
  if (read_state_file(share_file(folder, server), text, parsed))
    state.shares.insert(state.shares.end(), parsed.shares.begin(), parsed.shares.end());
  else text.clear();
  if (files) files->share_texts[upper(server)] = text;
  return true;
}

}  // namespace

bool load_state(const std::wstring& folder, State& state, StateFiles* files, const std::wstring* server) {
  std::wstring main_text;
  if (!read_state_file(state_path(folder), main_text, state)) return false;
  if (files) *files = StateFiles{main_text, L"", {}};
  if (server) {
    load_shares(folder, *server, state, files);
  } else {
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((shares_folder(folder) + L"\\*.ini").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
      do {
        std::wstring text;
        State parsed;
        if (!read_state_file(shares_folder(folder) + L"\\" + fd.cFileName, text, parsed) || parsed.shares.empty())
          continue;
        state.shares.insert(state.shares.end(), parsed.shares.begin(), parsed.shares.end());
        if (files) files->share_texts[upper(parsed.shares.front().server)] = text;
      } while (FindNextFileW(h, &fd));
      FindClose(h);
    }
  }
  // Mappings found in state.ini (a lab written before they were kept apart) count too; the next
  // save moves them.
  std::wstring conn_text;
  State conns;
  if (read_state_file(connections_path(folder), conn_text, conns))
    state.connections.insert(state.connections.end(), conns.connections.begin(), conns.connections.end());
  if (files) files->connections_text = conn_text;
  return true;
}

bool save_connections(const std::wstring& folder, const State& state, StateFiles& files) {
  State only;
  only.connections = state.connections;
  const std::wstring text = only.to_ini().text();
  if (text == files.connections_text) return true;
  if (!write_state_file(connections_path(folder), text)) return false;
  files.connections_text = text;
  return true;
}

bool save_state(const std::wstring& folder, const State& state, StateFiles* files) {
  // Shares go to one file per server, and only the files of servers whose shares changed are
  // written: a call's cost does not grow with the shares of the whole network.
  std::map<std::wstring, std::wstring> servers;  // upper-case name -> a spelling
  if (files)
    for (const auto& kv : files->share_texts) servers.emplace(kv.first, kv.first);
  for (const Share& sh : state.shares) servers.emplace(upper(sh.server), sh.server);
  if (!servers.empty()) CreateDirectoryW(shares_folder(folder).c_str(), nullptr);
  for (const auto& kv : servers) {
    const std::wstring text = server_text(state, kv.second);
    if (files) {
      auto known = files->share_texts.find(kv.first);
      if (known != files->share_texts.end() && known->second == text) continue;
    }
    if (!write_state_file(share_file(folder, kv.second), text)) return false;
    if (files) files->share_texts[kv.first] = text;
  }
  const IniDoc all = state.to_ini();
  const std::wstring conn_text = sections_text(all, is_connection);
  if (!files || files->connections_text != conn_text) {
    if (!write_state_file(connections_path(folder), conn_text)) return false;
    if (files) files->connections_text = conn_text;
  }
  // state.ini last: a lab whose state.ini exists is complete.
  const std::wstring main_text = sections_text(all, [](const IniSection& sec) {
    return !is_share(sec) && !is_connection(sec);
  });
  if (!files || files->main_text != main_text) {
    if (!write_state_file(state_path(folder), main_text)) return false;
    if (files) files->main_text = main_text;
  }
  return true;
}
std::wstring journal_path(const std::wstring& folder) { return folder + L"\\journal.log"; }

namespace {

// A named mutex per lab folder and purpose, opened once per process. Waiting on it costs nothing
// while another caller works; polling a byte-range lock kept every waiter busy and left the lock
// idle between polls, which is what made parallel callers slow.
HANDLE folder_mutex(const std::wstring& folder, const wchar_t* purpose) {
  std::wstring key = std::wstring(purpose) + L"|" + upper(folder);
  wchar_t name[64];
  swprintf(name, 64, L"Local\\CorvLab-%08x-%u", text_hash(key), static_cast<unsigned>(key.size()));
  return session_mutex(name);
}

}  // namespace

FolderLock::FolderLock(const std::wstring& folder) {
  HANDLE mutex = folder_mutex(folder, L"state");
  if (take_mutex(mutex)) mutex_ = mutex;
}

FolderLock::~FolderLock() {
  if (mutex_) ReleaseMutex(mutex_);
}

Session::Session(const wchar_t* function) : function_(function) {}

Session::~Session() {
  release();
  if (die_after_) {
    append_journal(folder, function_, L"die_after", kFaultExitCode);
    TerminateProcess(GetCurrentProcess(), kFaultExitCode);
  }
}

// The die_at and die_after faults: this process's calls of each function are counted.
void Session::count_call() {
  static std::mutex lock;
  static std::map<std::wstring, unsigned long> calls;
  unsigned long n;
  {
    std::lock_guard<std::mutex> hold(lock);
    n = ++calls[function_];
  }
  for (const Faults::Death& d : net_->faults.die_at)
    if (d.call == n && iequals(d.function, function_)) {
      append_journal(folder, function_, L"die_at", kFaultExitCode);
      TerminateProcess(GetCurrentProcess(), kFaultExitCode);
    }
  for (const Faults::Death& d : net_->faults.die_after)
    if (d.call == n && iequals(d.function, function_)) die_after_ = true;
}

bool Session::commit() {
  if (!dirty && !mappings_dirty) return true;
  if (!lock_ || !lock_->held()) return false;
  if (dirty ? !save_state(folder, state, &files_) : !save_connections(folder, state, files_)) return false;
  dirty = mappings_dirty = false;
  return true;
}

bool Session::release() {
  bool ok = commit();
  delete lock_;
  lock_ = nullptr;
  return ok;
}

bool Session::relock() {
  release();
  return lock_and_load() && load_state(folder, state, &files_, &server_);
}

bool Session::lock_and_load() {
  delete lock_;
  lock_ = new FolderLock(folder);
  if (!lock_->held() || !ensure_created(folder)) return false;
  net_ = Network::cached(description_path(folder));
  return net_ != nullptr;
}

namespace {
// How long a call to the server waits for its answer: the round trip (answered or not), and a slow
// server's delay.
DWORD answer_wait(const Network& net, const wchar_t* target_server) {
  if (!target_server) return 0;
  Target t = resolve(net, target_server);
  // A switched-off server costs its timeout, when the description gives one, not a round trip.
  if (t.status && net.faults.timeout_ms) return net.faults.timeout_ms;
  return (t.local ? 0 : net.faults.latency_ms) + (!t.status && net.is_slow(t.name) ? net.faults.slow_ms : 0);
}
}  // namespace

bool Session::open_browse() {
  std::shared_ptr<const Network> net = Network::cached(description_path(lab_folder()));
  if (net && net->faults.latency_ms) Sleep(net->faults.latency_ms);
  return open();
}

bool Session::open(const wchar_t* target_server) {
  folder = lab_folder();
  CreateDirectoryW(folder.c_str(), nullptr);
  opened_ = false;
  // The wait comes before the lock is taken, so other callers go on meanwhile. The description is
  // only ever replaced whole, so reading it unlocked sees one version or the other.
  net_ = target_server ? Network::cached(description_path(folder)) : nullptr;
  const bool known = net_ != nullptr;
  if (DWORD wait = known ? answer_wait(*net_, target_server) : 0) Sleep(wait);
  if (!lock_and_load()) return false;
  if (!known) {
    // A lab made by this very call (no description before it) may still ask for a wait.
    if (DWORD late = answer_wait(*net_, target_server)) {
      release();
      Sleep(late);
      if (!lock_and_load()) return false;
    }
  }
  if (!net_->faults.die_at.empty() || !net_->faults.die_after.empty()) count_call();
  // Only the shares of the server the call is about are read.
  server_ = resolve(*net_, target_server).name;
  opened_ = load_state(folder, state, &files_, &server_);
  return opened_;
}

DWORD Session::refusal() const {
  if (!opened_) return 0;
  for (const Faults::Refusal& r : net_->faults.refuse)
    if (iequals(r.function, function_) && (r.server == L"*" || iequals(r.server, server_))) return r.status;
  return 0;
}

void Session::journal(const std::wstring& args, DWORD status) {
  if (opened_) append_journal(folder, function_, args, status);
}

void append_journal(const std::wstring& folder, const std::wstring& function, const std::wstring& args, DWORD status) {
  SYSTEMTIME t;
  GetLocalTime(&t);
  wchar_t head[64];
  swprintf(head, 64, L"%02u:%02u:%02u.%03u\t%lu\t", t.wHour, t.wMinute, t.wSecond, t.wMilliseconds,
           GetCurrentProcessId());
  std::string line = narrow(head + function + L"\t" + args + L"\t" + std::to_wstring(status)) + "\r\n";
  // Appending is a look at the size and a write there, so writers take turns; the journal has
  // its own lock, and a call need not hold the folder's to write its line.
  HANDLE mutex = folder_mutex(folder, L"journal");
  if (!take_mutex(mutex)) return;
  HANDLE h = CreateFileW(journal_path(folder).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h != INVALID_HANDLE_VALUE) {
    DWORD written = 0;
    WriteFile(h, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    CloseHandle(h);
  }
  ReleaseMutex(mutex);
}

bool create_lab(const std::wstring& folder, const std::wstring* description_source, std::wstring& error) {
  if (!CreateDirectoryW(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
    error = L"cannot create " + folder;
    return false;
  }
  // Drive mappings made by this lab are undone before its state is thrown away, each under its
  // letter's lock, taken (as by every call) before the folder's.
  State old;
  {
    FolderLock lock(folder);
    if (!lock.held()) {
      error = L"the lab is locked by another process";
      return false;
    }
    load_state(folder, old);
  }
  for (const auto& c : old.connections) {
    if (c.local.empty()) continue;
    LetterMutex letter(c.local[0]);
    unmap_letter(c.local[0], c.volume);
  }
  FolderLock lock(folder);
  if (!lock.held()) {
    error = L"the lab is locked by another process";
    return false;
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
