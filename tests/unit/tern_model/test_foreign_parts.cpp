// Parts that are not this library's own objects: a client's own IzrSid implementation used
// as an entry's identifier and as a descriptor's owner is served through its interface, and
// malformed bytes from it are refused rather than copied.
#include "model_helpers.h"

using corv::ComPtr;
using corvtest::hex;
using namespace modeltest;

namespace {

class ClientSid : public IzrSid {
public:
  explicit ClientSid(Bytes data) : data_(std::move(data)) {}
  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) || IsEqualIID(riid, IID_IzrSid)) {
      *ppv = static_cast<IzrSid*>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
  STDMETHODIMP_(ULONG) Release() override { return --refs_; }  // lives on the test's stack
  STDMETHODIMP GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return E_NOTIMPL;
  }
  STDMETHODIMP get_Sid(BSTR*) override { return E_NOTIMPL; }
  STDMETHODIMP put_Sid(BSTR) override { return E_NOTIMPL; }
  STDMETHODIMP get_Valid(VARIANT_BOOL*) override { return E_NOTIMPL; }
  STDMETHODIMP get_SubauthorityCount(short*) override { return E_NOTIMPL; }
  STDMETHODIMP put_SubauthorityCount(short) override { return E_NOTIMPL; }
  STDMETHODIMP get_Rid(long*) override { return E_NOTIMPL; }
  STDMETHODIMP put_Rid(long) override { return E_NOTIMPL; }
  STDMETHODIMP get_System(BSTR*) override { return E_NOTIMPL; }
  STDMETHODIMP put_System(BSTR) override { return E_NOTIMPL; }
  STDMETHODIMP get_Account(BSTR*) override { return E_NOTIMPL; }
  STDMETHODIMP put_Account(BSTR) override { return E_NOTIMPL; }
  STDMETHODIMP get_Domain(BSTR*) override { return E_NOTIMPL; }
  STDMETHODIMP get_SidType(long*) override { return E_NOTIMPL; }
  STDMETHODIMP InitCurrentUser() override { return E_NOTIMPL; }
  STDMETHODIMP AccountToSid(VARIANT_BOOL*) override { return E_NOTIMPL; }
  STDMETHODIMP SidToAccount(VARIANT_BOOL*) override { return E_NOTIMPL; }
  STDMETHODIMP get_Data(BSTR* out) override {
    *out = data_.empty() ? nullptr : corvtest::bytes(data_).release();
    return S_OK;
  }
  STDMETHODIMP put_Data(BSTR* in) override {
    data_ = corvtest::bytes_of(in ? *in : nullptr);
    return S_OK;
  }
  STDMETHODIMP SystemToSid(VARIANT_BOOL*) override { return E_NOTIMPL; }
  STDMETHODIMP Clear() override {
    data_.clear();
    return S_OK;
  }
  STDMETHODIMP get_Log(IDispatch**) override { return E_NOTIMPL; }
  STDMETHODIMP putref_Log(IDispatch*) override { return E_NOTIMPL; }

  Bytes data_;

private:
  ULONG refs_ = 1;
};

}  // namespace

TEST(ForeignParts, AClientsIdentifierObjectServesEntriesAndDescriptors) {
  ClientSid everyone(system_sid(L"S-1-1-0"));
  auto a = ace(0, 0, 0x1F01FF, nullptr);
  ASSERT_EQ(S_OK, a->putref_Sid(&everyone));
  EXPECT_EQ(hex("00 00 14 00 FF 01 1F 00 01 01 00 00 00 00 00 01 00 00 00 00"), data_of(a.get()));
  // Data put refills the client's object in place.
  ASSERT_EQ(S_OK, put(a.get(), cat({hex("00 00 18 00 FF 01 1F 00"), system_sid(L"S-1-5-32-544")})));
  EXPECT_EQ(system_sid(L"S-1-5-32-544"), everyone.data_);

  auto d = corvtest::create<IzrSd>(CLSID_zrSd);
  ClientSid owner(cat({system_sid(L"S-1-5-18"), hex("EE EE")}));  // bytes beyond its own length are left out
  ASSERT_EQ(S_OK, d->putref_SidOwner(&owner));
  d->put_Revision(1);
  Bytes b = data_of(d.get());
  EXPECT_EQ(system_sid(L"S-1-5-18"), Bytes(b.begin() + 20, b.begin() + 32));
  EXPECT_EQ(32, b[16]);  // the DACL follows the 12-byte owner

  // An identifier object that answers with bytes that are no identifier is refused.
  for (const Bytes& bad :
       {hex("01 05 00 00 00 00 00 05 20 00 00 00"), hex("02 01 00 00 00 00 00 01 00 00 00 00"), hex("01 01 00")}) {
    owner.data_ = bad;
    BSTR out = nullptr;
    EXPECT_EQ(E_INVALIDARG, d->get_Data(&out));
    EXPECT_EQ(nullptr, out);
    everyone.data_ = bad;
    EXPECT_EQ(E_INVALIDARG, a->get_Data(&out));
    EXPECT_EQ(nullptr, out);
  }
  // Nothing at all counts as no owner.
  owner.data_.clear();
  EXPECT_EQ(0u, data_of(d.get())[4]);
  a.reset();
  d.reset();
}
