#include "directory_forms.h"

namespace wick {
namespace {

void expect_header(StreamReader& in, uint32_t magic) {
  uint32_t m = in.u32();
  uint32_t v = in.u32();
  if (m != magic || v != kFormVersion) throw CstreamException();
}

// Adds sizes, refusing a total that would wrap.
size_t add_size(size_t total, size_t more) {
  if (more > SIZE_MAX - total) throw CstreamException();
  return total + more;
}

}  // namespace

AttributeHeader read_attribute_header(StreamReader& in) {
  expect_header(in, kAttributeMagic);
  AttributeHeader h;
  h.control = static_cast<int32_t>(in.u32());
  h.type = static_cast<int32_t>(in.u32());
  h.name = in.text();
  h.count = in.count(8);
  return h;
}

AttributeValue read_attribute_value(StreamReader& in) {
  AttributeValue v;
  v.type = in.u32();
  v.text = in.text();
  return v;
}

void write_attribute(std::vector<uint8_t>& buf, int32_t control, int32_t type, ByteSpan name,
                     const AttributeValue* values, size_t count) {
  if (!fits_u32(count)) throw CstreamException();
  size_t total = 4 * 4 + StreamWriter::text_size(name.size) + 4;
  for (size_t i = 0; i < count; ++i) total = add_size(total, add_size(4, StreamWriter::text_size(values[i].text.size)));
  StreamWriter out(buf, total);
  out.u32(kAttributeMagic);
  out.u32(kFormVersion);
  out.u32(static_cast<uint32_t>(control));
  out.u32(static_cast<uint32_t>(type));
  out.text(name);
  out.u32(static_cast<uint32_t>(count));
  for (size_t i = 0; i < count; ++i) {
    out.u32(values[i].type);
    out.text(values[i].text);
  }
}

EntryHeader read_entry_header(StreamReader& in) {
  expect_header(in, kEntryMagic);
  EntryHeader h;
  h.flags = static_cast<int32_t>(in.u32());
  h.name = in.text();
  h.count = in.count(4);
  return h;
}

void write_entry(std::vector<uint8_t>& buf, int32_t flags, ByteSpan name, const ByteSpan* attributes, size_t count) {
  if (!fits_u32(count)) throw CstreamException();
  size_t total = 3 * 4 + StreamWriter::text_size(name.size) + 4;
  for (size_t i = 0; i < count; ++i) total = add_size(total, StreamWriter::text_size(attributes[i].size));
  StreamWriter out(buf, total);
  out.u32(kEntryMagic);
  out.u32(kFormVersion);
  out.u32(static_cast<uint32_t>(flags));
  out.text(name);
  out.u32(static_cast<uint32_t>(count));
  for (size_t i = 0; i < count; ++i) out.text(attributes[i]);
}

}  // namespace wick
