#pragma once

#include <QUrl>

namespace kelmira {

// Opens a file or page with the desktop's default program; tests only record the request.
class Shell {
 public:
  virtual ~Shell() = default;
  virtual bool openUrl(const QUrl& url) = 0;
};

class DesktopShell : public Shell {
 public:
  bool openUrl(const QUrl& url) override;
};

}  // namespace kelmira
