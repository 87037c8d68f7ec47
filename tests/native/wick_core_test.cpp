// The Windows-free codecs of wick.dll: serialised attribute and entry forms, hexadecimal and
// directory-string texts, and the log line.
#include <gtest/gtest.h>
#include <cstring>
#include <string>
#include <vector>
#include "directory_forms.h"
#include "log_line.h"
#include "text_codecs.h"

using namespace wick;

namespace {

std::vector<uint8_t> bytes(std::initializer_list<int> v) {
  std::vector<uint8_t> out;
  for (int b : v) out.push_back(static_cast<uint8_t>(b));
  return out;
}

ByteSpan span(const std::vector<uint8_t>& v) { return {v.data(), v.size()}; }

const std::vector<uint8_t> kExample = bytes({0x01, 0xEE, 0xCC, 0xAA, 1, 0, 0, 0, 0, 0, 0, 0, 2, 0, 0, 0, 4, 0,   0,
                                             0,    'c',  0,    'n',  0, 1, 0, 0, 0, 8, 0, 0, 0, 2, 0, 0, 0, 'x', 0});

// Reads a whole attribute form the way the attribute object does.
bool read_attribute(const std::vector<uint8_t>& in, AttributeHeader* h, std::vector<AttributeValue>* values) {
  try {
    StreamReader r(in.data(), in.size());
    *h = read_attribute_header(r);
    for (uint32_t i = 0; i < h->count; ++i) values->push_back(read_attribute_value(r));
    return true;
  } catch (const CstreamException&) {
    return false;
  }
}

}  // namespace

TEST(WickForms, AttributeWriteAndReadTheExample) {
  std::vector<uint8_t> name = bytes({'c', 0, 'n', 0}), x = bytes({'x', 0});
  AttributeValue v{8, span(x)};
  std::vector<uint8_t> buf;
  write_attribute(buf, 0, 2, span(name), &v, 1);
  EXPECT_EQ(kExample, buf);
  EXPECT_EQ(buf.size(), buf.capacity());  // grown to exactly the size needed

  AttributeHeader h;
  std::vector<AttributeValue> values;
  ASSERT_TRUE(read_attribute(kExample, &h, &values));
  EXPECT_EQ(2, h.type);
  EXPECT_EQ(4u, h.name.size);
  ASSERT_EQ(1u, values.size());
  EXPECT_EQ(8u, values[0].type);
  EXPECT_EQ(0, std::memcmp(values[0].text.data, "x\0", 2));

  // The buffer is reused: a smaller form keeps the memory, a larger one grows it exactly.
  size_t cap = buf.capacity();
  write_attribute(buf, 1, 1, ByteSpan{}, nullptr, 0);
  EXPECT_EQ(24u, buf.size());
  EXPECT_EQ(cap, buf.capacity());
}

TEST(WickForms, EveryTruncationOfAFormIsRefused) {
  for (size_t n = 0; n < kExample.size(); ++n) {
    std::vector<uint8_t> cut(kExample.begin(), kExample.begin() + static_cast<long>(n));
    AttributeHeader h;
    std::vector<AttributeValue> values;
    EXPECT_FALSE(read_attribute(cut, &h, &values)) << n;
  }
  std::vector<uint8_t> longer = kExample;
  longer.push_back(0xAB);  // bytes after the last value are ignored
  AttributeHeader h;
  std::vector<AttributeValue> values;
  EXPECT_TRUE(read_attribute(longer, &h, &values));
}

TEST(WickForms, CountsLargerThanTheRestCanHoldAreRefusedAtOnce) {
  // Attribute: every value needs at least 8 bytes.
  std::vector<uint8_t> a = bytes({0x01, 0xEE, 0xCC, 0xAA, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 0, 0});
  a.resize(a.size() + 15);
  StreamReader ra(a.data(), a.size());
  EXPECT_THROW(read_attribute_header(ra), CstreamException);
  a.push_back(0);
  StreamReader rb(a.data(), a.size());
  EXPECT_EQ(2u, read_attribute_header(rb).count);
  a[20] = 0xFF, a[21] = 0xFF, a[22] = 0xFF, a[23] = 0x7F;
  StreamReader rc(a.data(), a.size());
  EXPECT_THROW(read_attribute_header(rc), CstreamException);

  // Entry: every embedded attribute needs at least its 4-byte count.
  std::vector<uint8_t> e = bytes({0x02, 0xAA, 0xF5, 0xEE, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3, 0, 0, 0});
  e.resize(e.size() + 11);
  StreamReader re(e.data(), e.size());
  EXPECT_THROW(read_entry_header(re), CstreamException);
  e.push_back(0);
  StreamReader rf(e.data(), e.size());
  EXPECT_EQ(3u, read_entry_header(rf).count);
}

