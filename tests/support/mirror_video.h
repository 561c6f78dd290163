#pragma once

// Mirror videos made for the tests and benchmarks: each frame painted from the mirror
// model (simulateRing) of a panorama of grey bands between known elevations, with a dark
// marker in the middle band that turns a known angle each frame, encoded with the ffmpeg
// program (H.264 and AAC audio), with a creation time and a location.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "unwarp/ring_simulator.h"
#include "unwarp/row_elevations.h"
#include "unwarp/unwarp_ring.h"

namespace kelmira::test {

struct MirrorVideo {
  int width = 320;
  int height = 240;
  double centreX = 160;
  double centreY = 120;
  double radius = 110;  // the ring's outer edge
  int frames = 20;
  int rate = 10;
  double markerStep = 9;    // degrees turned a frame
  double markerWidth = 12;  // degrees
  bool audio = true;
  int storedTurns = 0;  // stored turned this many quarters anticlockwise, tagged to be shown turned back
  std::string encoder = "-c:v libx264 -preset ultrafast -crf 10 -g 5";
  std::string extra;  // more of ffmpeg's output options
};

// The bands' edges, in degrees of elevation: above the first dark, then bright, then dark.
inline constexpr double kUpperEdge = 5;
inline constexpr double kLowerEdge = -15;
inline constexpr int kDark = 60;
inline constexpr int kBright = 200;
inline constexpr int kMarker = 10;
inline constexpr char kCreationTime[] = "2024-05-06T07:08:09.000000Z";
inline constexpr char kLocation[] = "+48.8584+002.2945/";

// Where frame `frame`'s marker is centred, in degrees of azimuth.
inline double markerAzimuth(const MirrorVideo& video, int frame) { return std::fmod(30 + frame * video.markerStep, 360); }

inline bool haveProgram(const char* name) {
  return std::system(("command -v " + std::string(name) + " > /dev/null 2>&1").c_str()) == 0;
}

// The panorama of frame `frame`, 3 bytes a pixel, `columns` wide, its rows at the unwarp's elevations.
inline std::vector<std::uint8_t> bandPanorama(const MirrorVideo& video, int frame, int columns, int rows) {
  const RowElevations elevations = RowElevations::ofUnwarp(static_cast<std::uint32_t>(rows));
  std::vector<std::uint8_t> pixels(std::size_t(columns) * rows * 3);
  const double marker = markerAzimuth(video, frame);
  for (int i = 0; i < rows; ++i) {
    const double e = elevations.at(static_cast<std::size_t>(i));
    const bool bright = e <= kUpperEdge && e > kLowerEdge;
    for (int j = 0; j < columns; ++j) {
      const double azimuth = (j + 0.5) * 360.0 / columns;
      double off = std::fabs(azimuth - marker);
      off = std::min(off, 360 - off);
      // The dark bands are grainy, as a scene is, so the ring stands out against the black
      // around it; the grain stays put from frame to frame.
      const unsigned grain = (static_cast<unsigned>(i) * 2654435761u ^ static_cast<unsigned>(j) * 40503u) >> 7;
      int value = bright ? kBright : kDark - 24 + static_cast<int>(grain % 49);
      if (bright && off < video.markerWidth / 2) value = kMarker;
      std::uint8_t* p = &pixels[(std::size_t(i) * columns + j) * 3];
      p[0] = p[1] = p[2] = static_cast<std::uint8_t>(value);
    }
  }
  return pixels;
}

// The round frame of frame `frame` as displayed, 3 bytes a pixel.
inline std::vector<std::uint8_t> mirrorFrame(const MirrorVideo& video, int frame) {
  const int columns = 1440, rows = 480;
  std::vector<std::uint8_t> panorama = bandPanorama(video, frame, columns, rows);
  std::vector<std::uint8_t> round(std::size_t(video.width) * video.height * 3);
  const SourceView from{panorama.data(), std::uint32_t(columns), std::uint32_t(rows), 3, std::size_t(columns) * 3};
  const ImageView to{round.data(), std::uint32_t(video.width), std::uint32_t(video.height), 3,
                     std::size_t(video.width) * 3};
  simulateRing(from, to, video.centreX, video.centreY, ringScaleForRadius(video.radius));
  return round;
}

// Writes the video to `path` (its raw frames beside it for a moment); false when ffmpeg fails.
inline bool makeMirrorVideo(const std::string& path, const MirrorVideo& video) {
  const std::string raw = path + ".rgb";
  std::FILE* out = std::fopen(raw.c_str(), "wb");
  if (out == nullptr) return false;
  for (int f = 0; f < video.frames; ++f) {
    const std::vector<std::uint8_t> shown = mirrorFrame(video, f);
    std::fwrite(shown.data(), 1, shown.size(), out);
  }
  std::fclose(out);
  const double seconds = double(video.frames) / video.rate;
  std::string command = "ffmpeg -v error -y -f rawvideo -pix_fmt rgb24 -s " + std::to_string(video.width) + "x" +
                        std::to_string(video.height) + " -r " + std::to_string(video.rate) + " -i '" + raw + "'";
  if (video.audio) command += " -f lavfi -i sine=frequency=440:duration=" + std::to_string(seconds);
  command += " " + video.encoder + " -pix_fmt yuv420p";
  if (video.audio) command += " -c:a aac -b:a 64k";
  // FFmpeg's own filters turn the frames for storing; its display matrix, set on a copy,
  // turns them back as ffmpeg's autorotation (and a player) shows them.
  static const char* const kTurnAway[] = {"", "transpose=cclock", "hflip,vflip", "transpose=clock"};
  const int turns = video.storedTurns % 4;
  if (turns != 0) command += std::string(" -vf ") + kTurnAway[turns];
  command += std::string(" -metadata creation_time=") + kCreationTime + " -metadata location=" + kLocation + " " +
             video.extra + " '" + (turns != 0 ? path + ".turned.mp4" : path) + "' 2>&1";
  int status = std::system(command.c_str());
  std::remove(raw.c_str());
  if (turns != 0 && status == 0) {
    // Debian 12's muxer writes the tag's angle anticlockwise: 270 is a quarter turn clockwise.
    status = std::system(("ffmpeg -v error -y -i '" + path + ".turned.mp4' -c copy -metadata:s:v:0 rotate=" +
                          std::to_string(360 - 90 * turns) + " '" + path + "' 2>&1")
                             .c_str());
    std::remove((path + ".turned.mp4").c_str());
  }
  return status == 0;
}

}  // namespace kelmira::test
