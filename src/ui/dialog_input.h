#pragma once

#include <QLineEdit>

#include "workspace/prompts.h"

namespace kelmira {

// A number field's value; false when it does not hold an integer.
inline bool readInteger(const QLineEdit* field, int& value) {
  bool ok = false;
  const int number = field->text().trimmed().toInt(&ok);
  if (ok) value = number;
  return ok;
}

inline void tellStop(Prompts* prompts, const char* text) {
  if (prompts != nullptr) prompts->showMessage(text, MessageIcon::Stop, MessageButtons::Ok);
}

}  // namespace kelmira
