// The preview report: read-only text in a resizable box that can be copied or saved.
#pragma once
#include <windows.h>

#include <string>

namespace corvane {

// Shows the report modally over the owner.
void show_preview(HWND owner, const std::wstring& report);

}  // namespace corvane
