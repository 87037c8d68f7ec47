// The system's account picker: the user browser of the network user-interface library, bound
// once per process, or the directory object picker where that library is not available.
#pragma once
#include <windows.h>
#include <oleauto.h>
#include <vector>
#include "raii.h"

namespace tern {

struct PickedAccount {
  corv::Bstr domain, account, description;
};

struct PickRequest {
  HWND owner;
  BSTR title;
  BSTR server;
  BSTR help_file;
  DWORD flags;   // USER_BROWSER_FLAGS
  DWORD param2;
};

// Shows the picker modally and appends every picked account to out, in the order the picker
// returns them. Nothing is appended when the user picks nothing or no picker is available.
void pick_accounts(const PickRequest& request, std::vector<PickedAccount>& out);

}  // namespace tern
