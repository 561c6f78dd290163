#include "settings/settings_store.h"
#include "settings/settings_version.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "support/session_locale.h"
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

// What the store must never do to a file it cannot read: put this session's keys in its
// place. Reads give the defaults, writes leave it, and the listener hears of it once.
void expectKeptAndToldOnce(const std::string& path, const std::string& why) {
  SCOPED_TRACE(why);
  const test::Bytes before = std::filesystem::is_regular_file(path) ? test::readFileBytes(path) : test::Bytes();
  SettingsStore store(path);
  std::vector<std::string> told;
  store.setProblemListener([&](const std::string& message) { told.push_back(message); });
  EXPECT_EQ(store.readInt("DEFAULTS", "DEFAULT_MOVIE_WIDTH", 400), 400);
  store.writeInt("DEFAULTS", "DEFAULT_MOVIE_WIDTH", 800);
  reconcileSettingsVersion(store);
  EXPECT_EQ(store.readString("DEFAULTS", "VERSION", "-1"), "-1");
  EXPECT_TRUE(store.unreadable());
  ASSERT_EQ(told.size(), 1u);
  EXPECT_NE(told[0].find(path), std::string::npos) << told[0];
  if (!before.empty()) {
    EXPECT_EQ(test::readFileBytes(path), before);
  }
}

TEST(SettingsStoreTest, AFileThatCannotBeReadIsNeverReplaced) {
  test::TempDir dir;
  const std::string stored = "[DEFAULTS]\nVERSION=2.1000\n" + storedChoices;
  // Not text: some other file in its place.
  const std::string binary = dir.file("binary.conf");
  std::ofstream(binary, std::ios::binary) << stored << std::string(1, '\0') << "\x01\x02";
  expectKeptAndToldOnce(binary, "binary");
  // A folder where the file should be.
  std::filesystem::create_directory(dir.file("folder.conf"));
  expectKeptAndToldOnce(dir.file("folder.conf"), "folder");
  EXPECT_TRUE(std::filesystem::is_directory(dir.file("folder.conf")));

  // No permission to read it, as after "sudo kelmira" made it root's. Root reads anything,
  // so there the store runs as another user in a child process.
  const std::string locked = dir.file("locked.conf");
  writeText(locked, stored);
  chmod(locked.c_str(), 0);
  if (geteuid() != 0) {
    expectKeptAndToldOnce(locked, "no permission");
  } else {
    chmod(dir.path().c_str(), 0777);  // the folder stays the other user's to write in
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      int status = 1;
      if (setgid(65534) == 0 && setuid(65534) == 0) {
        SettingsStore store(locked);
        int told = 0;
        store.setProblemListener([&](const std::string&) { ++told; });
        const bool defaults = store.readInt("DEFAULTS", "DEFAULT_MOVIE_WIDTH", 400) == 400;
        store.writeInt("DEFAULTS", "DEFAULT_MOVIE_WIDTH", 800);
        reconcileSettingsVersion(store);
        status = defaults && told == 1 && store.unreadable() ? 0 : 2;
      }
      _exit(status);
    }
    int status = -1;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: could not become another user; 2: not kept or not told once";
    chmod(locked.c_str(), 0600);
    EXPECT_EQ(test::readFileBytes(locked), test::Bytes(stored.begin(), stored.end()));
  }

  // Readable again, it is read and written as ever; a missing file is no problem.
  SettingsStore fine(dir.file("missing.conf"));
  bool told = false;
  fine.setProblemListener([&](const std::string&) { told = true; });
  EXPECT_EQ(fine.readInt("DEFAULTS", "DEFAULT_MOVIE_WIDTH", 400), 400);
  fine.writeInt("DEFAULTS", "DEFAULT_MOVIE_WIDTH", 640);
  EXPECT_EQ(fine.readInt("DEFAULTS", "DEFAULT_MOVIE_WIDTH", 400), 640);
  EXPECT_FALSE(told);
  EXPECT_FALSE(fine.unreadable());
}

// Edited by hand or by another program: a byte-order mark first, a section split in two,
// a section name with spaces inside its brackets. Read as meant, and written back as one
// section each, which reads back the same.
TEST(SettingsStoreTest, AByteOrderMarkAndASectionGivenTwiceReadAsMeantAndWriteAsOne) {
  test::TempDir dir;
  const std::string path = dir.file("kelmira.conf");
  writeText(path,
            "\xEF\xBB\xBF[EQUIPMENT]\nMIRROR=2\n[DEFAULTS]\nDEFAULT_MOVIE_WIDTH=640\nLIMITED_COLOR=1\n"
            "[ EQUIPMENT ]\nATTACHMENT=1\nMIRROR=3\n[DEFAULTS]\nDEFAULT_MOVIE_WIDTH=800\n");
  SettingsStore store(path);
  const auto expectMeant = [&](const char* when) {
    SCOPED_TRACE(when);
    EXPECT_EQ(store.readInt("EQUIPMENT", "MIRROR", 0), 3);  // the last one given
    EXPECT_EQ(store.readInt("EQUIPMENT", "ATTACHMENT", 0), 1);
    EXPECT_EQ(store.readInt("DEFAULTS", "DEFAULT_MOVIE_WIDTH", 0), 800);
    EXPECT_EQ(store.readInt("DEFAULTS", "LIMITED_COLOR", 0), 1);
  };
  expectMeant("as edited");
  store.writeInt("DEFAULTS", "DEFAULT_MOVIE_HEIGHT", 300);
  expectMeant("written back");
  EXPECT_EQ(store.readInt("DEFAULTS", "DEFAULT_MOVIE_HEIGHT", 0), 300);
  const test::Bytes bytes = test::readFileBytes(path);
  const std::string text(bytes.begin(), bytes.end());
  EXPECT_EQ(text,
            "[EQUIPMENT]\nMIRROR=3\nATTACHMENT=1\n\n"
            "[DEFAULTS]\nDEFAULT_MOVIE_WIDTH=800\nLIMITED_COLOR=1\nDEFAULT_MOVIE_HEIGHT=300\n");
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

// The version is written with a point in any session; one stored with a comma by a German
// session of an earlier build is this version, so the choices stay.
TEST(SettingsVersionTest, TheVersionHasAPointInEveryLocaleAndACommaOneIsTheSameVersion) {
  test::TempDir dir;
  const std::string path = dir.file("kelmira.conf");
  // As an earlier build stored it in such a session: quoted, for the comma.
  writeText(path, "[DEFAULTS]\nVERSION=\"2,1000\"\n" + storedChoices);
  SettingsStore store(path);
  ASSERT_EQ(store.readString("DEFAULTS", "VERSION", "-1"), "2,1000");
  reconcileSettingsVersion(store);
  const Sections expected = {
      {"DEFAULTS", {{"VERSION", "2.1000"}, {"LIMITED_COLOR", "1"}, {"DEFAULT_MOVIE_WIDTH", "640"}, {"DEFAULT_MOVIE_HEIGHT", "300"}}},
      {"EQUIPMENT", {{"MIRROR", "2"}, {"ATTACHMENT", "1"}}}};
  EXPECT_EQ(parseIni(path), expected);

  test::GermanSession german;
  if (!german.active()) GTEST_SKIP() << german.whyNot();
  EXPECT_EQ(versionText(), "2.1000");
  writeText(path, storedChoices);
  reconcileSettingsVersion(store);
  EXPECT_EQ(parseIni(path)["DEFAULTS"]["VERSION"], "2.1000");
}

}  // namespace
}  // namespace kelmira
