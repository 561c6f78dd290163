// kelmira-cli video: mirror videos made here with the ffmpeg program, their 360-degree
// videos read back with ffprobe, ffmpeg and exiftool.
#include <gtest/gtest.h>

#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/video_progress.h"
#include "cli_runner.h"
#include "support/mirror_video.h"
#include "support/test_files.h"

namespace kelmira {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// What a command prints on its standard output.
std::string outputOf(const std::string& command) {
  std::string text;
  std::FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return text;
  char buffer[4096];
  for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) text.append(buffer, got);
  pclose(pipe);
  return text;
}

// ffprobe's KEY=VALUE lines for the entries asked for.
std::string probe(const std::string& path, const std::string& what) {
  return outputOf("ffprobe -v error " + what + " -of default=noprint_wrappers=1 '" + path + "'");
}

// The value of KEY in ffprobe's lines, the first one.
std::string valueOf(const std::string& lines, const std::string& key) {
  const std::size_t at = ("\n" + lines).find("\n" + key + "=");
  if (at == std::string::npos) return "(none)";
  const std::size_t begin = at + key.size() + 1;
  return lines.substr(begin, lines.find('\n', begin) - begin);
}

std::string audioMd5(const std::string& path) {
  return outputOf("ffmpeg -v error -i '" + path + "' -map 0:a -c copy -f md5 -");
}

std::vector<std::string> frameTimes(const std::string& path) {
  std::vector<std::string> times;
  const std::string lines = probe(path, "-select_streams v:0 -show_entries frame=pts_time");
  for (std::size_t at = 0; (at = lines.find("pts_time=", at)) != std::string::npos; at += 9) {
    times.push_back(lines.substr(at + 9, lines.find('\n', at) - at - 9));
  }
  return times;
}

struct GreyFrames {
  int width = 0;
  int height = 0;
  std::vector<std::vector<std::uint8_t>> frames;
  int at(int frame, int x, int y) const { return frames[frame][std::size_t(y) * width + x]; }
};

GreyFrames greyFrames(const std::string& path) {
  GreyFrames grey;
  const std::string lines = probe(path, "-select_streams v:0 -show_entries stream=width,height");
  grey.width = std::atoi(valueOf(lines, "width").c_str());
  grey.height = std::atoi(valueOf(lines, "height").c_str());
  const std::string bytes = outputOf("ffmpeg -v error -i '" + path + "' -map 0:v:0 -f rawvideo -pix_fmt gray -");
  const std::size_t size = std::size_t(grey.width) * grey.height;
  for (std::size_t at = 0; size > 0 && at + size <= bytes.size(); at += size) {
    grey.frames.emplace_back(bytes.begin() + static_cast<long>(at), bytes.begin() + static_cast<long>(at + size));
  }
  return grey;
}

// The row, between rows, where column x of the frame turns from dark to bright (or back)
// going down from `from`.
double crossing(const GreyFrames& grey, int frame, int x, int from, bool toBright) {
  const int middle = (test::kDark + test::kBright) / 2;
  for (int y = from + 1; y < grey.height; ++y) {
    const int above = grey.at(frame, x, y - 1), below = grey.at(frame, x, y);
    if (toBright ? (above < middle && below >= middle) : (above >= middle && below < middle)) {
      return y - 1 + double(middle - above) / (below - above);
    }
  }
  return -1;
}

// The row an elevation falls on, between rows, in a frame `height` rows high.
double rowOf(double elevation, int height) { return (90 - elevation) * height / 180.0 - 0.5; }

// The middle of the marker in the row at -5 degrees, in degrees of azimuth.
double markerSeen(const GreyFrames& grey, int frame) {
  const int y = static_cast<int>(std::lround(rowOf(-5, grey.height)));
  double sx = 0, sy = 0;
  for (int x = 0; x < grey.width; ++x) {
    if (grey.at(frame, x, y) < (test::kMarker + test::kBright) / 2) {
      const double a = x * 2 * M_PI / grey.width;
      sx += std::cos(a);
      sy += std::sin(a);
    }
  }
  double degrees = std::atan2(sy, sx) * 180 / M_PI;
  return degrees < 0 ? degrees + 360 : degrees;
}

double angleBetween(double a, double b) {
  const double d = std::fmod(std::fabs(a - b), 360);
  return std::min(d, 360 - d);
}

