// The skin pictures as the program finds them in its Qt resources.
#include <gtest/gtest.h>

#include <QImage>
#include <QRect>
#include <QString>

#include <algorithm>
#include <string>
#include <vector>

// The resources live in a static library: nothing else pulls their object file in.
static void loadKelmiraResources() { Q_INIT_RESOURCE(kelmira); }

namespace {

struct Picture {
  const char* name;
  int width;
  int height;
};

QImage load(const char* name) {
  loadKelmiraResources();
  return QImage(QString(":/skin/%1").arg(name));
}

struct Placed {
  const char* button;
  const char* background;
  int x, y;
};

// Client positions of the buttons on the backgrounds they are shown on.
const std::vector<Placed> kPlaced = {
    {"open-round", "start", 555, 44},       {"open-pano", "start", 555, 119},
    {"help", "start", 555, 193},            {"mirror-selection", "start", 555, 268},
    {"make-pano", "round", 555, 44},        {"new-restart", "round", 135, 442},
    {"back-to-round", "panorama", 36, 34},  {"undo", "panorama", 134, 34},
    {"crop", "panorama", 231, 34},          {"advanced", "panorama", 333, 36},
    {"save-image", "panorama", 342, 348},   {"save-movie", "panorama", 531, 346},
    {"new-restart", "panorama", 135, 442},  {"look-around", "panorama", 342, 444},
};

const std::vector<Picture> kButtons = {
    {"make-pano", 173, 69}, {"save-movie", 180, 88},       {"save-image", 180, 88}, {"open-round", 175, 67},
    {"open-pano", 175, 67}, {"mirror-selection", 175, 67}, {"crop", 96, 48},        {"new-restart", 61, 63},
    {"back-to-round", 96, 48}, {"help", 175, 67},          {"undo", 96, 48},        {"up", 48, 48},
    {"down", 48, 48},       {"left", 48, 48},              {"right", 48, 48},       {"advanced", 91, 45},
    {"look-around", 180, 64},
};

// Mean red and blue over the face, 8 pixels in from the edges.
void meanRedBlue(const QImage& image, double& red, double& blue) {
  red = blue = 0;
  int n = 0;
  for (int y = 8; y < image.height() - 8; ++y) {
    for (int x = 8; x < image.width() - 8; ++x) {
      const QRgb c = image.pixel(x, y);
      red += qRed(c);
      blue += qBlue(c);
      ++n;
    }
  }
  red /= n;
  blue /= n;
}

TEST(SkinResources, EveryPictureLoadsAtItsSizeWithoutAlpha) {
  struct Expected {
    QString name;
    int width;
    int height;
  };
  std::vector<Expected> pictures = {{"background-start.png", 750, 540}, {"background-round.png", 750, 540},
                                    {"background-panorama.png", 750, 540}, {"about.png", 400, 300},
                                    {"icon-32.png", 32, 32}, {"icon-16.png", 16, 16}};
  for (const Picture& b : kButtons) {
    for (const char* state : {"normal", "pressed"}) {
      pictures.push_back({QString("button-%1-%2.png").arg(b.name, state), b.width, b.height});
    }
  }
  ASSERT_EQ(pictures.size(), 40u);
  for (const Expected& picture : pictures) {
    const std::string name = picture.name.toStdString();
    const QImage image = load(name.c_str());
    ASSERT_FALSE(image.isNull()) << name;
    EXPECT_EQ(image.width(), picture.width) << name;
    EXPECT_EQ(image.height(), picture.height) << name;
    EXPECT_FALSE(image.hasAlphaChannel()) << name;
  }
}

TEST(SkinResources, ButtonsAreGreyAndLitBlueWhenPressed) {
  for (const Picture& b : kButtons) {
    const QImage normal = load(qPrintable(QString("button-%1-normal.png").arg(b.name)));
    const QImage pressed = load(qPrintable(QString("button-%1-pressed.png").arg(b.name)));
    ASSERT_FALSE(normal.isNull() || pressed.isNull()) << b.name;
    double red, blue;
    meanRedBlue(normal, red, blue);
    EXPECT_LT(blue - red, 40) << b.name << " normal is not grey";
    EXPECT_GT(red, 150) << b.name << " normal is too dark for its dark label";
    meanRedBlue(pressed, red, blue);
    EXPECT_GT(blue - red, 80) << b.name << " pressed is not lit blue";
  }
}

TEST(SkinResources, ButtonCornersMatchTheBackgroundWhereTheySit) {
  for (const Placed& placed : kPlaced) {
    const QImage background = load(qPrintable(QString("background-%1.png").arg(placed.background)));
    const QImage button = load(qPrintable(QString("button-%1-normal.png").arg(placed.button)));
    ASSERT_FALSE(background.isNull() || button.isNull()) << placed.button;
    const int w = button.width() - 1, h = button.height() - 1;
    for (const QPoint corner : {QPoint(0, 0), QPoint(w, 0), QPoint(0, h), QPoint(w, h)}) {
      EXPECT_EQ(button.pixel(corner), background.pixel(corner + QPoint(placed.x, placed.y)))
          << placed.button << " on " << placed.background << " at corner " << corner.x() << "," << corner.y();
    }
  }
}

TEST(SkinResources, CaptionBoxesAreLightForTheBlackCaption) {
  struct Box {
    const char* background;
    QRect area;  // where a caption of the program's size lands, whether drawn from its top or its baseline
  };
  for (const Box& box : {Box{"round", QRect(603, 309, 100, 24)}, Box{"panorama", QRect(98, 369, 190, 37)}}) {
    const QImage image = load(qPrintable(QString("background-%1.png").arg(box.background)));
    ASSERT_FALSE(image.isNull());
    int darkest = 255;
    for (int y = box.area.top(); y <= box.area.bottom(); ++y) {
      for (int x = box.area.left(); x <= box.area.right(); ++x) darkest = std::min(darkest, qGray(image.pixel(x, y)));
    }
    EXPECT_GT(darkest, 200) << box.background;
  }
}

}  // namespace
