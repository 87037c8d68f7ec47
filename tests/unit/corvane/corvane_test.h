// A change log and a drive list in memory, and a private lab, for the operations' tests.
#pragma once
#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "labtest.h"
#include "raii.h"
#include "reports.h"

namespace corvane_test {

struct MemoryLog : corvane::ChangeLog {
  std::vector<std::wstring> lines;
  corvane::LogResult write(const std::wstring& text, bool) override {
    lines.push_back(corvane::unescape_text(text));
    return {};
  }
};

struct Item {
  corvane::FoundDrive drive;
  bool ticked = true;
  int marker = 0;
};

struct MemoryList : corvane::DriveList {
  std::vector<Item> items;
  void clear() override { items.clear(); }
  void add(const corvane::FoundDrive& d) override { items.push_back({d, true, 0}); }
  size_t count() const override { return items.size(); }
  std::wstring text(size_t i) const override { return items[i].drive.item; }
  bool ticked(size_t i) const override { return items[i].ticked; }
  int marker(size_t i) const override { return items[i].marker; }
  void set_marker(size_t i, int m) override { items[i].marker = m; }
  void add_item(const std::wstring& text, bool tick = true) { items.push_back({{text}, tick, 0}); }
  std::vector<std::wstring> texts() const {
    std::vector<std::wstring> out;
    for (const Item& i : items) out.push_back(i.drive.item);
    return out;
  }
};

// COM for the test's thread (the operations create tern and wick objects).
using ComScope = corv::ComApartment;

// The default lab description with one line changed ("key=" starts the line to replace) and
// extra sections appended.
inline std::wstring lab_with(const std::wstring& line_start, const std::wstring& new_line,
                             const std::wstring& extra = L"") {
  std::wstring d = corvlab::TempLab::default_description();
  if (!line_start.empty()) {
    size_t at = d.find(L"\n" + line_start);
    EXPECT_NE(at, std::wstring::npos) << "no line " << line_start;
    if (at != std::wstring::npos) {
      size_t end = d.find(L'\n', at + 1);
      d.replace(at + 1, (end == std::wstring::npos ? d.size() : end) - at - 1, new_line + L"\r");
    }
  }
  return d + L"\r\n" + extra + L"\r\n";
}

// The default lab with servers S1..Sn (drives C and D each) added to CORP, and lines of its
// [faults] section set ("key=value", CR LF between): a line replaces its key's line or joins the
// section.
inline std::wstring lab_with_servers(int n, const std::wstring& faults = L"") {
  std::wstring servers = L"servers=FS01,FS02,ARCHIVE", extra;
  for (int k = 1; k <= n; ++k) {
    std::wstring name = L"S" + std::to_wstring(k);
    servers += L"," + name;
    extra += L"[server " + name + L"]\r\ndrives=C,D\r\n[drive " + name + L" C]\r\n[drive " + name + L" D]\r\n";
  }
  std::wstring d = lab_with(L"servers=FS01,FS02,ARCHIVE", servers, extra);
  const size_t section = d.find(L"[faults]");
  for (size_t from = 0; from < faults.size();) {
    size_t end = faults.find(L"\r\n", from);
    if (end == std::wstring::npos) end = faults.size();
    const std::wstring line = faults.substr(from, end - from);
    from = end + 2;
    size_t at = d.find(L"\n" + line.substr(0, line.find(L'=') + 1), section);
    if (at == std::wstring::npos) d.insert(section + 8, L"\r\n" + line);
    else d.replace(at + 1, d.find_first_of(L"\r\n", at + 1) - at - 1, line);
  }
  return d;
}

}  // namespace corvane_test
