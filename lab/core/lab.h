// The simulated Windows network behind the lab's netapi32.dll, mpr.dll and netui2.dll and
// labctl.exe: its description (an INI file read with the profile functions), its state
// (shares, drive mappings, the last account-picker request) and its journal, kept in one lab
// folder and shared by every process that uses the lab. Test and demo equipment only.
#pragma once
#include <windows.h>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace lab {

// ---- text ----
std::wstring widen(const std::string& utf8);
std::string narrow(const std::wstring& text);        // UTF-8
std::wstring from_acp(const char* text);              // null stays empty
std::string to_acp(const std::wstring& text);
bool iequals(const std::wstring& a, const std::wstring& b);
std::wstring upper(std::wstring s);
std::wstring trim(const std::wstring& s);
std::vector<std::wstring> split_list(const std::wstring& s, wchar_t sep = L',');
std::wstring to_hex(const std::vector<uint8_t>& bytes);
uint32_t text_hash(const std::wstring& s, uint32_t seed = 2166136261u);  // FNV-1a over the characters
bool from_hex(const std::wstring& text, std::vector<uint8_t>& bytes);
std::wstring escape_value(const std::wstring& v);    // keeps a value on one INI line
std::wstring unescape_value(const std::wstring& v);
// The texts of a hostile server in a description: "%XX" is the character with that code (00 to
// FF), "%uXXXX" any UTF-16 unit; everything else stands for itself.
std::wstring decode_hostile(const std::wstring& v);
std::wstring strip_server(const wchar_t* name);       // "\\FS01" -> "FS01"; null -> ""
std::wstring quoted(const wchar_t* s);                // journal form: "text" or null

// ---- files ----
bool read_text_file(const std::wstring& path, std::wstring& text);   // UTF-16 BOM, UTF-8 BOM or ANSI
bool write_file_replace(const std::wstring& path, const std::string& bytes);
bool write_utf16_file(const std::wstring& path, const std::wstring& text);  // BOM, atomic replace
bool file_exists(const std::wstring& path);
void delete_files(const std::wstring& folder, const std::wstring& pattern);  // "*.ini" in the folder
std::wstring module_folder(HMODULE module);  // without trailing backslash

// ---- locks between the processes of this Wine session ----
// A named mutex, opened once per process and kept open (the lab's locks are taken per call).
HANDLE session_mutex(const std::wstring& name);
// Waits for it (20 s at most); an owner that died while holding it leaves it to the next waiter.
bool take_mutex(HANDLE mutex);

// ---- INI documents (the state file) ----
struct IniSection {
  std::wstring name;
  std::vector<std::pair<std::wstring, std::wstring>> keys;  // values unescaped
  const std::wstring* find(const std::wstring& key) const;
  std::wstring get(const std::wstring& key, const std::wstring& def = L"") const;
  void set(const std::wstring& key, const std::wstring& value);
};
struct IniDoc {
  std::vector<IniSection> sections;
  static IniDoc parse(const std::wstring& text);
  std::wstring text() const;
  IniSection* find(const std::wstring& name);
  const IniSection* find(const std::wstring& name) const;
  IniSection& section(const std::wstring& name);  // found or appended
  void remove(const std::wstring& name);
};

// ---- security descriptors ----
const wchar_t* const kDefaultShareSddl = L"D:(A;;0x1200a9;;;WD)";  // Everyone, read
bool sd_from_sddl(const std::wstring& sddl, std::vector<uint8_t>& sd);
std::wstring sd_to_sddl(const std::vector<uint8_t>& sd);
// Copies a caller's descriptor (self-relative or absolute) as a self-relative block.
bool sd_capture(PSECURITY_DESCRIPTOR in, std::vector<uint8_t>& sd);

