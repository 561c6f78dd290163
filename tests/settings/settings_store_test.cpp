#include "settings/settings_store.h"
#include "settings/settings_version.h"

#include <gtest/gtest.h>

#include <climits>
#include <fstream>
#include <map>
#include <string>

#include "support/test_files.h"

namespace kelmira {
namespace {

using Sections = std::map<std::string, std::map<std::string, std::string>>;

void writeText(const std::string& path, const std::string& text) { std::ofstream(path) << text; }

// A plain reading of the INI text, so the file is checked without going through QSettings.
Sections parseIni(const std::string& path) {
  Sections sections;
  std::ifstream in(path);
  std::string line;
  std::string section;
  while (std::getline(in, line)) {
    if (line.size() > 1 && line.front() == '[' && line.back() == ']') {
      section = line.substr(1, line.size() - 2);
    } else if (const auto equals = line.find('='); equals != std::string::npos) {
      sections[section][line.substr(0, equals)] = line.substr(equals + 1);
    }
  }
  return sections;
}

const std::string storedChoices =
    "LIMITED_COLOR=1\nDEFAULT_MOVIE_WIDTH=640\nDEFAULT_MOVIE_HEIGHT=300\n"
    "[EQUIPMENT]\nMIRROR=2\nATTACHMENT=1\n";

TEST(SettingsStoreTest, IntegersAndTextsRoundTripThroughTheFile) {
  test::TempDir dir;
  const std::string path = dir.file("kelmira.conf");
  {
    SettingsStore store(path);
    store.writeInt("DEFAULTS", "DEFAULT_MOVIE_WIDTH", 640);
    store.writeInt("DEFAULTS", "DEFAULT_MOVIE_WIDTH", 800);
    store.writeInt("EQUIPMENT", "MIRROR", INT_MIN);
    store.writeInt("EQUIPMENT", "ATTACHMENT", INT_MAX);
    store.writeString("DEFAULTS", "VERSION", "2.1000");
    store.writeString("DEFAULTS", "NOTE", "a, b; c=d \xc3\xa9");
    // Written at once: the file is complete while the store is still open.
    EXPECT_EQ(parseIni(path)["DEFAULTS"]["DEFAULT_MOVIE_WIDTH"], "800");
    EXPECT_EQ(parseIni(path)["DEFAULTS"]["VERSION"], "2.1000");
    EXPECT_EQ(parseIni(path)["EQUIPMENT"]["MIRROR"], "-2147483648");
  }
  const SettingsStore store(path);
  EXPECT_EQ(store.readInt("DEFAULTS", "DEFAULT_MOVIE_WIDTH", -1), 800);
  EXPECT_EQ(store.readInt("EQUIPMENT", "MIRROR", 0), INT_MIN);
  EXPECT_EQ(store.readInt("EQUIPMENT", "ATTACHMENT", 0), INT_MAX);
  EXPECT_EQ(store.readString("DEFAULTS", "VERSION", "-1"), "2.1000");
  EXPECT_EQ(store.readString("DEFAULTS", "NOTE", "-1"), "a, b; c=d \xc3\xa9");
  EXPECT_EQ(store.readInt("EQUIPMENT", "DEFAULT_MOVIE_WIDTH", 3), 3);  // other section, other value
}

TEST(SettingsStoreTest, MissingOrUnreadableValuesGiveTheCallersDefault) {
  test::TempDir dir;
  const std::string path = dir.file("kelmira.conf");
  EXPECT_EQ(SettingsStore(path).readString("DEFAULTS", "VERSION", "-1"), "-1");
  writeText(path,
            "[DEFAULTS]\nLIMITED_COLOR=abc\nDEFAULT_MOVIE_WIDTH=12.5\nDEFAULT_MOVIE_HEIGHT=\n"
            "VERSION=99999999999\nLIST=a, b\n[EQUIPMENT]\nMIRROR=  3  \n");
  const SettingsStore store(path);
  EXPECT_EQ(store.readInt("DEFAULTS", "LIMITED_COLOR", 0), 0);
  EXPECT_EQ(store.readInt("DEFAULTS", "DEFAULT_MOVIE_WIDTH", 400), 400);
  EXPECT_EQ(store.readInt("DEFAULTS", "DEFAULT_MOVIE_HEIGHT", 180), 180);
  EXPECT_EQ(store.readInt("DEFAULTS", "VERSION", 21), 21);  // beyond 32 bits
  EXPECT_EQ(store.readString("DEFAULTS", "LIST", "-1"), "-1");
  EXPECT_EQ(store.readInt("EQUIPMENT", "MIRROR", 0), 3);
  EXPECT_EQ(store.readString("EQUIPMENT", "MIRROR", "-1"), "3");
  EXPECT_EQ(store.readInt("EQUIPMENT", "ATTACHMENT", 5), 5);
  EXPECT_EQ(store.readInt("NO_SUCH_SECTION", "MIRROR", -4), -4);
}

TEST(SettingsStoreTest, SeesWhatAnotherRunningCopyWrote) {
  test::TempDir dir;
  const std::string path = dir.file("kelmira.conf");
  writeText(path, "[DEFAULTS]\nDEFAULT_MOVIE_WIDTH=400\n");
  const SettingsStore store(path);
  ASSERT_EQ(store.readInt("DEFAULTS", "DEFAULT_MOVIE_WIDTH", 0), 400);
  writeText(path, "[DEFAULTS]\nDEFAULT_MOVIE_WIDTH=1024\n");
  EXPECT_EQ(store.readInt("DEFAULTS", "DEFAULT_MOVIE_WIDTH", 0), 1024);
}

TEST(SettingsVersionTest, FirstRunAndAnyOtherVersionTextResetDefaultsButNotEquipment) {
  EXPECT_EQ(static_cast<double>(versionNumber), 2.0999999046325684);
  EXPECT_EQ(versionText(), "2.1000");
  const std::map<std::string, std::string> reset = {{"VERSION", "2.1000"},
                                                    {"LIMITED_COLOR", "0"},
                                                    {"DEFAULT_MOVIE_WIDTH", "400"},
                                                    {"DEFAULT_MOVIE_HEIGHT", "180"}};
  {
    test::TempDir dir;
    SettingsStore store(dir.file("kelmira.conf"));
    reconcileSettingsVersion(store);
    EXPECT_EQ(parseIni(dir.file("kelmira.conf")), Sections({{"DEFAULTS", reset}}));
  }
  // "2.1" is the same number in fewer digits: the comparison is of texts.
  for (const std::string old : {"2.1", "1.0000", "-1", "2.1000a"}) {
    SCOPED_TRACE(old);
    test::TempDir dir;
    const std::string path = dir.file("kelmira.conf");
    writeText(path, "[DEFAULTS]\nVERSION=" + old + "\n" + storedChoices);
    SettingsStore store(path);
    reconcileSettingsVersion(store);
    const Sections expected = {{"DEFAULTS", reset}, {"EQUIPMENT", {{"MIRROR", "2"}, {"ATTACHMENT", "1"}}}};
    EXPECT_EQ(parseIni(path), expected);
  }
}

TEST(SettingsVersionTest, SameVersionKeepsTheUsersChoices) {
  test::TempDir dir;
  const std::string path = dir.file("kelmira.conf");
  writeText(path, "[DEFAULTS]\nVERSION=2.1000\n" + storedChoices);
  const Sections before = parseIni(path);
  // Also what a second copy started beside the first does.
  for (int copy = 0; copy < 2; ++copy) {
    SettingsStore store(path);
    reconcileSettingsVersion(store);
    EXPECT_EQ(parseIni(path), before);
    EXPECT_EQ(store.readInt("DEFAULTS", "DEFAULT_MOVIE_WIDTH", 400), 640);
    EXPECT_EQ(store.readInt("DEFAULTS", "LIMITED_COLOR", 0), 1);
  }
}

}  // namespace
}  // namespace kelmira
