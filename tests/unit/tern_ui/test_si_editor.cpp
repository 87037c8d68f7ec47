// zrSiEditor: the test plays the system's permission editor (through a stand-in editor library
// that hands it the provider) and checks every answer; one test opens Wine's real editor.
#include "com_test.h"
#include "event_sink.h"
#include <aclui.h>
#include <commctrl.h>
#include <prsht.h>
#include <sddl.h>
#include <functional>
#include <string>
#include <thread>
#include <vector>
#include "tern_h.h"

using corv::Bstr;
using corv::ComPtr;
using corvtest::bytes;
using corvtest::bytes_of;
using corvtest::create;

namespace {

const GUID kTypeA = {0x11111111, 0x2222, 0x3333, {0x44, 0x44, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55}};
const wchar_t* kTypeAText = L"11111111-2222-3333-4444-555555555555";
const GUID kChild = {0xaaaaaaaa, 0xbbbb, 0xcccc, {0xdd, 0xdd, 0xee, 0xee, 0xee, 0xee, 0xee, 0xee}};
const wchar_t* kChildText = L"aaaaaaaa-bbbb-cccc-dddd-eeeeeeeeeeee";

// ---- the stand-in editor ------------------------------------------------------------------

using EditHook = BOOL (*)(HWND, ISecurityInformation*);
using PageHook = HPROPSHEETPAGE (*)(ISecurityInformation*);
std::function<BOOL(HWND, ISecurityInformation*)> g_on_edit;
std::function<HPROPSHEETPAGE(ISecurityInformation*)> g_on_page;
BOOL edit_hook(HWND owner, ISecurityInformation* psi) { return g_on_edit ? g_on_edit(owner, psi) : FALSE; }
HPROPSHEETPAGE page_hook(ISecurityInformation* psi) { return g_on_page ? g_on_page(psi) : nullptr; }

// Loads a stand-in "aclui.dll" by its full path before tern.dll asks for the library by name.
HMODULE load_standin(const wchar_t* folder) {
  HMODULE m = LoadLibraryW((corvtest::program_folder() + folder + L"\\aclui.dll").c_str());
  if (!m) return nullptr;
  using SetHooks = void(WINAPI*)(EditHook, PageHook);
  if (auto set = reinterpret_cast<SetHooks>(GetProcAddress(m, "StandinSetHooks"))) set(&edit_hook, &page_hook);
  return m;
}

// Runs editSecurity with the stand-in and hands the provider to `as_editor`.
void act_as_editor(IzrSiEditor* ed, const std::function<void(ISecurityInformation*)>& as_editor, BOOL answer = TRUE) {
  bool called = false;
  g_on_edit = [&](HWND owner, ISecurityInformation* psi) {
    called = true;
    EXPECT_EQ(reinterpret_cast<HWND>(static_cast<LONG_PTR>(0x1234)), owner);
    as_editor(psi);
    return answer;
  };
  VARIANT_BOOL result = 7;
  ASSERT_EQ(S_OK, ed->editSecurity(0x1234, &result));
  EXPECT_EQ(answer ? VARIANT_TRUE : VARIANT_FALSE, result);
  EXPECT_TRUE(called);
  g_on_edit = nullptr;
}

std::vector<uint8_t> sddl_bytes(const wchar_t* sddl) {
  PSECURITY_DESCRIPTOR sd = nullptr;
  ULONG len = 0;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &sd, &len)) return {};
  std::vector<uint8_t> v(static_cast<uint8_t*>(sd), static_cast<uint8_t*>(sd) + len);
  LocalFree(sd);
  return v;
}

// ---- an event sink --------------------------------------------------------------------------

class Sink final : public corvtest::EventSink<&DIID__IzrSiEditorEvents> {
public:
  struct Apply {
    long info;
    bool descriptor_null;
    std::vector<uint8_t> descriptor;
    long result_seen;
  };
  struct Page {
    long hwnd, msg, page;
  };
  std::vector<Apply> applies;
  std::vector<Page> pages;
  bool set_result = false;
  long result_to_set = 0;

  static ComPtr<Sink> make() { return ComPtr<Sink>::attach(new Sink); }

