// The program's Windows-free pieces: item texts, share names, log and remark layout, status
// texts, volume figures, settings values, access masks.
#include <gtest/gtest.h>

#include "cmd_args.h"
#include "disk_text.h"
#include "drive_item.h"
#include "log_layout.h"
#include "log_parse.h"
#include "settings_form.h"

using namespace corvane;

TEST(CorvaneItem, SplitsAtTheBackslashAfterTheServer) {
  auto p = split_item(L"\\\\FS01\\D");
  EXPECT_EQ(p.server, L"\\\\FS01");
  EXPECT_EQ(p.letter, L"D");
  // Server names longer than any fixed buffer stay whole.
  std::wstring server = L"\\\\" + std::wstring(60, L'S');
  EXPECT_EQ(split_item(item_text(server, L"C")).server, server);
  EXPECT_EQ(split_item(L"\\\\FS01").server, L"");
  EXPECT_EQ(split_item(L"").letter, L"");
  EXPECT_EQ(admin_share(L"\\\\FS01", L"D"), L"\\\\FS01\\D$");
  EXPECT_EQ(admin_share(L"", L"D"), L"D$");
}

TEST(CorvaneItem, PatternReplacesOnlyTheFirstToken) {
  EXPECT_EQ(share_name(L"<drive>$", L"D"), L"D$");
  EXPECT_EQ(share_name(L"data<drive>", L"E"), L"dataE");
  EXPECT_EQ(share_name(L"<drive>-<drive>", L"E"), L"E-<drive>");
  EXPECT_EQ(share_name(L"PUBLIC", L"E"), L"PUBLIC");
  EXPECT_EQ(share_name(L"<DRIVE>", L"E"), L"<DRIVE>");  // the token is matched exactly

  ShareTarget t = share_target(L"\\\\FS01\\D", L"<drive>$");
  EXPECT_TRUE(t.usable);
  EXPECT_EQ(t.server, L"\\\\FS01");
  EXPECT_EQ(t.share, L"D$");
  EXPECT_EQ(t.root, L"D:\\");
  EXPECT_FALSE(share_target(L"\\\\FS01\\D", L"").usable);    // no share name
  EXPECT_FALSE(share_target(L"\\\\FS01\\", L"<drive>$").usable);  // no drive letter
  EXPECT_FALSE(share_target(L"garbage", L"<drive>$").usable);
}

TEST(CorvaneText, LogLinesRemarksAndVersion) {
  Stamp s{2007, 3, 5, 9, 7};
  std::wstring stamp = format_stamp(s, L"Mar");
  EXPECT_EQ(stamp, L"05-Mar-2007 09:07");
  EXPECT_EQ(log_line(stamp, L"Deleted \\\\FS01\\D$"), L"05-Mar-2007 09:07> Deleted \\\\FS01\\D$");
  EXPECT_EQ(format_stamp({2026, 12, 31, 23, 59}, L"Dez"), L"31-Dez-2026 23:59");
  EXPECT_EQ(share_remark({1, 0, 4}, stamp), L"Added via Velmora Corvane v1.0 at 05-Mar-2007 09:07");
  EXPECT_EQ(version_line({1, 0, 4}), L"Using Corvane v1.0.4");
  EXPECT_EQ(version_line({10, 20, 300}), L"Using Corvane v10.20.300");
}

TEST(CorvaneText, ConnectionStatusTexts) {
  EXPECT_EQ(wnet_error_text(5), L"Unrecognized Error  5.");
  EXPECT_EQ(wnet_error_text(53), L"Unrecognized Error  53.");
  EXPECT_EQ(wnet_error_text(0), L"Unrecognized Error  0.");
  EXPECT_EQ(wnet_error_text(-3), L"Unrecognized Error -3.");
  EXPECT_EQ(wnet_error_text(50), L"Invalid Network Resource Name.");
  EXPECT_EQ(wnet_error_text(52), L"The local device was connected to a remote resource.");
  EXPECT_EQ(found_drive_line(L"\\\\FS02\\E", wnet_error_text(5)), L"Found drive \\\\FS02\\E Unrecognized Error  5.");
  EXPECT_EQ(found_drive_line(L"\\\\FS01\\D", L""), L"Found drive \\\\FS01\\D");
}

TEST(CorvaneText, VolumeFigures) {
  EXPECT_EQ(serial_text(0x1A2B3C4Du), L"439041101");
  EXPECT_EQ(serial_text(0xFFFFFFFFu), L"-1");
  EXPECT_EQ(serial_text(0x80000000u), L"-2147483648");
  EXPECT_EQ(whole_mb(8, 512, 256), 1.0);
  EXPECT_EQ(whole_mb(8, 512, 255), 0.0);  // cut down, not rounded
  // 16 TiB: more bytes than 32 bits hold, and more than a naive product of two words.
  EXPECT_EQ(whole_mb(8, 512, 0xFFFFFFFFull), 16777215.0);
  EXPECT_EQ(whole_mb(128, 4096, 0xFFFFFFFFull), 2147483647.0);
  EXPECT_EQ(label_text(L"  DATA  "), L"DATA");
  EXPECT_EQ(label_text(std::wstring(L"SYS\0junk", 8)), L"SYS");
  EXPECT_EQ(label_text(L"   "), L"No label");
  EXPECT_EQ(label_text(L""), L"No label");
}

