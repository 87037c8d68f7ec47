// Identifier text and binary forms, natively with sanitizers.
#include <gtest/gtest.h>
#include "sid_codec.h"

using tern::sid_from_text;
using tern::sid_to_text;

namespace {

std::u16string text_of(const char16_t* in) {
  std::vector<uint8_t> sid;
  if (!sid_from_text(in, sid)) return u"<none>";
  return sid_to_text(sid.data());
}

}  // namespace

TEST(SidText, ParsesAndFormatsWellKnownIdentifiers) {
  std::vector<uint8_t> sid;
  ASSERT_TRUE(sid_from_text(u"S-1-5-32-544", sid));
  EXPECT_EQ((std::vector<uint8_t>{1, 2, 0, 0, 0, 0, 0, 5, 0x20, 0, 0, 0, 0x20, 2, 0, 0}), sid);
  EXPECT_EQ(u"S-1-5-32-544", sid_to_text(sid.data()));
  EXPECT_EQ(u"S-1-1-0", text_of(u"S-1-1-0"));
  EXPECT_EQ(u"S-1-5-21-1-2-3-4294967295", text_of(u"S-1-5-21-1-2-3-4294967295"));
}

TEST(SidText, RejectsWhatIsNotAnIdentifier) {
  for (const char16_t* t : {u"", u"s-1-5-32-544", u"S-1-5", u"S-1", u"S-", u"S", u"X-1-5-32",
                            u"S-1-5-1-2-3-4-5-6-7-8-9", u"S-1-0x010203040506-7", u"S-1x5-32", u"S-1-5x"}) {
    std::vector<uint8_t> sid{1};
    EXPECT_FALSE(sid_from_text(t, sid)) << std::string(t, t + std::char_traits<char16_t>::length(t));
    EXPECT_TRUE(sid.empty());
  }
}

TEST(SidText, FollowsTheNumberConversionRules) {
  EXPECT_EQ(u"S-1-5-32", text_of(u"S-2-5-32"));                    // revision read but not used
  EXPECT_EQ(u"S-1-5-0", text_of(u"S-1-5-"));                       // no digits: 0
  EXPECT_EQ(u"S-1-5-32-544", text_of(u"S-1-5-32-544 xyz"));        // trailing text ignored
  EXPECT_EQ(u"S-1-4294967295-1", text_of(u"S-1-99999999999-1"));   // authority saturates
  EXPECT_EQ(u"S-1-5-4294967295", text_of(u"S-1-5-4294967296"));    // so does a sub-authority
  EXPECT_EQ(u"S-1-5-4294967291", text_of(u"S-1-5--5"));            // a minus negates modulo 2^32
  EXPECT_EQ(u"S-1-5-32", text_of(u"S-1-5- 32"));                   // leading blanks skipped
  EXPECT_EQ(u"S-1-5-1-2-3-4-5-6-7-8", text_of(u"S-1-5-1-2-3-4-5-6-7-8"));  // eight is the most
}

TEST(SidText, WritesLargeAuthoritiesInHexadecimal) {
  const uint8_t auth[6] = {1, 2, 3, 4, 5, 6};
  const uint32_t sub = 7;
  auto sid = tern::sid_build(auth, &sub, 1);
  EXPECT_EQ(u"S-1-0x010203040506-7", sid_to_text(sid.data()));
  const uint8_t big[6] = {0, 0, 0xFF, 0xFF, 0xFF, 0xFF};
  EXPECT_EQ(u"S-1-4294967295-7", sid_to_text(tern::sid_build(big, &sub, 1).data()));
  const uint8_t upper[6] = {0, 0xAB, 0, 0, 0, 0};
  EXPECT_EQ(u"S-1-0x00ab00000000-7", sid_to_text(tern::sid_build(upper, &sub, 1).data()));
}

TEST(SidBinary, ValidityNeedsEveryAnnouncedByte) {
  std::vector<uint8_t> sid;
  ASSERT_TRUE(sid_from_text(u"S-1-5-32-544", sid));
  EXPECT_TRUE(tern::sid_is_valid(sid.data(), sid.size()));
  EXPECT_FALSE(tern::sid_is_valid(sid.data(), sid.size() - 1));
  EXPECT_FALSE(tern::sid_is_valid(sid.data(), 7));
  EXPECT_FALSE(tern::sid_is_valid(nullptr, 0));
  auto bad_rev = sid;
  bad_rev[0] = 2;
  EXPECT_FALSE(tern::sid_is_valid(bad_rev.data(), bad_rev.size()));
  std::vector<uint8_t> sixteen(8 + 4 * 16, 0);
  sixteen[0] = 1;
  sixteen[1] = 16;
  EXPECT_FALSE(tern::sid_is_valid(sixteen.data(), sixteen.size()));
  sixteen[1] = 15;
  EXPECT_TRUE(tern::sid_is_valid(sixteen.data(), sixteen.size()));
  EXPECT_EQ(16u, tern::sid_length_at(sid.data(), sid.size() + 10));  // further bytes ignored
}
