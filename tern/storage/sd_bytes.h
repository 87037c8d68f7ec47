// Checking a caller's byte string that is to hold a self-relative security descriptor.
#pragma once
#include <windows.h>
#include <cstddef>
#include <cstdint>

namespace tern {

// The number of bytes of data to keep as the descriptor, or 0 when the bytes are not a valid
// self-relative descriptor. Before the system looks at the bytes, every part they name must
// lie inside size (the system's checks read without a length); then the system's validity
// check must pass and the length it reports must fit in size. The count kept covers both
// the system's length and every part, so a copy of it is complete.
//
// The same check serves a caller's byte string and a descriptor the system or a server
// handed back: size is then what that answer really holds from data on (the rest of its
// buffer), never a length the descriptor states about itself.
size_t valid_descriptor_length(const uint8_t* data, size_t size);

}  // namespace tern
