// Every result of every member is written on every way out, failures included: a C++ caller
// frees or releases what it gets back, so a result left as it came in is a crash there.
// Each result starts as a marker (a string of our own, 0xCDCDCDCD, a made-up pointer), never
// as null, so that a member that leaves it alone shows.
#include <objsafe.h>
#include <thread>
#include "com_test.h"
#include "tern_h.h"
#include "wick_h.h"

using corv::Bstr;
using corv::ComPtr;
using corvtest::create;

namespace {

constexpr ULONG kMarker = 0xCDCDCDCDu;

// A string result.
class OutText {
public:
  OutText() : marker_(SysAllocString(L"not written")), value_(marker_) {}
  ~OutText() {
    if (written()) SysFreeString(value_);
    SysFreeString(marker_);
  }
  OutText(const OutText&) = delete;
  OutText& operator=(const OutText&) = delete;
  BSTR* put() { return &value_; }
  bool written() const { return value_ != marker_; }
  bool null() const { return value_ == nullptr; }
  std::wstring text() const { return written() ? corvtest::str(value_) : L"<not written>"; }

private:
  BSTR marker_;
  BSTR value_;
};

// A number or boolean result.
template <class T>
struct OutNumber {
  T value = static_cast<T>(kMarker);
  T* put() { return &value; }
  bool written() const { return value != static_cast<T>(kMarker); }
};

// An interface result.
template <class I>
class OutObject {
public:
  ~OutObject() {
    if (written() && value_) value_->Release();
  }
  I** put() { return &value_; }
  bool written() const { return value_ != marker(); }
  bool null() const { return value_ == nullptr; }

private:
  static I* marker() { return reinterpret_cast<I*>(static_cast<ULONG_PTR>(kMarker)); }
  I* value_ = marker();
};

// A variant result.
class OutVariant {
public:
  OutVariant() {
    VariantInit(&v_);
    V_VT(&v_) = VT_I4;
    V_I4(&v_) = static_cast<LONG>(kMarker);
  }
  ~OutVariant() {
    if (written()) VariantClear(&v_);
  }
  VARIANT* put() { return &v_; }
  bool written() const { return !(V_VT(&v_) == VT_I4 && V_I4(&v_) == static_cast<LONG>(kMarker)); }
  bool empty() const { return V_VT(&v_) == VT_EMPTY; }

private:
  VARIANT v_;
};

// A failing or empty answer: written, and written as nothing.
#define EXPECT_NOTHING(out) \
  EXPECT_TRUE((out).written() && (out).null()) << #out << " is " << ((out).written() ? "not null" : "not written")

}  // namespace

TEST(OutValues, Sid) {
  auto sid = create<IzrSid>(CLSID_zrSid);
  ASSERT_TRUE(sid);
  // An identifier object that holds no valid identifier.
  {
    OutText text, data;
    EXPECT_EQ(S_FALSE, sid->get_Sid(text.put()));
    EXPECT_NOTHING(text);
    EXPECT_EQ(S_OK, sid->get_Data(data.put()));
    EXPECT_NOTHING(data);
  }
  OutNumber<VARIANT_BOOL> valid, resolved, by_sid, by_system;
  OutNumber<short> count;
  OutNumber<long> rid, type;
  EXPECT_EQ(S_OK, sid->get_Valid(valid.put()));
  EXPECT_EQ(VARIANT_FALSE, valid.value);
  EXPECT_EQ(S_OK, sid->get_SubauthorityCount(count.put()));
  EXPECT_EQ(0, count.value);
  EXPECT_EQ(S_OK, sid->get_Rid(rid.put()));
  EXPECT_EQ(0, rid.value);
  EXPECT_EQ(S_OK, sid->get_SidType(type.put()));
  EXPECT_TRUE(type.written());
  EXPECT_EQ(S_FALSE, sid->SidToAccount(by_sid.put()));
  EXPECT_EQ(VARIANT_FALSE, by_sid.value);
  Bstr nobody(L"corvane-no-such-account");
  ASSERT_EQ(S_OK, sid->put_Account(nobody.get()));
  EXPECT_EQ(S_FALSE, sid->AccountToSid(resolved.put()));
  EXPECT_EQ(VARIANT_FALSE, resolved.value);
  sid->SystemToSid(by_system.put());
  EXPECT_TRUE(by_system.written());
  OutText system, account, domain;
  EXPECT_EQ(S_OK, sid->get_System(system.put()));
  EXPECT_TRUE(system.written());
  EXPECT_EQ(S_OK, sid->get_Account(account.put()));
  EXPECT_TRUE(account.written());
  EXPECT_EQ(S_OK, sid->get_Domain(domain.put()));
  EXPECT_TRUE(domain.written());
  // No log attached.
  OutObject<IDispatch> log;
  EXPECT_EQ(E_FAIL, sid->get_Log(log.put()));
  EXPECT_NOTHING(log);
}

