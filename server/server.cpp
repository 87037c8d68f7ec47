#include "server.h"
#include "class_factory.h"
#include "registrar.h"
#include "raii.h"
#include <new>

namespace corv {

namespace {

// Storage without a destructor: nothing runs for it at process exit.
alignas(Server) unsigned char g_storage[sizeof(Server)];
Server* g_server = nullptr;

}  // namespace

Server& server() {
  // Made on first use: DllMain's attach, or a test program that links the frame directly.
  static Server* s = g_server = new (g_storage) Server();
  return *s;
}

void destroy_server() {
  if (g_server) g_server->~Server();
  g_server = nullptr;
}

void Server::attach(HINSTANCE module) {
  module_ = module;
  locks_ = 0;
  InitializeCriticalSection(&tlb_cs_);
  ready_ = true;
  // The long path: registration writes it, and the type library is read from it.
  wchar_t buf[MAX_PATH * 4];
  DWORD n = GetModuleFileNameW(module, buf, ARRAYSIZE(buf));
  path_.assign(buf, n < ARRAYSIZE(buf) ? n : 0);
  wchar_t long_buf[MAX_PATH * 4];
  DWORD ln = GetLongPathNameW(path_.c_str(), long_buf, ARRAYSIZE(long_buf));
  if (ln > 0 && ln < ARRAYSIZE(long_buf)) path_.assign(long_buf, ln);
}

void Server::detach() {
  if (!ready_) return;
  const LibraryInfo& lib = library_info();
  for (size_t i = 0; i < lib.class_count; ++i) {
    if (IClassFactory* f = lib.classes[i].factory.exchange(nullptr, std::memory_order_acq_rel)) f->Release();
  }
  for (size_t i = 0; i < cache_n_; ++i) cache_[i].info->Release();
  cache_n_ = 0;
  if (tlb_) {
    tlb_->Release();
    tlb_ = nullptr;
  }
  DeleteCriticalSection(&tlb_cs_);
  ready_ = false;
}

HRESULT Server::get_class_object(REFCLSID clsid, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  const LibraryInfo& lib = library_info();
  for (size_t i = 0; i < lib.class_count; ++i) {
    ClassEntry& row = lib.classes[i];
    if (!IsEqualCLSID(*row.clsid, clsid)) continue;
    IClassFactory* factory = row.factory.load(std::memory_order_acquire);
    if (!factory) {
      // Two threads may both make one: the first published wins, the other is dropped.
      IClassFactory* made = new (std::nothrow) ClassFactory(row.create);
      if (!made) return E_OUTOFMEMORY;
      IClassFactory* expected = nullptr;
      if (row.factory.compare_exchange_strong(expected, made, std::memory_order_acq_rel, std::memory_order_acquire)) {
        factory = made;
      } else {
        made->Release();
        factory = expected;
      }
    }
    return factory->QueryInterface(riid, ppv);
  }
  return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT load_module_type_lib(const std::wstring& module_path, ITypeLib** out) {
  *out = nullptr;
  HRESULT hr = LoadTypeLibEx(module_path.c_str(), REGKIND_NONE, out);
  if (SUCCEEDED(hr)) return hr;
  std::wstring tlb = module_path;
  size_t dot = tlb.find_last_of(L'.');
  size_t sep = tlb.find_last_of(L"\\/:");
  if (dot != std::wstring::npos && (sep == std::wstring::npos || dot > sep)) tlb.erase(dot);
  tlb += L".tlb";
  HRESULT hr2 = LoadTypeLibEx(tlb.c_str(), REGKIND_NONE, out);
  return SUCCEEDED(hr2) ? hr2 : hr;
}

HRESULT Server::register_server() {
  const LibraryInfo& lib = library_info();
  for (size_t i = 0; i < lib.class_count; ++i) {
    RETURN_IF_FAILED(run_registration_script(module_, lib.classes[i].script_id, path_, true));
  }
  ComPtr<ITypeLib> tl;
  RETURN_IF_FAILED(load_module_type_lib(path_, tl.out()));
  // Help directory: the module's folder, its last separator included.
  std::wstring help = path_;
  size_t sep = help.find_last_of(L"\\/:");
  help.erase(sep == std::wstring::npos ? 0 : sep + 1);
  return RegisterTypeLib(tl.get(), const_cast<wchar_t*>(path_.c_str()),
                         help.empty() ? nullptr : const_cast<wchar_t*>(help.c_str()));
}

HRESULT Server::unregister_server() {
  const LibraryInfo& lib = library_info();
  for (size_t i = 0; i < lib.class_count; ++i) {
    run_registration_script(module_, lib.classes[i].script_id, path_, false);
  }
  ComPtr<ITypeLib> tl;
  if (SUCCEEDED(load_module_type_lib(path_, tl.out()))) {
    TLIBATTR* attr = nullptr;
    if (SUCCEEDED(tl->GetLibAttr(&attr))) {
      // Looked up at run time: very old automation runtimes lack it, and then the entries stay.
      using UnRegFn = HRESULT(WINAPI*)(REFGUID, WORD, WORD, LCID, SYSKIND);
      HMODULE oa = GetModuleHandleW(L"oleaut32.dll");
      auto unreg = oa ? reinterpret_cast<UnRegFn>(reinterpret_cast<void*>(GetProcAddress(oa, "UnRegisterTypeLib")))
                      : nullptr;
      if (unreg) unreg(attr->guid, attr->wMajorVerNum, attr->wMinorVerNum, attr->lcid, attr->syskind);
      tl->ReleaseTLibAttr(attr);
    }
  }
  return S_OK;
}

HRESULT Server::type_info(REFIID iid, ITypeInfo** out) {
  *out = nullptr;
  EnterCriticalSection(&tlb_cs_);
  HRESULT hr = S_OK;
  for (size_t i = 0; i < cache_n_; ++i) {
    if (IsEqualIID(cache_[i].iid, iid)) {
      *out = cache_[i].info;
      (*out)->AddRef();
      LeaveCriticalSection(&tlb_cs_);
      return S_OK;
    }
  }
  if (!tlb_) hr = load_module_type_lib(path_, &tlb_);
  ComPtr<ITypeInfo> info;
  if (SUCCEEDED(hr)) hr = tlb_->GetTypeInfoOfGuid(iid, info.out());
  if (SUCCEEDED(hr)) {
    // A dual interface: Invoke needs the interface part, not the dispatch part.
    TYPEATTR* ta = nullptr;
    if (SUCCEEDED(info->GetTypeAttr(&ta))) {
      bool dual = ta->typekind == TKIND_DISPATCH && (ta->wTypeFlags & TYPEFLAG_FDUAL);
      info->ReleaseTypeAttr(ta);
      if (dual) {
        HREFTYPE ref = 0;
        ComPtr<ITypeInfo> part;
        if (SUCCEEDED(info->GetRefTypeOfImplType(-1, &ref)) && SUCCEEDED(info->GetRefTypeInfo(ref, part.out())))
          info = part;
      }
    }
    if (cache_n_ < ARRAYSIZE(cache_)) {
      cache_[cache_n_].iid = iid;
      cache_[cache_n_].info = info.get();
      info->AddRef();
      ++cache_n_;
    }
    *out = info.detach();
  }
  LeaveCriticalSection(&tlb_cs_);
  return hr;
}

}  // namespace corv
