// Reads each library's embedded type library back and holds it against the contract tables.
#include <map>
#include <string>
#include "com_test.h"
#include "contract.h"

using corv::ComPtr;

namespace {

std::wstring doc_name(ITypeInfo* ti, MEMBERID id, std::wstring* help = nullptr) {
  BSTR name = nullptr, doc = nullptr;
  if (FAILED(ti->GetDocumentation(id, &name, &doc, nullptr, nullptr))) return L"?";
  std::wstring n = corvtest::str(name);
  if (help) *help = doc ? corvtest::str(doc) : L"<none>";
  SysFreeString(name);
  SysFreeString(doc);
  return n;
}

ComPtr<ITypeLib> load(const wchar_t* module) {
  static std::map<std::wstring, ComPtr<ITypeLib>> cache;
  auto it = cache.find(module);
  if (it != cache.end()) return it->second;
  ComPtr<ITypeLib> tl;
  std::wstring path = corvtest::program_folder() + module;
  EXPECT_EQ(S_OK, LoadTypeLibEx(path.c_str(), REGKIND_NONE, tl.out())) << "type library of " << path.size();
  cache[module] = tl;
  return tl;
}

std::string narrow(const std::wstring& w) { return std::string(w.begin(), w.end()); }

}  // namespace

TEST(TypeLibrary, LibrariesCarryTheirIdentity) {
  ASSERT_FALSE(contract::libraries().empty());
  for (const auto& l : contract::libraries()) {
    SCOPED_TRACE(narrow(l.name));
    auto tl = load(l.module);
    ASSERT_TRUE(tl);
    TLIBATTR* a = nullptr;
    ASSERT_EQ(S_OK, tl->GetLibAttr(&a));
    EXPECT_TRUE(IsEqualGUID(*l.libid, a->guid));
    EXPECT_EQ(l.major, a->wMajorVerNum);
    EXPECT_EQ(l.minor, a->wMinorVerNum);
    EXPECT_EQ(0u, a->lcid);
    tl->ReleaseTLibAttr(a);
    BSTR name = nullptr, help = nullptr;
    ASSERT_EQ(S_OK, tl->GetDocumentation(-1, &name, &help, nullptr, nullptr));
    EXPECT_EQ(l.name, corvtest::str(name));
    EXPECT_EQ(l.help, corvtest::str(help));
    SysFreeString(name);
    SysFreeString(help);
    // Every enumeration, in the fixed order.
    std::vector<std::wstring> found;
    for (UINT i = 0; i < tl->GetTypeInfoCount(); ++i) {
      TYPEKIND k;
      if (SUCCEEDED(tl->GetTypeInfoType(i, &k)) && k == TKIND_ENUM) {
        BSTR n = nullptr;
        tl->GetDocumentation(static_cast<INT>(i), &n, nullptr, nullptr, nullptr);
        found.push_back(corvtest::str(n));
        SysFreeString(n);
      }
    }
    std::vector<std::wstring> expected(l.enum_order.begin(), l.enum_order.end());
    EXPECT_EQ(expected, found);
  }
}

TEST(TypeLibrary, InterfacesMatchTheirTables) {
  ASSERT_FALSE(contract::interfaces().empty());
  for (const auto& c : contract::interfaces()) {
    SCOPED_TRACE(narrow(c.name));
    auto tl = load(c.module);
    ASSERT_TRUE(tl);
    ComPtr<ITypeInfo> ti;
    ASSERT_EQ(S_OK, tl->GetTypeInfoOfGuid(*c.iid, ti.out()));
    std::wstring help;
    EXPECT_EQ(c.name, doc_name(ti.get(), MEMBERID_NIL, &help));
    EXPECT_EQ(c.help ? c.help : L"<none>", help);
    TYPEATTR* ta = nullptr;
    ASSERT_EQ(S_OK, ti->GetTypeAttr(&ta));
    TYPEKIND kind = ta->typekind;
    bool dual = (ta->wTypeFlags & TYPEFLAG_FDUAL) != 0;
    ti->ReleaseTypeAttr(ta);
    EXPECT_EQ(TKIND_DISPATCH, kind);
    EXPECT_EQ(c.dual, dual);

    ComPtr<ITypeInfo> body = ti;
    if (c.dual) {  // the vtable part lists the members in slot order
      HREFTYPE ref = 0;
      ASSERT_EQ(S_OK, ti->GetRefTypeOfImplType(-1, &ref));
      ASSERT_EQ(S_OK, ti->GetRefTypeInfo(ref, body.out()));
    }
    ASSERT_EQ(S_OK, body->GetTypeAttr(&ta));
    UINT nfuncs = ta->cFuncs;
    body->ReleaseTypeAttr(ta);
    std::vector<FUNCDESC*> own;
    for (UINT i = 0; i < nfuncs; ++i) {
      FUNCDESC* fd = nullptr;
      ASSERT_EQ(S_OK, body->GetFuncDesc(i, &fd));
      // A plain dispinterface also lists the IDispatch methods; they are not members.
      if (!c.dual && fd->memid >= 0x60000000 && fd->memid < 0x60020000) {
        body->ReleaseFuncDesc(fd);
        continue;
      }
      own.push_back(fd);
    }
    EXPECT_EQ(c.members.size(), own.size());
    short last_slot = -1;
    for (size_t i = 0; i < own.size() && i < c.members.size(); ++i) {
      const contract::Member& m = c.members[i];
      FUNCDESC* fd = own[i];
      SCOPED_TRACE(narrow(m.name));
      std::wstring mhelp;
      EXPECT_EQ(m.name, doc_name(body.get(), fd->memid, &mhelp));
      EXPECT_EQ(m.id, fd->memid);
      EXPECT_EQ(m.kind, fd->invkind);
      EXPECT_EQ(m.help ? m.help : L"<none>", mhelp);
      if (c.dual) {
        EXPECT_GT(fd->oVft, last_slot) << "slot order";
        EXPECT_EQ(static_cast<short>((7 + i) * sizeof(void*)), fd->oVft) << "slot after IDispatch";
        last_slot = fd->oVft;
      }
    }
    for (FUNCDESC* fd : own) body->ReleaseFuncDesc(fd);
  }
}