TEST(OutValues, AceAclAndDescriptor) {
  // An entry whose identifier object holds nothing valid cannot be written.
  auto ace = create<IzrAce>(CLSID_zrAce);
  ASSERT_TRUE(ace);
  {
    OutText data, object_type, inherited;
    EXPECT_EQ(E_INVALIDARG, ace->get_Data(data.put()));
    EXPECT_NOTHING(data);
    EXPECT_EQ(S_OK, ace->get_ObjectType(object_type.put()));
    EXPECT_TRUE(object_type.written());
    EXPECT_EQ(S_OK, ace->get_InheritedObjectType(inherited.put()));
    EXPECT_TRUE(inherited.written());
    OutObject<IDispatch> sid;
    EXPECT_EQ(S_OK, ace->get_Sid(sid.put()));
    EXPECT_TRUE(sid.written() && !sid.null());
    OutNumber<long> type, flags, object_flags, mask;
    ace->get_AceType(type.put());
    ace->get_AceFlags(flags.put());
    ace->get_Flags(object_flags.put());
    ace->get_AccessMask(mask.put());
    EXPECT_TRUE(type.written() && flags.written() && object_flags.written() && mask.written());
  }

  // An empty list that does not deny access is not written at all.
  auto acl = create<IzrAcl>(CLSID_zrAcl);
  ASSERT_TRUE(acl);
  ASSERT_EQ(S_OK, acl->put_AccessDeniedIfEmpty(VARIANT_FALSE));
  {
    OutText data;
    EXPECT_EQ(S_FALSE, acl->get_Data(data.put()));
    EXPECT_NOTHING(data);
    OutNumber<VARIANT_BOOL> correct, denied;
    OutNumber<long> revision, count;
    EXPECT_EQ(S_OK, acl->sort(correct.put()));
    EXPECT_EQ(VARIANT_TRUE, correct.value);
    acl->get_AccessDeniedIfEmpty(denied.put());
    acl->get_AclRevision(revision.put());
    acl->get_AceCount(count.put());
    EXPECT_TRUE(denied.written() && revision.written() && count.written());
    OutObject<IUnknown> items;
    EXPECT_EQ(S_OK, acl->get__NewEnum(items.put()));
    EXPECT_TRUE(items.written() && !items.null());
  }
  ComPtr<IDispatch> ace_d;
  ASSERT_EQ(S_OK, ace->QueryInterface(IID_IDispatch, ace_d.out_void()));
  ASSERT_EQ(S_OK, acl->AddAce(ace_d.get()));
  {
    OutText data;
    EXPECT_EQ(E_INVALIDARG, acl->get_Data(data.put()));
    EXPECT_NOTHING(data);
  }

  // A descriptor whose DACL cannot be written.
  auto sd = create<IzrSd>(CLSID_zrSd);
  ASSERT_TRUE(sd);
  ComPtr<IDispatch> acl_d;
  ASSERT_EQ(S_OK, acl->QueryInterface(IID_IDispatch, acl_d.out_void()));
  ASSERT_EQ(S_OK, sd->putref_Dacl(acl_d.get()));
  OutText data;
  EXPECT_EQ(E_INVALIDARG, sd->get_Data(data.put()));
  EXPECT_NOTHING(data);
  OutObject<IDispatch> owner, group, dacl, sacl;
  sd->get_SidOwner(owner.put());
  sd->get_SidGroup(group.put());
  sd->get_Dacl(dacl.put());
  sd->get_Sacl(sacl.put());
  EXPECT_TRUE(owner.written() && group.written() && dacl.written() && sacl.written());
  OutNumber<long> revision, control;
  sd->get_Revision(revision.put());
  sd->get_Control(control.put());
  EXPECT_TRUE(revision.written() && control.written());
}

