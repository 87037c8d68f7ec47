#include "account_picker.h"
#include <objsel.h>
#include <string>
#include "system_library.h"

namespace tern {
namespace {

// The user browser's request record: nine words, the window and the texts pointer-sized
// (36 bytes on 32-bit Windows).
struct BrowserRequest {
  DWORD size;
  DWORD reserved1;
  DWORD reserved2;
  HWND owner;
  LPCWSTR title;
  LPCWSTR server;
  DWORD flags;
  DWORD param2;
  LPCWSTR help_file;
};
#if !defined(_WIN64)
static_assert(sizeof(BrowserRequest) == 36, "request record of 32-bit Windows");
#endif

// The account record the enumeration places at the start of the buffer: the account name,
// domain and description texts are its words 5, 6 and 7.
constexpr size_t kAccountWord = 5, kDomainWord = 6, kDescriptionWord = 7;
constexpr DWORD kSelectionBuffer = 4096;

constexpr DWORD kGlobalGroups = 2, kUsersEx = 4, kUsers = 8, kNetwork = 16, kInteractive = 32, kEveryone = 64,
                kCreatorOwner = 128, kLocalGroups = 257, kSingleChoice = 4096;

struct UserBrowser {
  using OpenFn = HANDLE(WINAPI*)(BrowserRequest*);
  using EnumFn = BOOL(WINAPI*)(HANDLE, void*, DWORD*);
  using CloseFn = BOOL(WINAPI*)(HANDLE);
  OpenFn open = nullptr;
  EnumFn enumerate = nullptr;
  CloseFn close = nullptr;
  bool complete() const { return open && enumerate && close; }
};

// Tried once per process, whether it works or not; the library then stays loaded.
const UserBrowser& user_browser() {
  static const UserBrowser lib = [] {
    UserBrowser b;
    HMODULE m = load_system_library(L"NETUI2.DLL");
    if (m) {
      b.open = entry_point<UserBrowser::OpenFn>(m, "OpenUserBrowser");
      b.enumerate = entry_point<UserBrowser::EnumFn>(m, "EnumUserBrowserSelection");
      b.close = entry_point<UserBrowser::CloseFn>(m, "CloseUserBrowser");
    }
    return b;
  }();
  return lib;
}

BSTR copy_or_null(const wchar_t* s) { return s ? SysAllocString(s) : nullptr; }

void browse(const UserBrowser& lib, const PickRequest& r, std::vector<PickedAccount>& out) {
  BrowserRequest request = {
      sizeof(BrowserRequest),
      0,
      0,
      r.owner,
      r.title,
      r.server,
      r.flags,
      r.param2,
      (r.help_file && *r.help_file) ? r.help_file : nullptr};
  // Closed on every way out, an allocation failure while storing a pick included.
  struct Session {
    const UserBrowser& lib;
    HANDLE h;
    ~Session() {
      if (h) lib.close(h);
    }
  } session{lib, lib.open(&request)};
  HANDLE h = session.h;
  if (!h) return;
  // Pointer-aligned, since the record is made of pointer-sized words.
  std::vector<ULONG_PTR> buffer(kSelectionBuffer / sizeof(ULONG_PTR));
  DWORD length = kSelectionBuffer;
  while (lib.enumerate(h, buffer.data(), &length)) {
    PickedAccount a;
    a.domain.reset(copy_or_null(reinterpret_cast<LPCWSTR>(buffer[kDomainWord])));
    a.account.reset(copy_or_null(reinterpret_cast<LPCWSTR>(buffer[kAccountWord])));
    a.description.reset(copy_or_null(reinterpret_cast<LPCWSTR>(buffer[kDescriptionWord])));
    out.push_back(std::move(a));
  }
}

// ---- the directory object picker, where the user browser is missing ----------------------

DSOP_FILTER_FLAGS filter_for(DWORD flags) {
  DSOP_FILTER_FLAGS f = {};
  ULONG& up = f.Uplevel.flBothModes;
  ULONG& down = f.flDownlevel;
  if (flags & (kUsers | kUsersEx)) {
    up |= DSOP_FILTER_USERS;
    down |= DSOP_DOWNLEVEL_FILTER_USERS;
  }
  if (flags & kGlobalGroups) {
    up |= DSOP_FILTER_GLOBAL_GROUPS_SE;
    down |= DSOP_DOWNLEVEL_FILTER_GLOBAL_GROUPS;
  }
  if ((flags & kLocalGroups) == kLocalGroups) {
    up |= DSOP_FILTER_BUILTIN_GROUPS | DSOP_FILTER_DOMAIN_LOCAL_GROUPS_SE;
    down |= DSOP_DOWNLEVEL_FILTER_LOCAL_GROUPS;
  }
  const struct {
    DWORD flag;
    ULONG down;
  } known[] = {{kEveryone, DSOP_DOWNLEVEL_FILTER_WORLD},
               {kInteractive, DSOP_DOWNLEVEL_FILTER_INTERACTIVE},
               {kNetwork, DSOP_DOWNLEVEL_FILTER_NETWORK},
               {kCreatorOwner, DSOP_DOWNLEVEL_FILTER_CREATOR_OWNER}};
  for (const auto& k : known)
    if (flags & k.flag) {
      up |= DSOP_FILTER_WELL_KNOWN_PRINCIPALS;
      down |= k.down;
    }
  if (!up) {  // nothing asked for that the picker knows: offer users
    up = DSOP_FILTER_USERS;
    down = DSOP_DOWNLEVEL_FILTER_USERS;
  }
  return f;
}

// The domain of a picked object: the path segment before its name ("WinNT://CORP/alice"
// gives CORP, "WinNT://CORP/PC1/alice" gives PC1), else the part of its UPN after "@".
std::wstring domain_of(const DS_SELECTION& s) {
  std::wstring path = s.pwzADsPath ? s.pwzADsPath : L"";
  const std::wstring winnt = L"WinNT://";
  if (path.compare(0, winnt.size(), winnt) == 0) {
    std::vector<std::wstring> segments;
    for (size_t start = winnt.size();;) {
      size_t slash = path.find(L'/', start);
      segments.push_back(path.substr(start, slash == std::wstring::npos ? std::wstring::npos : slash - start));
      if (slash == std::wstring::npos) break;
      start = slash + 1;
    }
    if (segments.size() >= 2) return segments[segments.size() - 2];
  }
  std::wstring upn = s.pwzUPN ? s.pwzUPN : L"";
  size_t at = upn.find(L'@');
  return at == std::wstring::npos ? std::wstring() : upn.substr(at + 1);
}

void pick_with_object_picker(const PickRequest& r, std::vector<PickedAccount>& out) {
  corv::ComPtr<IDsObjectPicker> picker;
  if (FAILED(CoCreateInstance(CLSID_DsObjectPicker, nullptr, CLSCTX_INPROC_SERVER, IID_IDsObjectPicker,
                              picker.out_void())))
    return;
  DSOP_SCOPE_INIT_INFO scope = {};
  scope.cbSize = sizeof scope;
  scope.flType = DSOP_SCOPE_TYPE_TARGET_COMPUTER | DSOP_SCOPE_TYPE_UPLEVEL_JOINED_DOMAIN |
                 DSOP_SCOPE_TYPE_DOWNLEVEL_JOINED_DOMAIN;
  scope.flScope = DSOP_SCOPE_FLAG_STARTING_SCOPE | DSOP_SCOPE_FLAG_WANT_PROVIDER_WINNT;
  scope.FilterFlags = filter_for(r.flags);
  PCWSTR attributes[] = {L"description"};
  DSOP_INIT_INFO init = {};
  init.cbSize = sizeof init;
  init.pwzTargetComputer = (r.server && *r.server) ? r.server : nullptr;
  init.cDsScopeInfos = 1;
  init.aDsScopeInfos = &scope;
  init.flOptions = (r.flags & kSingleChoice) ? 0 : DSOP_FLAG_MULTISELECT;
  init.cAttributesToFetch = 1;
  init.apwzAttributeNames = attributes;
  if (FAILED(picker->Initialize(&init))) return;

  corv::ComPtr<IDataObject> data;
  if (picker->InvokeDialog(r.owner, data.out()) != S_OK || !data) return;  // S_FALSE: cancelled
  FORMATETC format = {static_cast<CLIPFORMAT>(RegisterClipboardFormatW(CFSTR_DSOP_DS_SELECTION_LIST)), nullptr,
                      DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  // The medium is released, and its memory unlocked, on every way out.
  struct Medium {
    STGMEDIUM m = {};
    ~Medium() { ReleaseStgMedium(&m); }
  } medium;
  if (FAILED(data->GetData(&format, &medium.m))) return;
  struct Locked {
    HGLOBAL g;
    const void* p;
    ~Locked() {
      if (p) GlobalUnlock(g);
    }
  } locked{medium.m.hGlobal, GlobalLock(medium.m.hGlobal)};
  if (auto* list = static_cast<const DS_SELECTION_LIST*>(locked.p)) {
    ULONG n = (r.flags & kSingleChoice) && list->cItems > 1 ? 1 : list->cItems;
    for (ULONG i = 0; i < n; ++i) {
      const DS_SELECTION& s = list->aDsSelection[i];
      PickedAccount a;
      a.domain.reset(SysAllocString(domain_of(s).c_str()));
      a.account.reset(copy_or_null(s.pwzName));
      const VARIANT* fetched = s.pvarFetchedAttributes;
      if (list->cFetchedAttributes >= 1 && fetched && V_VT(&fetched[0]) == VT_BSTR)
        a.description.reset(copy_or_null(V_BSTR(&fetched[0])));
      out.push_back(std::move(a));
    }
  }
}

}  // namespace

void pick_accounts(const PickRequest& request, std::vector<PickedAccount>& out) {
  const UserBrowser& lib = user_browser();
  if (lib.complete()) browse(lib, request, out);
  else pick_with_object_picker(request, out);
}

}  // namespace tern