TEST(TypeLibrary, EnumerationsCarryTheirValues) {
  for (const auto& e : contract::enums()) {
    SCOPED_TRACE(narrow(e.name));
    auto tl = load(e.module);
    ASSERT_TRUE(tl);
    ComPtr<ITypeInfo> ti;
    bool found = false;
    for (UINT i = 0; i < tl->GetTypeInfoCount() && !found; ++i) {
      TYPEKIND k;
      if (FAILED(tl->GetTypeInfoType(i, &k)) || k != TKIND_ENUM) continue;
      ASSERT_EQ(S_OK, tl->GetTypeInfo(i, ti.out()));
      found = doc_name(ti.get(), MEMBERID_NIL) == e.name;
    }
    ASSERT_TRUE(found) << "enumeration missing";
    std::wstring help;
    doc_name(ti.get(), MEMBERID_NIL, &help);
    if (e.help) EXPECT_EQ(e.help, help);
    TYPEATTR* ta = nullptr;
    ASSERT_EQ(S_OK, ti->GetTypeAttr(&ta));
    UINT nvars = ta->cVars;
    ti->ReleaseTypeAttr(ta);
    ASSERT_EQ(e.values.size(), nvars);
    for (UINT i = 0; i < nvars; ++i) {
      VARDESC* vd = nullptr;
      ASSERT_EQ(S_OK, ti->GetVarDesc(i, &vd));
      EXPECT_EQ(e.values[i].name, doc_name(ti.get(), vd->memid));
      ASSERT_EQ(VAR_CONST, vd->varkind);
      VARIANT v;
      VariantInit(&v);
      ASSERT_EQ(S_OK, VariantChangeType(&v, vd->lpvarValue, 0, VT_I4));
      EXPECT_EQ(e.values[i].value, V_I4(&v)) << narrow(e.values[i].name);
      ti->ReleaseVarDesc(vd);
    }
  }
}

TEST(TypeLibrary, ClassesNameTheirInterfaces) {
  ASSERT_FALSE(contract::coclasses().empty());
  for (const auto& c : contract::coclasses()) {
    SCOPED_TRACE(narrow(c.name));
    auto tl = load(c.module);
    ASSERT_TRUE(tl);
    ComPtr<ITypeInfo> ti;
    ASSERT_EQ(S_OK, tl->GetTypeInfoOfGuid(*c.clsid, ti.out()));
    std::wstring help;
    EXPECT_EQ(c.name, doc_name(ti.get(), MEMBERID_NIL, &help));
    EXPECT_EQ(c.help, help);
    TYPEATTR* ta = nullptr;
    ASSERT_EQ(S_OK, ti->GetTypeAttr(&ta));
    UINT n = ta->cImplTypes;
    ti->ReleaseTypeAttr(ta);
    bool saw_default = false, saw_source = false;
    for (UINT i = 0; i < n; ++i) {
      INT flags = 0;
      HREFTYPE ref = 0;
      ComPtr<ITypeInfo> it;
      ASSERT_EQ(S_OK, ti->GetImplTypeFlags(i, &flags));
      ASSERT_EQ(S_OK, ti->GetRefTypeOfImplType(i, &ref));
      ASSERT_EQ(S_OK, ti->GetRefTypeInfo(ref, it.out()));
      TYPEATTR* ia = nullptr;
      ASSERT_EQ(S_OK, it->GetTypeAttr(&ia));
      IID iid = ia->guid;
      it->ReleaseTypeAttr(ia);
      if ((flags & IMPLTYPEFLAG_FDEFAULT) && !(flags & IMPLTYPEFLAG_FSOURCE)) {
        saw_default = true;
        EXPECT_TRUE(IsEqualIID(*c.default_iid, iid));
      }
      if ((flags & IMPLTYPEFLAG_FDEFAULT) && (flags & IMPLTYPEFLAG_FSOURCE)) {
        saw_source = true;
        ASSERT_TRUE(c.source_iid);
        EXPECT_TRUE(IsEqualIID(*c.source_iid, iid));
      }
    }
    EXPECT_TRUE(saw_default);
    EXPECT_EQ(c.source_iid != nullptr, saw_source);
  }
}