TEST(OutValues, SecurityInfo) {
  auto si = create<IzrSecurityInfo>(CLSID_zrSecurityInfo);
  ASSERT_TRUE(si);
  const long kFile = 1, kKernel = 6, kDacl = 4;
  // A failed read: false, and no descriptor.
  {
    Bstr name(L"C:\\corvane-no-such-folder\\none.txt");
    OutText sd;
    OutNumber<VARIANT_BOOL> ok;
    EXPECT_EQ(S_OK, si->read(name.get(), kFile, kDacl, sd.put(), ok.put()));
    EXPECT_EQ(VARIANT_FALSE, ok.value);
    EXPECT_NOTHING(sd);
  }
  // A name that names no object of the type is refused.
  {
    Bstr name(L"");
    OutText sd;
    OutNumber<VARIANT_BOOL> ok;
    EXPECT_EQ(E_INVALIDARG, si->read(name.get(), 99, kDacl, sd.put(), ok.put()));
    EXPECT_EQ(VARIANT_FALSE, ok.value);
    EXPECT_NOTHING(sd);
  }
  // The one exception: an object with no descriptor at all leaves the caller's value.
  {
    Bstr name(L"CorvaneTestEvent");
    OutText sd;
    OutNumber<VARIANT_BOOL> ok;
    EXPECT_EQ(S_OK, si->read(name.get(), kKernel, kDacl, sd.put(), ok.put()));
    EXPECT_EQ(VARIANT_TRUE, ok.value);
    EXPECT_FALSE(sd.written());
  }
  {
    OutText sd;
    OutNumber<VARIANT_BOOL> ok;
    EXPECT_EQ(S_OK, si->readByHandle(0, kFile, kDacl, sd.put(), ok.put()));
    EXPECT_EQ(VARIANT_FALSE, ok.value);
    EXPECT_NOTHING(sd);
    // A null descriptor reference: the result is still written.
    OutNumber<VARIANT_BOOL> ok2;
    EXPECT_EQ(E_POINTER, si->readByHandle(0, kFile, kDacl, nullptr, ok2.put()));
    EXPECT_EQ(VARIANT_FALSE, ok2.value);
  }
  {
    OutNumber<VARIANT_BOOL> ok, valid;
    BSTR none = nullptr;
    EXPECT_EQ(E_INVALIDARG, si->write(nullptr, 99, kDacl, &none, ok.put()));
    EXPECT_EQ(VARIANT_FALSE, ok.value);
    Bstr junk = corvtest::bytes({1, 2, 3});
    BSTR j = junk.get();
    EXPECT_EQ(S_OK, si->IsValidSecurityDescriptor(&j, valid.put()));
    EXPECT_EQ(VARIANT_FALSE, valid.value);
  }
  OutObject<IDispatch> log;
  EXPECT_EQ(E_FAIL, si->get_Log(log.put()));
  EXPECT_NOTHING(log);
  OutVariant param;
  EXPECT_EQ(E_NOTIMPL, si->get_Param(0, param.put()));
  EXPECT_TRUE(param.written() && param.empty());
}

TEST(OutValues, SiEditor) {
  auto ed = create<IzrSiEditor>(CLSID_zrSiEditor);
  ASSERT_TRUE(ed);
  OutText sd, default_sd;
  EXPECT_EQ(S_OK, ed->get_Sd(sd.put()));
  EXPECT_EQ(S_OK, ed->get_DefaultSd(default_sd.put()));
  EXPECT_TRUE(sd.written() && default_sd.written());
  OutNumber<VARIANT_BOOL> custom, added;
  EXPECT_EQ(S_OK, ed->get_CustomLookupAndOrder(custom.put()));
  EXPECT_EQ(VARIANT_FALSE, custom.value);
  EXPECT_EQ(S_OK, ed->addSecurityPage(0, added.put()));  // no sheet to take it
  EXPECT_TRUE(added.written());
  OutVariant param;
  EXPECT_EQ(E_NOTIMPL, ed->get_Param(0, param.put()));
  EXPECT_TRUE(param.written() && param.empty());
}

