// For test programs run with the lab overrides: a private lab per test, so that tests running
// side by side never share shares, mappings or journals.
//
//   corvlab::TempLab lab(corvlab::TempLab::default_description());
//   ... NetShareAdd(...) ...            // answered by the lab in lab.folder()
//   auto calls = lab.journal(L"NetShareAdd");
//
// The lab folder is named by CORV_LAB_DIR for this process and the processes it starts; the
// destructor undoes the lab's drive mappings, restores the variable and removes the folder.
#pragma once
#include <windows.h>
#include <winnetwk.h>

#include <cwchar>
#include <string>
#include <vector>

namespace corvlab {

struct JournalEntry {
  DWORD pid = 0;
  std::wstring function, args;
  DWORD status = 0;
};

class TempLab {
public:
  explicit TempLab(const std::wstring& description) {
    static LONG counter = 0;
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    folder_ = std::wstring(temp) + L"corvlab-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
              std::to_wstring(GetTickCount()) + L"-" + std::to_wstring(InterlockedIncrement(&counter));
    CreateDirectoryW(folder_.c_str(), nullptr);
    write_utf16(folder_ + L"\\network.ini", description);
    wchar_t old[MAX_PATH];
    DWORD n = GetEnvironmentVariableW(L"CORV_LAB_DIR", old, MAX_PATH);
    had_old_ = n > 0 && n < MAX_PATH;
    if (had_old_) old_ = old;
    SetEnvironmentVariableW(L"CORV_LAB_DIR", folder_.c_str());
  }

  ~TempLab() {
    for (const auto& letter : connected_letters()) WNetCancelConnection2W(letter.c_str(), 0, TRUE);
    SetEnvironmentVariableW(L"CORV_LAB_DIR", had_old_ ? old_.c_str() : nullptr);
    remove_tree(folder_);
  }

  TempLab(const TempLab&) = delete;
  TempLab& operator=(const TempLab&) = delete;

  const std::wstring& folder() const { return folder_; }
  // Replaces the description (fault switches, latency); the shares and mappings stay.
  void describe(const std::wstring& description) const { write_utf16(folder_ + L"\\network.ini", description); }

  // The description the demo uses (staged beside the test programs).
  static std::wstring default_description() { return read_text(program_folder() + L"networks\\default.ini"); }

  // `servers` servers SRV001... over two domains, drives C to F each labelled with their server and
  // letter, all reachable, every call to a server taking `latency_ms` (the shape of
  // scripts/lab-generate's networks without their faults).
  static std::wstring generated(int servers, int latency_ms) {
    std::wstring north, south, body;
    for (int k = 1; k <= servers; ++k) {
      wchar_t name[16];
      swprintf(name, 16, L"SRV%03d", k);
      std::wstring& domain = k % 2 ? north : south;
      domain += (domain.empty() ? L"" : L",") + std::wstring(name);
      body += L"[server " + std::wstring(name) + L"]\r\ndrives=C,D,E,F\r\n";
      for (const wchar_t* d : {L"C", L"D", L"E", L"F"}) {
        wchar_t serial[16];
        swprintf(serial, 16, L"%04X-%04X", k, d[0]);
        body += L"[drive " + std::wstring(name) + L" " + d + L"]\r\nlabel=" + name + d + L"\r\nserial=" + serial +
                L"\r\n";
      }
    }
    return L"[network]\r\ndomains=NORTH,SOUTH\r\nworkstation_domain=NORTH\r\n[domain NORTH]\r\nservers=" + north +
           L"\r\n[domain SOUTH]\r\nservers=" + south + L"\r\n" + body + L"[faults]\r\nlatency_ms=" +
           std::to_wstring(latency_ms) + L"\r\n";
  }

  // Every journal line, or those of one function.
  std::vector<JournalEntry> journal(const std::wstring& function = L"") const {
    std::vector<JournalEntry> out;
    std::wstring text = read_text(folder_ + L"\\journal.log");
    size_t pos = 0;
    while (pos < text.size()) {
      size_t end = text.find(L'\n', pos);
      if (end == std::wstring::npos) end = text.size();
      std::wstring line = text.substr(pos, end - pos);
      pos = end + 1;
      if (!line.empty() && line.back() == L'\r') line.pop_back();
      std::vector<std::wstring> f;
      for (size_t s = 0;;) {
        size_t tab = line.find(L'\t', s);
        f.push_back(line.substr(s, tab == std::wstring::npos ? std::wstring::npos : tab - s));
        if (tab == std::wstring::npos) break;
        s = tab + 1;
      }
      if (f.size() != 5) continue;
      JournalEntry e{static_cast<DWORD>(wcstoul(f[1].c_str(), nullptr, 10)), f[2], f[3],
                     static_cast<DWORD>(wcstoul(f[4].c_str(), nullptr, 10))};
      if (function.empty() || e.function == function) out.push_back(e);
    }
    return out;
  }

