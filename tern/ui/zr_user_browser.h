// zrUserBrowser: shows the system's account picker and keeps the accounts picked, for the
// client to ask for one by one.
#pragma once
#include <vector>
#include "account_picker.h"
#include "com_object.h"
#include "tern_h.h"

namespace tern {

class ZrUserBrowser : public corv::CoClass<ZrUserBrowser, IzrUserBrowser, corv::ApartmentThreaded> {
public:
  // IzrUserBrowser
  STDMETHODIMP Open(LONG hWndOwner, BSTR Title, BSTR Server, BSTR HelpFileName, LONG Param1, LONG Param2,
                    LONG* pVal) override;
  STDMETHODIMP GetSelection(LONG Index, BSTR* Domain, BSTR* Account, BSTR* Description) override;

private:
  std::vector<PickedAccount> selection_;  // the last Open's picks, in the picker's order
};

}  // namespace tern