// Frame by frame: the bands' edges within a row of their elevations, the marker where that
// frame put it, black above and below the band.
void expectBandsAndMarker(const GreyFrames& grey, const test::MirrorVideo& video, int firstFrame) {
  ASSERT_FALSE(grey.frames.empty());
  for (int f = 0; f < static_cast<int>(grey.frames.size()); ++f) {
    SCOPED_TRACE("frame " + std::to_string(f));
    const double marker = test::markerAzimuth(video, firstFrame + f);
    for (int k = 0; k < 8; ++k) {
      // Columns away from the marker.
      const int x = static_cast<int>((marker + 90 + k * 22.5) / 360 * grey.width) % grey.width;
      const double upper = crossing(grey, f, x, static_cast<int>(rowOf(40, grey.height)), true);
      const double lower = crossing(grey, f, x, static_cast<int>(upper + 1), false);
      EXPECT_NEAR(upper, rowOf(test::kUpperEdge, grey.height), 1.0) << "column " << x;
      EXPECT_NEAR(lower, rowOf(test::kLowerEdge, grey.height), 1.0) << "column " << x;
      EXPECT_LE(grey.at(f, x, 2), 17);
      EXPECT_LE(grey.at(f, x, grey.height - 3), 17);
    }
    EXPECT_LE(angleBetween(markerSeen(grey, f), marker), 360.0 / grey.width) << "marker";
  }
}

class KelmiraCliVideo : public testing::Test {
 protected:
  void SetUp() override {
    if (!test::haveProgram("ffmpeg") || !test::haveProgram("ffprobe")) {
      GTEST_SKIP() << "no ffmpeg and ffprobe programs (Debian's ffmpeg) to make and read the videos";
    }
  }
  std::string make(const std::string& name, const test::MirrorVideo& video) {
    const std::string path = dir_.file(name);
    EXPECT_TRUE(test::makeMirrorVideo(path, video)) << name;
    return path;
  }
  test::TempDir dir_;
};

constexpr char kRing[] = " --centre 160,120 --ring-radius 110";

TEST_F(KelmiraCliVideo, MakesA360VideoThatPlayersReadAsOne) {
  const test::MirrorVideo video;
  const std::string in = make("mirror.mp4", video);
  const std::string out = dir_.file("mirror_360.mp4");
  const test::RunResult run = test::runCli("video " + in + " " + out + kRing);
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("496 x 248 360-degree video, 20 frames"), std::string::npos) << run.output;

  const std::string stream =
      probe(out, "-select_streams v:0 -count_frames -show_entries stream=codec_name,pix_fmt,width,height,"
                 "nb_read_frames,avg_frame_rate:stream_side_data");
  EXPECT_EQ(valueOf(stream, "codec_name"), "h264");
  EXPECT_EQ(valueOf(stream, "pix_fmt"), "yuv420p");
  EXPECT_EQ(valueOf(stream, "width"), "496");
  EXPECT_EQ(valueOf(stream, "height"), "248");
  EXPECT_EQ(valueOf(stream, "nb_read_frames"), "20");
  EXPECT_EQ(valueOf(stream, "avg_frame_rate"), "10/1");
  EXPECT_EQ(valueOf(stream, "side_data_type"), "Spherical Mapping");
  EXPECT_EQ(valueOf(stream, "projection"), "equirectangular");
  EXPECT_EQ(frameTimes(out), frameTimes(in));

  const std::string format = probe(out, "-show_entries format_tags=creation_time,location");
  EXPECT_EQ(valueOf(format, "TAG:creation_time"), test::kCreationTime);
  EXPECT_EQ(valueOf(format, "TAG:location"), test::kLocation);
  const std::string md5 = audioMd5(in);
  EXPECT_EQ(md5.rfind("MD5=", 0), 0u) << md5;
  EXPECT_EQ(audioMd5(out), md5);

  expectBandsAndMarker(greyFrames(out), video, 0);

  if (!test::haveProgram("exiftool")) GTEST_SKIP() << "the V1 tags were not read: no exiftool (libimage-exiftool-perl)";
  const std::string tags = outputOf("exiftool -s -Spherical -Stitched -StitchingSoftware -ProjectionType '" + out + "'");
  EXPECT_NE(tags.find("Spherical                       : true"), std::string::npos) << tags;
  EXPECT_NE(tags.find("Stitched                        : true"), std::string::npos) << tags;
  EXPECT_NE(tags.find("StitchingSoftware               : Kelmira"), std::string::npos) << tags;
  EXPECT_NE(tags.find("ProjectionType                  : equirectangular"), std::string::npos) << tags;
}

