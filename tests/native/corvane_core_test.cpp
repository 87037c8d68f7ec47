// The program's Windows-free pieces: item texts, share names, log and remark layout, status
// texts, volume figures, settings values, access masks.
#include <gtest/gtest.h>

#include "change_log.h"
#include "cmd_args.h"
#include "disk_text.h"
#include "drive_item.h"
#include "log_parse.h"
#include "settings_form.h"

#include <set>

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
  EXPECT_EQ(creating,
            L"Creating \\\\FS01\\My Share | path D:\\ | max uses 1 | remark Added via Velmora Corvane v1.0 at "
            L"05-Mar-2007 09:07 %007C with a bar");
  ChangeLine c = read_change_line(creating, true);
  EXPECT_EQ(c.kind, ChangeLine::Creating);
  EXPECT_EQ(c.object, L"\\\\FS01\\My Share");
  EXPECT_EQ(c.record.path, made.path);
  EXPECT_EQ(c.record.remark, made.remark);
  EXPECT_EQ(c.record.max_uses, 1u);

  for (const ShareRecord& r : {ShareRecord{L"D:\\Public", L"", 0xFFFFFFFFul, true, L"O:BAD:(A;;0x1200a9;;;WD)"},
                               ShareRecord{L"C:\\", L"x", 0, true, L""}}) {
    ChangeLine d = read_change_line(deleting_line(L"\\\\FS01\\PUBLIC", r), true);
    EXPECT_EQ(d.kind, ChangeLine::Deleting);
    EXPECT_EQ(d.object, L"\\\\FS01\\PUBLIC");
    EXPECT_EQ(d.record.path, r.path);
    EXPECT_EQ(d.record.remark, r.remark);
    EXPECT_EQ(d.record.max_uses, r.max_uses);
    EXPECT_TRUE(d.record.has_access_list);
    EXPECT_EQ(d.record.sddl, r.sddl);
  }
  EXPECT_NE(deleting_line(L"\\\\S\\X", {L"C:\\", L"", 0xFFFFFFFFul, true, L""})
                .find(L"| max uses unlimited | access list none |"),
            std::wstring::npos);

  // Lines without such text stay as readers of the log know them.
  EXPECT_EQ(previous_line(L"\\\\FS01\\D$", L""), L"Previous permissions of \\\\FS01\\D$: ");
  ChangeLine p = read_change_line(L"Previous permissions of \\\\FS01\\D$: D:(A;;FA;;;BA)");
  EXPECT_EQ(p.kind, ChangeLine::Previous);
  EXPECT_EQ(p.object, L"\\\\FS01\\D$");
  EXPECT_EQ(p.sddl, L"D:(A;;FA;;;BA)");
  EXPECT_EQ(read_change_line(previous_line(L"\\\\FS01\\D$", L"")).sddl, L"");
  EXPECT_EQ(read_change_line(L"Previous permissions of \\\\FS01\\D$:").kind,
            ChangeLine::Previous);  // trailing blank trimmed

  std::wstring added = added_line(L"\\\\FS01\\D$", L"CORP\\Domain Users",
                                  permissions_not_written(L"the share's descriptor is not valid."));
  EXPECT_EQ(added,
            L"Added \\\\FS01\\D$ CORP\\Domain Users Permissions not written: the share's descriptor is not valid.");
  ChangeLine a = read_change_line(added, true);
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
  EXPECT_EQ(read_change_line(L"Started Velmora Corvane command-line session (corvanecmd undo).").kind_of_session,
            L"undo");
  // Broken records are not taken for changes.
  EXPECT_EQ(read_change_line(L"Creating \\\\FS01\\X | path C:\\ | remark r").kind, ChangeLine::Other);
  EXPECT_EQ(read_change_line(L"Deleting \\\\FS01\\X | path C:\\ | max uses 99999999999 | remark r").kind,
            ChangeLine::Other);
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
      L"02-Mar-2007 10:01> " +
      creating_line(L"\\\\FS01\\uC", made) +
      L"\r\n"
      L"02-Mar-2007 10:01> Previous permissions of \\\\FS01\\PROJECTS: D:(A;;FA;;;BA)\r\n"
      L"02-Mar-2007 10:01> Added \\\\FS01\\uC BUILTIN\\Users\r\n"
      L"02-Mar-2007 10:01> Added \\\\FS01\\PROJECTS CORP\\collector\r\n"
      L"02-Mar-2007 10:02> Previous permissions of \\\\FS01\\uC: D:(A;;0x1200a9;;;BU)\r\n"  // the same share again
      L"02-Mar-2007 10:02> " +
      creating_line(L"\\\\FS01\\race", made) +
      L"\r\n"
      L"02-Mar-2007 10:02> Previous permissions of \\\\FS01\\race: D:(A;;FA;;;WD)\r\n"  // made meanwhile by another
      L"03-Mar-2007 10:00> Started Velmora Corvane command-line session (corvanecmd delete).\r\n"
      L"03-Mar-2007 10:01> " +
      deleting_line(L"\\\\FS01\\PUBLIC", pub) +
      L"\r\n"
      L"03-Mar-2007 10:01> Deleted \\\\FS01\\PUBLIC\r\n"
      L"03-Mar-2007 10:02> " +
      deleting_line(L"\\\\FS01\\uC", {L"C:\\", made.remark, 1, true, L"D:(A;;FA;;;BA)"}) + L"\r\n";
  auto sessions = log_sessions(parse_log(log));
  ASSERT_EQ(sessions.size(), 3u);
  EXPECT_EQ(sessions[0].last_change, 1u);
  EXPECT_EQ(sessions[1].kind, L"add");
  ASSERT_EQ(sessions[0].changes.size(), 1u);
  const ShareBefore& legacy = sessions[0].changes[0];
  EXPECT_TRUE(legacy.legacy);
  EXPECT_FALSE(legacy.existed);
  EXPECT_EQ(legacy.readings,
            (std::vector<std::wstring>{L"\\\\FS01\\My", L"\\\\FS01\\My Share", L"\\\\FS01\\My Share NT"}));

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
  auto now = [](long status, const std::wstring& path = L"", const std::wstring& remark = L"",
                const std::wstring& sddl = L"") {
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
  updated.record.path = L"C:\\";
  EXPECT_EQ(decide_undo(updated, now(2310)).action, UndoDecision::Recreate);

  ShareBefore bare = updated;
  bare.sddl.clear();
  UndoDecision none = decide_undo(bare, now(0, L"C:\\", L"", L"D:(A;;FA;;;BU)"));
  EXPECT_EQ(none.action, UndoDecision::NotPutBack);
  EXPECT_EQ(none.reason, L"it had no access list of its own; the entry for BUILTIN\\Users remains");
  EXPECT_EQ(decide_undo(bare, now(0, L"C:\\", L"", L"")).action, UndoDecision::Nothing);

  // Deleted, then another share by that name: one made here is replaced, another is left alone.
  ShareBefore deleted;
  deleted.existed = true;
  deleted.sddl = L"D:(A;;FA;;;BA)";
  deleted.record_known = true;
  deleted.record = {L"D:\\Public", L"Public documents", 0xFFFFFFFFul, true, L"D:(A;;FA;;;BU)"};
  deleted.made = {{L"D:\\", L"Added via Velmora Corvane v1.0 at 02-Mar-2007 10:01", 1, false, L""}};
  EXPECT_EQ(decide_undo(deleted, now(0, L"D:\\", deleted.made[0].remark)).action, UndoDecision::Replace);
  UndoDecision elsewhere = decide_undo(deleted, now(0, L"D:\\", L"Team files"));
  EXPECT_EQ(elsewhere.action, UndoDecision::NotPutBack);
  EXPECT_NE(elsewhere.reason.find(L"D:\\Public"), std::wstring::npos);
  // Made again with the list it had before the first change, not the one its deletion recorded.
  EXPECT_EQ(deleted.to_make().sddl, L"D:(A;;FA;;;BA)");
  EXPECT_EQ(deleted.to_make().path, L"D:\\Public");
}

