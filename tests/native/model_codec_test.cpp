// Entry, list and descriptor binary forms, natively with sanitizers.
#include <gtest/gtest.h>
#include <cstring>
#include "ace_codec.h"
#include "acl_codec.h"
#include "sd_codec.h"
#include "sid_codec.h"

using namespace tern;
using Bytes = std::vector<uint8_t>;

namespace {

Bytes sid_of(const char16_t* text) {
  Bytes sid;
  EXPECT_TRUE(sid_from_text(text, sid));
  return sid;
}

Bytes cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// Exact-size heap copy, so that the sanitizer sees any read past the end.
bool parse_ace(const Bytes& b, AceView& v) {
  Bytes copy(b);
  return ace_parse(copy.empty() ? nullptr : copy.data(), copy.size(), v);
}

const GuidBytes kGuidA = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
const GuidBytes kGuidB = {0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7, 0xA8,
                          0xA9, 0xAA, 0xAB, 0xAC, 0xAD, 0xAE, 0xAF, 0xB0};

}  // namespace

TEST(AceForm, PlainEntryForEveryoneRoundTrips) {
  Bytes everyone = sid_of(u"S-1-1-0");
  AceFields f;
  f.mask = 0x1F01FF;
  Bytes ace = ace_encode(f, everyone.data(), everyone.size());
  EXPECT_EQ((Bytes{0, 0, 0x14, 0, 0xFF, 1, 0x1F, 0, 1, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0}), ace);
  AceView v;
  ASSERT_TRUE(parse_ace(ace, v));
  EXPECT_EQ(0u, v.fields.type);
  EXPECT_EQ(0x1F01FFu, v.fields.mask);
  EXPECT_EQ(8u, v.sid_offset);
  EXPECT_EQ(12u, v.sid_length);
  EXPECT_EQ(20u, v.size);
}

TEST(AceForm, ObjectEntriesPlaceGuidsByTheirPresenceBits) {
  Bytes sid = sid_of(u"S-1-5-32-544");
  AceFields f;
  f.type = 5;
  f.flags = 0x12;
  f.mask = 0x30;
  f.object_type = kGuidA;
  f.inherited_object_type = kGuidB;

  f.object_flags = kAceInheritedObjectTypePresent;
  Bytes only_inherited = ace_encode(f, sid.data(), sid.size());
  ASSERT_EQ(28u + 16u, only_inherited.size());
  EXPECT_EQ(2u, get_u32(&only_inherited[8]));
  EXPECT_EQ(0, std::memcmp(&only_inherited[12], kGuidB.data(), 16));
  EXPECT_EQ(Bytes(only_inherited.begin() + 28, only_inherited.end()), sid);

  f.object_flags = 3;
  Bytes both = ace_encode(f, sid.data(), sid.size());
  ASSERT_EQ(44u + 16u, both.size());
  EXPECT_EQ(60, get_u16(&both[2]));
  EXPECT_EQ(0, std::memcmp(&both[12], kGuidA.data(), 16));
  EXPECT_EQ(0, std::memcmp(&both[28], kGuidB.data(), 16));
  EXPECT_EQ(Bytes(both.begin() + 44, both.end()), sid);

  AceView v;
  ASSERT_TRUE(parse_ace(both, v));
  EXPECT_EQ(5u, v.fields.type);
  EXPECT_EQ(0x12u, v.fields.flags);
  EXPECT_EQ(3u, v.fields.object_flags);
  EXPECT_EQ(kGuidA, v.fields.object_type);
  EXPECT_EQ(kGuidB, v.fields.inherited_object_type);
  EXPECT_EQ(44u, v.sid_offset);

  // A plain type writes neither object flags nor GUIDs, whatever they hold.
  f.type = 0;
  Bytes plain = ace_encode(f, sid.data(), sid.size());
  EXPECT_EQ(24u, plain.size());
  EXPECT_EQ(Bytes(plain.begin() + 8, plain.end()), sid);
  // Types beyond the object range (9, compound 4) are plain too; the layout follows the
  // type byte that is written.
  for (uint32_t t : {4u, 9u, 0x100u}) {
    f.type = t;
    EXPECT_EQ(8u, ace_sid_offset(f)) << t;
  }
  f.type = 0x108;
  EXPECT_EQ(44u, ace_sid_offset(f));
}

