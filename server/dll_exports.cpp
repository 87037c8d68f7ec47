// The four exported server functions and the process attach/detach of a library.
// Compiled into each library; the library supplies library_info().
#include "server.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH) {
    corv::server().attach(module);
    DisableThreadLibraryCalls(module);
    if (auto hook = corv::library_info().on_load) hook();
  } else if (reason == DLL_PROCESS_DETACH && !reserved) {
    // Unloaded by FreeLibrary: give back what the library holds. When the process ends
    // (reserved is set) other libraries may already be gone and the memory goes with the
    // process: nothing is released and no other library is called.
    corv::server().detach();
    corv::destroy_server();
  }
  return TRUE;
}

extern "C" HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID riid, LPVOID* ppv) {
  return corv::server().get_class_object(clsid, riid, ppv);
}

extern "C" HRESULT WINAPI DllCanUnloadNow() { return corv::server().can_unload_now(); }

extern "C" HRESULT WINAPI DllRegisterServer() { return corv::server().register_server(); }

extern "C" HRESULT WINAPI DllUnregisterServer() { return corv::server().unregister_server(); }
