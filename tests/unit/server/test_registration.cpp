// Self-registration: exactly the keys of the class table, forced re-creation, removal,
// the type library, and the registration-script runner itself.
#include <map>
#include "com_test.h"
#include "registrar.h"
#include "tern_h.h"
#include "wick_h.h"

using corv::ComPtr;

namespace {

using Tree = std::map<std::wstring, std::wstring>;  // "path|value name" -> data

// Every key and value below root\path, with paths relative to it.
void read_tree(HKEY root, const std::wstring& path, const std::wstring& rel, Tree& out) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
  out[rel + L"\\"] = L"<key>";
  for (DWORD i = 0;; ++i) {
    wchar_t name[256];
    BYTE data[2048];
    DWORD nlen = 256, dlen = sizeof data, type = 0;
    if (RegEnumValueW(key, i, name, &nlen, nullptr, &type, data, &dlen) != ERROR_SUCCESS) break;
    std::wstring v = type == REG_SZ      ? std::wstring(reinterpret_cast<wchar_t*>(data))
                     : type == REG_DWORD ? L"dword:" + std::to_wstring(*reinterpret_cast<DWORD*>(data))
                                         : L"type" + std::to_wstring(type);
    out[rel + L"|" + name] = v;
  }
  for (DWORD i = 0;; ++i) {
    wchar_t name[256];
    DWORD nlen = 256;
    if (RegEnumKeyExW(key, i, name, &nlen, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    read_tree(root, path + L"\\" + name, rel + L"\\" + name, out);
  }
  RegCloseKey(key);
}

Tree tree(HKEY root, const std::wstring& path) {
  Tree t;
  read_tree(root, path, L"", t);
  return t;
}

bool key_exists(HKEY root, const std::wstring& path) {
  HKEY k = nullptr;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
  RegCloseKey(k);
  return true;
}

std::wstring guid_text(REFGUID g) {
  wchar_t buf[64];
  StringFromGUID2(g, buf, 64);
  return buf;
}

struct Exports {
  HMODULE module;
  HRESULT(WINAPI* reg)();
  HRESULT(WINAPI* unreg)();
  Exports() {
    module = LoadLibraryW((corvtest::program_folder() + L"tern.dll").c_str());
    reg = reinterpret_cast<HRESULT(WINAPI*)()>(reinterpret_cast<void*>(GetProcAddress(module, "DllRegisterServer")));
    unreg = reinterpret_cast<HRESULT(WINAPI*)()>(
        reinterpret_cast<void*>(GetProcAddress(module, "DllUnregisterServer")));
  }
  ~Exports() { FreeLibrary(module); }
};

std::wstring module_path(const wchar_t* file = L"tern.dll") {
  wchar_t buf[MAX_PATH];
  std::wstring p = corvtest::program_folder() + file;
  DWORD n = GetLongPathNameW(p.c_str(), buf, MAX_PATH);
  return n ? std::wstring(buf, n) : p;
}

// The type library's platform subkey under its version key: the module's own (win32 for the i686
// build). The type-library key is one for both registry views, so the other build's subkey may
// stand beside it (both builds registered side by side, as the x64 package installs them).
const std::wstring kPlatform = sizeof(void*) == 8 ? L"\\0\\win64" : L"\\0\\win32";
const std::wstring kOtherPlatform = sizeof(void*) == 8 ? L"\\0\\win32" : L"\\0\\win64";
const std::wstring kTypeLibFile = kPlatform + L"|";

// Every class of both libraries, as its registration script must write it.
struct ClassRow {
  const wchar_t* name;
  const wchar_t* progid;  // version-independent
  const wchar_t* threading;
  const CLSID* clsid;
  const GUID* libid;
  const wchar_t* module;
};
const ClassRow kClasses[] = {
    {L"zrSid", L"zrTERN.zrSid", L"Both", &CLSID_zrSid, &LIBID_zrTERNLib, L"tern.dll"},
    {L"zrAce", L"Tern.zrAce", L"Both", &CLSID_zrAce, &LIBID_zrTERNLib, L"tern.dll"},
    {L"zrAcl", L"Tern.zrAcl", L"Both", &CLSID_zrAcl, &LIBID_zrTERNLib, L"tern.dll"},
    {L"zrSd", L"Tern.zrSd", L"Both", &CLSID_zrSd, &LIBID_zrTERNLib, L"tern.dll"},
    {L"zrSecurityInfo", L"Tern.zrSecurityInfo", L"Both", &CLSID_zrSecurityInfo, &LIBID_zrTERNLib, L"tern.dll"},
    {L"zrSiEditor", L"Tern.zrSiEditor", L"Both", &CLSID_zrSiEditor, &LIBID_zrTERNLib, L"tern.dll"},
    {L"zrUserBrowser", L"Tern.zrUserBrowser", L"Apartment", &CLSID_zrUserBrowser, &LIBID_zrTERNLib, L"tern.dll"},
    {L"zrLog", L"zrWICK.zrLog", L"Both", &CLSID_zrLog, &LIBID_zrWICKLib, L"wick.dll"},
    {L"zrDataConvertor", L"Wick.zrDataConvertor", L"Both", &CLSID_zrDataConvertor, &LIBID_zrWICKLib, L"wick.dll"},
    {L"zrAttribute", L"Wick.zrAttribute", L"Both", &CLSID_zrAttribute, &LIBID_zrWICKLib, L"wick.dll"},
    {L"zrEntry", L"Wick.zrEntry", L"Both", &CLSID_zrEntry, &LIBID_zrWICKLib, L"wick.dll"},
};

void expect_registered(const ClassRow& r) {
  SCOPED_TRACE(std::string(r.name, r.name + wcslen(r.name)));
  const std::wstring c = guid_text(*r.clsid), cls = std::wstring(r.name) + L" Class", progid = r.progid,
                     versioned = progid + L".1", module = module_path(r.module);
  Tree clsid = {{L"\\", L"<key>"},
                {L"|", cls},
                {L"\\ProgID\\", L"<key>"},
                {L"\\ProgID|", versioned},
                {L"\\VersionIndependentProgID\\", L"<key>"},
                {L"\\VersionIndependentProgID|", progid},
                {L"\\Programmable\\", L"<key>"},
                {L"\\InprocServer32\\", L"<key>"},
                {L"\\InprocServer32|", module},
                {L"\\InprocServer32|ThreadingModel", r.threading},
                {L"\\TypeLib\\", L"<key>"},
                {L"\\TypeLib|", guid_text(*r.libid)}};
  EXPECT_EQ(clsid, tree(HKEY_CLASSES_ROOT, L"CLSID\\" + c));
  Tree v1 = {{L"\\", L"<key>"}, {L"|", cls}, {L"\\CLSID\\", L"<key>"}, {L"\\CLSID|", c}};
  EXPECT_EQ(v1, tree(HKEY_CLASSES_ROOT, versioned));
  Tree vi = v1;
  vi[L"\\CurVer\\"] = L"<key>";
  vi[L"\\CurVer|"] = versioned;
  EXPECT_EQ(vi, tree(HKEY_CLASSES_ROOT, progid));
  // The type library the class names, at version 1.0, from the same module.
  Tree version = tree(HKEY_CLASSES_ROOT, L"TypeLib\\" + guid_text(*r.libid) + L"\\1.0");
  EXPECT_EQ(module, version[kTypeLibFile]);
}

void expect_zr_sid_registered() { expect_registered(kClasses[0]); }

}  // namespace

TEST(Registration, WritesExactlyTheClassKeysOfEveryClass) {
  for (const ClassRow& r : kClasses) expect_registered(r);
}

TEST(Registration, RegisteringAgainRecreatesTheClassKey) {
  const std::wstring c = L"CLSID\\" + guid_text(CLSID_zrSid);
  HKEY k = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CLASSES_ROOT, (c + L"\\Stray").c_str(), 0, nullptr, 0, KEY_WRITE,
                                           nullptr, &k, nullptr));
  RegCloseKey(k);
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CLASSES_ROOT, (c + L"\\Programmable\\Old").c_str(), 0, nullptr, 0,
                                           KEY_WRITE, nullptr, &k, nullptr));
  RegCloseKey(k);
  Exports dll;
  ASSERT_EQ(S_OK, dll.reg());
  ASSERT_EQ(S_OK, dll.reg());
  expect_zr_sid_registered();
}

