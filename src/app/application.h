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
  // Runs the main window until it closes.
  void runMainWindow(MainDialogServices services);
  void shutDown();
  bool quickTimeAvailable() const { return quickTimeAvailable_; }

 private:
  Prompts& prompts_;
  SettingsStore& settings_;
  bool quickTimeAvailable_ = false;
};

}  // namespace kelmira
