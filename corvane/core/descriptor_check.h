// A security descriptor as a server sends it, judged before anything reads it: the bytes that
// really lie behind the pointer bound every offset and length in it.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace corvane {

// Checks a self-relative descriptor of which only `available` bytes may be read (the rest of
// the answer that holds it): revision 1, every part's offset and length within those bytes,
// owner and group well-formed identifiers, each list a well-formed list whose entries lie within
// its own size. On success `length` is where the descriptor's last part ends (the bytes a copy
// must take); otherwise `reason` says what is wrong, in words for a report.
bool check_descriptor(const uint8_t* bytes, size_t available, size_t& length, std::wstring& reason);

}  // namespace corvane