TEST(WickForms, HeaderChecksMagicVersionAndTextSizes) {
  std::vector<uint8_t> bad_magic = kExample;
  bad_magic[3] = 0xAB;
  std::vector<uint8_t> bad_version = kExample;
  bad_version[4] = 2;
  std::vector<uint8_t> huge_text = kExample;
  huge_text[16] = 0xFF, huge_text[17] = 0xFF, huge_text[18] = 0xFF, huge_text[19] = 0xFF;
  for (auto* v : {&bad_magic, &bad_version, &huge_text}) {
    AttributeHeader h;
    std::vector<AttributeValue> values;
    EXPECT_FALSE(read_attribute(*v, &h, &values));
  }
  // An entry form is not an attribute form and the other way round.
  std::vector<uint8_t> entry;
  write_entry(entry, 0, ByteSpan{}, nullptr, 0);
  StreamReader r(entry.data(), entry.size());
  EXPECT_THROW(read_attribute_header(r), CstreamException);
  StreamReader r2(kExample.data(), kExample.size());
  EXPECT_THROW(read_entry_header(r2), CstreamException);
}

TEST(WickForms, EntryEmbedsAttributeFormsAfterFlagsAndName) {
  std::vector<uint8_t> name = bytes({'e', 0});
  ByteSpan attrs[2] = {span(kExample), ByteSpan{}};
  std::vector<uint8_t> buf;
  write_entry(buf, 0x11223344, span(name), attrs, 2);
  std::vector<uint8_t> head = bytes({0x02, 0xAA, 0xF5, 0xEE, 1, 0, 0, 0, 0x44, 0x33, 0x22, 0x11, 2,
                                     0,    0,    0,    'e',  0, 2, 0, 0, 0,    38,   0,    0,    0});
  ASSERT_EQ(head.size() + 38 + 4, buf.size());
  EXPECT_EQ(head, std::vector<uint8_t>(buf.begin(), buf.begin() + static_cast<long>(head.size())));
  StreamReader r(buf.data(), buf.size());
  EntryHeader h = read_entry_header(r);
  EXPECT_EQ(0x11223344, h.flags);
  ASSERT_EQ(2u, h.count);
  ByteSpan a = read_entry_attribute(r);
  EXPECT_EQ(kExample, std::vector<uint8_t>(a.data, a.data + a.size));
  EXPECT_EQ(0u, read_entry_attribute(r).size);
  EXPECT_EQ(0u, r.remaining());
}

TEST(WickText, HexadecimalBothWays) {
  std::vector<uint8_t> all(256);
  for (int i = 0; i < 256; ++i) all[i] = static_cast<uint8_t>(i);
  std::u16string h = bin_to_hex(all.data(), all.size());
  ASSERT_EQ(512u, h.size());
  EXPECT_EQ(u"00010203", h.substr(0, 8));
  EXPECT_EQ(u"FEFF", h.substr(508));
  std::vector<uint8_t> back;
  ASSERT_TRUE(hex_to_bin(h.data(), h.size(), back));
  EXPECT_EQ(all, back);
  std::u16string lower = u"00ab7f";
  ASSERT_TRUE(hex_to_bin(lower.data(), lower.size(), back));
  EXPECT_EQ(bytes({0, 0xAB, 0x7F}), back);
  std::u16string odd = u"ABC";
  ASSERT_TRUE(hex_to_bin(odd.data(), odd.size(), back));
  EXPECT_EQ(bytes({0xAB}), back);
  for (const char16_t* bad : {u"AG", u"A B", u"ABz", u"\uff10\uff10", u"0x"}) {
    std::u16string b = bad;
    back = bytes({9});
    EXPECT_FALSE(hex_to_bin(b.data(), b.size(), back));
    EXPECT_EQ(bytes({9}), back);  // untouched
  }
}

