#include "app/application.h"

#include <gtest/gtest.h>

#include <QStandardPaths>

#include "settings/settings_store.h"
#include "movie/quicktime/movie_runtime.h"
#include "support/test_files.h"
#include "support/workspace_fakes.h"

namespace kelmira {
namespace {

TEST(Application, StartUpWithoutTheMovieToolboxTellsBothFailuresAndGoesOn) {
  test::TempDir dir;
  SettingsStore settings(dir.file("kelmira.conf"));
  test::FakePrompts prompts;
  failNextQtmlInitialize(qtmlLoadErr);
  Application application(prompts, settings);
  application.startUp();
  EXPECT_FALSE(application.quickTimeAvailable());
  EXPECT_EQ(prompts.messages,
            (std::vector<std::string>{"QuickTime not available.  Please install QuickTime 4.0 or later.\n\nWithout "
                                      "Quicktime, movies will not play or be saved.",
                                      "QuickTime VR 2.1 or greater is required."}));
  EXPECT_EQ(prompts.icons, (std::vector<MessageIcon>{MessageIcon::Stop, MessageIcon::Stop}));
  // The settings are brought in line all the same.
  EXPECT_EQ(settings.readString("DEFAULTS", "VERSION", "-1"), "2.1000");
  application.shutDown();
}

TEST(Application, StartUpWithTheToolboxSaysNothingAndShutsItDown) {
  test::TempDir dir;
  SettingsStore settings(dir.file("kelmira.conf"));
  test::FakePrompts prompts;
  Application application(prompts, settings);
  application.startUp();
  EXPECT_TRUE(application.quickTimeAvailable());
  EXPECT_TRUE(prompts.messages.empty());
  EXPECT_TRUE(movieToolboxReady());
  application.shutDown();
  EXPECT_FALSE(movieToolboxReady());
}

TEST(Application, ASettingsFileThatCannotBeReadIsToldOfOnceAndKept) {
  test::TempDir dir;
  const std::string path = dir.file("kelmira.conf");
  const test::Bytes stored = {'[', 'D', 'E', 'F', 'A', 'U', 'L', 'T', 'S', ']', '\n', 0, 0, 7, '\n'};
  test::writeFileBytes(path, stored);
  SettingsStore settings(path);
  test::FakePrompts prompts;
  Application application(prompts, settings);
  application.startUp();
  settings.writeInt("DEFAULTS", "DEFAULT_MOVIE_WIDTH", 800);
  EXPECT_EQ(settings.readInt("DEFAULTS", "DEFAULT_MOVIE_WIDTH", 400), 400);
  ASSERT_EQ(prompts.messages.size(), 1u);
  EXPECT_EQ(prompts.messages[0], "The settings file " + path +
                                     " cannot be read. Kelmira runs with its default settings and leaves the file as it is.");
  EXPECT_EQ(prompts.icons[0], MessageIcon::Stop);
  EXPECT_EQ(test::readFileBytes(path), stored);
  application.shutDown();
}

TEST(Application, PerUserStoreIsNamedAfterCompanyAndExecutable) {
  const bool testMode = QStandardPaths::isTestModeEnabled();
  QString config = testMode ? QString() : qEnvironmentVariable("XDG_CONFIG_HOME");
  if (!config.startsWith('/')) {
    config = qEnvironmentVariable("HOME") + (testMode ? "/.qttest/config" : "/.config");
  }
  EXPECT_EQ(QString::fromStdString(programSettingsPath()), config + "/Torbek/test_app.conf");  // nothing is written
}

}  // namespace
}  // namespace kelmira