TEST(AceForm, ParseRefusesShortAndInconsistentForms) {
  Bytes sid = sid_of(u"S-1-1-0");
  AceFields f;
  Bytes good = ace_encode(f, sid.data(), sid.size());
  AceView v;
  EXPECT_FALSE(parse_ace(Bytes(good.begin(), good.begin() + 11), v));      // below 12 bytes
  EXPECT_FALSE(parse_ace(Bytes(good.begin(), good.end() - 1), v));         // below AceSize
  EXPECT_FALSE(ace_parse(nullptr, 0, v));

  Bytes longer_sid = good;
  longer_sid[9] = 2;                                                       // identifier reaches past AceSize
  longer_sid.resize(40, 0);
  EXPECT_FALSE(parse_ace(longer_sid, v));

  Bytes slack = good;                                                      // bytes beyond AceSize are ignored
  slack.resize(64, 0xEE);
  ASSERT_TRUE(parse_ace(slack, v));
  EXPECT_EQ(20u, v.size);

  // An object entry whose GUIDs leave no room for the identifier within AceSize.
  f.type = 6;
  f.object_flags = 3;
  Bytes obj = ace_encode(f, sid.data(), sid.size());
  Bytes cut = obj;
  put_u16(&cut[2], 44);
  EXPECT_FALSE(parse_ace(cut, v));
  put_u16(&cut[2], 20);
  EXPECT_FALSE(parse_ace(cut, v));
  ASSERT_TRUE(parse_ace(obj, v));

  // The identifier is not judged here (revision 2 still parses).
  Bytes odd = good;
  odd[8] = 2;
  EXPECT_TRUE(parse_ace(odd, v));
}

TEST(AclForm, WalksEntriesAndJudgesBounds) {
  Bytes sid = sid_of(u"S-1-1-0");
  AceFields allow;
  allow.mask = 0x1F01FF;
  Bytes a = ace_encode(allow, sid.data(), sid.size());
  AceFields deny;
  deny.type = 1;
  deny.mask = 1;
  Bytes d = ace_encode(deny, sid.data(), sid.size());
  Bytes acl(8);
  acl_write_header(acl.data(), 0x102, 48, 2);
  EXPECT_EQ((Bytes{2, 0, 48, 0, 2, 0, 0, 0}), acl);
  acl = cat({acl, a, d});

  AclLayout l;
  ASSERT_EQ(AclParse::ok, acl_parse(acl.data(), acl.size(), l));
  EXPECT_EQ(2, l.revision);
  ASSERT_EQ(2u, l.entries.size());
  EXPECT_EQ(8u, l.entries[0].offset);
  EXPECT_EQ(28u, l.entries[1].offset);
  EXPECT_EQ(20u, l.entries[1].size);

  Bytes seven(acl.begin(), acl.begin() + 7);
  EXPECT_EQ(AclParse::bad_header, acl_parse(seven.data(), seven.size(), l));
  Bytes short_of_size(acl.begin(), acl.end() - 1);
  EXPECT_EQ(AclParse::bad_header, acl_parse(short_of_size.data(), short_of_size.size(), l));

  // AclSize smaller than the entries it counts: the second entry lies outside.
  Bytes shrunk = acl;
  put_u16(&shrunk[2], 40);
  EXPECT_EQ(AclParse::entry_out_of_bounds, acl_parse(shrunk.data(), shrunk.size(), l));
  // A count larger than the entries present.
  Bytes overcount = acl;
  put_u16(&overcount[4], 3);
  EXPECT_EQ(AclParse::entry_out_of_bounds, acl_parse(overcount.data(), overcount.size(), l));
  // A malformed second entry within bounds: the first is kept.
  Bytes bad = acl;
  bad[28 + 9] = 5;  // its identifier now claims 28 bytes
  ASSERT_EQ(AclParse::bad_entry, acl_parse(bad.data(), bad.size(), l));
  EXPECT_EQ(1u, l.entries.size());
  // A zero-sized entry never loops: it is malformed.
  Bytes zero = acl;
  put_u16(&zero[8 + 2], 0);
  EXPECT_EQ(AclParse::bad_entry, acl_parse(zero.data(), zero.size(), l));
  EXPECT_TRUE(l.entries.empty());
  // Trailing bytes beyond AclSize are ignored; an empty list is the header alone.
  Bytes empty{2, 0, 8, 0, 0, 0, 0, 0, 0xFF, 0xFF};
  ASSERT_EQ(AclParse::ok, acl_parse(empty.data(), empty.size(), l));
  EXPECT_EQ(8u, l.acl_size);
  EXPECT_TRUE(l.entries.empty());
}