// A phone's rotation tag: the frames stored sideways or upside down come out as displayed.
TEST_F(KelmiraCliVideo, HonoursTheRotationTag) {
  for (const int turns : {1, 2, 3}) {
    SCOPED_TRACE(std::to_string(turns) + " quarter turns");
    test::MirrorVideo video;
    video.frames = 4;
    video.audio = false;
    video.storedTurns = turns;
    const std::string in = make("turned" + std::to_string(turns) + ".mp4", video);
    const std::string out = dir_.file("turned" + std::to_string(turns) + "_360.mp4");
    const test::RunResult run = test::runCli("video " + in + " " + out + kRing);
    ASSERT_EQ(run.status, 0) << run.output;
    expectBandsAndMarker(greyFrames(out), video, 0);
  }
}

TEST_F(KelmiraCliVideo, StartAndDurationPickTheFramesAndTheAudioBetween) {
  const test::MirrorVideo video;
  const std::string in = make("long.mp4", video);
  const std::string out = dir_.file("part.mp4");
  const test::RunResult run =
      test::runCli("video " + in + " " + out + kRing + " --start 0.5 --duration 1 --width 256 --crf 30 --preset fast");
  ASSERT_EQ(run.status, 0) << run.output;
  const GreyFrames grey = greyFrames(out);
  EXPECT_EQ(grey.width, 256);
  EXPECT_EQ(grey.frames.size(), 10u);
  expectBandsAndMarker(grey, video, 5);
  const std::vector<std::string> times = frameTimes(out);
  ASSERT_FALSE(times.empty());
  EXPECT_EQ(times.front(), "0.000000");
  const double audio = std::atof(valueOf(probe(out, "-select_streams a:0 -show_entries stream=duration"), "duration").c_str());
  EXPECT_NEAR(audio, 1.0, 0.1);
}

// With no --centre or --ring-radius the ring is found on frames spread over the video.
TEST_F(KelmiraCliVideo, FindsTheRingWhenNotGiven) {
  test::MirrorVideo video;
  video.frames = 10;
  video.centreX = 168;
  video.centreY = 116;
  video.radius = 104;
  const std::string in = make("found.mp4", video);
  const std::string out = dir_.file("found_360.mp4");
  const test::RunResult run = test::runCli("video " + in + " " + out + " --width 320");
  ASSERT_EQ(run.status, 0) << run.output;
  expectBandsAndMarker(greyFrames(out), video, 0);
}

TEST_F(KelmiraCliVideo, ABatchNamesItsResultsAfterItsVideos) {
  test::MirrorVideo video;
  video.frames = 5;
  const std::string a = make("A.mp4", video);
  video.audio = false;
  const std::string b = make("B.mov", video);
  const test::RunResult run = test::runCli("video " + a + " " + b + " --out-dir " + dir_.file("out") + kRing +
                                           " --width 256 --jobs 2");
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("2 videos: 2 written"), std::string::npos) << run.output;
  for (const char* name : {"out/A_360.mp4", "out/B_360.mp4"}) {
    EXPECT_EQ(valueOf(probe(dir_.file(name), "-select_streams v:0 -show_entries stream_side_data"), "projection"),
              "equirectangular")
        << name;
  }
}

// A file cut short: the frames before the cut are written, the message says where, status 1.
// An MP4 whose index comes first says how many frames there should be; a Matroska file
// only how long it lasts.
TEST_F(KelmiraCliVideo, ADamagedInputGivesWhatDecodesAndSaysWhereItStopped) {
  test::MirrorVideo video;
  video.extra = "-movflags +faststart";
  const std::string mp4 = make("whole.mp4", video);
  const std::string mkv = dir_.file("whole.mkv");
  ASSERT_EQ(std::system(("ffmpeg -v error -i " + mp4 + " -c copy " + mkv).c_str()), 0);
  for (const std::string& in : {mp4, mkv}) {
    SCOPED_TRACE(in);
    const std::string cut = dir_.file("cut" + in.substr(in.size() - 4));
    test::Bytes bytes = test::readFileBytes(in);
    bytes.resize(bytes.size() * 6 / 10);
    test::writeFileBytes(cut, bytes);
    const std::string out = cut + "_360.mp4";
    const test::RunResult run = test::runCli("video " + cut + " " + out + kRing);
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_NE(run.output.find(cut + " is damaged"), std::string::npos) << run.output;
    const GreyFrames grey = greyFrames(out);
    EXPECT_GT(grey.frames.size(), 3u);
    EXPECT_LT(grey.frames.size(), 20u);
    EXPECT_NE(run.output.find("holds its first " + std::to_string(grey.frames.size()) + " frames, up to 0:0"),
              std::string::npos)
        << run.output;
    expectBandsAndMarker(grey, video, 0);
  }
}

