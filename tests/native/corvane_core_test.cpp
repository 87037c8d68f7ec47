// The program's Windows-free pieces: item texts, share names, log and remark layout, status
// texts, volume figures, settings values, access masks.
#include <gtest/gtest.h>

#include "change_lines.h"
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
  // Read back the other way: which share names a pattern gives for some drive.
  EXPECT_TRUE(pattern_matches(L"<drive>$", L"c$"));
  EXPECT_TRUE(pattern_matches(L"data<drive>-x", L"DATAe-X"));
  EXPECT_FALSE(pattern_matches(L"<drive>$", L"IPC$"));
  EXPECT_FALSE(pattern_matches(L"<drive>$", L"1$"));
  EXPECT_FALSE(pattern_matches(L"<drive>$", L"C"));
  EXPECT_TRUE(pattern_matches(L"PUBLIC", L"public"));
  EXPECT_FALSE(pattern_matches(L"<drive>", L""));
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

// Every line kind the commands write reads back as what was written: a wording change that
// undo would no longer understand fails here.
TEST(CorvaneChangeLines, EveryKindReadsBackAsWritten) {
  ShareRecord made{L"D:\\", L"Added via Velmora Corvane v1.0 at 05-Mar-2007 09:07 | with a bar", 1, false, L""};
  std::wstring creating = creating_line(L"\\\\FS01\\My Share", made);
  EXPECT_EQ(creating, L"Creating \\\\FS01\\My Share | path D:\\ | max uses 1 | remark Added via Velmora Corvane v1.0 at "
                      L"05-Mar-2007 09:07 | with a bar");
  ChangeLine c = read_change_line(creating);
  EXPECT_EQ(c.kind, ChangeLine::Creating);
  EXPECT_EQ(c.object, L"\\\\FS01\\My Share");
  EXPECT_EQ(c.record.path, made.path);
  EXPECT_EQ(c.record.remark, made.remark);
  EXPECT_EQ(c.record.max_uses, 1u);

  for (const ShareRecord& r : {ShareRecord{L"D:\\Public", L"", 0xFFFFFFFFul, true, L"O:BAD:(A;;0x1200a9;;;WD)"},
                               ShareRecord{L"C:\\", L"x", 0, true, L""}}) {
    ChangeLine d = read_change_line(deleting_line(L"\\\\FS01\\PUBLIC", r));
    EXPECT_EQ(d.kind, ChangeLine::Deleting);
    EXPECT_EQ(d.object, L"\\\\FS01\\PUBLIC");
    EXPECT_EQ(d.record.path, r.path);
    EXPECT_EQ(d.record.remark, r.remark);
    EXPECT_EQ(d.record.max_uses, r.max_uses);
    EXPECT_TRUE(d.record.has_access_list);
    EXPECT_EQ(d.record.sddl, r.sddl);
  }
  EXPECT_NE(deleting_line(L"\\\\S\\X", {L"C:\\", L"", 0xFFFFFFFFul, true, L""}).find(L"| max uses unlimited | access list none |"),
            std::wstring::npos);

  // The Part's wordings stay as they were.
  EXPECT_EQ(previous_line(L"\\\\FS01\\D$", L""), L"Previous permissions of \\\\FS01\\D$: ");
  ChangeLine p = read_change_line(L"Previous permissions of \\\\FS01\\D$: D:(A;;FA;;;BA)");
  EXPECT_EQ(p.kind, ChangeLine::Previous);
  EXPECT_EQ(p.object, L"\\\\FS01\\D$");
  EXPECT_EQ(p.sddl, L"D:(A;;FA;;;BA)");
  EXPECT_EQ(read_change_line(previous_line(L"\\\\FS01\\D$", L"")).sddl, L"");
  EXPECT_EQ(read_change_line(L"Previous permissions of \\\\FS01\\D$:").kind, ChangeLine::Previous);  // trailing blank trimmed

  std::wstring added = added_line(L"\\\\FS01\\D$", L"CORP\\Domain Users", permissions_not_written(L"the share's descriptor is not valid."));
  EXPECT_EQ(added, L"Added \\\\FS01\\D$ CORP\\Domain Users Permissions not written: the share's descriptor is not valid.");
  ChangeLine a = read_change_line(added);
  EXPECT_EQ(a.kind, ChangeLine::Added);
  EXPECT_TRUE(names_share(a.object, L"\\\\FS01\\D$"));
  EXPECT_FALSE(names_share(a.object, L"\\\\FS01\\D"));
  EXPECT_EQ(added_account(a.object, L"\\\\FS01\\D$"), L"CORP\\Domain Users");
  EXPECT_EQ(added_line(L"\\\\FS01\\D$", L"CORP\\c", L""), L"Added \\\\FS01\\D$ CORP\\c");

  EXPECT_EQ(deleted_line(L"\\\\FS01\\D$", L""), L"Deleted \\\\FS01\\D$");
  EXPECT_EQ(read_change_line(deleted_line(L"\\\\FS01\\D$", L"Access denied.")).kind, ChangeLine::Deleted);
  ChangeLine r = read_change_line(restored_line(L"\\\\FS01\\D$", L"D:(A;;FA;;;BA)", L""));
  EXPECT_EQ(r.kind, ChangeLine::Restored);
  EXPECT_TRUE(names_share(r.object, L"\\\\FS01\\D$"));

  ChangeLine v = read_change_line(revoked_line(L"\\\\FS01\\D$", L"CORP\\c", L""));
  EXPECT_EQ(v.kind, ChangeLine::Revoked);
  EXPECT_EQ(added_account(v.object, L"\\\\FS01\\D$"), L"CORP\\c");

  EXPECT_EQ(read_change_line(L"Started Velmora Corvane session.").kind_of_session, L"window");
  EXPECT_EQ(read_change_line(L"Started Velmora Corvane command-line session (corvanecmd undo).").kind_of_session, L"undo");
  // Broken records are not taken for changes.
  EXPECT_EQ(read_change_line(L"Creating \\\\FS01\\X | path C:\\ | remark r").kind, ChangeLine::Other);
  EXPECT_EQ(read_change_line(L"Deleting \\\\FS01\\X | path C:\\ | max uses 99999999999 | remark r").kind, ChangeLine::Other);
  EXPECT_EQ(read_change_line(L"Found drive \\\\FS01\\D").kind, ChangeLine::Other);
}

