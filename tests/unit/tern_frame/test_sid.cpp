#include "com_test.h"
#include "tern_h.h"

using corv::Bstr;
using corvtest::create;

TEST(ZrSidText, RoundTripAndBinaryForm) {
  auto sid = create<IzrSid>(CLSID_zrSid);
  ASSERT_TRUE(sid);
  Bstr in(L"S-1-5-32-544");
  ASSERT_EQ(S_OK, sid->put_Sid(in.get()));
  Bstr out;
  ASSERT_EQ(S_OK, sid->get_Sid(out.out()));
  EXPECT_EQ(L"S-1-5-32-544", corvtest::str(out.get()));
  Bstr data;
  ASSERT_EQ(S_OK, sid->get_Data(data.out()));
  EXPECT_EQ(corvtest::hex("01 02 00 00 00 00 00 05 20 00 00 00 20 02 00 00"), corvtest::bytes_of(data.get()));
}
