#include "ui/ring_instructions.h"

#include <QFont>
#include <QPainter>
#include <QPointF>
#include <QString>

#include "ui/skin_colours.h"

namespace kelmira {

namespace {

// Three short lines beside the panel's little circle, two long ones under it, then the
// closing line in bold; baselines as the skin lays them out.
struct PanelText {
  const char* lines[6];
};

constexpr PanelText kPlaceByHand{{"Click or drag to", "put the cross on", "the ring's centre,", "so that the green circles",
                                  "run round the ring evenly.", "Then press Make Pano."}};
constexpr PanelText kRingFound{{"Kelmira found", "the ring and put", "the circle on it.", "Off? Drag the cross to",
                                "the centre, or press F.", "Then press Make Pano."}};
constexpr PanelText kRingNotFound{{"No ring found for", "sure: click or drag", "to put the cross", "on the ring's centre, so",
                                   "the circles run evenly.", "Then press Make Pano."}};
constexpr QPointF kBaselines[6] = {{622, 174}, {622, 188}, {622, 202}, {570, 228}, {570, 242}, {570, 264}};

QFont panelFont(bool bold) {
  QFont font(skin::fontFamily);
  font.setPixelSize(11);
  font.setBold(bold);
  font.setStyleStrategy(QFont::PreferAntialias);
  font.setHintingPreference(QFont::PreferVerticalHinting);
  return font;
}

}  // namespace

void paintRingInstructions(QPainter& painter, RingInstructions which) {
  const PanelText& text = which == RingInstructions::RingFound      ? kRingFound
                          : which == RingInstructions::RingNotFound ? kRingNotFound
                                                                    : kPlaceByHand;
  painter.save();
  painter.setRenderHint(QPainter::TextAntialiasing);
  painter.setPen(skin::textLight);
  for (int i = 0; i < 6; ++i) {
    painter.setFont(panelFont(i == 5));
    painter.drawText(kBaselines[i], QString::fromUtf8(text.lines[i]));
  }
  painter.restore();
}

}  // namespace kelmira
