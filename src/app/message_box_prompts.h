#pragma once

#include "workspace/prompts.h"

class QWidget;

namespace kelmira {

// Prompts as modal message boxes titled "Kelmira".
class MessageBoxPrompts : public Prompts {
 public:
  explicit MessageBoxPrompts(QWidget* parent = nullptr) : parent_(parent) {}
  void setParent(QWidget* parent) { parent_ = parent; }
  MessageAnswer showMessage(const std::string& text, MessageIcon icon, MessageButtons buttons) override;

 private:
  QWidget* parent_;
};

}  // namespace kelmira
