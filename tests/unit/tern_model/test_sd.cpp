// zrSd through its interface: composing, reading, present bits, shared parts.
#include "model_helpers.h"

using corv::Bstr;
using corv::ComPtr;
using corvtest::hex;
using namespace modeltest;

namespace {

const HRESULT kInvalidSd = HRESULT_FROM_WIN32(ERROR_INVALID_SECURITY_DESCR);

template <class T>
ComPtr<T> part(IzrSd* d, HRESULT (STDMETHODCALLTYPE IzrSd::*get)(IDispatch**)) {
  ComPtr<IDispatch> p;
  EXPECT_EQ(S_OK, (d->*get)(p.out()));
  return as<T>(p.get());
}

uint32_t u32(const Bytes& b, size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (uint32_t(b[at + 3]) << 24);
}

// Owner S-1-5-32-544, group S-1-5-18, DACL (allow Everyone), SACL (audit Everyone), control 0x8014.
Bytes full_descriptor() {
  auto d = corvtest::create<IzrSd>(CLSID_zrSd);
  d->put_Revision(1);
  d->put_Control(0x14);
  part<IzrSid>(d.get(), &IzrSd::get_SidOwner)->put_Sid(Bstr(L"S-1-5-32-544").get());
  part<IzrSid>(d.get(), &IzrSd::get_SidGroup)->put_Sid(Bstr(L"S-1-5-18").get());
  auto dacl = part<IzrAcl>(d.get(), &IzrSd::get_Dacl);
  dacl->put_AclRevision(2);
  dacl->AddAce(ace(0, 0, 0x1F01FF, L"S-1-1-0").get());
  auto sacl = part<IzrAcl>(d.get(), &IzrSd::get_Sacl);
  sacl->put_AclRevision(2);
  sacl->AddAce(ace(2, 0xC0, 0x10000, L"S-1-1-0").get());
  return data_of(d.get());
}

}  // namespace

TEST(ZrSd, NewDescriptorWritesAnEmptyDaclAndIsRefusedBack) {
  auto d = corvtest::create<IzrSd>(CLSID_zrSd);
  const Bytes fresh = hex("00 00 04 80 00000000 00000000 00000000 14000000 00 00 08 00 00 00 00 00");
  EXPECT_EQ(fresh, data_of(d.get()));
  EXPECT_EQ(kInvalidSd, put(d.get(), fresh));  // revision 0
  // Each part is an object of its own class, made with the descriptor.
  EXPECT_TRUE(part<IzrSid>(d.get(), &IzrSd::get_SidOwner));
  EXPECT_TRUE(part<IzrSid>(d.get(), &IzrSd::get_SidGroup));
  auto dacl = part<IzrAcl>(d.get(), &IzrSd::get_Dacl);
  auto sacl = part<IzrAcl>(d.get(), &IzrSd::get_Sacl);
  ASSERT_TRUE(dacl && sacl);
  EXPECT_FALSE(same_object(dacl.get(), sacl.get()));
}

TEST(ZrSd, OwnerAndDaclAtTheirOffsets) {
  auto d = corvtest::create<IzrSd>(CLSID_zrSd);
  ASSERT_EQ(S_OK, d->put_Revision(1));
  ASSERT_EQ(S_OK, d->put_Control(4));
  ASSERT_EQ(S_OK, d->putref_SidOwner(sid(L"S-1-5-32-544").get()));
  ASSERT_EQ(S_OK, d->putref_Dacl(acl(2, {ace(0, 0, 0x1F01FF, L"S-1-1-0").get()}).get()));
  Bytes b = data_of(d.get());
  ASSERT_EQ(20u + 16u + 28u, b.size());
  EXPECT_EQ(hex("01 00 04 80"), Bytes(b.begin(), b.begin() + 4));
  EXPECT_EQ(20u, u32(b, 4));
  EXPECT_EQ(0u, u32(b, 8));
  EXPECT_EQ(0u, u32(b, 12));
  EXPECT_EQ(36u, u32(b, 16));
  EXPECT_EQ(system_sid(L"S-1-5-32-544"), Bytes(b.begin() + 20, b.begin() + 36));
  EXPECT_EQ(hex("02 00 1C 00 01 00 00 00"), Bytes(b.begin() + 36, b.begin() + 44));
}