TEST(Registration, TypeLibraryIsRegisteredFromTheModule) {
  const std::wstring base = L"TypeLib\\" + guid_text(LIBID_zrTERNLib) + L"\\1.0";
  Tree t = tree(HKEY_CLASSES_ROOT, base);
  EXPECT_EQ(module_path(), t[kTypeLibFile]);
  std::wstring dir = t[L"\\HELPDIR|"];
  std::wstring folder = corvtest::program_folder();
  EXPECT_TRUE(dir == folder || dir + L"\\" == folder) << std::string(dir.begin(), dir.end());
  EXPECT_EQ(L"Brannock Tern (version 1.1.0.25)", t[L"|"]);
}

TEST(Registration, UnregisteringRemovesClassesAndKeepsClsid) {
  const std::wstring typelib = L"TypeLib\\" + guid_text(LIBID_zrTERNLib) + L"\\1.0";
  const bool other_build = key_exists(HKEY_CLASSES_ROOT, typelib + kOtherPlatform);
  Exports dll;
  ASSERT_EQ(S_OK, dll.unreg());
  for (const wchar_t* k : {L"zrTERN.zrSid", L"zrTERN.zrSid.1"}) EXPECT_FALSE(key_exists(HKEY_CLASSES_ROOT, k)) << k;
  EXPECT_FALSE(key_exists(HKEY_CLASSES_ROOT, L"CLSID\\" + guid_text(CLSID_zrSid)));
  EXPECT_FALSE(key_exists(HKEY_CLASSES_ROOT, typelib + kPlatform));
  // The other build's type library stays registered; without it the version key goes too.
  EXPECT_EQ(other_build, key_exists(HKEY_CLASSES_ROOT, typelib + kOtherPlatform));
  if (!other_build) EXPECT_FALSE(key_exists(HKEY_CLASSES_ROOT, typelib));
  EXPECT_TRUE(key_exists(HKEY_CLASSES_ROOT, L"CLSID"));
  ComPtr<IUnknown> none;
  EXPECT_NE(S_OK, CoCreateInstance(CLSID_zrSid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, none.out_void()));
  // Unregistering twice is harmless; registering brings everything back.
  EXPECT_EQ(S_OK, dll.unreg());
  ASSERT_EQ(S_OK, dll.reg());
  expect_zr_sid_registered();
  ComPtr<IUnknown> back;
  EXPECT_EQ(S_OK, CoCreateInstance(CLSID_zrSid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, back.out_void()));
}