TEST(CorvaneSettings, ValuesBoxesAndMasks) {
  EXPECT_EQ(setting_value(std::wstring(100, L'x')), std::wstring(79, L'x'));
  EXPECT_EQ(setting_value(L"  <drive>$  "), L"<drive>$");
  EXPECT_EQ(check_value(L"1"), 1);
  EXPECT_EQ(check_value(L" 0 "), 0);
  EXPECT_FALSE(check_value(L"").has_value());
  EXPECT_FALSE(check_value(L"yes").has_value());
  EXPECT_FALSE(check_value(L"7").has_value());
  EXPECT_FALSE(check_value(L"99999999999999999999").has_value());
  EXPECT_EQ(parallel_value(L""), 8u);
  EXPECT_EQ(parallel_value(L" 1 "), 1u);
  EXPECT_EQ(parallel_value(L"64"), 64u);
  EXPECT_EQ(parallel_value(L"0"), 8u);
  EXPECT_EQ(parallel_value(L"65"), 8u);
  EXPECT_EQ(parallel_value(L"-3"), 8u);
  EXPECT_EQ(access_mask(true, false, false), 0x1200A9u);
  EXPECT_EQ(access_mask(false, false, false), 0x1200A9u);
  EXPECT_EQ(access_mask(false, true, false), 0x1301BFu);
  EXPECT_EQ(access_mask(false, false, true), 0x1F01FFu);
  EXPECT_EQ(access_mask(true, true, false), 0x1301BFu);
  EXPECT_EQ(access_mask(true, true, true), 0x1F01FFu);
}

namespace {
const std::vector<std::wstring> kMonths = {L"Jan", L"Feb", L"Mar", L"Apr", L"May", L"Jun",
                                           L"Jul", L"Aug", L"Sep", L"Oct", L"Nov", L"Dec"};
}

TEST(CorvaneLogParse, StampsAndLines) {
  Stamp s;
  ASSERT_TRUE(parse_stamp(L"05-Mar-2007 09:07", kMonths, s));
  EXPECT_EQ(s.year, 2007);
  EXPECT_EQ(s.month, 3);
  EXPECT_EQ(s.day, 5);
  EXPECT_EQ(s.hour, 9);
  EXPECT_EQ(s.minute, 7);
  // Locale month names of other lengths ("mars", "Sept.").
  std::vector<std::wstring> fr = kMonths;
  fr[2] = L"mars";
  EXPECT_TRUE(parse_stamp(L"05-mars-2007 09:07", fr, s));
  EXPECT_FALSE(parse_stamp(L"05-Mrz-2007 09:07", kMonths, s));
  EXPECT_FALSE(parse_stamp(L"5-Mar-2007 09:07", kMonths, s));
  EXPECT_FALSE(parse_stamp(L"05-Mar-2007 9:07", kMonths, s));
  EXPECT_LT(compare_stamps({2007, 3, 5, 9, 7}, {2007, 3, 5, 9, 8}), 0);
  EXPECT_GT(compare_stamps({2008, 1, 1, 0, 0}, {2007, 12, 31, 23, 59}), 0);
  EXPECT_EQ(compare_stamps({2007, 3, 5, 9, 7}, {2007, 3, 5, 9, 7}), 0);

  auto entries = parse_log(L"05-Mar-2007 09:07> Started Velmora Corvane session.\r\n"
                           L"garbage line\r\n"
                           L"05-Mar-2007 09:08> Found drive \\\\FS01\\D\r\n"
                           L"05-Mar-2007 09:08> time-like> text\n");
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].stamp, L"05-Mar-2007 09:07");
  EXPECT_EQ(entries[1].text, L"Found drive \\\\FS01\\D");
  EXPECT_EQ(entries[2].text, L"time-like> text");
}