// ---- the network description ----
struct Drive {
  wchar_t letter = L'C';
  std::wstring label, filesystem = L"NTFS";
  DWORD serial = 0;
  uint64_t size_mb = 0, free_mb = 0;
  bool admin_share = true;
  DWORD connect = 0;  // status a connection to a share on this drive answers
};
struct Server {
  std::wstring name, domain, comment, account_domain, sid;
  DWORD type = 0x9003;  // workstation, server, NT, server NT
  DWORD version_major = 6, version_minor = 1;
  bool reachable = true;
  DWORD share_status = 0;  // non-zero: share changes on this server answer it
  DWORD disk_status = 0;   // non-zero: NetServerDiskEnum on this server answers it (5: not an administrator)
  std::vector<Drive> drives;
  const Drive* drive(wchar_t letter) const;
};
struct Domain {
  std::wstring name, comment;
  std::vector<std::wstring> servers;
};
struct Pick {
  std::wstring domain, account, description;
};
struct ShareSeed {
  std::wstring server, name, path, remark, sddl;
  std::wstring sd_fault;  // hostile servers: how the descriptor is spoilt in answers (see netapi32)
  DWORD max_uses = 0xFFFFFFFF, type = 0;
};
struct Faults {
  std::vector<std::wstring> more_data;  // domains ("*": the domain list) answering 234
  std::vector<std::wstring> slow;       // servers that answer after slow_ms
  DWORD slow_ms = 1500;
  DWORD latency_ms = 0;                 // round trip of every call to another computer
  std::vector<std::wstring> refuse_1501;  // servers ("*": all) refusing level 1501
  // Hostile servers: their labels, share names, paths and remarks take "%" escapes
  // (decode_hostile) and their shares' descriptors may be spoilt (sd_fault).
  std::vector<std::wstring> hostile;
  // Servers whose NetShareEnum answers "more data" for ever, always with the same resume handle.
  std::vector<std::wstring> repeat_resume;
  // The calling process ends at the Nth call of a function (counted per process): before the
  // call changes anything (die_at) or right after its change is stored (die_after).
  struct Death {
    std::wstring function;
    unsigned long call = 0;
  };
  std::vector<Death> die_at, die_after;
  // A server that answers one function with a status while it answers the others: reachable
  // for some calls and not for others.
  struct Refusal {
    std::wstring function, server;
    DWORD status = 0;
  };
  std::vector<Refusal> refuse;
  // What a call to a switched-off server costs before it fails (0: the round trip alone).
  DWORD timeout_ms = 0;
  // Servers ("*": all) whose connections refuse a cancel that is not forced (2401, files open).
  std::vector<std::wstring> open_files;
};
// Exit status of a process ended by a die_at or die_after fault.
constexpr UINT kFaultExitCode = 0xDEAD;
struct Network {
  std::vector<Domain> domains;
  std::wstring workstation, workstation_domain, workstation_sid;
  std::vector<Server> servers;
  std::vector<ShareSeed> shares;
  std::vector<Pick> picks;
  Faults faults;
  bool browser_off = false;  // [network] browser=off: no browse list, NetServerEnum answers 6118
  // [profile]: the letters the user's profile remembers ("G:" -> "\\FS01\PUBLIC") when the lab starts.
  std::vector<std::pair<std::wstring, std::wstring>> remembered;
  std::vector<std::wstring> warnings;  // problems found while reading

  // Reads the description with GetPrivateProfile*W; false when the file is missing.
  bool load(const std::wstring& path);
  // The same, read once per process for as long as the file's time and size stay the same, and
  // shared by every call (not copied): null when the file is missing.
  static std::shared_ptr<const Network> cached(const std::wstring& path);
  const Server* server(const std::wstring& name) const;
  const Domain* domain(const std::wstring& name) const;
  bool is_slow(const std::wstring& server) const;
  bool refuses_1501(const std::wstring& server) const;
  bool more_data(const std::wstring& domain) const;
  bool is_hostile(const std::wstring& server) const;
  bool repeats_resume(const std::wstring& server) const;
};

// How a server name given to an API resolves.
struct Target {
  DWORD status = 0;              // 0 or ERROR_BAD_NETPATH (53)
  std::wstring name;             // canonical name
  const Server* server = nullptr;  // null for a local computer that the description does not detail
  bool local = false;
};
Target resolve(const Network& net, const wchar_t* server_name);

// ---- the state ----
struct Share {
  std::wstring server, name, path, remark, passwd;
  DWORD type = 0, permissions = 0, max_uses = 0xFFFFFFFF;
  bool has_sd = false;
  std::vector<uint8_t> sd;
  std::wstring sd_fault;  // "offset_past_end", "length_lies", "outside": how answers spoil the descriptor
};
struct Connection {
  std::wstring local, remote, volume;  // "F:", "\\FS01\C$", the folder behind it
};
struct State {
  std::vector<Share> shares;
  std::vector<Connection> connections;
  IniDoc other;  // sections this model does not own (the last picker request)

  static State initial(const Network& net);
  static State from_ini(const IniDoc& doc);
  IniDoc to_ini() const;
  Share* share(const std::wstring& server, const std::wstring& name);
  std::vector<Share*> shares_of(const std::wstring& server);
  Connection* connection(const std::wstring& local);
};

// ---- the lab folder ----
// The folder comes from CORV_LAB_DIR, or else is "lab" beside the module that holds this code.
std::wstring lab_folder();
std::wstring description_path(const std::wstring& folder);
std::wstring state_path(const std::wstring& folder);
std::wstring connections_path(const std::wstring& folder);  // the drive mappings, kept apart

