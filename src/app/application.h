#pragma once

#include <string>

namespace kelmira {

// This program's settings file, named after the executable: ~/.config/Torbek/kelmira.conf.
std::string programSettingsPath();

class MainDialog;
class Prompts;
class SettingsStore;
struct MainDialogServices;

// The program's life: start the movie toolbox, bring the settings in line with this
// version, run the main window, shut the toolbox down.
class Application {
 public:
  Application(Prompts& prompts, SettingsStore& settings) : prompts_(prompts), settings_(settings) {}

  // Everything before the main window runs. Failures are told and the program goes on.
  void startUp();
  // Runs the main window until it closes, opening `file` first as Open Round does when given.
  // When the environment's KELMIRA_REPORT_WINDOW names a file, the window writes its mode
  // and size caption there once started and closes: how a test sees what an installed
  // program shows without a screen.
  void runMainWindow(MainDialogServices services, const std::string& file = {});
  void shutDown();
  bool quickTimeAvailable() const { return quickTimeAvailable_; }

 private:
  Prompts& prompts_;
  SettingsStore& settings_;
  bool quickTimeAvailable_ = false;
};

}  // namespace kelmira
