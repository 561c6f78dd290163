#pragma once

#include <QPixmap>
#include <QStyledItemDelegate>

namespace kelmira {

// Draws the entries of the attachment list: the attachment's picture with its caption
// beside it, on the highlight colour when selected. Row 1 is the lens thread; any other
// row the standard base.
class AttachmentItemDelegate : public QStyledItemDelegate {
  Q_OBJECT

 public:
  explicit AttachmentItemDelegate(QObject* parent = nullptr);

  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
  // Every entry is as big as the standard-base picture with 4 pixels all round.
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

  static QString caption(int row);
  // The caption's font: Times New Roman, or the closest serif face there is.
  static QFont captionFont();

 private:
  QPixmap standardBase_;
  QPixmap lensThread_;
};

}  // namespace kelmira
