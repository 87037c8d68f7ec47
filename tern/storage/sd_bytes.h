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
size_t valid_descriptor_length(const uint8_t* data, size_t size);

// The length of a descriptor the system produced, bounded by the buffer holding it.
size_t system_descriptor_length(const void* sd, size_t buffer_size);

}  // namespace tern