TEST(SdForm, ComposesPartsAndPresentBits) {
  // A fresh descriptor: an empty DACL only.
  Bytes empty_acl{0, 0, 8, 0, 0, 0, 0, 0};
  SdParts p;
  p.dacl = {empty_acl.data(), empty_acl.size()};
  EXPECT_EQ((Bytes{0, 0, 4, 0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 20, 0, 0, 0, 0, 0, 8, 0, 0, 0, 0, 0}),
            sd_compose(0, 0, p));

  Bytes owner = sid_of(u"S-1-5-32-544");
  Bytes group = sid_of(u"S-1-5-18");
  Bytes everyone = sid_of(u"S-1-1-0");
  AceFields allow;
  allow.mask = 0x1F01FF;
  Bytes dacl(8);
  acl_write_header(dacl.data(), 2, 28, 1);
  dacl = cat({dacl, ace_encode(allow, everyone.data(), everyone.size())});
  SdParts q;
  q.owner = {owner.data(), owner.size()};
  q.dacl = {dacl.data(), dacl.size()};
  Bytes sd = sd_compose(0x101, 4, q);
  ASSERT_EQ(20u + 16u + 28u, sd.size());
  EXPECT_EQ(1, sd[0]);
  EXPECT_EQ(0x8004, get_u16(&sd[2]));
  EXPECT_EQ(20u, get_u32(&sd[4]));
  EXPECT_EQ(0u, get_u32(&sd[8]));
  EXPECT_EQ(0u, get_u32(&sd[12]));
  EXPECT_EQ(36u, get_u32(&sd[16]));
  EXPECT_EQ(Bytes(sd.begin() + 36, sd.end()), dacl);

  // All four, in the order owner, group, DACL, SACL; an empty SACL is left out and its bit cleared.
  Bytes sacl(8);
  acl_write_header(sacl.data(), 2, 8, 0);
  q.group = {group.data(), group.size()};
  q.sacl = {sacl.data(), sacl.size()};
  sd = sd_compose(1, 0x14, q);
  EXPECT_EQ(0x8004, get_u16(&sd[2]));
  EXPECT_EQ(0u, get_u32(&sd[12]));
  // A DACL that is not given clears its bit, whatever the control word says.
  q.dacl = {};
  sd = sd_compose(1, 0xFFFF, q);
  EXPECT_EQ(0xFFFF & ~kSeDaclPresent & ~kSeSaclPresent, get_u16(&sd[2]));
  EXPECT_EQ(0u, get_u32(&sd[16]));
  EXPECT_EQ(20u + 16u + 12u, sd.size());
}

TEST(SdForm, ParseJudgesEveryOffset) {
  Bytes owner = sid_of(u"S-1-5-32-544");
  Bytes group = sid_of(u"S-1-5-18");
  Bytes dacl{2, 0, 8, 0, 0, 0, 0, 0};
  Bytes sacl{2, 0, 8, 0, 0, 0, 0, 0};
  SdParts p{{owner.data(), owner.size()}, {group.data(), group.size()}, {dacl.data(), dacl.size()}, {}};
  Bytes sd = sd_compose(1, 0x14, p);
  sd = cat({sd, sacl});
  put_u32(&sd[12], static_cast<uint32_t>(sd.size() - 8));
  put_u16(&sd[2], 0x8014);

  SdLayout l;
  ASSERT_EQ(SdParse::ok, sd_parse(sd.data(), sd.size(), l));
  EXPECT_EQ(1, l.revision);
  EXPECT_EQ(0x8014, l.control);
  EXPECT_EQ(20u, l.owner.offset);
  EXPECT_EQ(16u, l.owner.size);
  EXPECT_EQ(36u, l.group.offset);
  EXPECT_EQ(12u, l.group.size);
  EXPECT_TRUE(l.dacl.present);
  EXPECT_EQ(48u, l.dacl.offset);
  EXPECT_TRUE(l.sacl.present);
  EXPECT_EQ(56u, l.sacl.offset);

  // Present bits decide whether a list is read.
  Bytes no_bits = sd;
  put_u16(&no_bits[2], 0x8000);
  ASSERT_EQ(SdParse::ok, sd_parse(no_bits.data(), no_bits.size(), l));
  EXPECT_FALSE(l.dacl.present);
  EXPECT_FALSE(l.sacl.present);

  Bytes nineteen(sd.begin(), sd.begin() + 19);
  EXPECT_EQ(SdParse::invalid, sd_parse(nineteen.data(), nineteen.size(), l));
  Bytes absolute = sd;
  put_u16(&absolute[2], 0x0014);
  EXPECT_EQ(SdParse::absolute, sd_parse(absolute.data(), absolute.size(), l));

  // Each offset, with its part's own length, must lie within the bytes.
  Bytes truncated(sd.begin(), sd.end() - 1);
  EXPECT_EQ(SdParse::invalid, sd_parse(truncated.data(), truncated.size(), l));
  for (size_t slot : {4, 8, 12, 16}) {
    for (uint32_t off :
         {static_cast<uint32_t>(sd.size()), static_cast<uint32_t>(sd.size() - 1), 0xFFFFFFFFu, 0xFFFFFFF0u}) {
      Bytes bad = sd;
      put_u32(&bad[slot], off);
      EXPECT_EQ(SdParse::invalid, sd_parse(bad.data(), bad.size(), l)) << slot << " " << off;
    }
  }
  // The owner's count byte claims more sub-authorities than the bytes hold.
  Bytes grown = sd;
  grown[20 + 1] = 15;
  EXPECT_EQ(SdParse::invalid, sd_parse(grown.data(), grown.size(), l));
  // A present list whose AclSize is below its header is reported as it stands.
  Bytes tiny = sd;
  put_u16(&tiny[48 + 2], 2);
  ASSERT_EQ(SdParse::ok, sd_parse(tiny.data(), tiny.size(), l));
  EXPECT_TRUE(l.dacl.present);
  EXPECT_EQ(2u, l.dacl.size);
}