// Sessions: each share as it was before the session first touched it, from this version's
// lines and from an earlier version's (an "Added" line alone meant a created share).
TEST(CorvaneLogParse, SessionsAndTheStateBeforeThem) {
  ShareRecord made{L"C:\\", L"Added via Velmora Corvane v1.0 at 02-Mar-2007 10:01", 1, false, L""};
  ShareRecord pub{L"D:\\Public", L"Public documents", 0xFFFFFFFFul, true, L"D:(A;;0x1200a9;;;WD)"};
  std::wstring log =
      L"01-Mar-2007 09:00> Started Velmora Corvane session.\r\n"
      L"01-Mar-2007 09:01> Added \\\\FS01\\My Share NT AUTHORITY\\SYSTEM Access denied.\r\n"
      L"02-Mar-2007 10:00> Started Velmora Corvane command-line session (corvanecmd add).\r\n"
      L"02-Mar-2007 10:01> " + creating_line(L"\\\\FS01\\uC", made) + L"\r\n"
      L"02-Mar-2007 10:01> Previous permissions of \\\\FS01\\PROJECTS: D:(A;;FA;;;BA)\r\n"
      L"02-Mar-2007 10:01> Added \\\\FS01\\uC BUILTIN\\Users\r\n"
      L"02-Mar-2007 10:01> Added \\\\FS01\\PROJECTS CORP\\collector\r\n"
      L"02-Mar-2007 10:02> Previous permissions of \\\\FS01\\uC: D:(A;;0x1200a9;;;BU)\r\n"  // the same share again
      L"02-Mar-2007 10:02> " + creating_line(L"\\\\FS01\\race", made) + L"\r\n"
      L"02-Mar-2007 10:02> Previous permissions of \\\\FS01\\race: D:(A;;FA;;;WD)\r\n"  // made meanwhile by another
      L"03-Mar-2007 10:00> Started Velmora Corvane command-line session (corvanecmd delete).\r\n"
      L"03-Mar-2007 10:01> " + deleting_line(L"\\\\FS01\\PUBLIC", pub) + L"\r\n"
      L"03-Mar-2007 10:01> Deleted \\\\FS01\\PUBLIC\r\n"
      L"03-Mar-2007 10:02> " + deleting_line(L"\\\\FS01\\uC", {L"C:\\", made.remark, 1, true, L"D:(A;;FA;;;BA)"}) + L"\r\n";
  auto sessions = log_sessions(parse_log(log));
  ASSERT_EQ(sessions.size(), 3u);
  EXPECT_EQ(sessions[0].end, 2u);
  EXPECT_EQ(sessions[1].kind, L"add");
  ASSERT_EQ(sessions[0].changes.size(), 1u);
  const ShareBefore& legacy = sessions[0].changes[0];
  EXPECT_TRUE(legacy.legacy);
  EXPECT_FALSE(legacy.existed);
  EXPECT_EQ(legacy.readings, (std::vector<std::wstring>{L"\\\\FS01\\My", L"\\\\FS01\\My Share", L"\\\\FS01\\My Share NT"}));

  const auto& c = sessions[1].changes;
  ASSERT_EQ(c.size(), 3u);
  EXPECT_EQ(c[0].object, L"\\\\FS01\\uC");
  EXPECT_FALSE(c[0].existed);  // its later "Previous permissions" line does not change that
  ASSERT_EQ(c[0].made.size(), 1u);
  EXPECT_EQ(c[0].made[0].remark, made.remark);
  EXPECT_EQ(c[0].account, L"BUILTIN\\Users");
  EXPECT_TRUE(c[1].existed);
  EXPECT_EQ(c[1].sddl, L"D:(A;;FA;;;BA)");
  EXPECT_TRUE(c[2].existed);
  EXPECT_EQ(c[2].sddl, L"D:(A;;FA;;;WD)");

  // Over the last two sessions: uC as before the add (absent), PUBLIC with its settings.
  auto both = changes_of({&sessions[1], &sessions[2]});
  ASSERT_EQ(both.size(), 4u);
  EXPECT_FALSE(both[0].existed);
  EXPECT_TRUE(both[0].record_known);  // recorded when deleted, not needed to delete it
  EXPECT_EQ(both[3].object, L"\\\\FS01\\PUBLIC");
  EXPECT_TRUE(both[3].record_known);
  EXPECT_EQ(both[3].record.path, L"D:\\Public");
  EXPECT_EQ(both[3].sddl, L"D:(A;;0x1200a9;;;WD)");
}

