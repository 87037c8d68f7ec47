// What the program does with bytes others control: server texts shown, CSV cells a spreadsheet
// would run, and descriptors whose offsets and lengths lie.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "cmd_args.h"
#include "descriptor_check.h"
#include "safe_text.h"

using namespace corvane;

// What the hostile test cannot see: C1 and direction marks, kept line ends, the exact switch.
TEST(CorvaneSafeText, ShownNotObeyedAndNoFormulaInCsv) {
  EXPECT_EQ(display_text(L"C:\\D \u0416\x7F\x9B\u202E\r\n\tb\rc", true), L"C:\\D \u0416\\x7F\\x9B\\u202E\r\n\tb\\x0Dc");
  EXPECT_EQ(format_table({L"A", L"B", L"C", L"D"}, {{L"=1+2", L"+x", L"-x", L"'q"}}, true),
            L"A,B,C,D\r\n'=1+2,'+x,'-x,''q\r\n");
  EXPECT_EQ(format_table({L"A", L"B"}, {{L"=1,2", L"@x"}}, true, true), L"A,B\r\n\"=1,2\",@x\r\n");
}

TEST(CorvaneDescriptorCheck, OffsetsAndLengthsAreBoundedByTheAnswer) {
  // Self-relative, a list with Everyone reading (48 bytes), then whatever else the answer holds.
  const std::vector<uint8_t> good = {1,    0, 4,    0x80, 0, 0, 0,  0, 0, 0, 0, 0, 0, 0, 0,  0,
                                     20,   0, 0,    0,    2, 0, 28, 0, 1, 0, 0, 0, 0, 0, 20, 0,
                                     0xA9, 0, 0x12, 0,    1, 1, 0,  0, 0, 0, 0, 1, 0, 0, 0,  0};
  struct Row {
    const char* what;
    size_t at;           // byte changed (or none)
    uint8_t value;
    size_t available;    // bytes the answer holds from the descriptor on
    bool ok;
  } rows[] = {
      {"sound, the answer going on behind it", 0, 1, 64, true},
      {"sound, ending with the answer", 0, 1, 48, true},
      {"the answer ends inside the list", 0, 1, 40, false},
      {"shorter than its header", 0, 1, 12, false},
      {"list offset far past the end", 19, 0x7F, 64, false},
      {"list size lies", 23, 0xFF, 64, false},
      {"entry count lies", 24, 9, 64, false},
      {"revision 2", 0, 2, 64, false},
      {"absolute", 3, 0, 64, false},
  };
  for (const Row& r : rows) {
    std::vector<uint8_t> bytes = good;
    bytes.resize(64, 0xCC);
    bytes[r.at] = r.value;
    size_t length = 0;
    std::wstring reason;
    EXPECT_EQ(check_descriptor(bytes.data(), r.available, length, reason), r.ok) << r.what;
    EXPECT_EQ(reason.empty(), r.ok) << r.what;
    if (r.ok) EXPECT_EQ(length, good.size()) << r.what;
  }
}
