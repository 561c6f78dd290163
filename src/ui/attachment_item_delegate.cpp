#include "ui/attachment_item_delegate.h"

#include <QApplication>
#include <QPainter>
#include <QStyle>

inline void initMirrorResources() { Q_INIT_RESOURCE(mirror); }

namespace kelmira {

AttachmentItemDelegate::AttachmentItemDelegate(QObject* parent) : QStyledItemDelegate(parent) {
  // The pictures are built into this library, which the linker keeps only when asked.
  initMirrorResources();
  standardBase_.load(":/mirror/standard-base.png");
  lensThread_.load(":/mirror/lens-thread.png");
}

QString AttachmentItemDelegate::caption(int row) { return row == 1 ? " Lens Thread " : " Standard Base "; }

QFont AttachmentItemDelegate::captionFont() {
  QFont font("Times New Roman");
  font.setStyleHint(QFont::Serif);
  font.setPixelSize(20);
  font.setWeight(QFont::Thin);
  return font;
}

QSize AttachmentItemDelegate::sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const {
  return standardBase_.size() + QSize(8, 8);
}

void AttachmentItemDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                   const QModelIndex& index) const {
  const QRect item = option.rect;
  const bool selected = option.state & QStyle::State_Selected;
  painter->save();
  painter->fillRect(item, option.palette.brush(selected ? QPalette::Highlight : QPalette::Base));
  if (option.state & QStyle::State_HasFocus) {
    QStyleOptionFocusRect focus;
    focus.rect = item;
    focus.palette = option.palette;
    focus.state = option.state;
    focus.backgroundColor = option.palette.color(selected ? QPalette::Highlight : QPalette::Base);
    const QWidget* widget = option.widget;
    (widget != nullptr ? widget->style() : QApplication::style())
        ->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter, widget);
  }
  if (index.isValid()) {
    const QPixmap& picture = index.row() == 1 ? lensThread_ : standardBase_;
    painter->drawPixmap(item.left() + 4, item.top() + 4, picture);
    const QRect captionArea(QPoint(item.left() + picture.width() + 8, item.top() + picture.height() / 3 + 8),
                            item.bottomRight());
    painter->setFont(captionFont());
    painter->setPen(option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
    painter->drawText(captionArea, Qt::AlignLeft | Qt::AlignTop, caption(index.row()));
  }
  painter->restore();
}

}  // namespace kelmira
