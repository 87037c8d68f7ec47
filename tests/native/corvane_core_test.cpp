// The program's Windows-free pieces: item texts, share names, log and remark layout, status
// texts, volume figures, settings values, access masks.
#include <gtest/gtest.h>

#include "disk_text.h"
#include "drive_item.h"
#include "log_layout.h"
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