TEST(CorvaneLogParse, UndoDecisions) {
  auto now = [](long status, const std::wstring& path = L"", const std::wstring& remark = L"", const std::wstring& sddl = L"") {
    ShareNow n;
    n.status = status;
    n.record = {path, remark, 1, true, sddl};
    return n;
  };
  ShareBefore created;
  created.object = L"\\\\S\\x";
  created.made = {{L"C:\\", L"Added via Velmora Corvane v1.0 at 02-Mar-2007 10:01", 1, false, L""}};
  EXPECT_EQ(decide_undo(created, now(2310)).action, UndoDecision::Nothing);
  EXPECT_EQ(decide_undo(created, now(0, L"c:\\", created.made[0].remark)).action, UndoDecision::Delete);
  // Another share by that name now (made by someone else since): not deleted blindly.
  UndoDecision other = decide_undo(created, now(0, L"C:\\", L"Team files"));
  EXPECT_EQ(other.action, UndoDecision::NotPutBack);
  EXPECT_NE(other.reason.find(L"Team files"), std::wstring::npos);
  EXPECT_EQ(decide_undo(created, now(53)).action, UndoDecision::Fail);

  ShareBefore updated;
  updated.existed = true;
  updated.sddl = L"D:(A;;FA;;;BA)";
  updated.account = L"BUILTIN\\Users";
  EXPECT_EQ(decide_undo(updated, now(0, L"C:\\", L"", L"D:(A;;FA;;;BA)")).action, UndoDecision::Nothing);
  EXPECT_EQ(decide_undo(updated, now(0, L"C:\\", L"", L"D:(A;;FA;;;BU)")).action, UndoDecision::Restore);
  EXPECT_EQ(decide_undo(updated, now(2310)).action, UndoDecision::Fail);  // gone, and no record to make it again
  updated.record_known = true;
  EXPECT_EQ(decide_undo(updated, now(2310)).action, UndoDecision::Recreate);

  ShareBefore bare = updated;
  bare.sddl.clear();
  UndoDecision none = decide_undo(bare, now(0, L"C:\\", L"", L"D:(A;;FA;;;BU)"));
  EXPECT_EQ(none.action, UndoDecision::NotPutBack);
  EXPECT_EQ(none.reason, L"it had no access list of its own; the entry for BUILTIN\\Users remains");
  EXPECT_EQ(decide_undo(bare, now(0, L"C:\\", L"", L"")).action, UndoDecision::Nothing);
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
           {L"delete", L"--what-if"}, {L"find", L"--nope"}, {L"find", L"--drives", L""}, {L"find", L"--out", L"x"},
           {L"shares", L"--drives", L"\\\\S\\C"}, {L"revoke", L"--pattern", L"x"}, {L"check", L"--yes"},
           {L"undo", L"--list", L"--since", L"01-Jan-2026 00:00"}}) {
    parse_cmd_args(bad, error);
    EXPECT_FALSE(error.empty()) << (bad.empty() ? L"(none)" : bad[0]).size();
  }
  // The table decides per command: what one takes, another refuses with the option's name.
  parse_cmd_args({L"find", L"--out", L"x.lst"}, error);
  EXPECT_EQ(error, L"find does not take --out");
  a = parse_cmd_args({L"check", L"--access", L"change", L"--pattern", L"d<drive>", L"--account", L"CORP\\u", L"--csv"}, error);
  EXPECT_EQ(error, L"");
  EXPECT_TRUE(a.change && !a.read);
  a = parse_cmd_args({L"revoke", L"--account", L"u", L"--deny-too", L"--allow-empty", L"--what-if"}, error);
  EXPECT_EQ(error, L"");
  EXPECT_TRUE(a.deny_too && a.allow_empty && a.what_if);
  a = parse_cmd_args({L"shares", L"--all", L"--entries", L"--servers", L"FS01"}, error);
  EXPECT_EQ(error, L"");
  EXPECT_TRUE(a.all && a.entries);
  // --help names every command and option of the table.
  std::wstring usage = cmd_usage();
  for (const wchar_t* word : {L"  shares ", L"  check ", L"  revoke ", L"--entries", L"--deny-too", L"--allow-empty",
                              L"--list", L"show what would change, change nothing [add, revoke]", L"--csv\r\n      results as CSV, for Import-Csv [all]"})
    EXPECT_NE(usage.find(word), std::wstring::npos) << word;
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
