// Descriptor bounds and object-name preparation of the security reader/writer.
#include <gtest/gtest.h>
#include <cstring>
#include <vector>
#include "object_path.h"
#include "sd_layout.h"

using namespace tern;

namespace {

// O:BA G:SY D:(A;;GA;;;WD), self-relative, laid out owner, group, DACL.
std::vector<uint8_t> sample_sd() {
  return {0x01, 0x00, 0x04, 0x80, 20, 0, 0, 0, 36, 0, 0, 0, 0, 0, 0, 0, 48, 0, 0, 0,
          // owner S-1-5-32-544
          0x01, 0x02, 0, 0, 0, 0, 0, 5, 0x20, 0, 0, 0, 0x20, 0x02, 0, 0,
          // group S-1-5-18
          0x01, 0x01, 0, 0, 0, 0, 0, 5, 0x12, 0, 0, 0,
          // DACL: revision 2, size 28, one entry: allowed, GENERIC_ALL, S-1-1-0
          0x02, 0x00, 28, 0, 1, 0, 0, 0, 0x00, 0x00, 20, 0, 0, 0, 0, 0x10, 0x01, 0x01, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0};
}

void put32(std::vector<uint8_t>& v, size_t at, uint32_t x) { std::memcpy(&v[at], &x, 4); }

}  // namespace

TEST(SdSplit, FindsThePartsOfAWellFormedDescriptor) {
  auto sd = sample_sd();
  SdParts p;
  ASSERT_TRUE(sd_split(sd.data(), sd.size(), p));
  EXPECT_EQ(20u, p.owner);
  EXPECT_EQ(36u, p.group);
  EXPECT_EQ(48u, p.dacl);
  EXPECT_EQ(0u, p.sacl);
  EXPECT_EQ(sd.size(), sd_extent(sd.data(), sd.size()));
  // Trailing bytes beyond the descriptor are not part of it.
  sd.resize(sd.size() + 9, 0xEE);
  EXPECT_EQ(76u, sd_extent(sd.data(), sd.size()));
}

