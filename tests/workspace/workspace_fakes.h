#pragma once

#include <string>
#include <vector>

#include "image/dib_image.h"
#include "image/progress_sink.h"
#include "support/test_files.h"
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
