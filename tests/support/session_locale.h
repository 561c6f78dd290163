#pragma once

#include <optional>
#include <string>

namespace kelmira::test {

// Puts the process in a German session, as Qt does from LANG=de_DE.UTF-8 at start-up
// (setlocale(LC_ALL, "")): printf's "%f" then writes a decimal comma. The locale is made
// with localedef once, beside the tests, when the system has none. Until it goes, the C
// locale comes back.
class GermanSession {
 public:
  GermanSession();
  ~GermanSession();
  GermanSession(const GermanSession&) = delete;
  GermanSession& operator=(const GermanSession&) = delete;

  // False, with the reason, when no German locale could be had.
  bool active() const { return why_.empty(); }
  const std::string& whyNot() const { return why_; }

 private:
  std::string why_;
  std::optional<std::string> before_;
};

}  // namespace kelmira::test
