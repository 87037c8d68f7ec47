#include "app.h"

#include <windows.h>
#include <aclapi.h>
#include <lm.h>
#include <sddl.h>

#include "raii.h"

#include <vector>

namespace corvane {

namespace {
// The executable's full path, however long; empty when it cannot be read.
std::wstring exe_path() {
  std::vector<wchar_t> buf(MAX_PATH);
  for (;;) {
    DWORD n = GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
    if (n == 0) return {};
    if (n < buf.size()) return std::wstring(buf.data(), n);
    buf.resize(buf.size() * 2);  // long paths: the call cut the name
  }
}
}  // namespace

void restrict_dll_search() {
  // Looked up rather than imported: a system without it still starts the program.
  using SetFn = BOOL(WINAPI*)(DWORD);
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  auto set = kernel ? reinterpret_cast<SetFn>(reinterpret_cast<void (*)()>(GetProcAddress(kernel,
                                                                                          "SetDefaultDllDirectories")))
                    : nullptr;
  if (set) set(LOAD_LIBRARY_SEARCH_SYSTEM32);
  SetDllDirectoryW(L"");  // and never the current folder, where the search still has it
}

std::wstring system_file(const wchar_t* name) {
  wchar_t folder[MAX_PATH];
  UINT n = GetSystemDirectoryW(folder, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return {};
  return std::wstring(folder, n) + L"\\" + name;
}

std::wstring exe_folder() {
  std::wstring path = exe_path();
  if (path.empty()) return L".\\";
  return path.substr(0, path.find_last_of(L"\\/") + 1);
}

namespace {
// Whether a new file can be made in the folder: the only test that holds for every way of
// being refused (access lists, read-only media, virtualisation switched off).
bool can_create_files(const std::wstring& folder) {
  std::wstring probe = folder + L"cv-" + std::to_wstring(GetCurrentProcessId()) + L".tmp";
  corv::Handle probe_file(CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
  return probe_file.valid();
}

std::wstring user_folder() {
  wchar_t base[MAX_PATH];
  DWORD n = GetEnvironmentVariableW(L"LOCALAPPDATA", base, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) {
    n = GetEnvironmentVariableW(L"APPDATA", base, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return {};
  }
  std::wstring folder = std::wstring(base, n);
  for (const wchar_t* part : {L"\\Velmora", L"\\Corvane"}) {
    folder += part;
    CreateDirectoryW(folder.c_str(), nullptr);
  }
  return folder + L"\\";
}

// The identifier of the user the process runs as.
std::vector<BYTE> process_user() {
  corv::Handle token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.out())) return {};
  DWORD size = 0;
  GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
  std::vector<BYTE> buf(size);
  if (size == 0 || !GetTokenInformation(token.get(), TokenUser, buf.data(), size, &size)) return {};
  PSID sid = reinterpret_cast<TOKEN_USER*>(buf.data())->User.Sid;
  return std::vector<BYTE>(static_cast<BYTE*>(sid), static_cast<BYTE*>(sid) + GetLengthSid(sid));
}

bool is_well_known(PSID sid, WELL_KNOWN_SID_TYPE type) {
  BYTE known[SECURITY_MAX_SID_SIZE];
  DWORD size = sizeof known;
  return CreateWellKnownSid(type, nullptr, known, &size) && EqualSid(sid, known);
}

// "BUILTIN\Users" or the identifier's text.
std::wstring account_of(PSID sid) {
  wchar_t name[256], domain[256];
  DWORD n = 256, d = 256;
  SID_NAME_USE use;
  if (LookupAccountSidW(nullptr, sid, name, &n, domain, &d, &use))
    return *domain ? std::wstring(domain) + L"\\" + name : std::wstring(name);
  corv::LocalMem<wchar_t> text;
  if (ConvertSidToStringSidW(sid, text.out()) && text.get()) return text.get();
  return L"an unknown account";
}
}  // namespace

std::wstring folder_writable_by_others(const std::wstring& folder) {
  corv::LocalMem<void> sd;
  PSID owner = nullptr;
  PACL dacl = nullptr;
  if (GetNamedSecurityInfoW(folder.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                            &owner, nullptr, &dacl, nullptr, reinterpret_cast<PSECURITY_DESCRIPTOR*>(sd.out())) !=
          ERROR_SUCCESS ||
      !sd.get())
    return L"its permissions cannot be read";
  const std::vector<BYTE> user = process_user();
  auto trusted = [&](PSID sid) {
    return (!user.empty() && EqualSid(sid, const_cast<BYTE*>(user.data()))) ||
           is_well_known(sid, WinBuiltinAdministratorsSid) || is_well_known(sid, WinLocalSystemSid);
  };
  // The owner can always rewrite the list: it must be one of them.
  if (!owner || !IsValidSid(owner)) return L"its owner cannot be read";
  const bool owner_trusted = trusted(owner);
  if (!owner_trusted) return account_of(owner) + L" owns it";
  if (!dacl) return L"it has no access list (everyone may change it)";
  // Rights that let someone add, remove or replace a file in it, or take it over.
  const ACCESS_MASK writes = FILE_ADD_FILE | FILE_ADD_SUBDIRECTORY | FILE_DELETE_CHILD | DELETE | WRITE_DAC |
                             WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL | MAXIMUM_ALLOWED;
  for (DWORD k = 0; k < dacl->AceCount; ++k) {
    ACE_HEADER* ace = nullptr;
    if (!GetAce(dacl, k, reinterpret_cast<void**>(&ace)) || !ace) return L"its access list cannot be read";
    if (ace->AceFlags & INHERIT_ONLY_ACE) continue;  // for what is made in it later, not the folder
    if (ace->AceType == ACCESS_DENIED_ACE_TYPE || ace->AceType == ACCESS_DENIED_CALLBACK_ACE_TYPE) continue;
    if (ace->AceType != ACCESS_ALLOWED_ACE_TYPE && ace->AceType != ACCESS_ALLOWED_CALLBACK_ACE_TYPE)
      return L"its access list holds entries of a kind not judged here";
    auto* allowed = reinterpret_cast<ACCESS_ALLOWED_ACE*>(ace);
    if (!(allowed->Mask & writes)) continue;
    PSID sid = &allowed->SidStart;
    // The owner's own entries (OWNER RIGHTS, CREATOR OWNER) are as trusted as the owner.
    if (trusted(sid) ||
        ((is_well_known(sid, WinCreatorOwnerRightsSid) || is_well_known(sid, WinCreatorOwnerSid)) && owner_trusted))
      continue;
    return account_of(sid) + L" may change it";
  }
  return {};
}

namespace {
struct DataFolder {
  std::wstring path, note;
};

const DataFolder& data_folder_choice() {
  static const DataFolder folder = [] {
    std::wstring own = exe_folder();
    // Beside the program only where nobody else can plant a setting, a change-log line or a file.
    std::wstring others = folder_writable_by_others(own);
    if (others.empty() && can_create_files(own)) return DataFolder{own, {}};
    std::wstring user = user_folder();
    if (user.empty()) return DataFolder{own, L"no folder of the user's own was found"};
    std::wstring why = others.empty() ? L"files cannot be created beside the program"
                                      : L"the program's folder is not private (" + others +
                                            L"; a file placed there could change settings, the change log or the "
                                            L"libraries the program loads)";
    return DataFolder{user, why};
  }();
  return folder;
}
}  // namespace

std::wstring data_folder() { return data_folder_choice().path; }

std::wstring data_folder_note() { return data_folder_choice().note; }

namespace {
// version.dll is no KnownDLL: a static import would be looked for in the program's folder first,
// so it is loaded here from the system folder alone.
struct VersionApi {
  using SizeFn = DWORD(WINAPI*)(LPCWSTR, LPDWORD);
  using InfoFn = BOOL(WINAPI*)(LPCWSTR, DWORD, DWORD, LPVOID);
  using QueryFn = BOOL(WINAPI*)(LPCVOID, LPCWSTR, LPVOID*, PUINT);
  corv::Module module{LoadLibraryExW(L"version.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)};
  SizeFn size = entry<SizeFn>("GetFileVersionInfoSizeW");
  InfoFn info = entry<InfoFn>("GetFileVersionInfoW");
  QueryFn query = entry<QueryFn>("VerQueryValueW");
  template <class Fn>
  Fn entry(const char* name) const {
    return module.get() ? reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(module.get(), name)))
                        : nullptr;
  }
};
}  // namespace

Version program_version() {
  Version v;
  std::wstring path = exe_path();
  VersionApi api;
  if (path.empty() || !api.size || !api.info || !api.query) return v;
  DWORD ignored = 0;
  DWORD size = api.size(path.c_str(), &ignored);
  if (size == 0) return v;
  std::vector<BYTE> block(size);
  if (!api.info(path.c_str(), 0, size, block.data())) return v;
  VS_FIXEDFILEINFO* info = nullptr;
  UINT len = 0;
  if (!api.query(block.data(), L"\\", reinterpret_cast<void**>(&info), &len) || !info || len < sizeof(VS_FIXEDFILEINFO))
    return v;
  v.major = HIWORD(info->dwFileVersionMS);
  v.minor = LOWORD(info->dwFileVersionMS);
  v.revision = HIWORD(info->dwFileVersionLS);
  return v;
}

std::string to_acp(const std::wstring& text) {
  if (text.empty()) return {};
  int n = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n > 0 ? n : 0), '\0');
  if (n > 0) WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &out[0], n, nullptr, nullptr);
  return out;
}

