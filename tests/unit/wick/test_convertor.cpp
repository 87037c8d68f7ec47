// zrDataConvertor through its interface: the five directions and the unimplemented members.
#include <objsafe.h>
#include "wick_test.h"

using corv::Bstr;
using corv::ComPtr;
using corvtest::bytes;
using corvtest::bytes_of;
using corvtest::hex;
using wicktest::Via;

namespace {

class Convertor : public ::testing::TestWithParam<Via> {
protected:
  void SetUp() override {
    conv = wicktest::make<IzrDataConvertor>(CLSID_zrDataConvertor, GetParam());
    ASSERT_TRUE(conv);
  }
  // Converts and hands back the status; *out null when no result was set.
  HRESULT run(zrDATA_CONVERSION d, BSTR source, Bstr& out) {
    BSTR src = source;
    BSTR r = reinterpret_cast<BSTR>(0x1);  // any stale value must be replaced
    HRESULT hr = conv->convert(d, &src, &r);
    out.reset(r == reinterpret_cast<BSTR>(0x1) ? nullptr : r);
    EXPECT_NE(reinterpret_cast<BSTR>(0x1), r) << "result left unset";
    return hr;
  }
  ComPtr<IzrDataConvertor> conv;
};

TEST_P(Convertor, BinaryToHexadecimalInUpperCase) {
  Bstr r;
  Bstr src = bytes(hex("00 AB 7F ff 10"));
  EXPECT_EQ(S_OK, run(zrBinToHex, src.get(), r));
  EXPECT_EQ(L"00AB7FFF10", corvtest::str(r.get()));
  // An odd byte length counts every byte.
  Bstr odd = bytes({0x01, 0x02, 0x03});
  EXPECT_EQ(S_OK, run(zrBinToHex, odd.get(), r));
  EXPECT_EQ(L"010203", corvtest::str(r.get()));
  Bstr empty = bytes({});
  EXPECT_EQ(S_OK, run(zrBinToHex, empty.get(), r));
  EXPECT_EQ(nullptr, r.get());
  EXPECT_EQ(S_OK, run(zrBinToHex, nullptr, r));
  EXPECT_EQ(nullptr, r.get());
}

TEST_P(Convertor, HexadecimalToBinary) {
  Bstr r;
  Bstr t(L"00ab7F");
  EXPECT_EQ(S_OK, run(zrHexToBin, t.get(), r));
  EXPECT_EQ(hex("00 AB 7F"), bytes_of(r.get()));
  Bstr odd(L"ABC");  // the last digit is checked, then ignored
  EXPECT_EQ(S_OK, run(zrHexToBin, odd.get(), r));
  EXPECT_EQ(hex("AB"), bytes_of(r.get()));
  Bstr oddbad(L"ABG");
  EXPECT_EQ(E_INVALIDARG, run(zrHexToBin, oddbad.get(), r));
  EXPECT_EQ(nullptr, r.get());
  for (const wchar_t* bad : {L"AG", L"A B", L"-1", L"0x"}) {
    Bstr b(bad);
    EXPECT_EQ(E_INVALIDARG, run(zrHexToBin, b.get(), r)) << bad;
    EXPECT_EQ(nullptr, r.get());
  }
  // Read up to the first NUL: one digit is left, which gives an empty byte string.
  Bstr nul = wicktest::text(std::wstring(L"A\0BC", 4));
  EXPECT_EQ(S_OK, run(zrHexToBin, nul.get(), r));
  ASSERT_NE(nullptr, r.get());
  EXPECT_EQ(0u, SysStringByteLen(r.get()));
  Bstr empty(L"");
  EXPECT_EQ(S_OK, run(zrHexToBin, empty.get(), r));
  EXPECT_EQ(nullptr, r.get());
}

TEST_P(Convertor, DirectoryStringsWidenSignedAndNarrowBack) {
  Bstr r;
  std::vector<uint8_t> all(256);
  for (int i = 0; i < 256; ++i) all[i] = static_cast<uint8_t>(i);
  Bstr src = bytes(all);
  ASSERT_EQ(S_OK, run(zrBinToLdapStr, src.get(), r));
  std::wstring t = corvtest::str(r.get());
  ASSERT_EQ(256u, t.size());
  EXPECT_EQ(L'\0', t[0]);
  EXPECT_EQ(L'\x7f', t[0x7F]);
  EXPECT_EQ(L'\xff80', t[0x80]);
  EXPECT_EQ(L'\xffe9', t[0xE9]);
  Bstr back;
  ASSERT_EQ(S_OK, run(zrLdapStrToBin, r.get(), back));
  EXPECT_EQ(all, bytes_of(back.get()));

  // A trailing odd byte is ignored; fewer than two bytes give no result.
  Bstr three = bytes({'a', 0, 'b'});
  EXPECT_EQ(S_OK, run(zrLdapStrToBin, three.get(), r));
  EXPECT_EQ(hex("61"), bytes_of(r.get()));
  Bstr one = bytes({'a'});
  EXPECT_EQ(S_OK, run(zrLdapStrToBin, one.get(), r));
  EXPECT_EQ(nullptr, r.get());
  Bstr empty = bytes({});
  EXPECT_EQ(S_OK, run(zrBinToLdapStr, empty.get(), r));
  EXPECT_EQ(nullptr, r.get());
}

// The filter element must be usable inside a search filter: the filter's special characters,
// NUL and every byte outside printable ASCII stand escaped as a backslash and two digits.
TEST_P(Convertor, FilterElementEscapesWhatAFilterCannotHold) {
  Bstr r;
  std::vector<uint8_t> all(256);
  for (int i = 0; i < 256; ++i) all[i] = static_cast<uint8_t>(i);
  Bstr src = bytes(all);
  ASSERT_EQ(S_OK, run(zrBinToLdapFilter, src.get(), r));
  std::wstring t = corvtest::str(r.get());
  // Decode it back: every escaped byte is \XX; what stands plain must be allowed to.
  std::vector<uint8_t> decoded;
  for (size_t i = 0; i < t.size(); ++i) {
    wchar_t c = t[i];
    ASSERT_GE(c, 0x20) << i;
    ASSERT_LE(c, 0x7E) << i;
    ASSERT_TRUE(c != L'*' && c != L'(' && c != L')') << i;
    if (c == L'\\') {
      ASSERT_LT(i + 2, t.size());
      std::string two(1, static_cast<char>(t[i + 1]));
      two += static_cast<char>(t[i + 2]);
      std::vector<uint8_t> b = hex(two.c_str());
      ASSERT_EQ(1u, b.size()) << i;
      decoded.push_back(b[0]);
      i += 2;
    } else {
      decoded.push_back(static_cast<uint8_t>(c));
    }
  }
  EXPECT_EQ(all, decoded);

  Bstr plain = bytes({'c', 'n', '0'});
  ASSERT_EQ(S_OK, run(zrBinToLdapFilter, plain.get(), r));
  EXPECT_EQ(L"cn0", corvtest::str(r.get()));
  // An empty byte string gives an empty text (not none); a null one gives none.
  Bstr empty = bytes({});
  ASSERT_EQ(S_OK, run(zrBinToLdapFilter, empty.get(), r));
  ASSERT_NE(nullptr, r.get());
  EXPECT_EQ(0u, SysStringLen(r.get()));
  EXPECT_EQ(S_OK, run(zrBinToLdapFilter, nullptr, r));
  EXPECT_EQ(nullptr, r.get());
}

TEST_P(Convertor, UnknownDirectionsAndNullReferences) {
  Bstr r;
  Bstr src = bytes({1});
  EXPECT_EQ(E_INVALIDARG, run(static_cast<zrDATA_CONVERSION>(0), src.get(), r));
  EXPECT_EQ(E_INVALIDARG, run(static_cast<zrDATA_CONVERSION>(6), src.get(), r));
  EXPECT_EQ(E_INVALIDARG, run(static_cast<zrDATA_CONVERSION>(-1), nullptr, r));
  // No reference at all: S_OK before anything else, even for an unknown direction.
  BSTR out = nullptr;
  EXPECT_EQ(S_OK, conv->convert(static_cast<zrDATA_CONVERSION>(9), nullptr, &out));
  EXPECT_EQ(nullptr, out);
  BSTR s = src.get();
  EXPECT_EQ(E_POINTER, conv->convert(zrBinToHex, &s, nullptr));
}

// Nothing is read; the pure results are nothing and false, the caller's inputs and in-out list stay.
TEST_P(Convertor, PrintfAndScanfAnswerNotImplementedAndReadNothing) {
  BSTR fmt = reinterpret_cast<BSTR>(0x10), bin = reinterpret_cast<BSTR>(0x20);
  SAFEARRAY* argv = reinterpret_cast<SAFEARRAY*>(0x30);
  VARIANT_BOOL result = 5;
  EXPECT_EQ(E_NOTIMPL, conv->printf(3, &fmt, &bin, &argv, &result));
  EXPECT_EQ(reinterpret_cast<BSTR>(0x10), fmt);
  EXPECT_EQ(nullptr, bin);
  EXPECT_EQ(reinterpret_cast<SAFEARRAY*>(0x30), argv);
  EXPECT_EQ(VARIANT_FALSE, result);
  bin = reinterpret_cast<BSTR>(0x20);
  result = 5;
  EXPECT_EQ(E_NOTIMPL, conv->scanf(3, &fmt, &bin, &argv, &result));
  EXPECT_EQ(reinterpret_cast<BSTR>(0x10), fmt);
  EXPECT_EQ(reinterpret_cast<BSTR>(0x20), bin);
  EXPECT_EQ(nullptr, argv);
  EXPECT_EQ(VARIANT_FALSE, result);
  EXPECT_EQ(E_NOTIMPL, conv->printf(0, nullptr, nullptr, nullptr, nullptr));
}

TEST_P(Convertor, SafeForScriptingWithBothOptions) {
  ComPtr<IObjectSafety> safety;
  ASSERT_EQ(S_OK, conv->QueryInterface(IID_IObjectSafety, safety.out_void()));
  DWORD supported = 0, enabled = 0;
  EXPECT_EQ(S_OK, safety->GetInterfaceSafetyOptions(IID_IzrDataConvertor, &supported, &enabled));
  EXPECT_EQ(3u, supported);
  ComPtr<IUnknown> cpc;
  EXPECT_EQ(E_NOINTERFACE, conv->QueryInterface(IID_IConnectionPointContainer, cpc.out_void()));
}

INSTANTIATE_TEST_SUITE_P(Wick, Convertor, ::testing::Values(Via::Registry, Via::Factory), wicktest::via_name);

}  // namespace
