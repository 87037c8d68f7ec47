// Text and file helpers of the lab.
#include "lab.h"

#include <cwctype>

namespace lab {

std::wstring widen(const std::string& s) {
  if (s.empty()) return {};
  int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), &out[0], n);
  return out;
}

std::string narrow(const std::wstring& s) {
  if (s.empty()) return {};
  int n = WideCharToMultiByte(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), &out[0], n, nullptr, nullptr);
  return out;
}

std::wstring from_acp(const char* s) {
  if (!s || !*s) return {};
  int n = MultiByteToWideChar(CP_ACP, 0, s, -1, nullptr, 0);
  std::wstring out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_ACP, 0, s, -1, &out[0], n);
  out.resize(static_cast<size_t>(n > 0 ? n - 1 : 0));
  return out;
}

std::string to_acp(const std::wstring& s) {
  if (s.empty()) return {};
  int n = WideCharToMultiByte(CP_ACP, 0, s.data(), static_cast<int>(s.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_ACP, 0, s.data(), static_cast<int>(s.size()), &out[0], n, nullptr, nullptr);
  return out;
}

bool iequals(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE) ==
         CSTR_EQUAL;
}

std::wstring upper(std::wstring s) {
  if (!s.empty()) CharUpperBuffW(&s[0], static_cast<DWORD>(s.size()));
  return s;
}

std::wstring trim(const std::wstring& s) {
  size_t b = 0, e = s.size();
  while (b < e && iswspace(s[b])) ++b;
  while (e > b && iswspace(s[e - 1])) --e;
  return s.substr(b, e - b);
}

std::vector<std::wstring> split_list(const std::wstring& s, wchar_t sep) {
  std::vector<std::wstring> out;
  size_t start = 0;
  while (start <= s.size()) {
    size_t end = s.find(sep, start);
    if (end == std::wstring::npos) end = s.size();
    std::wstring item = trim(s.substr(start, end - start));
    if (!item.empty()) out.push_back(item);
    start = end + 1;
  }
  return out;
}

std::wstring to_hex(const std::vector<uint8_t>& bytes) {
  static const wchar_t digits[] = L"0123456789abcdef";
  std::wstring out;
  out.reserve(bytes.size() * 2);
  for (uint8_t b : bytes) {
    out += digits[b >> 4];
    out += digits[b & 15];
  }
  return out;
}

static int hex_digit(wchar_t c) {
  if (c >= L'0' && c <= L'9') return c - L'0';
  if (c >= L'a' && c <= L'f') return c - L'a' + 10;
  if (c >= L'A' && c <= L'F') return c - L'A' + 10;
  return -1;
}

bool from_hex(const std::wstring& text, std::vector<uint8_t>& bytes) {
  bytes.clear();
  if (text.size() % 2) return false;
  for (size_t i = 0; i < text.size(); i += 2) {
    int hi = hex_digit(text[i]), lo = hex_digit(text[i + 1]);
    if (hi < 0 || lo < 0) return false;
    bytes.push_back(static_cast<uint8_t>(hi * 16 + lo));
  }
  return true;
}

// '%', control characters and blanks or quotes at either end would not survive an INI line.
std::wstring escape_value(const std::wstring& v) {
  std::wstring out;
  for (size_t i = 0; i < v.size(); ++i) {
    wchar_t c = v[i];
    bool edge = i == 0 || i + 1 == v.size();
    if (c == L'%' || c < 0x20 || (edge && (c == L' ' || c == L'"' || c == L'\''))) {
      wchar_t buf[4];
      swprintf(buf, 4, L"%02X", static_cast<unsigned>(c));
      out += L'%';
      out += buf;
    } else {
      out += c;
    }
  }
  return out;
}

std::wstring unescape_value(const std::wstring& v) {
  std::wstring out;
  for (size_t i = 0; i < v.size(); ++i) {
    if (v[i] == L'%' && i + 2 < v.size() && hex_digit(v[i + 1]) >= 0 && hex_digit(v[i + 2]) >= 0) {
      out += static_cast<wchar_t>(hex_digit(v[i + 1]) * 16 + hex_digit(v[i + 2]));
      i += 2;
    } else {
      out += v[i];
    }
  }
  return out;
}