// The runner on scripts of its own, under HKCU.
class Script : public ::testing::Test {
protected:
  const std::wstring root = L"Software\\CorvaneTest";
  void SetUp() override { RegDeleteTreeW(HKEY_CURRENT_USER, root.c_str()); }
  void TearDown() override { RegDeleteTreeW(HKEY_CURRENT_USER, root.c_str()); }
};

TEST_F(Script, WritesValuesOfBothKindsAndQuotes) {
  const wchar_t* s =
      L"HKCU\n{\n NoRemove Software\n {\n  CorvaneTest = s 'top'\n  {\n   val Count = d '42'\n   val Hex = d '0x10'\n"
      L"   Path = s '%MODULE%'\n   {Brace-Name} = s 'it''s'\n  }\n }\n}\n";
  ASSERT_EQ(S_OK, corv::run_registration_text(s, L"C:\\O'Brien\\x.dll", true));
  Tree t = tree(HKEY_CURRENT_USER, root);
  EXPECT_EQ(L"top", t[L"|"]);
  EXPECT_EQ(L"dword:42", t[L"|Count"]);
  EXPECT_EQ(L"dword:16", t[L"|Hex"]);
  EXPECT_EQ(L"C:\\O'Brien\\x.dll", t[L"\\Path|"]);
  EXPECT_EQ(L"it's", t[L"\\{Brace-Name}|"]);
  ASSERT_EQ(S_OK, corv::run_registration_text(s, L"x", false));
  EXPECT_FALSE(key_exists(HKEY_CURRENT_USER, root));
  EXPECT_TRUE(key_exists(HKEY_CURRENT_USER, L"Software"));  // NoRemove
}

TEST_F(Script, ForceRemoveClearsAndPlainKeysKeepForeignContent) {
  HKEY k = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, (root + L"\\Forced\\Old").c_str(), 0, nullptr, 0,
                                           KEY_WRITE, nullptr, &k, nullptr));
  RegCloseKey(k);
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, (root + L"\\Plain\\Foreign").c_str(), 0, nullptr, 0,
                                           KEY_WRITE, nullptr, &k, nullptr));
  RegCloseKey(k);
  const wchar_t* s = L"HKCU { NoRemove Software { NoRemove CorvaneTest { ForceRemove Forced = s 'f' { New = s 'n' } "
                     L"Plain = s 'p' { Mine = s 'm' } } } }";
  ASSERT_EQ(S_OK, corv::run_registration_text(s, L"", true));
  EXPECT_FALSE(key_exists(HKEY_CURRENT_USER, root + L"\\Forced\\Old"));
  EXPECT_TRUE(key_exists(HKEY_CURRENT_USER, root + L"\\Forced\\New"));
  ASSERT_EQ(S_OK, corv::run_registration_text(s, L"", false));
  EXPECT_FALSE(key_exists(HKEY_CURRENT_USER, root + L"\\Forced"));
  EXPECT_FALSE(key_exists(HKEY_CURRENT_USER, root + L"\\Plain\\Mine"));
  EXPECT_TRUE(key_exists(HKEY_CURRENT_USER, root + L"\\Plain\\Foreign"));  // not ours: kept, and its parent too
  EXPECT_TRUE(key_exists(HKEY_CURRENT_USER, root));
}

TEST_F(Script, MalformedScriptsAreRefusedBeforeAnyWrite) {
  for (const wchar_t* s :
       {L"HKCU { Software { CorvaneTest = s 'unterminated } }", L"HKCU { Software { CorvaneTest = x 'a' } }",
        L"HKXX { CorvaneTest }", L"HKCU { Software { CorvaneTest { }", L"HKCU { val Top = s 'v' }",
        L"HKCU { Software { CorvaneTest = d 'twelve' } }"}) {
    EXPECT_EQ(DISP_E_EXCEPTION, corv::run_registration_text(s, L"", true)) << std::string(s, s + wcslen(s));
  }
  EXPECT_FALSE(key_exists(HKEY_CURRENT_USER, root));
}