TEST(WickText, DirectoryStringsAndFilterValues) {
  std::vector<uint8_t> in = bytes({0x00, 0x41, 0x7F, 0x80, 0xE9, 0xFF});
  std::u16string s = bin_to_ldap_str(in.data(), in.size());
  EXPECT_EQ(std::u16string({0x0000, 0x0041, 0x007F, 0xFF80, 0xFFE9, 0xFFFF}), s);
  std::vector<uint8_t> le;
  for (char16_t c : s) le.push_back(static_cast<uint8_t>(c)), le.push_back(static_cast<uint8_t>(c >> 8));
  le.push_back(0x55);  // odd trailing byte ignored
  EXPECT_EQ(in, ldap_str_to_bin(le.data(), le.size()));
  EXPECT_TRUE(ldap_str_to_bin(le.data(), 1).empty());

  std::vector<uint8_t> f = bytes({'a', 'Z', '0', ' ', '-', '*', '(', ')', '\\', 0, 0x1F, 0x7F, 0x80, 0xFF});
  EXPECT_EQ(u"aZ0 -\\2A\\28\\29\\5C\\00\\1F\\7F\\80\\FF", escape_filter_value(f.data(), f.size()));
  EXPECT_EQ(u"", escape_filter_value(nullptr, 0));
}

TEST(WickLogLine, ComposesTheRecord) {
  EXPECT_EQ(u"Sys\tSrc\t9\t-2147024891\tD%s\r\n",
            compose_log_line(u"Sys", u"Src", u"\t", severity_text(9), decimal_text(-2147024891), u"D%s"));
  EXPECT_EQ(u"(null)::Error:0:(null)\r\n", compose_log_line(nullptr, u"", u":", u"Error", u"0", nullptr));
  EXPECT_EQ(u"a(null)b(null)c(null)d(null)e\r\n", compose_log_line(u"a", u"b", nullptr, u"c", u"d", u"e"));
  const char16_t* names[] = {u"Error", u"Warning", u"Informational", u"Summary", u"InternalError", u"TraceMsg"};
  const uint16_t types[] = {1, 2, 4, 4, 1, 4};
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(names[i], severity_text(i));
    EXPECT_EQ(types[i], event_type(i));
  }
  EXPECT_EQ(u"-1", severity_text(-1));
  EXPECT_EQ(4, event_type(-1));
  EXPECT_EQ(u"-2147483648", decimal_text(INT32_MIN));
  EXPECT_EQ(u"2147483647", decimal_text(INT32_MAX));
}

TEST(WickLogLine, LongLinesAreCutAndKeepTheirEnd) {
  std::u16string d(5000, u'd');
  std::u16string line = compose_log_line(u"S", u"R", u"\t", u"Error", u"1", d.c_str());
  ASSERT_EQ(kMaxLineChars, line.size());
  EXPECT_EQ(u"\r\n", line.substr(line.size() - 2));
  EXPECT_EQ(u"S\tR\tError\t1\tddd", line.substr(0, 15));
  std::u16string exact(kMaxLineChars - 14, u'e');
  EXPECT_EQ(u"S\tR\tError\t1\t" + exact + u"\r\n", compose_log_line(u"S", u"R", u"\t", u"Error", u"1", exact.c_str()));
}

TEST(WickLogLine, FileEncodings) {
  std::u16string line = u"a\u00e9\u0416\U0001F600\u00ff\r\n";
  EXPECT_EQ(bytes({'a', 0xE9, '?', '?', 0xFF, '\r', '\n'}), encode_8bit(line));
  EXPECT_EQ(bytes({'a', 0, 0xE9, 0, 0x16, 0x04, 0x3D, 0xD8, 0x00, 0xDE, 0xFF, 0, '\r', 0, '\n', 0}),
            encode_utf16le(line));
  // A lone surrogate is one character of its own.
  EXPECT_EQ(bytes({'?', '?', 'x'}), encode_8bit(std::u16string({0xDC00, 0xD800, u'x'})));
}
