#include "movie/mov_dump.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <sstream>
#include <string>

#include "movie/vr_atom_containers.h"
#include "support/session_locale.h"
#include "support/movie_test_support.h"

namespace kelmira {
namespace {

using movie_test::writeAtom;
constexpr auto atom = writeAtom;

void identityMatrix(ByteWriter& w) {
  for (std::uint32_t v : {0x10000u, 0u, 0u, 0u, 0x10000u, 0u, 0u, 0u, 0x40000000u}) w.u32(v);
}

void track(ByteWriter& w, std::uint32_t trackId, const char (&handler)[5], const ByteBuffer& description,
           std::uint32_t sampleOffset, std::uint32_t sampleSize) {
  atom(w, "trak", [&] {
    atom(w, "tkhd", [&] {
      w.u32(0x0000000F);
      w.u32(0);
      w.u32(0);
      w.u32(trackId);
      w.u32(0);
      w.u32(7200);
      w.zeros(8);
      w.u16(0);
      w.u16(0);
      w.u16(trackId == 1 ? 0x100 : 0);
      w.u16(0);
      identityMatrix(w);
      w.u32(400 << 16);
      w.u32(180 << 16);
    });
    atom(w, "tref", [&] { atom(w, trackId == 1 ? "pano" : "imgt", [&] { w.u32(trackId + 1); }); });
    atom(w, "mdia", [&] {
      atom(w, "mdhd", [&] {
        w.zeros(12);
        w.u32(3600);
        w.u32(7200);
        w.u16(0);
        w.u16(0);
      });
      atom(w, "hdlr", [&] {
        w.u32(0);
        w.u32(fourCC("mhlr"));
        w.u32(fourCC(handler));
        w.zeros(12);
        w.u8(0);
      });
      atom(w, "minf", [&] {
        movie_test::writeDataInformation(w);
        atom(w, "stbl", [&] {
          atom(w, "stsd", [&] {
            w.u32(0);
            w.u32(1);
            w.bytes(description.data(), description.size());
          });
          atom(w, "stts", [&] {
            w.u32(0);
            w.u32(1);
            w.u32(1);
            w.u32(7200);
          });
          atom(w, "stsc", [&] {
            w.u32(0);
            w.u32(1);
            w.u32(1);
            w.u32(1);
            w.u32(1);
          });
          atom(w, "stsz", [&] {
            w.u32(0);
            w.u32(sampleSize);
            w.u32(1);
          });
          atom(w, "stco", [&] {
            w.u32(0);
            w.u32(1);
            w.u32(sampleOffset);
          });
        });
      });
    });
  });
}

// A two-track VR movie written atom by atom: moov (mvhd, VR track, panorama track,
// udta) then mdat with the node sample and the panorama sample.
ByteBuffer tinyVrMovie() {
  QTAtomContainer world;
  QTAtomContainer node;
  buildVrContainers(fourCC("pano"), 0, world, node);
  const ByteBuffer worldBytes = world->bytes();
  const ByteBuffer nodeBytes = node->bytes();
  const ByteBuffer panoBytes = buildPanoramaSample(1, 400, 84)->bytes();

  ByteBuffer vrDescription;
  ByteWriter d(vrDescription);
  d.u32(static_cast<std::uint32_t>(16 + worldBytes.size()));
  d.u32(fourCC("qtvr"));
  d.zeros(8);
  d.bytes(worldBytes.data(), worldBytes.size());
  ByteBuffer panoDescription;
  ByteWriter p(panoDescription);
  p.u32(16);
  p.u32(0);
  p.zeros(6);
  p.u16(1);

  const auto build = [&](std::uint32_t mdatPayload) {
    ByteBuffer file;
    ByteWriter w(file);
    atom(w, "moov", [&] {
      atom(w, "mvhd", [&] {
        w.zeros(12);
        w.u32(3600);
        w.u32(7200);
        w.u32(0x10000);
        w.u16(0x100);
        w.zeros(10);
        identityMatrix(w);
        w.zeros(24);
        w.u32(3);
      });
      track(w, 1, "qtvr", vrDescription, mdatPayload, static_cast<std::uint32_t>(nodeBytes.size()));
      track(w, 2, "pano", panoDescription, mdatPayload + static_cast<std::uint32_t>(nodeBytes.size()),
            static_cast<std::uint32_t>(panoBytes.size()));
      atom(w, "udta", [&] {
        atom(w, "ctyp", [&] { w.u32(fourCC("qtvr")); });
        w.u32(0);
      });
    });
    atom(w, "mdat", [&] {
      w.bytes(nodeBytes.data(), nodeBytes.size());
      w.bytes(panoBytes.data(), panoBytes.size());
    });
    return file;
  };
  const ByteBuffer draft = build(0);
  const std::uint32_t mdatPayload = static_cast<std::uint32_t>(draft.size() - nodeBytes.size() - panoBytes.size());
  return build(mdatPayload);
}

std::string dump(const ByteBuffer& file, bool* ok = nullptr) {
  std::ostringstream out;
  const bool result = dumpMovie(file.data(), file.size(), out);
  if (ok) *ok = result;
  return out.str();
}

TEST(MovDump, ShowsTheAtomTreeAndTheVrContainersOfAHandMadeMovie) {
  const ByteBuffer file = tinyVrMovie();
  bool ok = false;
  const std::string text = dump(file, &ok);
  EXPECT_TRUE(ok) << text;
  EXPECT_EQ(text.find("error"), std::string::npos) << text;

  const auto has = [&text](const std::string& line) {
    EXPECT_NE(text.find("\n" + line + "\n"), std::string::npos) << "missing line: " << line << "\n" << text;
  };
  has("  'mvhd' offset 8 size 108");
  has("    timeScale 3600");
  has("    nextTrackID 3");
  EXPECT_NE(text.find("\n  'trak' offset 116 size "), std::string::npos);
  has("    'tkhd' offset 124 size 92");
  has("      trackID 1");
  has("      width 400 (0x01900000)");
  has("      volume 1 (0x0100)");
  has("      'pano' offset 224 size 12");
  has("        trackID 2");
  has("        componentSubtype 'qtvr'");
  has("            entry 'alis' size 12");
  has("              version 0 flags 0x000001");
  has("            entry 1 format 'qtvr' size 348");
  has("              dataReferenceIndex 0");
  has("              QT atom container, 332 bytes");
  has("                'sean' id 1 children 3");
  has("                  'vrsc' id 1 data 24 bytes");
  has("                    defaultNodeID 1");
  has("                    'impn' id 2 data 56 bytes");
  has("                      quality 0x00000300");
  has("                        nodeType 'pano'");
  has("            entry 1: firstChunk 1 samplesPerChunk 1 sampleDescriptionID 1");
  has("    samples of the 'qtvr' track:");
  has("          'sean' id 1 children 2");
  has("                  string \"Hot Spot Index 3\"");
  has("                  nameAtomID 1");
  has("                  address \"https://kelmira.invalid/\"");
  has("    samples of the 'pano' track:");
  has("      sample 1 offset " + std::to_string(file.size() - 136) + " size 136");
  has("              maxTilt 31.93661");
  has("              minTilt -31.93661");
  has("              defaultFieldOfView 63.87321");
  has("              imageSizeY 2016");
  has("      controllerType 'qtvr'");
  has("'mdat' offset " + std::to_string(file.size() - 8 - 872 - 136) + " size " + std::to_string(8 + 872 + 136));
}

// A German session writes "%g" with a decimal comma; the dump is the same in any.
TEST(MovDump, FractionsReadTheSameInEveryLocale) {
  const ByteBuffer file = tinyVrMovie();
  const std::string plain = dump(file);
  ASSERT_NE(plain.find("\n              maxTilt 31.93661\n"), std::string::npos) << plain;
  test::GermanSession german;
  if (!german.active()) GTEST_SKIP() << german.whyNot();
  EXPECT_EQ(dump(file), plain);
}

TEST(MovDump, BrokenFilesGiveErrorLinesNeverACrash) {
  const ByteBuffer file = tinyVrMovie();
  bool ok = true;
  // The udta item claims more bytes than its parent holds.
  ByteBuffer broken = file;
  const std::string marker = "ctyp";
  const auto at = std::search(broken.begin(), broken.end(), marker.begin(), marker.end()) - broken.begin();
  broken[at - 1] = 0x40;
  std::string text = dump(broken, &ok);
  EXPECT_FALSE(ok);
  EXPECT_NE(text.find("error: atom 'ctyp' at offset " + std::to_string(at - 4) + " has size 64"), std::string::npos)
      << text;

  // Every prefix of the file, and every byte set to a few values, is dumped without fault.
  for (std::size_t n = 0; n < file.size(); n += 7) dump(ByteBuffer(file.begin(), file.begin() + n));
  for (std::size_t i = 0; i < file.size(); ++i) {
    for (std::uint8_t value : {std::uint8_t(0x00), std::uint8_t(0x01), std::uint8_t(0x7F), std::uint8_t(0xFF)}) {
      ByteBuffer b = file;
      b[i] = value;
      dump(b);
    }
  }

  // Atoms nested past the limit are reported, not followed.
  ByteBuffer deep;
  ByteWriter w(deep);
  std::function<void(int)> nest = [&](int level) {
    atom(w, "moov", [&] {
      if (level < 40) nest(level + 1);
    });
  };
  nest(0);
  text = dump(deep, &ok);
  EXPECT_FALSE(ok);
  EXPECT_NE(text.find("error: atoms nested too deeply"), std::string::npos);
}

}  // namespace
}  // namespace kelmira
