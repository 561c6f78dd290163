#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "image/dib_image.h"
#include "image/progress_sink.h"
#include "support/test_files.h"
#include "settings/integer_settings.h"
#include "workspace/prompts.h"

namespace kelmira::test {

// Records every message and answers questions as told.
class FakePrompts : public Prompts {
 public:
  MessageAnswer showMessage(const std::string& text, MessageIcon icon, MessageButtons buttons) override {
    messages.push_back(text);
    icons.push_back(icon);
    return buttons == MessageButtons::YesNo ? answer : MessageAnswer::Ok;
  }
  std::vector<std::string> messages;
  std::vector<MessageIcon> icons;
  MessageAnswer answer = MessageAnswer::Yes;
};

// Settings held in memory, keyed by section and name.
class MemorySettings : public IntegerSettings {
 public:
  int readInt(const char* section, const char* name, int defaultValue) const override {
    const auto found = values.find({section, name});
    return found == values.end() ? defaultValue : found->second;
  }
  void writeInt(const char* section, const char* name, int value) override { values[{section, name}] = value; }
  std::map<std::pair<std::string, std::string>, int> values;
};

class CountingProgress : public ProgressSink {
 public:
  int reportProgress(std::int32_t, std::int32_t) override { return ++reports, 1; }
  void endProgress() override { ++ends; }
  int reports = 0;
  int ends = 0;
};

// Writes a picture of the given size with a different colour in every pixel as a BMP.
inline std::string writePicture(const std::string& path, int width, int height, unsigned seed = 3) {
  const auto pixels = patternPixels(width, height, seed);
  DibImage image;
  image.copyFromPixels(pixels.data(), width, height);
  image.saveToFile(path, FileTypeBmp);
  return path;
}

}  // namespace kelmira::test
