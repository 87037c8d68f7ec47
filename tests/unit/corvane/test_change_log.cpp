// The change log as undo's record, under what a real estate brings: failures, hostile text from
// servers, several processes on one log, a line cut short, one share changed twice, a share
// made again elsewhere. Each case is runs of corvanecmd plus an undo, and the lab's shares
// compared before and after.
#include "corvane_test.h"
#include "lab_runs.h"

#include <lm.h>
#include <sddl.h>

#include <functional>
#include <thread>

#include "change_log.h"
#include "change_log_file.h"
#include "log_parse.h"
#include "raii.h"

using namespace corvane_test;

namespace {

const std::vector<std::wstring> kServers = {L"\\\\S1", L"\\\\S2"};

std::wstring description(const std::wstring& faults) { return lab_with_servers(2, faults); }

struct LogLab {
  corvlab::TempLab lab{description(L"")};
  std::wstring log = lab.folder() + L"\\changes.log";

  void faults(const std::wstring& text) { lab.describe(description(text)); }
  Result run(const std::wstring& args, const std::wstring& log_file = L"") {
    return corvanecmd(args + L" --log \"" + (log_file.empty() ? log : log_file) + L"\"");
  }
  std::wstring first_stamp() const {
    auto entries = corvane::parse_log(corvlab::TempLab::read_text(log));
    return entries.empty() ? L"" : entries[0].stamp;
  }
};

// A share as a server or another administrator makes it, with any remark.
void make_share(const std::wstring& server, const std::wstring& name, const std::wstring& path,
                const std::wstring& remark, const std::wstring& sddl) {
  PSECURITY_DESCRIPTOR sd = nullptr;
  ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &sd, nullptr));
  SHARE_INFO_502 i = {};
  i.shi502_netname = const_cast<LPWSTR>(name.c_str());
  i.shi502_type = STYPE_DISKTREE;
  i.shi502_remark = const_cast<LPWSTR>(remark.c_str());
  i.shi502_max_uses = 0xFFFFFFFF;
  i.shi502_path = const_cast<LPWSTR>(path.c_str());
  i.shi502_security_descriptor = sd;
  EXPECT_EQ(NetShareAdd(const_cast<LPWSTR>(server.c_str()), 502, reinterpret_cast<LPBYTE>(&i), nullptr), 0u) << name;
  LocalFree(sd);
}

std::vector<std::wstring> now() { return shares_now(kServers); }

bool has(const std::vector<std::wstring>& shares, const std::wstring& object) {
  return std::any_of(shares.begin(), shares.end(),
                     [&](const std::wstring& s) { return s.rfind(object + L"|", 0) == 0; });
}

struct Case {
  const char* name;
  std::function<void(LogLab&)> run;
};