  STDMETHODIMP Invoke(DISPID id, REFIID, LCID lcid, WORD flags, DISPPARAMS* p, VARIANT*, EXCEPINFO*, UINT*) override {
    EXPECT_EQ(0x0400u, lcid);
    EXPECT_EQ(DISPATCH_METHOD, flags);
    if (id == 1) {  // OnApplySecurity(SecurityInformation, SecurityDescriptor, hResult), reversed
      EXPECT_EQ(3u, p->cArgs);
      EXPECT_EQ(VT_I4, V_VT(&p->rgvarg[2]));
      EXPECT_EQ(VT_BYREF | VT_BSTR, V_VT(&p->rgvarg[1]));
      EXPECT_EQ(VT_BYREF | VT_I4, V_VT(&p->rgvarg[0]));
      BSTR sd = *V_BSTRREF(&p->rgvarg[1]);
      applies.push_back({V_I4(&p->rgvarg[2]), sd == nullptr, bytes_of(sd), *V_I4REF(&p->rgvarg[0])});
      if (set_result) *V_I4REF(&p->rgvarg[0]) = result_to_set;
    } else if (id == 2) {  // OnPropertySheetPageCallback(hWnd, MsgId, SiPageType)
      EXPECT_EQ(3u, p->cArgs);
      pages.push_back({V_I4(&p->rgvarg[2]), V_I4(&p->rgvarg[1]), V_I4(&p->rgvarg[0])});
    }
    return S_OK;
  }

private:
  Sink() = default;
};

DWORD advise(IzrSiEditor* ed, IDispatch* sink) {
  ComPtr<IConnectionPointContainer> cpc;
  EXPECT_EQ(S_OK, ed->QueryInterface(IID_IConnectionPointContainer, cpc.out_void()));
  ComPtr<IConnectionPoint> cp;
  EXPECT_EQ(S_OK, cpc->FindConnectionPoint(DIID__IzrSiEditorEvents, cp.out()));
  DWORD cookie = 0;
  EXPECT_EQ(S_OK, cp->Advise(sink, &cookie));
  return cookie;
}

HRESULT add_right(IzrSiEditor* ed, long mask, VARIANT name, bool is_default, const wchar_t* group = L"",
                  const wchar_t* child = L"", long page_flags = -1) {
  Bstr g(group), c(child);
  return ed->addAccessRight(mask, &name, 0x10000, page_flags, g.get(), c.get(),
                            is_default ? VARIANT_TRUE : VARIANT_FALSE);
}
VARIANT text_name(BSTR s) {
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = VT_BSTR;
  V_BSTR(&v) = s;
  return v;
}
VARIANT number_name(VARTYPE vt, LONG n) {
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = vt;
  V_I4(&v) = n;
  return v;
}

// A client's property sheet: records the pages added to it (PSM_ADDPAGE's wParam and lParam).
// A named window procedure, not a lambda: the system calls it as stdcall on i686.
std::vector<std::pair<WPARAM, LPARAM>> g_sheet_pages;
LRESULT CALLBACK test_sheet_proc(HWND h, UINT m, WPARAM w, LPARAM l) {
  if (m == PSM_ADDPAGE) {
    g_sheet_pages.push_back({w, l});
    return TRUE;
  }
  return DefWindowProcW(h, m, w, l);
}

class SiEditor : public ::testing::Test {
protected:
  void SetUp() override {
    standin = load_standin(L"editor-standin");
    ASSERT_TRUE(standin) << "stand-in editor library";
    ed = create<IzrSiEditor>(CLSID_zrSiEditor);
    ASSERT_TRUE(ed);
  }
  HMODULE standin = nullptr;
  ComPtr<IzrSiEditor> ed;
};

}  // namespace

TEST_F(SiEditor, TheProviderGoesToTheEditorOnly) {
  ComPtr<IUnknown> unk;
  EXPECT_EQ(E_NOINTERFACE, ed->QueryInterface(IID_ISecurityInformation, unk.out_void()));
  act_as_editor(ed.get(), [&](ISecurityInformation* psi) {
    ASSERT_TRUE(psi);
    ComPtr<ISecurityInformation> same;
    EXPECT_EQ(S_OK, psi->QueryInterface(IID_ISecurityInformation, same.out_void()));
    EXPECT_EQ(psi, same.get());
    // Other interfaces are the object's own answers: it offers no ISecurityInformation2.
    ComPtr<IUnknown> other;
    EXPECT_EQ(E_NOINTERFACE, psi->QueryInterface(IID_ISecurityInformation2, other.out_void()));
    ComPtr<IzrSiEditor> back;
    EXPECT_EQ(S_OK, psi->QueryInterface(IID_IzrSiEditor, back.out_void()));
    EXPECT_EQ(ed.get(), back.get());
  });
  act_as_editor(ed.get(), [](ISecurityInformation*) {}, FALSE);
}

