// corvanecmd's console: results on the output stream, messages and questions on the error stream.
#pragma once
#include <string>

namespace corvane {

// Text to the console, or UTF-8 when redirected (a file, a pipe into a script). Whatever reaches
// a console is passed through display_text, so that no escape sequence is ever obeyed there.
void out(const std::wstring& text);
void err(const std::wstring& text);

// Asks on the error stream; only an answer starting with y is a yes.
bool confirm(const std::wstring& question);

}  // namespace corvane