// Text from a server or a user, however hostile, reads back exactly from every field and forges
// no line, field or session.
TEST(CorvaneChangeLog, HostileTextReadsBackExactlyAndForgesNothing) {
  const std::wstring stamp = L"05-Mar-2007 09:07> ";
  const std::wstring hostile[] = {
      L"x\r\n05-Mar-2007 09:07> Deleting \\\\OTHER\\X | path C:\\ | max uses unlimited | access list D:(A;;FA;;;WD) | remark x",
      L"a | remark b | path C:\\ | max uses 1",
      L"100% %4E2D done: yes",
      L"\x1b[1A\x1b[2K\t\x7f",
      L"\u041e\u0442\u0447\u0451\u0442\u044b \u5831\u544a \u2713 \U0001F600",
      std::wstring(1, wchar_t(0xD800)) + L"lone" + std::wstring(1, wchar_t(0xDC00)),
      L"\u2028\u0085\r",
      L"Resumed log session 0123456789ABCDEF.",
  };
  for (const std::wstring& h : hostile) {
    SCOPED_TRACE(testing::PrintToString(h));
    const std::wstring object = L"\\\\S1\\" + h;
    ShareRecord r{h, h, 7, true, h};
    const std::wstring lines[] = {
        started_line(L"add"),
        session_line(L"00112233AABBCCDD", 9),
        creating_line(object, r),
        deleting_line(object, r),
        previous_line(object, h),
        added_line(object, L"CORP\\" + h, not_created(h)),
        restored_line(object, h, h),
        found_drive_line(h, h),
        domain_line(h)};
    std::wstring log;
    for (const std::wstring& l : lines) {
      EXPECT_EQ(l.find_first_of(L"\r\n"), std::wstring::npos);
      log += stamp + l + L"\r\n";
    }
    std::vector<LogEntry> entries = parse_log(log);
    ASSERT_EQ(entries.size(), std::size(lines));
    ChangeLine c = read_change_line(entries[2].text, true), d = read_change_line(entries[3].text, true);
    ChangeLine p = read_change_line(entries[4].text, true), a = read_change_line(entries[5].text, true);
    ASSERT_EQ(c.kind, ChangeLine::Creating);
    ASSERT_EQ(d.kind, ChangeLine::Deleting);
    EXPECT_EQ(c.object, object);
    EXPECT_EQ(c.record.path, h);
    EXPECT_EQ(c.record.remark, h);
    EXPECT_EQ(d.object, object);
    EXPECT_EQ(d.record.sddl, h);
    EXPECT_EQ(d.record.remark, h);
    EXPECT_EQ(d.record.max_uses, 7u);
    ASSERT_EQ(p.kind, ChangeLine::Previous);
    EXPECT_EQ(p.object, object);
    EXPECT_EQ(p.sddl, h);
    EXPECT_TRUE(a.failed);
    EXPECT_EQ(added_account(a.object, object), L"CORP\\" + h);
    // One session, one share: nothing another server's name could add.
    auto sessions = log_sessions(entries);
    ASSERT_EQ(sessions.size(), 1u);
    ASSERT_EQ(sessions[0].changes.size(), 1u);
    EXPECT_EQ(sessions[0].changes[0].object, object);
  }
  // A month name that holds the stamp's own marks.
  std::vector<std::wstring> months = kMonths;
  months[2] = L"m-r>";
  Stamp at;
  ASSERT_TRUE(parse_stamp(format_stamp({2007, 3, 5, 9, 7}, months[2]), months, at));
  EXPECT_EQ(at.month, 3);
}