TEST(SdSplit, EmptyHeaderOnlyAndPresentBits) {
  SdParts p;
  p.owner = 7;
  EXPECT_TRUE(sd_split(nullptr, 0, p));
  EXPECT_EQ(0u, p.owner);
  EXPECT_EQ(0u, sd_extent(nullptr, 0));

  // Header alone, no parts: 20 bytes.
  std::vector<uint8_t> bare = {1, 0, 0, 0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_TRUE(sd_split(bare.data(), bare.size(), p));
  EXPECT_EQ(20u, sd_extent(bare.data(), bare.size()));

  // DACL and SACL offsets count only with their present bits; garbage offsets are then ignored.
  auto sd = sample_sd();
  sd[2] = 0x00;  // no DACL present
  put32(sd, 12, 0xFFFFFF00);
  put32(sd, 16, 0xFFFFFF00);
  ASSERT_TRUE(sd_split(sd.data(), sd.size(), p));
  EXPECT_EQ(0u, p.dacl);
  EXPECT_EQ(0u, p.sacl);
  sd[2] = 0x14;  // both present: now they must be in bounds
  EXPECT_FALSE(sd_split(sd.data(), sd.size(), p));
}

TEST(SdSplit, RefusesWhatIsNotASelfRelativeDescriptor) {
  auto sd = sample_sd();
  SdParts p;
  EXPECT_FALSE(sd_split(sd.data(), 19, p));  // shorter than the header
  auto absolute = sd;
  absolute[3] = 0x00;  // SE_SELF_RELATIVE cleared: offsets would be pointers
  EXPECT_FALSE(sd_split(absolute.data(), absolute.size(), p));
  EXPECT_EQ(0u, sd_extent(absolute.data(), absolute.size()));
}

// A part whose offset points inside the bytes but whose body does not fit must be refused:
// the system would read its full length.
TEST(SdSplit, RefusesPartsThatReachPastTheBytes) {
  auto sd = sample_sd();
  SdParts p;
  // The string ends inside the DACL.
  EXPECT_FALSE(sd_split(sd.data(), sd.size() - 1, p));
  // Owner offset inside, but its sub-authority count claims more than there is.
  auto big_owner = sd;
  big_owner[21] = 15;
  EXPECT_FALSE(sd_split(big_owner.data(), big_owner.size(), p));
  // Group offset past the end.
  auto far_group = sd;
  put32(far_group, 8, 200);
  EXPECT_FALSE(sd_split(far_group.data(), far_group.size(), p));
  // ACL size larger than the rest of the string.
  auto big_acl = sd;
  big_acl[50] = 29;
  EXPECT_FALSE(sd_split(big_acl.data(), big_acl.size(), p));
  // Entry count claiming a second entry the list has no room for.
  auto two_aces = sd;
  two_aces[52] = 2;
  EXPECT_FALSE(sd_split(two_aces.data(), two_aces.size(), p));
  // An entry whose size runs past the list.
  auto long_ace = sd;
  long_ace[58] = 24;
  EXPECT_FALSE(sd_split(long_ace.data(), long_ace.size(), p));
  // An offset near the top of the 32-bit range does not wrap around.
  auto wrap = sd;
  put32(wrap, 4, 0xFFFFFFFC);
  EXPECT_FALSE(sd_split(wrap.data(), wrap.size(), p));
}

TEST(SdSplit, ExtentCoversPartsBeyondAGap) {
  // Owner moved 8 bytes further: the extent reaches its end, past the packed length.
  auto sd = sample_sd();
  std::vector<uint8_t> gap(sd.begin(), sd.begin() + 20);
  gap.resize(28 + 16 + 12 + 28, 0);
  std::memcpy(&gap[28], &sd[20], 16);
  std::memcpy(&gap[44], &sd[36], 12);
  std::memcpy(&gap[56], &sd[48], 28);
  put32(gap, 4, 28);
  put32(gap, 8, 44);
  put32(gap, 16, 56);
  EXPECT_EQ(gap.size(), sd_extent(gap.data(), gap.size()));
}

TEST(ObjectName, ComputerSplit) {
  std::u16string path = u"\\\\srv\\data", computer;
  ASSERT_TRUE(split_computer(path, computer));
  EXPECT_EQ(u"\\\\srv", computer);
  EXPECT_EQ(u"data", path);

  path = u"\\\\srv\\MACHINE\\SOFTWARE";
  ASSERT_TRUE(split_computer(path, computer));
  EXPECT_EQ(u"MACHINE\\SOFTWARE", path);

  // No further backslash, too short, or not two leading backslashes: nothing is split.
  for (const char16_t* whole : {u"\\\\srv", u"\\\\", u"\\srv\\x", u"C:\\dir", u"a"}) {
    path = whole;
    computer = u"untouched";
    EXPECT_FALSE(split_computer(path, computer));
    EXPECT_EQ(whole, path);
    EXPECT_EQ(u"untouched", computer);
  }
}

TEST(ObjectName, RegistryRootSplit) {
  std::u16string root, sub;
  EXPECT_EQ(RegistryRoot::LocalMachine, split_registry_root(u"MACHINE\\SOFTWARE\\Classes", root, sub));
  EXPECT_EQ(u"MACHINE", root);
  EXPECT_EQ(u"SOFTWARE\\Classes", sub);
  EXPECT_EQ(RegistryRoot::LocalMachine, split_registry_root(u"machine\\SOFTWARE", root, sub));
  EXPECT_EQ(u"machine", root);
  EXPECT_EQ(RegistryRoot::Users, split_registry_root(u"USERS", root, sub));
  EXPECT_EQ(u"", sub);
  EXPECT_EQ(RegistryRoot::ClassesRoot, split_registry_root(u"Classes_Root\\.txt", root, sub));
  EXPECT_EQ(RegistryRoot::CurrentUser, split_registry_root(u"CURRENT_USER\\Software", root, sub));
  EXPECT_EQ(RegistryRoot::None, split_registry_root(u"hklm\\SOFTWARE", root, sub));
  EXPECT_EQ(RegistryRoot::None, split_registry_root(u"M", root, sub));
  EXPECT_EQ(RegistryRoot::None, split_registry_root(u"MACHINEX\\a", root, sub));
  EXPECT_EQ(RegistryRoot::None, split_registry_root(u"MACH", root, sub));
}

TEST(ObjectName, TypesPathsAndAccess) {
  EXPECT_EQ(ObjectPath::File, path_for_type(1));
  EXPECT_EQ(ObjectPath::Printer, path_for_type(3));
  EXPECT_EQ(ObjectPath::Registry, path_for_type(4));
  EXPECT_EQ(ObjectPath::Share, path_for_type(5));
  for (long t : {0L, 2L, 6L, 8L, 9L, 10L, 11L}) EXPECT_EQ(ObjectPath::Named, path_for_type(t)) << t;
  for (long t : {-1L, 7L, 12L, 0x7FFFFFFFL}) EXPECT_EQ(ObjectPath::Rejected, path_for_type(t)) << t;
  EXPECT_EQ(std::u16string(u"Unknown object type"), type_display_name(3));
  EXPECT_EQ(std::u16string(u"Unknown object type"), type_display_name(12));
  EXPECT_EQ(std::u16string(u"Registry key"), type_display_name(4));

  EXPECT_EQ(0u, open_access(0, false));
  EXPECT_EQ(0u, open_access(0x80000000u, true));  // protection bits alone open nothing
  EXPECT_EQ(kReadControl, open_access(kDaclInfo | kOwnerInfo, false));
  EXPECT_EQ(kWriteDac | kWriteOwner, open_access(kDaclInfo | kGroupInfo, true));
  EXPECT_EQ(kAccessSystemSecurity, open_access(kSaclInfo, true));
  EXPECT_EQ(kReadControl | kAccessSystemSecurity, open_access(kSaclInfo | kDaclInfo, false));
}