std::wstring decode_hostile(const std::wstring& v) {
  std::wstring out;
  auto hex_run = [&](size_t at, size_t n, unsigned& value) {
    value = 0;
    if (at + n > v.size()) return false;
    for (size_t k = at; k < at + n; ++k) {
      int d = hex_digit(v[k]);
      if (d < 0) return false;
      value = value * 16 + static_cast<unsigned>(d);
    }
    return true;
  };
  for (size_t i = 0; i < v.size(); ++i) {
    unsigned value = 0;
    if (v[i] == L'%' && i + 1 < v.size() && v[i + 1] == L'u' && hex_run(i + 2, 4, value)) {
      out += static_cast<wchar_t>(value);
      i += 5;
    } else if (v[i] == L'%' && hex_run(i + 1, 2, value)) {
      out += static_cast<wchar_t>(value);
      i += 2;
    } else {
      out += v[i];
    }
  }
  return out;
}

std::wstring strip_server(const wchar_t* name) {
  if (!name) return {};
  while (*name == L'\\' || *name == L'/') ++name;
  return name;
}

std::wstring quoted(const wchar_t* s) {
  if (!s) return L"null";
  std::wstring out = L"\"";
  for (const wchar_t* p = s; *p; ++p) {
    if (*p == L'"') out += L"\\\"";
    else if (*p < 0x20) {
      wchar_t b[8];
      swprintf(b, 8, L"\\x%02X", static_cast<unsigned>(*p));
      out += b;
    } else out += *p;
  }
  return out + L"\"";
}

bool read_text_file(const std::wstring& path, std::wstring& text) {
  HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  std::string bytes;
  char buf[65536];
  DWORD got = 0;
  bool ok = true;
  while ((ok = ReadFile(h, buf, sizeof buf, &got, nullptr) != FALSE) && got) bytes.append(buf, got);
  CloseHandle(h);
  if (!ok) return false;
  if (bytes.size() >= 2 && static_cast<uint8_t>(bytes[0]) == 0xFF && static_cast<uint8_t>(bytes[1]) == 0xFE) {
    text.assign(reinterpret_cast<const wchar_t*>(bytes.data() + 2), (bytes.size() - 2) / 2);
  } else if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) {
    text = widen(bytes.substr(3));
  } else {
    text = from_acp(bytes.c_str());
  }
  return true;
}

// Written beside the target and moved over it, so a reader never sees half a file.
bool write_file_replace(const std::wstring& path, const std::string& bytes) {
  // The temporary name is the writer's own: two processes may write one file at once.
  std::wstring tmp = path + L"." + std::to_wstring(GetCurrentProcessId()) + L"-" +
                     std::to_wstring(GetCurrentThreadId()) + L".new";
  HANDLE h = CreateFileW(tmp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  bool ok = WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) && written == bytes.size();
  CloseHandle(h);
  if (ok) ok = MoveFileExW(tmp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
  if (!ok) DeleteFileW(tmp.c_str());
  return ok;
}

bool write_utf16_file(const std::wstring& path, const std::wstring& text) {
  std::string bytes("\xFF\xFE", 2);
  bytes.append(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
  return write_file_replace(path, bytes);
}

uint32_t text_hash(const std::wstring& s, uint32_t seed) {
  uint32_t h = seed;
  for (wchar_t c : s) {
    h ^= static_cast<uint32_t>(c);
    h *= 16777619u;
  }
  return h;
}

void delete_files(const std::wstring& folder, const std::wstring& pattern) {
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW((folder + L"\\" + pattern).c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return;
  do DeleteFileW((folder + L"\\" + fd.cFileName).c_str());
  while (FindNextFileW(h, &fd));
  FindClose(h);
}

HANDLE session_mutex(const std::wstring& name) {
  static CRITICAL_SECTION* guard = [] {
    auto* cs = new CRITICAL_SECTION;
    InitializeCriticalSection(cs);
    return cs;
  }();
  static auto* handles = new std::vector<std::pair<std::wstring, HANDLE>>();  // kept to the process's end
  EnterCriticalSection(guard);
  HANDLE h = nullptr;
  for (const auto& e : *handles)
    if (e.first == name) h = e.second;
  if (!h) {
    h = CreateMutexW(nullptr, FALSE, name.c_str());
    if (h) handles->emplace_back(name, h);
  }
  LeaveCriticalSection(guard);
  return h;
}

bool take_mutex(HANDLE mutex) {
  if (!mutex) return false;
  DWORD r = WaitForSingleObject(mutex, 20000);
  return r == WAIT_OBJECT_0 || r == WAIT_ABANDONED;
}

bool file_exists(const std::wstring& path) {
  DWORD a = GetFileAttributesW(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring module_folder(HMODULE module) {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    DWORD n = GetModuleFileNameW(module, &path[0], static_cast<DWORD>(path.size()));
    if (n == 0) return L".";
    if (n < path.size()) {
      path.resize(n);
      break;
    }
    path.resize(path.size() * 2);
  }
  size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? L"." : path.substr(0, slash);
}

}  // namespace lab