TEST(ZrSd, PresentBitsFollowTheParts) {
  auto d = corvtest::create<IzrSd>(CLSID_zrSd);
  d->put_Revision(1);
  ASSERT_EQ(S_OK, d->put_Control(0x14));
  Bytes b = data_of(d.get());  // empty SACL left out
  EXPECT_EQ(28u, b.size());
  EXPECT_EQ(0x04, b[2]);
  EXPECT_EQ(0u, u32(b, 12));
  long control = 0;
  d->get_Control(&control);
  EXPECT_EQ(0x14, control);

  // No DACL at all when its list does not deny access when empty.
  auto dacl = part<IzrAcl>(d.get(), &IzrSd::get_Dacl);
  ASSERT_EQ(S_OK, dacl->put_AccessDeniedIfEmpty(VARIANT_FALSE));
  ASSERT_EQ(S_OK, d->put_Control(0xFFFF));
  b = data_of(d.get());
  EXPECT_EQ(20u, b.size());
  EXPECT_EQ(0xEB, b[2]);
  EXPECT_EQ(0xFF, b[3]);
  EXPECT_EQ(0u, u32(b, 16));

  // A SACL with entries is written last, with its bit set.
  part<IzrAcl>(d.get(), &IzrSd::get_Sacl)->AddAce(ace(2, 0x40, 1, L"S-1-1-0").get());
  d->put_Control(0);
  b = data_of(d.get());
  EXPECT_EQ(0x80, b[3]);
  EXPECT_EQ(0x10, b[2]);
  EXPECT_EQ(20u, u32(b, 12));
}

TEST(ZrSd, DataPutFillsTheHeldPartsInPlace) {
  const Bytes full = full_descriptor();
  auto d = corvtest::create<IzrSd>(CLSID_zrSd);
  auto owner = part<IzrSid>(d.get(), &IzrSd::get_SidOwner);
  auto dacl = part<IzrAcl>(d.get(), &IzrSd::get_Dacl);
  ASSERT_EQ(S_OK, put(d.get(), full));
  long rev = 0, control = 0;
  d->get_Revision(&rev);
  d->get_Control(&control);
  EXPECT_EQ(1, rev);
  EXPECT_EQ(0x8014, control);
  EXPECT_EQ(L"S-1-5-32-544", sid_text(owner.get()));
  EXPECT_EQ(L"S-1-5-18", sid_text(part<IzrSid>(d.get(), &IzrSd::get_SidGroup).get()));
  long n = 0;
  dacl->get_AceCount(&n);
  EXPECT_EQ(1, n);
  part<IzrAcl>(d.get(), &IzrSd::get_Sacl)->get_AceCount(&n);
  EXPECT_EQ(1, n);
  EXPECT_EQ(full, data_of(d.get()));
}

TEST(ZrSd, RefusedBytesLeaveTheDescriptorCleared) {
  const Bytes full = full_descriptor();
  auto d = corvtest::create<IzrSd>(CLSID_zrSd);
  auto owner = part<IzrSid>(d.get(), &IzrSd::get_SidOwner);
  auto dacl = part<IzrAcl>(d.get(), &IzrSd::get_Dacl);
  auto expect_cleared = [&] {
    long rev = -1, control = -1, n = -1;
    d->get_Revision(&rev);
    d->get_Control(&control);
    dacl->get_AceCount(&n);
    EXPECT_EQ(0, rev);
    EXPECT_EQ(0, control);
    EXPECT_EQ(0, n);
    EXPECT_EQ(L"", sid_text(owner.get()));
  };
  std::vector<Bytes> invalid = {Bytes(full.begin(), full.begin() + 19), Bytes(full.begin(), full.end() - 1)};
  for (size_t slot : {4, 8, 12, 16}) {
    Bytes b = full;
    b[slot] = static_cast<uint8_t>(full.size() - 1);  // part runs past the end
    invalid.push_back(b);
    b[slot + 3] = 0x80;                              // far outside
    invalid.push_back(b);
  }
  Bytes bad_rev = full;
  bad_rev[0] = 2;
  invalid.push_back(bad_rev);
  for (const Bytes& b : invalid) {
    ASSERT_EQ(S_OK, put(d.get(), full));
    EXPECT_EQ(kInvalidSd, put(d.get(), b)) << b.size();
    expect_cleared();
  }
  BSTR none = nullptr;
  ASSERT_EQ(S_OK, put(d.get(), full));
  EXPECT_EQ(kInvalidSd, d->put_Data(&none));
  expect_cleared();

  // Absolute form: a valid descriptor that is not read.
  Bytes absolute = full;
  absolute[3] = 0;
  ASSERT_EQ(S_OK, put(d.get(), full));
  EXPECT_EQ(E_INVALIDARG, put(d.get(), absolute));
  expect_cleared();
  SECURITY_DESCRIPTOR sys;
  ASSERT_TRUE(InitializeSecurityDescriptor(&sys, SECURITY_DESCRIPTOR_REVISION));
  Bytes sys_bytes(reinterpret_cast<uint8_t*>(&sys), reinterpret_cast<uint8_t*>(&sys) + sizeof sys);
  EXPECT_EQ(E_INVALIDARG, put(d.get(), sys_bytes));

  // A list part that refuses its bytes stops the read; the parts before keep theirs.
  Bytes bad_dacl = full;
  size_t dacl_at = u32(full, 16);
  bad_dacl[dacl_at + 2] = 4;  // AclSize below its own header
  EXPECT_EQ(E_INVALIDARG, put(d.get(), bad_dacl));
  EXPECT_EQ(L"S-1-5-32-544", sid_text(owner.get()));
}

