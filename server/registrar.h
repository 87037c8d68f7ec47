// Runs a registration script resource against the registry.
#pragma once
#include <windows.h>
#include <string>
#include "rgs_parse.h"

namespace corv {

// Registers (or unregisters) with the script in resource "REGISTRY" id of the module,
// %MODULE% standing for module_path.
HRESULT run_registration_script(HMODULE module, UINT id, const std::wstring& module_path, bool do_register);

// The same for a script given as text (used by the resource form, and by tests).
HRESULT run_registration_text(const std::wstring& script, const std::wstring& module_path, bool do_register);

}  // namespace corv
