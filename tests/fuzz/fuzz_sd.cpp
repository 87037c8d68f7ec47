// Descriptor binary form: no crash, no read beyond the input, every part lies within the
// bytes, and a parsed descriptor composed anew parses to the same parts.
#include <cstdint>
#include <cstring>
#include <vector>
#include "sd_codec.h"

namespace {

bool same(const uint8_t* a, const tern::SdPart& pa, const uint8_t* b, const tern::SdPart& pb) {
  return pa.size == pb.size && (pa.size == 0 || std::memcmp(a + pa.offset, b + pb.offset, pa.size) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> copy(data, data + size);
  tern::SdLayout l;
  if (tern::sd_parse(copy.empty() ? nullptr : copy.data(), copy.size(), l) != tern::SdParse::ok) return 0;
  for (const tern::SdPart* p : {&l.owner, &l.group, &l.dacl, &l.sacl})
    if (p->present && p->offset + p->size > size) __builtin_trap();
  // Lists shorter than their header are refused by the list reader; compose the others.
  if ((l.dacl.present && l.dacl.size < 8) || (l.sacl.present && l.sacl.size < 8)) return 0;
  auto span = [&](const tern::SdPart& p) {
    return p.present ? tern::ByteSpan{copy.data() + p.offset, p.size} : tern::ByteSpan{};
  };
  tern::SdParts parts{span(l.owner), span(l.group), span(l.dacl), span(l.sacl)};
  std::vector<uint8_t> again = tern::sd_compose(l.revision, l.control, parts);
  tern::SdLayout m;
  if (tern::sd_parse(again.data(), again.size(), m) != tern::SdParse::ok) __builtin_trap();
  if (m.revision != l.revision) __builtin_trap();
  if (!same(copy.data(), l.owner, again.data(), m.owner) || !same(copy.data(), l.group, again.data(), m.group) ||
      !same(copy.data(), l.dacl, again.data(), m.dacl))
    __builtin_trap();
  bool sacl_kept = l.sacl.present && l.sacl.size != 8;
  if (sacl_kept != m.sacl.present || (sacl_kept && !same(copy.data(), l.sacl, again.data(), m.sacl))) __builtin_trap();
  return 0;
}
