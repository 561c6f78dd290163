#include "ui/mirror_properties_dialog.h"

#include <QListWidget>
#include <QPushButton>

#include "ui/attachment_item_delegate.h"
#include "ui/dialog_look.h"
#include "settings/integer_settings.h"
#include "settings/settings_keys.h"

namespace kelmira {

MirrorPropertiesDialog::MirrorPropertiesDialog(IntegerSettings* settings, QWidget* parent)
    : QDialog(parent), settings_(settings) {
  setWindowTitle("Mirror Properties");
  setFixedSize(284, 296);
  list_ = new QListWidget(this);
  list_->setGeometry(11, 11, 263, 242);
  list_->setItemDelegate(new AttachmentItemDelegate(list_));
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  // The entries' texts are kept but never shown: the delegate draws pictures and captions.
  list_->addItems({"Standard", "Thread"});

  ok_ = new QPushButton("OK", this);
  ok_->setGeometry(38, 262, 75, 23);
  ok_->setDefault(true);
  cancel_ = new QPushButton("Cancel", this);
  cancel_->setGeometry(165, 262, 75, 23);
  connect(ok_, &QPushButton::clicked, this, &MirrorPropertiesDialog::confirm);
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);

  applyKelmiraLook(this);

  const int attachment = settings_ != nullptr ? settings_->readInt(settings::equipmentSection, settings::attachmentKey, 0) : 0;
  // Any other stored value leaves the list without a selection until the user picks one.
  if (attachment == 0 || attachment == 1) list_->setCurrentRow(attachment);
  list_->setFocus();
}

void MirrorPropertiesDialog::confirm() {
  const QList<QListWidgetItem*> selected = list_->selectedItems();
  if (selected.isEmpty()) return;
  const int attachment = list_->row(selected.first());
  if (settings_ != nullptr) {
    settings_->writeInt(settings::equipmentSection, settings::mirrorKey, 0);
    settings_->writeInt(settings::equipmentSection, settings::attachmentKey, attachment);
  }
  accept();
}

}  // namespace kelmira
