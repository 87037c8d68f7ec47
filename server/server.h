// The in-process component server shared by both libraries: class table, class objects,
// lock count and unload rule, registration, and the module's own type library.
#pragma once
#include <windows.h>
#include <ole2.h>
#include <atomic>
#include <string>

namespace corv {

using CreatorFn = HRESULT (*)(REFIID riid, void** ppv);

// One row of a library's class table.
struct ClassEntry {
  const CLSID* clsid;
  UINT script_id;          // "REGISTRY" resource with the class's registration script
  CreatorFn create;        // makes a new instance and queries it for the asked interface
  std::atomic<IClassFactory*> factory;  // class object, published once on first use, held until unload
};

// What each library supplies to the shared frame (defined once per DLL).
struct LibraryInfo {
  ClassEntry* classes;
  size_t class_count;
  const GUID* libid;
  void (*on_load)();       // optional, runs at process attach after the frame is ready
};
const LibraryInfo& library_info();

class Server {
public:
  void attach(HINSTANCE module);
  // At an unload by FreeLibrary: releases the class objects and the type information. Never
  // called when the process ends, where other libraries may already be gone.
  void detach();

  LONG lock() { return InterlockedIncrement(&locks_); }
  LONG unlock() { return InterlockedDecrement(&locks_); }
  LONG lock_count() const { return locks_; }
  HINSTANCE module() const { return module_; }
  const std::wstring& module_path() const { return path_; }

  HRESULT get_class_object(REFCLSID clsid, REFIID riid, void** ppv);
  HRESULT can_unload_now() const { return locks_ == 0 ? S_OK : S_FALSE; }
  HRESULT register_server();
  HRESULT unregister_server();

  // Type information for one interface of the module's embedded type library (AddRef'ed).
  HRESULT type_info(REFIID iid, ITypeInfo** out);

private:
  HINSTANCE module_ = nullptr;
  std::wstring path_;
  volatile LONG locks_ = 0;
  CRITICAL_SECTION tlb_cs_{};  // guards the type-information cache
  bool ready_ = false;
  ITypeLib* tlb_ = nullptr;
  struct CachedInfo {
    IID iid;
    ITypeInfo* info;
  };
  CachedInfo cache_[16] = {};
  size_t cache_n_ = 0;
};

// The library's one server. It has no static destructor: it is destroyed by
// destroy_server() at an unload by FreeLibrary, and left alone when the process ends.
Server& server();
void destroy_server();

// Loads the module's type library: from the module itself, else from the same path with ".tlb".
HRESULT load_module_type_lib(const std::wstring& module_path, ITypeLib** out);

}  // namespace corv