// The state of a lab folder: the shares, one file per server (shares\SERVER.ini), the drive
// mappings (connections.ini) and the other sections (state.ini, written last: a lab whose
// state.ini exists is complete). Each file is read again only when another process has changed
// it, and a change rewrites only the files it touches, so a call's cost does not grow with the
// network. The caller holds the folder lock.
std::wstring shares_folder(const std::wstring& folder);
std::wstring share_file(const std::wstring& folder, const std::wstring& server);
struct StateFiles {
  std::wstring main_text, connections_text;            // as read or last written
  std::map<std::wstring, std::wstring> share_texts;   // upper-case server -> its file's text
};
// With `server`, the shares of that server alone (the other servers' are neither read nor written
// back); without, every server's.
bool load_state(const std::wstring& folder, State& state, StateFiles* files = nullptr,
                const std::wstring* server = nullptr);
// Writes the parts that differ from `files` (all of them without it) and updates `files`.
bool save_state(const std::wstring& folder, const State& state, StateFiles* files = nullptr);
// Writes the drive mappings alone.
bool save_connections(const std::wstring& folder, const State& state, StateFiles& files);
std::wstring journal_path(const std::wstring& folder);

// Exclusive lock on the lab folder (a named mutex of this Wine session, named after the folder),
// bounded wait.
class FolderLock {
public:
  explicit FolderLock(const std::wstring& folder);
  ~FolderLock();
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;
  bool held() const { return mutex_ != nullptr; }
private:
  HANDLE mutex_ = nullptr;
};

// One API call against the lab: the folder locked, the description and the state loaded; the
// state is written back on destruction when changed.
class Session {
public:
  explicit Session(const wchar_t* function);
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;
  // Locks and loads; a call that targets a slow server waits (unlocked) first.
  bool open(const wchar_t* target_server = nullptr);
  // For a domain's browse list: the round trip to the domain's browser (latency_ms) is waited
  // first, unlocked, as a call to another computer is.
  bool open_browse();
  // Writes the state back now if it changed; false when it could not be written.
  bool commit();
  // Commits and unlocks, for work that needs no lock (mapping a letter); relock() takes the
  // lock again and reloads the state.
  bool release();
  bool relock();
  // The status a `refuse` fault gives this call to the server it is about; 0 for none.
  DWORD refusal() const;
  // Appends the call's journal line; needs a successful open(), not the lock.
  void journal(const std::wstring& args, DWORD status);
  // The description, valid from a successful open() to the end of the session.
  const Network& net() const { return *net_; }
  State state;
  bool dirty = false;           // shares or other sections changed
  bool mappings_dirty = false;  // only the drive mappings changed
  std::wstring folder;
private:
  bool lock_and_load();
  void count_call();
  std::shared_ptr<const Network> net_;
  bool die_after_ = false;
  std::wstring function_, server_;
  StateFiles files_;
  FolderLock* lock_ = nullptr;
  bool opened_ = false;
};

// Creates or resets a lab: description copied in (unless null), state rebuilt from it, journal
// emptied. Lab drive mappings recorded in the old state are removed first.
bool create_lab(const std::wstring& folder, const std::wstring* description_source, std::wstring& error);
void append_journal(const std::wstring& folder, const std::wstring& function, const std::wstring& args, DWORD status);

// ---- drive mappings (mpr) ----
// Maps a local letter to a folder; under Wine through the mount manager, so that the volume
// functions answer from the folder; elsewhere with DefineDosDevice.
DWORD map_letter(wchar_t letter, const std::wstring& folder);
// Without `verify`, the caller knows the letter is this folder's (its record says so and it holds
// the letter's lock) and the mount manager is not asked first.
DWORD unmap_letter(wchar_t letter, const std::wstring& folder, bool verify = true);
// Prepares the folder that stands for a drive of a server (label and serial files).
std::wstring prepare_volume(const std::wstring& lab, const std::wstring& server, const Drive& d);
// Serialises the changes to one drive letter across all labs of this Wine session. Taken before
// the folder lock, never while holding it.
class LetterMutex {
public:
  explicit LetterMutex(wchar_t letter);
  ~LetterMutex();
private:
  HANDLE mutex_ = nullptr;
};

// ---- the user's profile: connections remembered for the next logon ----
// Kept in profile.ini of the lab folder (section [remembered], "G:=\\FS01\PUBLIC"); a lab without
// that file starts from the description's [profile] section. The caller holds the folder lock.
using RememberedConnections = std::map<std::wstring, std::wstring>;  // upper-case "G:" -> remote
std::wstring profile_path(const std::wstring& folder);
RememberedConnections load_profile(const std::wstring& folder, const Network& net);
bool save_profile(const std::wstring& folder, const RememberedConnections& remembered);

}  // namespace lab