TEST_F(KelmiraCliVideo, RefusesWhatHasNoVideoLeavingNoFile) {
  ASSERT_EQ(std::system(("ffmpeg -v error -f lavfi -i sine=duration=1 -c:a aac " + dir_.file("sound.m4a")).c_str()), 0);
  test::writeFileBytes(dir_.file("text.mp4"), test::Bytes{'n', 'o', 't', ' ', 'a', ' ', 'v', 'i', 'd', 'e', 'o'});
  test::MirrorVideo dark;
  dark.frames = 3;
  dark.audio = false;
  dark.radius = 1;  // a black frame: no ring to be found
  const std::string black = make("black.mp4", dark);
  const struct {
    std::string arguments;
    std::string says;
    int status;
  } cases[] = {
      {dir_.file("sound.m4a") + " " + dir_.file("a.mp4"), "has no video that Kelmira can decode", 1},
      {dir_.file("text.mp4") + " " + dir_.file("b.mp4"), "cannot read " + dir_.file("text.mp4"), 1},
      {dir_.file("missing.mp4") + " " + dir_.file("c.mp4"), "cannot read", 1},
      {black + " " + dir_.file("d.mp4"), "the mirror's ring was not found for sure", 1},
      {black + " " + dir_.file("e.mov"), "a 360-degree video is named .mp4", 2},
      {black + " " + dir_.file("f.mp4") + " --width 1000", "--width takes a multiple of 16", 2},
      {black + " " + dir_.file("f.mp4") + " --preset quick", "--preset takes one of x264's", 2},
  };
  for (const auto& c : cases) {
    const test::RunResult run = test::runCli("video " + c.arguments);
    EXPECT_EQ(run.status, c.status) << c.arguments << "\n" << run.output;
    EXPECT_NE(run.output.find(c.says), std::string::npos) << run.output;
  }
  std::vector<std::string> left;
  for (const auto& entry : fs::directory_iterator(dir_.path())) left.push_back(entry.path().filename().string());
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{"black.mp4", "sound.m4a", "text.mp4"}));
}

// An audio stream an MP4 cannot hold (PCM from a camera's MOV) is left out, with a warning.
TEST_F(KelmiraCliVideo, AudioAnMp4CannotHoldIsLeftOutWithAWarning) {
  test::MirrorVideo video;
  video.frames = 5;
  video.audio = false;
  const std::string silent = make("silent.mov", video);
  const std::string in = dir_.file("pcm.mov");
  ASSERT_EQ(std::system(("ffmpeg -v error -i " + silent + " -f lavfi -i sine=duration=0.5 -map 0:v -map 1:a -c:v copy "
                         "-c:a pcm_s16le " + in).c_str()),
            0);
  const std::string out = dir_.file("pcm_360.mp4");
  const test::RunResult run = test::runCli("video " + in + " " + out + kRing);
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("warning: audio stream 1 (pcm_s16le) cannot go into an MP4 and is left out"),
            std::string::npos)
      << run.output;
  EXPECT_EQ(probe(out, "-show_entries stream=codec_type"), "codec_type=video\n");
}

// The progress line's time left: the pace of the frames so far, once a few have gone by.
TEST(VideoProgressLine, SaysTheFramesAndTheTimeLeftAtThePaceSoFar) {
  EXPECT_EQ(VideoProgress::describe(3, 250, 1.0), "frame 3 of 250");
  EXPECT_EQ(VideoProgress::describe(10, 250, 4.0), "frame 10 of 250, 1:36 left");
  EXPECT_EQ(VideoProgress::describe(125, 250, 3600.0), "frame 125 of 250, 60:00 left");
  EXPECT_EQ(VideoProgress::describe(250, 250, 9.0), "frame 250 of 250");
}

// Ctrl-C halfway: the progress line was counting frames, and no file is left behind.
TEST_F(KelmiraCliVideo, CtrlCLeavesNoHalfFile) {
  test::MirrorVideo video;
  video.frames = 150;
  video.audio = false;
  const std::string in = make("long.mp4", video);
  const std::string out = dir_.file("long_360.mp4");
  test::CliProcess run("video " + in + " " + out + kRing + " --width 1024 --preset veryslow", true);
  ASSERT_TRUE(run.waitUntilCatching(SIGINT, 10s));
  ASSERT_TRUE(run.readUntil(" of 150", 60s)) << run.output();
  run.signal(SIGINT);
  EXPECT_EQ(run.finish(), 130) << run.output();
  EXPECT_NE(run.output().find("Converting"), std::string::npos) << run.output();
  std::vector<std::string> left;
  for (const auto& entry : fs::directory_iterator(dir_.path())) left.push_back(entry.path().filename().string());
  EXPECT_EQ(left, std::vector<std::string>{"long.mp4"});
}

}  // namespace
}  // namespace kelmira