TEST(ZrSd, NullDaclReadsBackAsEmptyUnlessTheListSaysOtherwise) {
  // Present bit set, offset 0: access for everyone.
  const Bytes null_dacl = hex("01 00 04 80 00000000 00000000 00000000 00000000");
  auto d = corvtest::create<IzrSd>(CLSID_zrSd);
  ASSERT_EQ(S_OK, put(d.get(), null_dacl));
  Bytes back = data_of(d.get());
  EXPECT_EQ(hex("01 00 04 80 00000000 00000000 00000000 14000000 00 00 08 00 00 00 00 00"), back);
  part<IzrAcl>(d.get(), &IzrSd::get_Dacl)->put_AccessDeniedIfEmpty(VARIANT_FALSE);
  EXPECT_EQ(hex("01 00 00 80 00000000 00000000 00000000 00000000"), data_of(d.get()));
}

TEST(ZrSd, PartsAreSharedAndClearedInPlace) {
  auto d = corvtest::create<IzrSd>(CLSID_zrSd);
  auto mine = acl(2, {ace(0, 0, 1, L"S-1-1-0").get()});
  ASSERT_EQ(S_OK, d->putref_Dacl(mine.get()));
  EXPECT_TRUE(same_object(part<IzrAcl>(d.get(), &IzrSd::get_Dacl).get(), mine.get()));
  ASSERT_EQ(S_OK, d->Clear());
  long n = -1, rev = -1;
  mine->get_AceCount(&n);
  mine->get_AclRevision(&rev);
  EXPECT_EQ(0, n);
  EXPECT_EQ(0, rev);

  // Something of the wrong kind is refused and changes nothing.
  auto owner_before = part<IzrSid>(d.get(), &IzrSd::get_SidOwner);
  EXPECT_EQ(E_INVALIDARG, d->putref_SidOwner(mine.get()));
  EXPECT_EQ(E_INVALIDARG, d->putref_SidGroup(nullptr));
  EXPECT_EQ(E_INVALIDARG, d->putref_Dacl(sid(L"S-1-1-0").get()));
  EXPECT_EQ(E_INVALIDARG, d->putref_Sacl(ace(0, 0, 0, nullptr).get()));
  EXPECT_TRUE(same_object(part<IzrSid>(d.get(), &IzrSd::get_SidOwner).get(), owner_before.get()));
  EXPECT_TRUE(same_object(part<IzrAcl>(d.get(), &IzrSd::get_Dacl).get(), mine.get()));

  // One identifier object as owner of two descriptors: a change shows in both.
  auto shared = sid(L"S-1-5-32-544");
  auto e = corvtest::create<IzrSd>(CLSID_zrSd);
  d->putref_SidOwner(shared.get());
  e->putref_SidOwner(shared.get());
  shared->put_Rid(545);
  Bytes bd = data_of(d.get()), be = data_of(e.get());
  EXPECT_EQ(system_sid(L"S-1-5-32-545"), Bytes(bd.begin() + 20, bd.begin() + 36));
  EXPECT_EQ(Bytes(bd.begin() + 20, bd.begin() + 36), Bytes(be.begin() + 20, be.begin() + 36));
}

TEST(ZrSd, DataGetFailsWhenAPartFails) {
  auto d = corvtest::create<IzrSd>(CLSID_zrSd);
  part<IzrAcl>(d.get(), &IzrSd::get_Sacl)->AddAce(ace(2, 0, 1, nullptr).get());
  BSTR out = nullptr;
  EXPECT_EQ(E_INVALIDARG, d->get_Data(&out));
  EXPECT_EQ(nullptr, out);
}
