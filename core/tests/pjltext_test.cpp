#include "core/pjltext.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(PjlTextTest, EveryByteAloneAndWithinText) {
  for (int b = 0; b < 256; ++b) {
    SCOPED_TRACE(b);
    const bool allowed = b == 9 || (b >= 32 && b != 34);
    std::string alone(1, static_cast<char>(b));
    std::string inside = "Report " + alone + " 2";
    EXPECT_EQ(isValidPjlText(alone.data(), static_cast<RWsize>(alone.size())), allowed);
    EXPECT_EQ(isValidPjlText(RWCString(inside.data(), static_cast<RWsize>(inside.size()))), allowed);
  }
}

TEST(PjlTextTest, WholeTexts) {
  EXPECT_TRUE(isValidPjlText(RWCString()));
  EXPECT_TRUE(isValidPjlText(RWCString("Quarterly report.doc")));
  EXPECT_TRUE(isValidPjlText(RWCString("caf\xe9\tnotes")));
  EXPECT_FALSE(isValidPjlText(RWCString("a\"\r\n@PJL SET COPIES=99")));
  EXPECT_FALSE(isValidPjlText(RWCString("x\x1b%-12345X")));
  // The length counts, not the first zero.
  EXPECT_FALSE(isValidPjlText(RWCString("ab\0cd", 5)));
}

}  // namespace