bool fits_acp(const std::wstring& text) {
  if (text.empty()) return true;
  BOOL lossy = FALSE;
  int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), static_cast<int>(text.size()), nullptr, 0,
                              nullptr, &lossy);
  return n > 0 && !lossy;
}

std::wstring from_acp(const std::string& text) {
  if (text.empty()) return {};
  int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(n > 0 ? n : 0), L'\0');
  if (n > 0) MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &out[0], n);
  return out;
}

std::wstring trim_line_end(std::wstring s) {
  while (!s.empty() && (s.back() == L'\r' || s.back() == L'\n' || s.back() == L' ' || s.back() == L'.')) s.pop_back();
  return s;
}

std::wstring status_text(unsigned long status) {
  corv::LocalMem<wchar_t> text;
  DWORD flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS;
  DWORD n = FormatMessageW(flags | FORMAT_MESSAGE_FROM_SYSTEM, nullptr, status, 0, reinterpret_cast<LPWSTR>(text.out()),
                           0, nullptr);
  if (n == 0 && status >= NERR_BASE && status <= MAX_NERR) {
    // Network statuses have their texts in netmsg.dll, from the system folder only.
    corv::Module netmsg(LoadLibraryExW(L"netmsg.dll", nullptr,
                                       LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_SEARCH_SYSTEM32));
    if (netmsg.get())
      n = FormatMessageW(flags | FORMAT_MESSAGE_FROM_HMODULE, netmsg.get(), status, 0,
                         reinterpret_cast<LPWSTR>(text.out()), 0, nullptr);
  }
  if (n == 0 || !text.get()) return L"error " + std::to_wstring(status);
  return trim_line_end(text.get()) + L".";
}

std::wstring status_words(long status) {
  return L"status " + std::to_wstring(status) + L": " + status_text(static_cast<unsigned long>(status));
}

}  // namespace corvane
