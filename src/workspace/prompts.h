#pragma once

#include <string>

namespace kelmira {

enum class MessageIcon { None, Information, Question, Stop };
enum class MessageButtons { Ok, YesNo };
enum class MessageAnswer { Ok, Yes, No };

// Message boxes and questions: the window shows them, tests and the command line answer them.
class Prompts {
 public:
  virtual ~Prompts() = default;
  virtual MessageAnswer showMessage(const std::string& text, MessageIcon icon, MessageButtons buttons) = 0;
};

}  // namespace kelmira