  // A value of the state, read with the profile functions as any tool may: "share SERVER NAME"
  // from the server's file under shares (names of letters and digits), the rest from state.ini.
  std::wstring state(const std::wstring& section, const std::wstring& key) const {
    std::wstring file = folder_ + L"\\state.ini";
    if (section.compare(0, 6, L"share ") == 0) {
      std::wstring server = section.substr(6, section.find(L' ', 6) - 6);
      CharUpperBuffW(&server[0], static_cast<DWORD>(server.size()));
      file = folder_ + L"\\shares\\" + server + L".ini";
    }
    wchar_t buf[4096];
    DWORD n = GetPrivateProfileStringW(section.c_str(), key.c_str(), L"\x01", buf, 4096, file.c_str());
    std::wstring v(buf, n);
    return v == L"\x01" ? L"(missing)" : v;
  }

  // The connections the user's profile remembers, as "G:=\\\\FS01\\PUBLIC", in letter order: what a
  // run would leave to be restored at the next logon.
  std::vector<std::wstring> remembered() const {
    std::vector<std::wstring> out;
    wchar_t buf[8192];
    // Until a call changes it, the profile is the one the description gives.
    std::wstring file = folder_ + L"\\profile.ini";
    bool kept = GetFileAttributesW(file.c_str()) != INVALID_FILE_ATTRIBUTES;
    DWORD n = GetPrivateProfileSectionW(kept ? L"remembered" : L"profile", buf, 8192,
                                        kept ? file.c_str() : (folder_ + L"\\network.ini").c_str());
    for (const wchar_t* p = buf; p < buf + n && *p; p += wcslen(p) + 1) out.push_back(p);
    return out;
  }

  static std::wstring program_folder() {
    wchar_t buf[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, buf, MAX_PATH);
    std::wstring s(buf, n);
    return s.substr(0, s.find_last_of(L"\\/") + 1);
  }

  // Removes a folder and everything in it.
  static void remove_tree(const std::wstring& dir) {
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((dir + L"\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
      do {
        std::wstring name = fd.cFileName;
        if (name == L"." || name == L"..") continue;
        std::wstring path = dir + L"\\" + name;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) remove_tree(path);
        else DeleteFileW(path.c_str());
      } while (FindNextFileW(h, &fd));
      FindClose(h);
    }
    RemoveDirectoryW(dir.c_str());
  }

  // A file's bytes as they are; empty when it cannot be read.
  static std::string read_bytes(const std::wstring& path) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return {};
    std::string bytes;
    char buf[65536];
    DWORD got = 0;
    while (ReadFile(h, buf, sizeof buf, &got, nullptr) && got) bytes.append(buf, got);
    CloseHandle(h);
    return bytes;
  }

  static std::wstring read_text(const std::wstring& path) {
    std::string bytes = read_bytes(path);
    if (bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE')
      return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data() + 2), (bytes.size() - 2) / 2);
    int n = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    if (n) MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), &out[0], n);
    return out;
  }

private:
  static void write_utf16(const std::wstring& path, const std::wstring& text) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return;
    DWORD w = 0;
    WriteFile(h, "\xFF\xFE", 2, &w, nullptr);
    WriteFile(h, text.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)), &w, nullptr);
    CloseHandle(h);
  }

  std::vector<std::wstring> connected_letters() const {
    std::vector<std::wstring> out;
    wchar_t names[8192];
    for (const wchar_t* file : {L"\\connections.ini", L"\\state.ini"}) {
      DWORD n = GetPrivateProfileSectionNamesW(names, 8192, (folder_ + file).c_str());
      for (const wchar_t* p = names; p < names + n && *p; p += wcslen(p) + 1)
        if (wcsncmp(p, L"connection ", 11) == 0) out.push_back(p + 11);
    }
    return out;
  }

  std::wstring folder_, old_;
  bool had_old_ = false;
};

}  // namespace corvlab
