#include "app/message_box_prompts.h"

#include <QMessageBox>

namespace kelmira {

MessageAnswer MessageBoxPrompts::showMessage(const std::string& text, MessageIcon icon, MessageButtons buttons) {
  QMessageBox::Icon boxIcon = QMessageBox::NoIcon;
  switch (icon) {
    case MessageIcon::Information: boxIcon = QMessageBox::Information; break;
    case MessageIcon::Question: boxIcon = QMessageBox::Question; break;
    case MessageIcon::Stop: boxIcon = QMessageBox::Critical; break;
    case MessageIcon::None: break;
  }
  const bool question = buttons == MessageButtons::YesNo;
  QMessageBox box(boxIcon, "Kelmira", QString::fromStdString(text),
                  question ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok, parent_);
  const int answer = box.exec();
  if (!question) return MessageAnswer::Ok;
  return answer == QMessageBox::Yes ? MessageAnswer::Yes : MessageAnswer::No;
}

}  // namespace kelmira
