#include "app/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/simd_target.h"

namespace kelmira {
namespace {

TEST(WindowCommandLine, AFileAtMostAndNoUnknownOptions) {
  EXPECT_EQ(readWindowArguments({"kelmira"}).file, "");
  EXPECT_EQ(readWindowArguments({"kelmira"}).error, "");
  const WindowArguments one = readWindowArguments({"kelmira", "/photos/room.jpg"});
  EXPECT_EQ(one.file, "/photos/room.jpg");
  EXPECT_EQ(one.error, "");
  EXPECT_EQ(readWindowArguments({"kelmira", "-"}).file, "-");  // a file of that name
  EXPECT_NE(readWindowArguments({"kelmira", "a.jpg", "b.jpg"}).error, "");
  EXPECT_NE(readWindowArguments({"kelmira", "--open", "a.jpg"}).error.find("unknown option --open"), std::string::npos);
  // After "--" every argument is a file, whatever it looks like.
  EXPECT_EQ(readWindowArguments({"kelmira", "--", "-name.jpg"}).file, "-name.jpg");
  EXPECT_NE(readWindowArguments({"kelmira", "--", "a.jpg", "--"}).error, "");
}

// The manual page is made from this text: its usage line and its items in columns.
TEST(WindowCommandLine, HelpHasTheFormTheManualPageIsMadeFrom) {
  const std::string help = windowProgramHelp();
  EXPECT_NE(help.find("\nUsage: kelmira [OPTIONS] [FILE]\n"), std::string::npos);
  EXPECT_NE(help.find("\nOptions:\n  -h,--help                   "), std::string::npos);
  EXPECT_NE(help.find("\n  --version                   "), std::string::npos);
  EXPECT_EQ(windowProgramVersion(), "kelmira 2.1000\n" + simdDescription() + "\n");
}

}  // namespace
}  // namespace kelmira
