// Libraries of the system bound at run time, and their entry points.
#pragma once
#include <windows.h>

namespace tern {

// Loads a library from the system folder only: never from the program's folder, the current
// folder or PATH, where a planted copy could lie. Null when the system has none.
HMODULE load_system_library(const wchar_t* name);

// A typed entry point of a loaded module (through the untyped function pointer, which any
// function pointer converts to and from).
template <class Fn>
Fn entry_point(HMODULE m, const char* name) {
  return m ? reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(m, name))) : nullptr;
}

}  // namespace tern
