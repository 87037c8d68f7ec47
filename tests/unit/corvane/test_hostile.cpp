// A hostile server against every command: descriptors whose offsets and lengths lie, an
// enumeration that never ends, and names, paths, remarks and labels full of line ends, escape
// sequences, formulas and characters outside the code page. No command may crash, hang or obey
// them, each share it cannot use has its reason, and the sound server beside it is served as ever.
#include "corvane_test.h"
#include "lab_runs.h"

#include "change_log.h"
#include "cmd_args.h"
#include "log_parse.h"
#include "raii.h"
#include "safe_text.h"
#include "settings_form.h"

using namespace corvane_test;

namespace {

const wchar_t kHostileNetwork[] = LR"([network]
domains=CORP
workstation_domain=CORP
[domain CORP]
servers=FS01,EVIL,LOOP
[server FS01]
drives=C
[drive FS01 C]
label=SYSTEM
[share FS01 PAST]
path=C:\Past
remark=Sound
sddl=D:(A;;0x1200a9;;;WD)(A;;0x1200a9;;;BU)
[server EVIL]
drives=C,D
[drive EVIL C]
label=%1B[2K%1B[1AFAKE
[drive EVIL D]
label=@SUM(1)%u0416
[share EVIL PAST]
path=C:\Past
sddl=D:(A;;0x1200a9;;;WD)(A;;0x1200a9;;;BU)
sd_fault=offset_past_end
[share EVIL LIES]
path=C:\Lies
sddl=D:(A;;0x1200a9;;;WD)
sd_fault=length_lies
[share EVIL AWAY]
path=C:\Away
sddl=D:(A;;0x1200a9;;;WD)
sd_fault=outside
[share EVIL =HYPERLINK("x")|%0D%0AFORGED]
path=C:\%0D%0AFORGED path
remark=%1B[1A%1B[2K%0D%0AFORGED remark%u202E
sddl=D:(A;;0x1200a9;;;WD)
[server LOOP]
drives=C
[share LOOP ONE]
path=C:\One
[faults]
hostile=EVIL,LOOP
repeat_resume=LOOP
)";

struct Case {
  std::wstring args;              // after "corvanecmd"
  DWORD exit;
  std::vector<const char*> said;  // each in the output or the error stream
};

}  // namespace

TEST(Hostile, EveryCommandAgainstAHostileServer) {
  corvlab::TempLab lab(kHostileNetwork);
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::wstring base = std::wstring(temp) + L"hostile-" + std::to_wstring(GetCurrentProcessId());
  const std::wstring log = base + L".log", drives = base + L"-drives.txt", out = base + L".lst";
  // A script's list with an escape character in a server's name.
  const std::string list = "\\\\FS01\\C\r\n\\\\EV\x1BIL\\C\r\n";
  corv::Handle f(CreateFileW(drives.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  DWORD written = 0;
  ASSERT_TRUE(WriteFile(f.get(), list.data(), static_cast<DWORD>(list.size()), &written, nullptr));
  f.reset();
  const std::wstring both = L" --drives \\\\FS01\\C,\\\\EVIL\\C --pattern PAST ";
  const Case cases[] = {
      {L"find --servers FS01,EVIL", 0, {"\\x1B[2K\\x1B[1AFAKE", "\\\\EVIL\\D"}},
      {L"find --servers EVIL --csv", 0, {"'@SUM(1)"}},
      {L"shares --servers FS01,EVIL,LOOP",
       1,
       {"D:(A;;0x1200a9;;;WD)(A;;0x1200a9;;;BU)",
        "(cannot be read: a part of the descriptor lies past the end of the answer)",
        "(cannot be read: the descriptor lies outside the server's answer)", "=HYPERLINK(\"x\")|\\x0D\\x0AFORGED",
        "\\x1B[1A\\x1B[2K\\x0D\\x0AFORGED remark\\u202E", "resume handle it had given before"}},
      // An unreadable list may hold the account: such shares stay, as unknown.
      {L"shares --servers EVIL --account Users --csv", 1, {"\\\\EVIL,PAST,", "\\\\EVIL,LIES,", "\\\\EVIL,AWAY,"}},
      {L"check" + both + L"--account Users --access read --csv",
       1,
       {"\\\\FS01\\PAST,ok", "\\\\EVIL\\PAST,failed,", "cannot be read (status 1338"}},
      {L"add" + both + L"--what-if --account Users",
       1,
       {"Share: cannot be read (status 1338", "Entry for the account: replaced"}},
      {L"delete" + both + L"--yes --csv", 1, {"\\\\FS01\\PAST,deleted", "\\\\EVIL\\PAST,failed,", "status 1338"}},
      {L"undo --yes", 0, {"\\\\FS01\\PAST"}},
      {L"revoke" + both + L"--yes --account Users --csv",
       1,
       {"\\\\FS01\\PAST,revoked", "\\\\EVIL\\PAST,failed,", "status 1338"}},
      {L"export --pattern PAST --drives @\"" + drives + L"\" --out \"" + out + L"\"",
       1,
       {"\\\\FS01\\PAST", "\\\\EV\\x1BIL\\PAST left out of the list"}},
  };
  for (const Case& c : cases) {
    const std::wstring& args = c.args;
    SCOPED_TRACE(std::string(args.begin(), args.end()));
    // Bounded: an enumeration that never ends must not hold a command for ever.
    Result r = corvanecmd(args + L" --log \"" + log + L"\"", "", 60000);
    EXPECT_EQ(r.exit, c.exit) << r.out << r.err;
    const std::string all = r.out + r.err;
    for (const char* s : c.said) EXPECT_NE(all.find(s), std::string::npos) << s << "\n" << all;
    // Nothing the servers sent is obeyed: no escape character, no direction override, no line of
    // its own. (CSV written to a file or a pipe keeps values exact, for Import-Csv.)
    if (args.find(L"--csv") != std::wstring::npos) continue;
    EXPECT_EQ(all.find('\x1B'), std::string::npos) << all;
    EXPECT_EQ(all.find("\xE2\x80\xAE"), std::string::npos) << all;
    EXPECT_EQ(all.find("\nFORGED"), std::string::npos) << all;
  }
  EXPECT_EQ(corvlab::TempLab::read_text(out), L"\\\\FS01\\PAST\r\n");
  for (const std::wstring& f : {log, drives, out}) DeleteFileW(f.c_str());
}

// Other scripts' digits pass iswdigit under Windows and made the library's conversions throw
// ("--parallel \u00B2" ended corvanecmd) or take them as numbers: now they are refused.
TEST(Hostile, OnlyAsciiDigitsMakeNumbers) {
  unsigned long long v = 7;
  for (const wchar_t* bad : {L"", L"\u0664\u0662", L"\u00B2", L"\uFF14", L"-1", L"4294967296"})
    EXPECT_FALSE(corvane::parse_decimal(bad, 0xFFFFFFFFull, v)) << wcslen(bad);
  EXPECT_TRUE(corvane::parse_decimal(L"4294967295", 0xFFFFFFFFull, v) && v == 0xFFFFFFFFull);
  std::wstring error;
  corvane::parse_cmd_args({L"find", L"--parallel", L"\u00B2"}, error);
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(corvane::parallel_value(L"\u0663"), 8u);
  EXPECT_FALSE(corvane::check_value(L"\u0661").has_value());
  corvane::Stamp s;
  EXPECT_FALSE(corvane::parse_stamp(L"\u0660\u0665-Mar-2007 09:07", {L"Mar"}, s));
  EXPECT_NE(corvane::read_change_line(L"Deleting \\\\S\\X | path C:\\ | max uses \u0665 | remark r").kind,
            corvane::ChangeLine::Deleting);
}