TEST_F(SiEditor, ObjectInformation) {
  Bstr name(L"Projects"), title(L"Share permissions"), none(L""), server(L"\\\\FS01"), guid(kTypeAText);
  ASSERT_EQ(S_OK, ed->setObjectInfo(SI_EDIT_ALL | SI_ADVANCED, name.get(), title.get(), none.get(), server.get(),
                                    guid.get()));
  act_as_editor(ed.get(), [&](ISecurityInformation* psi) {
    SI_OBJECT_INFO info = {};
    ASSERT_EQ(S_OK, psi->GetObjectInformation(&info));
    EXPECT_EQ(static_cast<DWORD>(SI_EDIT_ALL | SI_ADVANCED), info.dwFlags);
    EXPECT_EQ(nullptr, info.hInstance);
    EXPECT_STREQ(L"Projects", info.pszObjectName);
    EXPECT_STREQ(L"Share permissions", info.pszPageTitle);
    EXPECT_STREQ(L"\\\\FS01", info.pszServerName);
    EXPECT_TRUE(IsEqualGUID(kTypeA, info.guidObjectType));
  });

  // A module for string resources; refusals leave the names as they were.
  Bstr module((corvtest::program_folder() + L"tern.dll").c_str()), missing(L"no-such-module.dll"), bad(L"{not-a-guid}");
  ASSERT_EQ(S_OK, ed->setObjectInfo(1, name.get(), none.get(), module.get(), none.get(), none.get()));
  Bstr other(L"Other");
  EXPECT_EQ(E_INVALIDARG, ed->setObjectInfo(2, other.get(), none.get(), missing.get(), none.get(), none.get()));
  EXPECT_EQ(E_INVALIDARG, ed->setObjectInfo(2, other.get(), none.get(), none.get(), none.get(), bad.get()));
  Bstr braced(L"{11111111-2222-3333-4444-555555555555}");
  EXPECT_EQ(E_INVALIDARG, ed->setObjectInfo(2, other.get(), none.get(), none.get(), none.get(), braced.get()));
  act_as_editor(ed.get(), [&](ISecurityInformation* psi) {
    SI_OBJECT_INFO info = {};
    ASSERT_EQ(S_OK, psi->GetObjectInformation(&info));
    EXPECT_EQ(1u, info.dwFlags);
    EXPECT_STREQ(L"Projects", info.pszObjectName);
    EXPECT_EQ(nullptr, info.hInstance);  // the failed call unloaded the earlier module
    EXPECT_TRUE(IsEqualGUID(GUID_NULL, info.guidObjectType));
  });

  ASSERT_EQ(S_OK, ed->setObjectInfo(1, name.get(), none.get(), module.get(), none.get(), none.get()));
  act_as_editor(ed.get(), [&](ISecurityInformation* psi) {
    SI_OBJECT_INFO info = {};
    ASSERT_EQ(S_OK, psi->GetObjectInformation(&info));
    EXPECT_NE(nullptr, info.hInstance);
  });
  // Clearing the object information: no names, no module, flags 0.
  ASSERT_EQ(S_OK, ed->Clear(2));
  act_as_editor(ed.get(), [&](ISecurityInformation* psi) {
    SI_OBJECT_INFO info = {};
    ASSERT_EQ(S_OK, psi->GetObjectInformation(&info));
    EXPECT_EQ(0u, info.dwFlags);
    EXPECT_EQ(nullptr, info.hInstance);
    EXPECT_EQ(nullptr, info.pszObjectName);
    EXPECT_EQ(nullptr, info.pszPageTitle);
    EXPECT_EQ(nullptr, info.pszServerName);
  });
}