TEST(CorvaneLogParse, SessionsAndTheirShareChanges) {
  auto entries = parse_log(
      L"01-Mar-2007 09:00> Started Velmora Corvane session.\r\n"
      L"01-Mar-2007 09:01> Added \\\\FS01\\C$ BUILTIN\\Users\r\n"
      L"02-Mar-2007 10:00> Started Velmora Corvane session.\r\n"
      L"02-Mar-2007 10:01> Previous permissions of \\\\FS01\\PROJECTS: D:(A;;FA;;;BA)\r\n"
      L"02-Mar-2007 10:01> Added \\\\FS01\\PROJECTS CORP\\collector\r\n"
      L"02-Mar-2007 10:02> Added \\\\FS01\\My Share NT AUTHORITY\\SYSTEM Access denied.\r\n"
      L"02-Mar-2007 10:03> Previous permissions of \\\\FS01\\PROJECTS: D:(A;;FA;;;BA)(A;CINP;0x1200a9;;;S-1-5-21-1)\r\n"
      L"02-Mar-2007 10:03> Added \\\\FS01\\PROJECTS CORP\\collector\r\n"
      L"02-Mar-2007 10:04> Previous permissions of \\\\FS01\\D$: \r\n"
      L"02-Mar-2007 10:04> Added \\\\FS01\\D$ CORP\\collector\r\n"
      L"02-Mar-2007 10:05> Corvane session terminated.\r\n");
  auto sessions = log_sessions(entries);
  ASSERT_EQ(sessions.size(), 2u);
  EXPECT_EQ(sessions[0].end, 2u);
  ASSERT_EQ(sessions[0].changes.size(), 1u);
  EXPECT_FALSE(sessions[0].changes[0].existed);
  EXPECT_EQ(sessions[0].changes[0].objects, std::vector<std::wstring>{L"\\\\FS01\\C$"});

  const auto& c = sessions[1].changes;
  ASSERT_EQ(c.size(), 3u);  // PROJECTS once: its first change tells how it was
  EXPECT_TRUE(c[0].existed);
  EXPECT_EQ(c[0].objects, std::vector<std::wstring>{L"\\\\FS01\\PROJECTS"});
  EXPECT_EQ(c[0].previous_sddl, L"D:(A;;FA;;;BA)");
  // A created share whose name holds a blank: every reading up to the account's backslash.
  EXPECT_FALSE(c[1].existed);
  EXPECT_EQ(c[1].objects, (std::vector<std::wstring>{L"\\\\FS01\\My", L"\\\\FS01\\My Share", L"\\\\FS01\\My Share NT"}));
  EXPECT_TRUE(c[2].existed);
  EXPECT_EQ(c[2].previous_sddl, L"");

  EXPECT_TRUE(line_names_share(L"Deleted \\\\FS01\\PROJECTS", L"\\\\FS01\\PROJECTS"));
  EXPECT_TRUE(line_names_share(L"Added \\\\FS01\\PROJECTS CORP\\x", L"\\\\FS01\\PROJECTS"));
  EXPECT_TRUE(line_names_share(L"Previous permissions of \\\\FS01\\PROJECTS: D:", L"\\\\FS01\\PROJECTS"));
  EXPECT_FALSE(line_names_share(L"Added \\\\FS01\\PROJECTS2 CORP\\x", L"\\\\FS01\\PROJECTS"));
  EXPECT_FALSE(line_names_share(L"Found drive \\\\FS01\\D", L"\\\\FS01\\D"));
}

TEST(CorvaneCmd, ArgumentsAndTheirMistakes) {
  std::wstring error;
  CmdArgs a = parse_cmd_args({L"add", L"--drives", L"\\\\FS01\\C, \\\\FS01\\D", L"--access", L"read,Change",
                              L"--access", L"full", L"--pattern", L"<drive>$", L"--yes", L"--parallel", L"16"},
                             error);
  EXPECT_EQ(error, L"");
  EXPECT_EQ(a.command, L"add");
  EXPECT_EQ(a.drives, (std::vector<std::wstring>{L"\\\\FS01\\C", L"\\\\FS01\\D"}));
  EXPECT_TRUE(a.read && a.change && a.full);
  EXPECT_EQ(*a.pattern, L"<drive>$");
  EXPECT_TRUE(a.yes);
  EXPECT_EQ(*a.parallel, 16u);

  a = parse_cmd_args({L"find", L"--servers", L"@list.txt", L"--domain", L"CORP"}, error);
  EXPECT_EQ(error, L"give --domain or --servers, not both");
  for (auto bad : std::vector<std::vector<std::wstring>>{
           {}, {L"frob"}, {L"find", L"extra"}, {L"find", L"--parallel", L"65"}, {L"find", L"--parallel", L"x"},
           {L"add", L"--access", L"write"}, {L"add", L"--pattern"}, {L"export"}, {L"find", L"--since", L"x"},
           {L"delete", L"--what-if"}, {L"find", L"--nope"}, {L"find", L"--drives", L""}}) {
    parse_cmd_args(bad, error);
    EXPECT_FALSE(error.empty()) << (bad.empty() ? L"(none)" : bad[0]).size();
  }
  EXPECT_TRUE(parse_cmd_args({L"/?"}, error).help);
  EXPECT_EQ(error, L"");
  EXPECT_EQ(split_list(L"FS01\r\n\r\n  FS02 \r\nFS03,FS04\n"), (std::vector<std::wstring>{L"FS01", L"FS02", L"FS03", L"FS04"}));
}

TEST(CorvaneCmd, TablesAndCsv) {
  std::vector<std::vector<std::wstring>> rows = {{L"\\\\FS01\\C", L"SYS, main", L"say \"hi\""}, {L"x"}};
  EXPECT_EQ(format_table({L"Drive", L"Label", L"Note"}, rows, true),
            L"Drive,Label,Note\r\n\\\\FS01\\C,\"SYS, main\",\"say \"\"hi\"\"\"\r\nx,,\r\n");
  EXPECT_EQ(format_table({L"A", L"B"}, {{L"long value", L"1"}}, false), L"A           B\r\n----------  -\r\nlong value  1\r\n");
}
