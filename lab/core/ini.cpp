// A small INI model for the lab's state file and the descriptor helpers.
#include "lab.h"

#include <sddl.h>

#include <algorithm>

namespace lab {

const std::wstring* IniSection::find(const std::wstring& key) const {
  for (const auto& kv : keys)
    if (iequals(kv.first, key)) return &kv.second;
  return nullptr;
}

std::wstring IniSection::get(const std::wstring& key, const std::wstring& def) const {
  const std::wstring* v = find(key);
  return v ? *v : def;
}

void IniSection::set(const std::wstring& key, const std::wstring& value) {
  for (auto& kv : keys)
    if (iequals(kv.first, key)) {
      kv.second = value;
      return;
    }
  keys.emplace_back(key, value);
}

IniDoc IniDoc::parse(const std::wstring& text) {
  IniDoc doc;
  IniSection* current = nullptr;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find_first_of(L"\r\n", pos);
    if (end == std::wstring::npos) end = text.size();
    std::wstring line = trim(text.substr(pos, end - pos));
    pos = end + 1;
    if (line.empty() || line[0] == L';' || line[0] == L'#') continue;
    if (line[0] == L'[') {
      size_t close = line.rfind(L']');
      if (close == std::wstring::npos) continue;
      doc.sections.push_back({trim(line.substr(1, close - 1)), {}});
      current = &doc.sections.back();
      continue;
    }
    size_t eq = line.find(L'=');
    if (!current || eq == std::wstring::npos) continue;
    current->set(trim(line.substr(0, eq)), unescape_value(trim(line.substr(eq + 1))));
  }
  return doc;
}

std::wstring IniDoc::text() const {
  std::wstring out;
  for (const auto& s : sections) {
    out += L"[" + s.name + L"]\r\n";
    for (const auto& kv : s.keys) out += kv.first + L"=" + escape_value(kv.second) + L"\r\n";
    out += L"\r\n";
  }
  return out;
}

IniSection* IniDoc::find(const std::wstring& name) {
  for (auto& s : sections)
    if (iequals(s.name, name)) return &s;
  return nullptr;
}

const IniSection* IniDoc::find(const std::wstring& name) const {
  for (const auto& s : sections)
    if (iequals(s.name, name)) return &s;
  return nullptr;
}

IniSection& IniDoc::section(const std::wstring& name) {
  if (IniSection* s = find(name)) return *s;
  sections.push_back({name, {}});
  return sections.back();
}

void IniDoc::remove(const std::wstring& name) {
  for (auto it = sections.begin(); it != sections.end(); ++it)
    if (iequals(it->name, name)) {
      sections.erase(it);
      return;
    }
}

bool sd_from_sddl(const std::wstring& sddl, std::vector<uint8_t>& sd) {
  PSECURITY_DESCRIPTOR p = nullptr;
  ULONG len = 0;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &p, &len)) return false;
  sd.assign(static_cast<uint8_t*>(p), static_cast<uint8_t*>(p) + len);
  LocalFree(p);
  return true;
}

std::wstring sd_to_sddl(const std::vector<uint8_t>& sd) {
  if (sd.empty()) return {};
  LPWSTR text = nullptr;
  std::vector<uint8_t> copy(sd);
  if (!ConvertSecurityDescriptorToStringSecurityDescriptorW(copy.data(), SDDL_REVISION_1,
                                                            OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION |
                                                                DACL_SECURITY_INFORMATION | SACL_SECURITY_INFORMATION,
                                                            &text, nullptr))
    return L"(not convertible)";
  std::wstring out(text);
  LocalFree(text);
  return out;
}

// The extent of a self-relative descriptor: the end of its furthest part, not the sum of the
// parts, so a block laid out with gaps is copied whole.
static size_t self_relative_extent(const uint8_t* p) {
  const auto* r = reinterpret_cast<const SECURITY_DESCRIPTOR_RELATIVE*>(p);
  size_t extent = sizeof(SECURITY_DESCRIPTOR_RELATIVE);
  auto sid_end = [&](DWORD off) {
    if (off && IsValidSid(const_cast<uint8_t*>(p + off)))
      extent = std::max<size_t>(extent, off + GetLengthSid(const_cast<uint8_t*>(p + off)));
  };
  auto acl_end = [&](DWORD off, bool present) {
    if (present && off) extent = std::max<size_t>(extent, off + reinterpret_cast<const ACL*>(p + off)->AclSize);
  };
  sid_end(r->Owner);
  sid_end(r->Group);
  acl_end(r->Sacl, (r->Control & SE_SACL_PRESENT) != 0);
  acl_end(r->Dacl, (r->Control & SE_DACL_PRESENT) != 0);
  return extent;
}

bool sd_capture(PSECURITY_DESCRIPTOR in, std::vector<uint8_t>& sd) {
  if (!in || !IsValidSecurityDescriptor(in)) return false;
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  if (!GetSecurityDescriptorControl(in, &control, &revision)) return false;
  if (control & SE_SELF_RELATIVE) {
    const uint8_t* p = static_cast<const uint8_t*>(in);
    sd.assign(p, p + self_relative_extent(p));
  } else {
    DWORD len = 0;
    MakeSelfRelativeSD(in, nullptr, &len);
    if (!len) return false;
    sd.assign(len, 0);
    if (!MakeSelfRelativeSD(in, sd.data(), &len)) return false;
    sd.resize(len);
  }
  return IsValidSecurityDescriptor(sd.data()) != FALSE;
}

}  // namespace lab