TEST_F(SiEditor, AccessRightsInGroupsWithDefaultsInFront) {
  Bstr a(L"A"), b(L"B"), c(L"C"), read1(L"Read"), read2(L"READ");
  ASSERT_EQ(S_OK, add_right(ed.get(), 1, text_name(a.get()), true));
  ASSERT_EQ(S_OK, add_right(ed.get(), 2, text_name(b.get()), false));
  ASSERT_EQ(S_OK, add_right(ed.get(), 4, text_name(c.get()), true));
  // Another object type, with pooled names, resource identifiers and a child type.
  ASSERT_EQ(S_OK, add_right(ed.get(), 8, text_name(read1.get()), false, kTypeAText, kChildText));
  ASSERT_EQ(S_OK, add_right(ed.get(), 16, text_name(read2.get()), false, kTypeAText));
  ASSERT_EQ(S_OK, add_right(ed.get(), 32, number_name(VT_I4, 5), false, kTypeAText));
  ASSERT_EQ(S_OK, add_right(ed.get(), 64, number_name(VT_I4, 65541), false, kTypeAText));
  ASSERT_EQ(S_OK, add_right(ed.get(), 128, number_name(VT_R8, 0), false, kTypeAText));
  VARIANT null_text = text_name(nullptr);
  ASSERT_EQ(S_OK, add_right(ed.get(), 256, null_text, false, kTypeAText));
  // Refused: page flags other than -1, GUID texts that do not parse.
  EXPECT_EQ(E_INVALIDARG, add_right(ed.get(), 1, text_name(a.get()), false, L"", L"", 0));
  EXPECT_EQ(E_INVALIDARG, add_right(ed.get(), 1, text_name(a.get()), false, L"xyz"));
  EXPECT_EQ(E_INVALIDARG, add_right(ed.get(), 1, text_name(a.get()), false, L"", L"xyz"));

  act_as_editor(ed.get(), [&](ISecurityInformation* psi) {
    PSI_ACCESS access = nullptr;
    ULONG count = 0, def = 99;
    ASSERT_EQ(S_OK, psi->GetAccessRights(nullptr, 0, &access, &count, &def));
    ASSERT_EQ(3u, count);
    EXPECT_STREQ(L"C", access[0].pszName);
    EXPECT_STREQ(L"A", access[1].pszName);
    EXPECT_STREQ(L"B", access[2].pszName);
    EXPECT_EQ(4u, access[0].mask);
    EXPECT_EQ(0x10000u, access[0].dwFlags);
    EXPECT_EQ(1u, def);  // A, the first right added as default
    EXPECT_TRUE(IsEqualGUID(GUID_NULL, *access[0].pguid));
    // The null GUID asked for explicitly is the same group.
    PSI_ACCESS again = nullptr;
    ASSERT_EQ(S_OK, psi->GetAccessRights(&GUID_NULL, 0, &again, &count, &def));
    EXPECT_EQ(access, again);

    ASSERT_EQ(S_OK, psi->GetAccessRights(&kTypeA, 0, &access, &count, &def));
    ASSERT_EQ(6u, count);
    EXPECT_EQ(0u, def);
    EXPECT_STREQ(L"Read", access[0].pszName);
    EXPECT_EQ(access[0].pszName, access[1].pszName);  // "READ" reuses the pooled "Read"
    EXPECT_TRUE(IsEqualGUID(kChild, *access[0].pguid));
    EXPECT_EQ(MAKEINTRESOURCEW(5), access[2].pszName);
    EXPECT_EQ(MAKEINTRESOURCEW(5), access[3].pszName);  // 65541: its low 16 bits
    EXPECT_EQ(nullptr, access[4].pszName);                // a double names nothing
    EXPECT_EQ(nullptr, access[5].pszName);                // nor does a null text

    const GUID unknown = {1, 2, 3, {4, 5, 6, 7, 8, 9, 10, 11}};
    EXPECT_EQ(E_FAIL, psi->GetAccessRights(&unknown, 0, &access, &count, &def));

    PSI_INHERIT_TYPE types = reinterpret_cast<PSI_INHERIT_TYPE>(1);
    ULONG n = 9;
    EXPECT_EQ(S_OK, psi->GetInheritTypes(&types, &n));
    EXPECT_EQ(nullptr, types);
    EXPECT_EQ(0u, n);
  });

  // Clearing the rights empties the groups; other parts stay.
  ASSERT_EQ(S_OK, ed->addGenericMap(1, 2, 4, 8, nullptr));
  ASSERT_EQ(S_OK, ed->Clear(4));
  act_as_editor(ed.get(), [&](ISecurityInformation* psi) {
    PSI_ACCESS access = nullptr;
    ULONG count = 0, def = 0;
    EXPECT_EQ(E_FAIL, psi->GetAccessRights(nullptr, 0, &access, &count, &def));
    ACCESS_MASK m = GENERIC_ALL;
    EXPECT_EQ(S_OK, psi->MapGeneric(nullptr, nullptr, &m));
  });
}

