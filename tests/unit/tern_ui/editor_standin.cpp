// A stand-in for the system's access-control editor library, for tests that act as the
// editor: it exports the two entry points by their ordinals and hands the provider it is
// given to the hooks the test program installs.
#include <windows.h>
#include <aclui.h>

using EditHook = BOOL (*)(HWND, ISecurityInformation*);
using PageHook = HPROPSHEETPAGE (*)(ISecurityInformation*);

static EditHook g_edit = nullptr;
static PageHook g_page = nullptr;

extern "C" {

__declspec(dllexport) void WINAPI StandinSetHooks(EditHook edit, PageHook page) {
  g_edit = edit;
  g_page = page;
}

HPROPSHEETPAGE WINAPI CreateSecurityPage(ISecurityInformation* psi) { return g_page ? g_page(psi) : nullptr; }

BOOL WINAPI EditSecurity(HWND owner, ISecurityInformation* psi) { return g_edit ? g_edit(owner, psi) : FALSE; }
}