// An apartment class: called from its own apartment, so that the object itself (not the
// marshaller) answers the null references and the markers.
TEST(OutValues, UserBrowser) {
  HRESULT hr = E_FAIL;
  bool created = false, all_nothing = false, skipped_null = false;
  std::thread sta([&] {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    {
      ComPtr<IzrUserBrowser> b;
      created = SUCCEEDED(CoCreateInstance(CLSID_zrUserBrowser, nullptr, CLSCTX_INPROC_SERVER, IID_IzrUserBrowser,
                                           b.out_void()));
      if (created) {
        OutText domain, account, description;
        hr = b->GetSelection(0, domain.put(), account.put(), description.put());
        all_nothing = domain.written() && domain.null() && account.written() && account.null() &&
                      description.written() && description.null();
        OutText only;
        b->GetSelection(-1, nullptr, only.put(), nullptr);
        skipped_null = only.written() && only.null();
      }
    }
    CoUninitialize();
  });
  sta.join();
  ASSERT_TRUE(created);
  EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_INVALID_INDEX), hr);
  EXPECT_TRUE(all_nothing) << "an index without a pick";
  EXPECT_TRUE(skipped_null) << "with null references beside it";
}

TEST(OutValues, Log) {
  auto log = create<IzrLog>(CLSID_zrLog);
  ASSERT_TRUE(log);
  {
    OutText system, source, description;
    OutNumber<long> error;
    EXPECT_EQ(E_POINTER, log->GetLastError(system.put(), source.put(), nullptr, error.put(), description.put()));
    EXPECT_NOTHING(system);
    EXPECT_NOTHING(source);
    EXPECT_NOTHING(description);
    EXPECT_EQ(0, error.value);
  }
  OutText system, source, description, file, tab, even;
  OutNumber<long> severity, error, filter;
  EXPECT_EQ(S_OK, log->GetLastError(system.put(), source.put(), severity.put(), error.put(), description.put()));
  EXPECT_TRUE(system.written() && source.written() && severity.written() && error.written() && description.written());
  log->get_FileName(file.put());
  log->get_FileTabulator(tab.put());
  log->get_EvenSource(even.put());
  log->get_FilterSeverity(filter.put());
  EXPECT_TRUE(file.written() && tab.written() && even.written() && filter.written());
  OutNumber<VARIANT_BOOL> trace, to_file, event_log, call, unicode;
  log->get_FlagTrace(trace.put());
  log->get_FlagFile(to_file.put());
  log->get_FlagEventLog(event_log.put());
  log->get_FlagCallOnError(call.put());
  log->get_FileUnicode(unicode.put());
  EXPECT_TRUE(trace.written() && to_file.written() && event_log.written() && call.written() && unicode.written());
}

TEST(OutValues, DataConvertor) {
  auto c = create<IzrDataConvertor>(CLSID_zrDataConvertor);
  ASSERT_TRUE(c);
  Bstr empty = corvtest::bytes({});
  Bstr bad_hex(L"0g");
  BSTR e = empty.get(), h = bad_hex.get();
  struct Case {
    zrDATA_CONVERSION direction;
    BSTR* source;
    HRESULT expected;
  } cases[] = {{zrBinToHex, nullptr, S_OK},        // no source: nothing
               {zrBinToHex, &e, S_OK},             // empty source: nothing
               {zrHexToBin, &h, E_INVALIDARG},     // not hexadecimal
               {static_cast<zrDATA_CONVERSION>(99), &e, E_INVALIDARG}};
  for (const Case& k : cases) {
    OutText result;
    EXPECT_EQ(k.expected, c->convert(k.direction, k.source, result.put())) << k.direction;
    EXPECT_NOTHING(result);
  }
  // Declared, not implemented: the pure results read as nothing and false.
  OutText binary;
  OutNumber<VARIANT_BOOL> printed, scanned;
  SAFEARRAY* in_out = nullptr;
  EXPECT_EQ(E_NOTIMPL, c->printf(0, &e, binary.put(), &in_out, printed.put()));
  EXPECT_NOTHING(binary);
  EXPECT_EQ(VARIANT_FALSE, printed.value);
  SAFEARRAY* marker = reinterpret_cast<SAFEARRAY*>(static_cast<ULONG_PTR>(kMarker));
  SAFEARRAY* values = marker;
  EXPECT_EQ(E_NOTIMPL, c->scanf(0, &e, &e, &values, scanned.put()));
  EXPECT_EQ(nullptr, values);
  EXPECT_EQ(VARIANT_FALSE, scanned.value);
}