TEST_F(SiEditor, GenericMapsAreKeptPerGuid) {
  Bstr guid(kTypeAText);
  ASSERT_EQ(S_OK, ed->addGenericMap(0x1, 0x2, 0x4, 0x8, guid.get()));
  ASSERT_EQ(S_OK, ed->addGenericMap(0x10, 0x20, 0x40, 0x80, guid.get()));  // replaces
  ASSERT_EQ(S_OK, ed->addGenericMap(0x100, 0x200, 0x400, 0x800, nullptr));
  Bstr bad(L"1234");
  EXPECT_EQ(E_INVALIDARG, ed->addGenericMap(1, 1, 1, 1, bad.get()));
  act_as_editor(ed.get(), [&](ISecurityInformation* psi) {
    ACCESS_MASK m = GENERIC_READ | GENERIC_EXECUTE | 0x1;
    ASSERT_EQ(S_OK, psi->MapGeneric(&kTypeA, nullptr, &m));
    EXPECT_EQ(0x10u | 0x40u | 0x1u, m);
    m = GENERIC_ALL;
    ASSERT_EQ(S_OK, psi->MapGeneric(nullptr, nullptr, &m));
    EXPECT_EQ(0x800u, m);
    EXPECT_EQ(E_FAIL, psi->MapGeneric(&kChild, nullptr, &m));
  });
  // Clearing the maps keeps the rest.
  Bstr a(L"A");
  ASSERT_EQ(S_OK, add_right(ed.get(), 1, text_name(a.get()), false));
  ASSERT_EQ(S_OK, ed->Clear(1));
  act_as_editor(ed.get(), [&](ISecurityInformation* psi) {
    ACCESS_MASK m = GENERIC_ALL;
    EXPECT_EQ(E_FAIL, psi->MapGeneric(nullptr, nullptr, &m));
    PSI_ACCESS access = nullptr;
    ULONG count = 0, def = 0;
    EXPECT_EQ(S_OK, psi->GetAccessRights(nullptr, 0, &access, &count, &def));
  });
}

TEST_F(SiEditor, DescriptorsForTheEditor) {
  auto sd = sddl_bytes(L"O:BAG:SYD:(A;;GA;;;WD)");
  auto def = sddl_bytes(L"D:(A;;GR;;;BA)");
  Bstr out;
  ASSERT_EQ(S_OK, ed->get_Sd(out.out()));
  EXPECT_TRUE(out);
  EXPECT_EQ(0u, out.byte_length());
  Bstr in = bytes(sd), din = bytes(def);
  ASSERT_EQ(S_OK, ed->put_Sd(in.get()));
  ASSERT_EQ(S_OK, ed->put_DefaultSd(din.get()));
  // Refused values leave the stored one: empty, too short, not a descriptor.
  Bstr empty = bytes({}), cut = bytes(std::vector<uint8_t>(sd.begin(), sd.end() - 4)), junk = bytes({1, 2, 3});
  for (BSTR b : {empty.get(), cut.get(), junk.get()}) {
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_INVALID_SECURITY_DESCR), ed->put_Sd(b));
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_INVALID_SECURITY_DESCR), ed->put_DefaultSd(b));
  }
  ASSERT_EQ(S_OK, ed->get_Sd(out.out()));
  EXPECT_EQ(sd, bytes_of(out.get()));
  EXPECT_EQ(E_POINTER, ed->get_Sd(nullptr));

  act_as_editor(ed.get(), [&](ISecurityInformation* psi) {
    PSECURITY_DESCRIPTOR got = nullptr;
    ASSERT_EQ(S_OK, psi->GetSecurity(DACL_SECURITY_INFORMATION, &got, FALSE));
    ASSERT_TRUE(got);
    EXPECT_EQ(sd, std::vector<uint8_t>(static_cast<uint8_t*>(got), static_cast<uint8_t*>(got) + LocalSize(got)));
    LocalFree(got);
    ASSERT_EQ(S_OK, psi->GetSecurity(OWNER_SECURITY_INFORMATION, &got, TRUE));
    ASSERT_TRUE(got);
    EXPECT_EQ(def, std::vector<uint8_t>(static_cast<uint8_t*>(got), static_cast<uint8_t*>(got) + def.size()));
    LocalFree(got);
  });

  // Null stores none: the getter gives an empty byte string and the editor no block.
  ASSERT_EQ(S_OK, ed->put_Sd(nullptr));
  ASSERT_EQ(S_OK, ed->get_Sd(out.out()));
  EXPECT_EQ(0u, out.byte_length());
  act_as_editor(ed.get(), [&](ISecurityInformation* psi) {
    PSECURITY_DESCRIPTOR got = reinterpret_cast<PSECURITY_DESCRIPTOR>(1);
    ASSERT_EQ(S_OK, psi->GetSecurity(DACL_SECURITY_INFORMATION, &got, FALSE));
    EXPECT_EQ(nullptr, got);
  });
}

