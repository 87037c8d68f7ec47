#include "sd_bytes.h"
#include <algorithm>
#include "sd_layout.h"

namespace tern {

size_t valid_descriptor_length(const uint8_t* data, size_t size) {
  size_t extent = sd_extent(data, size);
  if (!extent) return 0;
  auto* sd = const_cast<uint8_t*>(data);
  if (!::IsValidSecurityDescriptor(sd)) return 0;
  size_t length = GetSecurityDescriptorLength(sd);
  if (length > size) return 0;
  return std::max(length, extent);
}

}  // namespace tern