// Which lines belong to which session, whatever else the file holds: lines of two processes
// taken apart by their "Resumed" lines, a line cut short dropped without swallowing the next,
// failures that changed nothing, and sessions taken by their place in the log.
TEST(CorvaneLogParse, SessionsApartWhateverTheFileHolds) {
  auto at = [](const std::wstring& stamp, const std::wstring& text) { return stamp + L"> " + text + L"\r\n"; };
  const std::wstring t1 = L"05-Mar-2007 10:00", t0 = L"05-Mar-2007 09:30";
  const ShareRecord made{L"C:\\", L"Added via Velmora Corvane v1.0 at 05-Mar-2007 10:00", 1, false, L""};
  std::wstring log =
      at(t1, started_line(L"add")) + at(t1, session_line(L"AAAAAAAAAAAAAAAA", 1)) +
      at(t1, creating_line(L"\\\\S\\X", made)) + at(t1, started_line(L"revoke")) +
      at(t1, session_line(L"BBBBBBBBBBBBBBBB", 2)) + at(t1, previous_line(L"\\\\S\\Y", L"D:(A;;FA;;;WD)")) +
      at(t1, resumed_line(L"AAAAAAAAAAAAAAAA")) + at(t1, added_line(L"\\\\S\\X", L"CORP\\c", L"")) +
      at(t1, resumed_line(L"BBBBBBBBBBBBBBBB")) + at(t1, revoked_line(L"\\\\S\\Y", L"CORP\\c", L"")) +
      // A failure without a record (the share could not be read), and a creation refused.
      at(t0, started_line(L"add")) + at(t0, session_line(L"CCCCCCCCCCCCCCCC", 3)) +
      at(t0, added_line(L"\\\\S\\DataD", L"CORP\\c", not_changed(L"status 53: gone"))) +
      at(t0, creating_line(L"\\\\S\\W", made)) + at(t0, added_line(L"\\\\S\\W", L"CORP\\c", not_created(L"status 5"))) +
      // Cut short by a power loss, then a session of an earlier version.
      at(t0, previous_line(L"\\\\S\\Z", L"D:(A;;FA;;;WD)(A;;FA;;;BA)")).substr(0, 60) + L"\r\n" + at(t0, kTornLine) +
      at(t0, started_line(L"")) + at(t0, L"Added \\\\S\\Old CORP\\c");
  auto sessions = log_sessions(parse_log(log));
  ASSERT_EQ(sessions.size(), 4u);
  ASSERT_EQ(sessions[0].changes.size(), 1u);
  EXPECT_EQ(sessions[0].changes[0].object, L"\\\\S\\X");
  EXPECT_EQ(sessions[0].changes[0].account, L"CORP\\c");
  ASSERT_EQ(sessions[1].changes.size(), 1u);
  EXPECT_EQ(sessions[1].changes[0].object, L"\\\\S\\Y");
  ASSERT_EQ(sessions[2].changes.size(), 1u);  // W: recorded, but nothing was made
  EXPECT_TRUE(sessions[2].changes[0].made.empty());
  ShareNow someone;  // W made meanwhile by someone else in the same minute: not undone
  someone.record = made;
  EXPECT_EQ(decide_undo(sessions[2].changes[0], someone).action, UndoDecision::NotPutBack);
  EXPECT_EQ(sessions[3].kind, L"window");
  ASSERT_EQ(sessions[3].changes.size(), 1u);
  EXPECT_TRUE(sessions[3].changes[0].legacy);

  // The last to change a share is the earlier version's session; by place from 09:45 on, every
  // session from the first started at or after it, however the clock went afterwards.
  std::vector<const LogSession*> last = sessions_to_undo(sessions, std::nullopt, kMonths);
  ASSERT_EQ(last.size(), 1u);
  EXPECT_EQ(last[0]->kind, L"window");
  std::vector<const LogSession*> since = sessions_to_undo(sessions, Stamp{2007, 3, 5, 9, 45}, kMonths);
  EXPECT_EQ(since.size(), 4u);
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
           {},
           {L"frob"},
           {L"find", L"extra"},
           {L"find", L"--parallel", L"65"},
           {L"find", L"--parallel", L"x"},
           {L"add", L"--access", L"write"},
           {L"add", L"--pattern"},
           {L"export"},
           {L"find", L"--since", L"x"},
           {L"delete", L"--what-if"},
           {L"find", L"--nope"},
           {L"find", L"--drives", L""},
           {L"find", L"--out", L"x"},
           {L"shares", L"--drives", L"\\\\S\\C"},
           {L"revoke", L"--pattern", L"x"},
           {L"check", L"--yes"},
           {L"undo", L"--list", L"--since", L"01-Jan-2026 00:00"}}) {
    parse_cmd_args(bad, error);
    EXPECT_FALSE(error.empty()) << (bad.empty() ? L"(none)" : bad[0]).size();
  }
  // The table decides per command: what one takes, another refuses with the option's name.
  parse_cmd_args({L"find", L"--out", L"x.lst"}, error);
  EXPECT_EQ(error, L"find does not take --out");
  a = parse_cmd_args({L"check", L"--access", L"change", L"--pattern", L"d<drive>", L"--account", L"CORP\\u", L"--csv"},
                     error);
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
                              L"--list", L"show what would change, change nothing [add, revoke]",
                              L"--csv\r\n      results as CSV, for Import-Csv [all]"})
    EXPECT_NE(usage.find(word), std::wstring::npos) << word;
  EXPECT_TRUE(parse_cmd_args({L"/?"}, error).help);
  EXPECT_EQ(error, L"");
  EXPECT_EQ(split_list(L"FS01\r\n\r\n  FS02 \r\nFS03,FS04\n"),
            (std::vector<std::wstring>{L"FS01", L"FS02", L"FS03", L"FS04"}));
}

// Every command is one row of the table, and its name reaches that row, whose own checks apply.
TEST(CorvaneCmd, EachCommandNameReachesItsOwnRow) {
  std::set<Command> seen;
  for (const CommandRow& row : command_table()) {
    EXPECT_TRUE(seen.insert(row.command).second) << row.name;
    std::wstring error;
    CmdArgs a = parse_cmd_args({row.name}, error);
    EXPECT_EQ(a.row, &row);
    EXPECT_EQ(error, row.check(a));
  }
  EXPECT_EQ(seen.size(), static_cast<size_t>(Command::revoke) + 1);
}

TEST(CorvaneCmd, TablesAndCsv) {
  std::vector<std::vector<std::wstring>> rows = {{L"\\\\FS01\\C", L"SYS, main", L"say \"hi\""}, {L"x"}};
  EXPECT_EQ(format_table({L"Drive", L"Label", L"Note"}, rows, true),
            L"Drive,Label,Note\r\n\\\\FS01\\C,\"SYS, main\",\"say \"\"hi\"\"\"\r\nx,,\r\n");
  EXPECT_EQ(format_table({L"A", L"B"}, {{L"long value", L"1"}}, false),
            L"A           B\r\n----------  -\r\nlong value  1\r\n");
}