TEST_F(SiEditor, AppliedSecurityReachesTheSinks) {
  auto wanted = sddl_bytes(L"O:BAG:SYD:(A;;GA;;;WD)(A;;GR;;;BA)");
  act_as_editor(ed.get(), [&](ISecurityInformation* psi) {
    EXPECT_EQ(E_FAIL, psi->SetSecurity(DACL_SECURITY_INFORMATION, wanted.data()));
  });

  auto first = Sink::make(), second = Sink::make();
  advise(ed.get(), first.get());
  act_as_editor(ed.get(), [&](ISecurityInformation* psi) {
    // A self-relative descriptor, as given.
    EXPECT_EQ(S_OK, psi->SetSecurity(DACL_SECURITY_INFORMATION, wanted.data()));
    // An absolute one is made self-relative.
    SECURITY_DESCRIPTOR abs;
    InitializeSecurityDescriptor(&abs, SECURITY_DESCRIPTOR_REVISION);
    PSECURITY_DESCRIPTOR rel = wanted.data();
    BOOL present = FALSE, defaulted = FALSE;
    PACL dacl = nullptr;
    GetSecurityDescriptorDacl(rel, &present, &dacl, &defaulted);
    SetSecurityDescriptorDacl(&abs, TRUE, dacl, FALSE);
    EXPECT_EQ(S_OK, psi->SetSecurity(DACL_SECURITY_INFORMATION | OWNER_SECURITY_INFORMATION, &abs));
    // No descriptor at all: S_FALSE is preset.
    EXPECT_EQ(S_FALSE, psi->SetSecurity(GROUP_SECURITY_INFORMATION, nullptr));
  });
  ASSERT_EQ(3u, first->applies.size());
  EXPECT_EQ(static_cast<long>(DACL_SECURITY_INFORMATION), first->applies[0].info);
  EXPECT_EQ(wanted, first->applies[0].descriptor);
  EXPECT_EQ(S_OK, first->applies[0].result_seen);
  EXPECT_EQ(static_cast<long>(DACL_SECURITY_INFORMATION | OWNER_SECURITY_INFORMATION), first->applies[1].info);
  auto& converted = first->applies[1].descriptor;
  ASSERT_GE(converted.size(), 20u);
  EXPECT_TRUE(converted[3] & 0x80);  // self-relative
  EXPECT_TRUE(IsValidSecurityDescriptor(converted.data()));
  EXPECT_EQ(converted.size(), GetSecurityDescriptorLength(converted.data()));
  EXPECT_TRUE(first->applies[2].descriptor_null);
  EXPECT_EQ(S_FALSE, first->applies[2].result_seen);

  // Two sinks share one result word: the last one's value is what the editor gets.
  advise(ed.get(), second.get());
  first->set_result = true;
  first->result_to_set = E_ACCESSDENIED;
  second->set_result = true;
  second->result_to_set = HRESULT_FROM_WIN32(ERROR_SHARING_VIOLATION);
  act_as_editor(ed.get(), [&](ISecurityInformation* psi) {
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_SHARING_VIOLATION), psi->SetSecurity(DACL_SECURITY_INFORMATION, wanted.data()));
  });
  ASSERT_EQ(1u, second->applies.size());
  EXPECT_EQ(E_ACCESSDENIED, second->applies[0].result_seen);
}