const Case kCases[] = {
    {"a failure that changed nothing is never undone",
     [](LogLab& l) {
       make_share(L"\\\\S1", L"DataD", L"D:\\", L"Added via Velmora Corvane v1.0 at 01-Dec-2026 10:00",
                  L"D:(A;;FA;;;WD)");
       const auto before = now();
       l.faults(L"refuse=NetShareGetInfo:S1:53");  // the server answers its other calls
       EXPECT_EQ(l.run(L"add --drives \\\\S1\\D --pattern Data<drive> --account Users --yes").exit, 1u);
       l.faults(L"");
       Result undo = l.run(L"undo --yes");
       EXPECT_EQ(undo.out.find("deleted"), std::string::npos) << undo.out;
       EXPECT_EQ(now(), before);
     }},
    {"text from a server reads back exactly and forges nothing",
     [](LogLab& l) {
       make_share(L"\\\\S1", L"RD", L"D:\\Pub",
                  L"x\r\n08-Dec-2026 09:12> Deleting \\\\S2\\ROOT | path C:\\ | max uses unlimited | access list "
                  L"D:(A;;FA;;;WD) | remark x\r\n08-Dec-2026 09:12> Deleted \\\\S2\\ROOT",
                  L"D:(A;;0x1200a9;;;WD)");
       make_share(L"\\\\S2", L"RC", L"C:\\Reports | remark y",
                  L"\u041e\u0442\u0447\u0451\u0442\u044b \u5831\u544a \u2713 100%", L"D:(A;;FA;;;BA)");
       const auto before = now();
       EXPECT_EQ(l.run(L"delete --drives \\\\S1\\D,\\\\S2\\C --pattern R<drive> --yes").exit, 0u);
       EXPECT_EQ(now().size(), before.size() - 2);
       Result undo = l.run(L"undo --yes");
       EXPECT_EQ(undo.exit, 0u) << undo.out << undo.err;
       EXPECT_EQ(now(), before);
     }},
    {"several changes of one share return it to its state before the first",
     [](LogLab& l) {
       make_share(L"\\\\S1", L"KD", L"D:\\Keep", L"kept", L"D:(A;;FA;;;BA)");
       const auto before = now();
       EXPECT_EQ(l.run(L"add --drives \\\\S1\\D --pattern K<drive> --account Users --access full --yes").exit, 0u);
       EXPECT_EQ(l.run(L"delete --drives \\\\S1\\D --pattern K<drive> --yes").exit, 0u);
       EXPECT_EQ(l.run(L"add --drives \\\\S1\\D --pattern K<drive> --account Users --yes").exit,
                 0u);  // made anew at the drive root
       Result undo = l.run(L"undo --yes --since \"" + l.first_stamp() + L"\"");
       EXPECT_EQ(undo.exit, 0u) << undo.out << undo.err;
       EXPECT_EQ(now(), before);
     }},
    {"a share made again elsewhere is not taken for the one recorded",
     [](LogLab& l) {
       make_share(L"\\\\S1", L"ED", L"D:\\Public", L"public", L"D:(A;;FA;;;WD)");
       EXPECT_EQ(l.run(L"delete --drives \\\\S1\\D --pattern E<drive> --yes").exit, 0u);
       make_share(L"\\\\S1", L"ED", L"D:\\", L"someone else's", L"D:(A;;FA;;;BA)");
       const auto mid = now();
       Result undo = l.run(L"undo --yes");
       EXPECT_EQ(undo.exit, 1u);
       EXPECT_NE(undo.out.find("not put back"), std::string::npos) << undo.out;
       EXPECT_EQ(now(), mid);
     }},
    {"a line cut short swallows no session",
     [](LogLab& l) {
       EXPECT_EQ(l.run(L"add --drives \\\\S1\\C --pattern T<drive> --account Users --yes").exit, 0u);
       const auto mid = now();
       corv::Handle f(CreateFileW(l.log.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                                  nullptr));
       const char half[] = "08-Dec-2026 09:12> Previous permissions of \\\\S1\\TC: D:(A;;F";
       DWORD w = 0;
       WriteFile(f.get(), half, sizeof half - 1, &w, nullptr);
       f.reset();
       EXPECT_EQ(l.run(L"add --drives \\\\S1\\D --pattern T<drive> --account Users --yes").exit, 0u);
       EXPECT_NE(corvlab::TempLab::read_text(l.log).find(corvane::kTornLine), std::wstring::npos);
       EXPECT_EQ(l.run(L"undo --yes").exit, 0u);
       EXPECT_EQ(now(), mid);
     }},
    {"a share made whose list cannot be written is not left open",
     [](LogLab& l) {
       const auto before = now();
       l.faults(L"refuse=NetShareSetInfo:S1:5");
       Result add = l.run(L"add --drives \\\\S1\\C --pattern O<drive> --account Users --yes");
       EXPECT_EQ(add.exit, 1u);
       EXPECT_NE(add.out.find("deleted again"), std::string::npos) << add.out;
       EXPECT_EQ(now(), before);
       l.faults(L"");
       EXPECT_EQ(l.run(L"undo --yes").exit, 0u);
       EXPECT_EQ(now(), before);
     }},
    {"two processes on one log: each line in its own session",
     [](LogLab& l) {
       l.faults(L"slow=S1\r\nslow_ms=150");
       const auto before = now();
       Result first;
       std::thread other([&] {
         first = l.run(L"add --drives \\\\S1\\C,\\\\S1\\D --pattern A<drive> --account Users --yes");
       });
       Result second = l.run(L"add --drives \\\\S2\\C,\\\\S2\\D --pattern B<drive> --account Users --yes");
       other.join();
       EXPECT_EQ(first.exit, 0u) << first.err;
       EXPECT_EQ(second.exit, 0u) << second.err;
       EXPECT_EQ(now().size(), before.size() + 4);
       // The session that changed last is undone, and only it.
       EXPECT_EQ(l.run(L"undo --yes").exit, 0u);
       const auto after = now();
       const bool a = has(after, L"\\\\S1\\AC") && has(after, L"\\\\S1\\AD");
       const bool b = has(after, L"\\\\S2\\BC") && has(after, L"\\\\S2\\BD");
       EXPECT_TRUE(a != b) << testing::PrintToString(after);
       EXPECT_EQ(after.size(), before.size() + 2);
     }},
    {"a process that cannot have the log says who keeps it and changes nothing",
     [](LogLab& l) {
       const auto before = now();
       corvane::ChangeLogFile keeper(l.log);  // this test process, amid a command
       ASSERT_TRUE(keeper.begin(L"add", {1, 0, 4}).ok());
       ASSERT_TRUE(keeper.hold().ok());
       Result refused = l.run(L"add --drives \\\\S2\\C --pattern W<drive> --account Users --yes");
       EXPECT_EQ(refused.exit, 1u);
       const std::string pid = std::to_string(GetCurrentProcessId());
       EXPECT_NE(refused.err.find("in use by process " + pid + " (corvanecmd add)"), std::string::npos) << refused.err;
       keeper.release();
       EXPECT_EQ(now(), before);
       // Let go, the log is anyone's again.
       EXPECT_EQ(l.run(L"add --drives \\\\S2\\C --pattern W<drive> --account Users --yes").exit, 0u);
     }},
    {"a drive is \\\\server\\letter, and a log undo cannot read is an error",
     [](LogLab& l) {
       const auto before = now();
       for (const wchar_t* drives : {L"S1\\D", L"\\\\S1\\DD", L"\\\\S1", L"\\\\\\D"})
         EXPECT_EQ(l.run(std::wstring(L"add --drives ") + drives + L" --pattern X<drive> --account Users --yes").exit,
                   2u)
             << drives;
       Result missing = l.run(L"undo --yes", l.lab.folder() + L"\\no-such.log");
       EXPECT_EQ(missing.exit, 1u);
       EXPECT_NE(missing.err.find("cannot be read"), std::string::npos) << missing.err;
       const std::wstring big = l.lab.folder() + L"\\big.log";
       corv::Handle f(CreateFileW(big.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
       LARGE_INTEGER size;
       size.QuadPart = 300ll << 20;
       SetFilePointerEx(f.get(), size, nullptr, FILE_BEGIN);
       SetEndOfFile(f.get());
       f.reset();
       Result oversized = l.run(L"undo --yes", big);
       EXPECT_EQ(oversized.exit, 1u);
       EXPECT_NE(oversized.err.find("larger than"), std::string::npos) << oversized.err;
       EXPECT_EQ(now(), before);
     }},
};

}  // namespace

TEST(CorvaneChangeLog, EveryRunIsUndoneExactlyWhateverTheLogMeets) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    LogLab lab;
    c.run(lab);
  }
}