TEST(OutValues, AttributeAndEntry) {
  auto a = create<IzrAttribute>(CLSID_zrAttribute);
  ASSERT_TRUE(a);
  {
    OutVariant value;
    EXPECT_EQ(DISP_E_BADINDEX, a->get_Value(0, value.put()));
    EXPECT_TRUE(value.written() && value.empty());
  }
  // A value with no text form cannot be serialised.
  ASSERT_EQ(S_OK, a->resize(1));
  VARIANT null_value;
  VariantInit(&null_value);
  V_VT(&null_value) = VT_NULL;
  ASSERT_EQ(S_OK, a->put_Value(0, &null_value));
  {
    OutText data, name;
    EXPECT_EQ(E_INVALIDARG, a->get_Data(data.put()));
    EXPECT_NOTHING(data);
    EXPECT_EQ(S_OK, a->get_Name(name.put()));
    EXPECT_TRUE(name.written());
    OutNumber<long> count, type, control;
    a->get_Count(count.put());
    a->get_Type(type.put());
    a->get_Control(control.put());
    EXPECT_TRUE(count.written() && type.written() && control.written());
    OutObject<IUnknown> items;
    EXPECT_EQ(S_OK, a->get__NewEnum(items.put()));
    EXPECT_TRUE(items.written() && !items.null());
  }

  auto e = create<IzrEntry>(CLSID_zrEntry);
  ASSERT_TRUE(e);
  {
    OutObject<IDispatch> by_index, by_name, added;
    OutText name_at;
    OutNumber<long> found;
    Bstr name(L"cn");
    EXPECT_EQ(DISP_E_BADINDEX, e->get_Attribute(0, by_index.put()));
    EXPECT_NOTHING(by_index);
    EXPECT_EQ(S_OK, e->get_AttributeA(name.get(), by_name.put()));
    EXPECT_NOTHING(by_name);
    EXPECT_EQ(DISP_E_BADINDEX, e->get_AttributeName(3, name_at.put()));
    EXPECT_NOTHING(name_at);
    EXPECT_EQ(S_OK, e->findAttribute(name.get(), found.put()));
    EXPECT_EQ(-1, found.value);
    EXPECT_EQ(E_INVALIDARG, e->add(name.get(), -1, added.put()));
    EXPECT_NOTHING(added);
  }
  // An entry holding an attribute that cannot serialise itself.
  {
    Bstr name(L"cn");
    ComPtr<IDispatch> added;
    ASSERT_EQ(S_OK, e->add(name.get(), 1, added.out()));
    ComPtr<IzrAttribute> attribute;
    ASSERT_EQ(S_OK, added->QueryInterface(IID_IzrAttribute, attribute.out_void()));
    ASSERT_EQ(S_OK, attribute->put_Value(0, &null_value));
    OutText data, entry_name;
    EXPECT_EQ(E_INVALIDARG, e->get_Data(data.put()));
    EXPECT_NOTHING(data);
    EXPECT_EQ(S_OK, e->get_Name(entry_name.put()));
    EXPECT_TRUE(entry_name.written());
    OutNumber<long> flags, count;
    e->get_Flags(flags.put());
    e->get_Count(count.put());
    EXPECT_TRUE(flags.written() && count.written());
    OutObject<IUnknown> items;
    EXPECT_EQ(S_OK, e->get__NewEnum(items.put()));
    EXPECT_TRUE(items.written() && !items.null());
  }
}

// The frame's safety options: one null reference does not leave the other unwritten.
TEST(OutValues, SafetyOptions) {
  auto sid = create<IzrSid>(CLSID_zrSid);
  ASSERT_TRUE(sid);
  ComPtr<IObjectSafety> safety;
  ASSERT_EQ(S_OK, sid->QueryInterface(IID_IObjectSafety, safety.out_void()));
  OutNumber<DWORD> supported, enabled;
  EXPECT_EQ(E_POINTER, safety->GetInterfaceSafetyOptions(IID_IzrSid, supported.put(), nullptr));
  EXPECT_EQ(0u, supported.value);
  EXPECT_EQ(E_POINTER, safety->GetInterfaceSafetyOptions(IID_IzrSid, nullptr, enabled.put()));
  EXPECT_EQ(0u, enabled.value);
}