TEST_F(SiEditor, PageEventsAndPagesForAClientSheet) {
  auto sink = Sink::make();
  advise(ed.get(), sink.get());
  act_as_editor(ed.get(), [&](ISecurityInformation* psi) {
    EXPECT_EQ(S_OK, psi->PropertySheetPageCallback(reinterpret_cast<HWND>(0x4321), PSPCB_SI_INITDIALOG, SI_PAGE_OWNER));
    EXPECT_EQ(S_OK, psi->PropertySheetPageCallback(nullptr, PSPCB_RELEASE, SI_PAGE_PERM));
  });
  ASSERT_EQ(2u, sink->pages.size());
  EXPECT_EQ(0x4321, sink->pages[0].hwnd);
  EXPECT_EQ(1025, sink->pages[0].msg);
  EXPECT_EQ(3, sink->pages[0].page);
  EXPECT_EQ(1, sink->pages[1].msg);

  // The page the editor makes is added to the client's sheet with PSM_ADDPAGE (wParam 0).
  auto& added = g_sheet_pages;
  added.clear();
  WNDCLASSW wc = {};
  wc.lpfnWndProc = test_sheet_proc;
  wc.lpszClassName = L"CorvaneTestSheet";
  RegisterClassW(&wc);
  HWND sheet = CreateWindowW(L"CorvaneTestSheet", L"", 0, 0, 0, 10, 10, HWND_MESSAGE, nullptr, nullptr, nullptr);
  ASSERT_TRUE(sheet);
  HPROPSHEETPAGE made = nullptr;
  ISecurityInformation* given = nullptr;
  g_on_page = [&](ISecurityInformation* psi) {
    given = psi;
    PROPSHEETPAGEW p = {};
    p.dwSize = sizeof p;
    p.pszTemplate = MAKEINTRESOURCEW(1);
    made = CreatePropertySheetPageW(&p);
    return made;
  };
  VARIANT_BOOL result = 7;
  ASSERT_EQ(S_OK, ed->addSecurityPage(HandleToLong(sheet), &result));
  EXPECT_EQ(VARIANT_TRUE, result);
  EXPECT_TRUE(given);
  ASSERT_EQ(1u, added.size());
  EXPECT_EQ(0u, added[0].first);
  EXPECT_EQ(reinterpret_cast<LPARAM>(made), added[0].second);
  DestroyPropertySheetPage(made);
  DestroyWindow(sheet);
  g_on_page = nullptr;
}

TEST_F(SiEditor, FixedAndUnimplementedMembers) {
  VARIANT_BOOL v = 7;
  ASSERT_EQ(S_OK, ed->get_CustomLookupAndOrder(&v));
  EXPECT_EQ(VARIANT_FALSE, v);
  EXPECT_EQ(E_INVALIDARG, ed->put_CustomLookupAndOrder(VARIANT_TRUE));
  EXPECT_EQ(S_OK, ed->put_CustomLookupAndOrder(VARIANT_FALSE));
  corv::Variant value;
  EXPECT_EQ(E_NOTIMPL, ed->get_Param(0, value.out()));
  EXPECT_EQ(E_NOTIMPL, ed->put_Param(3, *value.get()));
  Bstr bad(L"not a guid");
  EXPECT_EQ(S_OK, ed->addInheritType(1, *value.get(), bad.get()));
}

// Without an editor library that exports "EditSecurity" by name, the class cannot be created.
TEST(SiEditorCreation, FailsWithoutAUsableEditorLibrary) {
  ASSERT_TRUE(load_standin(L"editor-unusable"));
  ComPtr<IzrSiEditor> ed;
  EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND),
            CoCreateInstance(CLSID_zrSiEditor, nullptr, CLSCTX_INPROC_SERVER, IID_IzrSiEditor, ed.out_void()));
  EXPECT_FALSE(ed);
}
