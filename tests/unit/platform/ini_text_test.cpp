#include "platform/ini_text.h"

#include <gtest/gtest.h>

namespace glimor::platform::ini {
namespace {

TEST(IniText, ReadsAsTheProfileFunctionsDo) {
  const std::string text = "[Options]\r\nDelay = 5 \r\n[service]\r\nhost=\"a b\"\r\nToken=x\r\n"
                           "[Service]\r\nToken=second\r\n[Empty]\r\nKey=\r\n";
  EXPECT_EQ(valueOf(text, "Options", "delay"), "5");
  EXPECT_EQ(valueOf(text, "SERVICE", "Host"), "a b");
  EXPECT_EQ(valueOf(text, "Service", "Token"), "x"); // the first section of a name counts
  EXPECT_EQ(valueOf(text, "Empty", "Key"), "");
  EXPECT_EQ(valueOf(text, "Empty", "Other"), std::nullopt);
  EXPECT_EQ(valueOf(text, "Missing", "Key"), std::nullopt);
  EXPECT_EQ(valueOf("[S]\nPath=C:\\Привет\\截图.sxcu", "S", "Path"), "C:\\Привет\\截图.sxcu");
  // A long value is cut before the limit's byte when that one lies inside a character.
  std::string longText = "[S]\nK=";
  longText.append(2046, 'a').append("Ω");
  EXPECT_EQ(valueOf(longText, "S", "K"), std::string(2046, 'a'));
}

TEST(IniText, WritesOnlyTheKeysLine) {
  // Replacing keeps every other byte, the line's own break included.
  EXPECT_EQ(withValue("; kept\n[Service]\nHost=a\n[Options]\r\nx=1\r\n", "service", "HOST", "Ωμέγα"),
            "; kept\n[Service]\nHOST=Ωμέγα\n[Options]\r\nx=1\r\n");
  // A new key follows the section's last line, before blank lines and the next section.
  EXPECT_EQ(withValue("[A]\r\nx=1\r\n\r\n[B]\r\ny=2", "A", "z", "3"), "[A]\r\nx=1\r\nz=3\r\n\r\n[B]\r\ny=2");
  EXPECT_EQ(withValue("[A]\r\n[B]\r\n", "A", "z", "3"), "[A]\r\nz=3\r\n[B]\r\n");
  EXPECT_EQ(withValue("[B]\r\ny=2", "B", "z", "3"), "[B]\r\ny=2\r\nz=3\r\n");
  // A new section goes at the end; a new file is that section alone.
  EXPECT_EQ(withValue("[Service]\r\nHost=h", "Options", "Delay", "5"),
            "[Service]\r\nHost=h\r\n[Options]\r\nDelay=5\r\n");
  EXPECT_EQ(withValue("", "Service", "Token", "t"), "[Service]\r\nToken=t\r\n");
  EXPECT_EQ(valueOf(withValue("", "S", "K", "截图"), "S", "K"), "截图");
}

} // namespace
} // namespace glimor::platform::ini
