// Mirror files as the tools write them, and as they arrive damaged, cut short, or made
// for pictures of another size.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>

#include "mirror/mirror_file_reader.h"
#include "mirror/ocam_model.h"
#include "mirror/table_mirror.h"
#include "mirror/unified_model.h"
#include "mirror/yaml_text.h"
#include "mirror_test_support.h"
#include "support/test_files.h"

namespace kelmira {
namespace {

bool refusedWith(const MirrorFile& file, const std::string& name, const std::string& fragment) {
  return !file && file.error.starts_with(name + ": ") && file.error.find(fragment) != std::string::npos;
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
  const std::size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

#if KELMIRA_HAVE_OPENCV_OMNIDIR
// What OpenCV's omnidir calibration sample saves, through FileStorage itself.
std::string omnidirFile(const char* extension, bool xiAsMatrix, bool withSize) {
  const test::UnifiedRig r = test::omnidirRig();
  cv::FileStorage fs(extension, cv::FileStorage::WRITE | cv::FileStorage::MEMORY);
  fs << "calibration_time" << "Tue Mar 12 10:00:00 2024";
  fs << "nFrames" << 2 << "flags" << 0;
  if (withSize) fs << "image_width" << r.width << "image_height" << r.height;
  fs << "camera_matrix" << cv::Mat(test::cameraMatrix(r));
  fs << "distortion_coefficients" << cv::Mat(cv::Matx14d(r.k1, r.k2, r.p1, r.p2));
  if (xiAsMatrix) {
    fs << "xi" << cv::Mat(1, 1, CV_64F, cv::Scalar(r.xi));
  } else {
    fs << "xi" << r.xi;
  }
  fs << "used_imgs" << "[" << "board 1.jpg" << "board#2.jpg" << "]";
  fs << "extrinsic_parameters" << cv::Mat(2, 6, CV_64F, cv::Scalar(0.25));
  fs << "rms" << 0.31;
  fs << "image_points" << cv::Mat(2, 3, CV_64FC2, cv::Scalar(1.5, 2.5));
  return fs.releaseAndGetString();
}
#endif

TEST(MirrorFiles, ReadsCalibResultsTxtAsTheToolboxWritesIt) {
  const test::OcamRig rig = test::asWritten(test::ocamRig());
  const MirrorFile file = readMirrorText(test::ocamCalibText(rig), "calib_results.txt", ImageSize{640, 480});
  ASSERT_TRUE(file) << file.error;
  ASSERT_EQ(file.model->kind(), MirrorKind::OcamCalib);
  const OcamCalibration& k = static_cast<const OcamModel&>(*file.model).calibration();
  EXPECT_EQ(k.direct, rig.pol);
  EXPECT_EQ(k.inverse, rig.invpol);
  EXPECT_EQ(k.centreRow, rig.xc);
  EXPECT_EQ(k.centreColumn, rig.yc);
  EXPECT_EQ(k.e, rig.e);
  EXPECT_EQ(k.size->width, 640);
  EXPECT_EQ(k.size->height, 480);
  // The centre is (column, row).
  EXPECT_EQ(file.model->centre()->x, rig.yc);
  EXPECT_EQ(file.model->centre()->y, rig.xc);
}

TEST(MirrorFiles, ReadsOpenCvOmnidirCalibrationsInYamlAndXmlAsFileStorageWritesThem) {
#if !KELMIRA_HAVE_OPENCV_OMNIDIR
  GTEST_SKIP() << "OpenCV (libopencv-contrib-dev) is not installed to write the files";
#else
  const test::UnifiedRig r = test::omnidirRig();
  for (const char* extension : {".yaml", ".xml"}) {
    for (bool xiAsMatrix : {false, true}) {
      for (bool withSize : {false, true}) {
        const std::string text = omnidirFile(extension, xiAsMatrix, withSize);
        const MirrorFile file = readMirrorText(text, "omni.yaml", ImageSize{640, 480});
        ASSERT_TRUE(file) << file.error << "\n" << text;
        EXPECT_EQ(file.model->kind(), MirrorKind::OpenCvOmnidir);
        const UnifiedCalibration& k = static_cast<const UnifiedModel&>(*file.model).calibration();
        EXPECT_EQ(k.fx, r.fx);
        EXPECT_EQ(k.skew, r.skew);
        EXPECT_EQ(k.cy, r.cy);
        EXPECT_EQ(k.xi, r.xi);
        EXPECT_EQ(k.p2, r.p2);
        EXPECT_EQ(k.size.has_value(), withSize);
        // Only a size in the file can be checked against the photograph's.
        EXPECT_EQ(static_cast<bool>(readMirrorText(text, "omni", ImageSize{700, 480})), !withSize) << extension;
      }
    }
  }
#endif
}

TEST(MirrorFiles, ReadsAKalibrCamchainsFirstCameraOrTheOneNamedAfterTheFile) {
  const test::TempDir dir;
  const std::string path = dir.file("camchain-omni.yaml");
  std::ofstream(path) << test::kalibrCamchainText(test::kalibrRig());
  const MirrorFile first = readMirrorFile(path, ImageSize{800, 600});
  ASSERT_TRUE(first) << first.error;
  EXPECT_EQ(first.model->kind(), MirrorKind::KalibrOmni);
  const UnifiedCalibration& k = static_cast<const UnifiedModel&>(*first.model).calibration();
  EXPECT_EQ(k.xi, 1.1);
  EXPECT_EQ(k.fx, 260);
  EXPECT_EQ(k.cy, 299.1);
  EXPECT_EQ(k.k1, -0.05);
  EXPECT_EQ(k.p2, -0.0002);

  const MirrorFile second = readMirrorFile(path + ":cam1", ImageSize{640, 480});
  ASSERT_TRUE(second) << second.error;
  EXPECT_EQ(static_cast<const UnifiedModel&>(*second.model).calibration().xi, 0.95);
  EXPECT_TRUE(refusedWith(readMirrorFile(path + ":cam7"), path, "has no camera cam7"));
  EXPECT_TRUE(refusedWith(readMirrorFile(path + ":cam1", ImageSize{800, 800}), path, "another shape"));

  const std::string text = test::kalibrCamchainText(test::kalibrRig());
  EXPECT_TRUE(refusedWith(readMirrorText(replaced(text, "camera_model: omni", "camera_model: pinhole"), "c.yaml"),
                          "c.yaml", "cam0: camera_model is pinhole; only omni"));
  EXPECT_TRUE(refusedWith(readMirrorText(replaced(text, "distortion_model: radtan", "distortion_model: equidistant"),
                                         "c.yaml"),
                          "c.yaml", "only radtan or none"));
  EXPECT_TRUE(refusedWith(readMirrorText(replaced(text, "  resolution: [800, 600]\n", ""), "c.yaml"), "c.yaml",
                          "cam0: resolution is missing"));
  EXPECT_TRUE(refusedWith(readMirrorText(replaced(text, "intrinsics: [1.1000", "intrinsics: [1.1000, 7"), "c.yaml"),
                          "c.yaml", "instead of 5"));
}

TEST(MirrorFiles, ReadsTablesOfRadiusAndElevation) {
  const MirrorFile equiangular = readMirrorText("# an equiangular mirror\n0,-90 # note: the centre\n1.0, 20\n", "eq.txt");
  ASSERT_TRUE(equiangular) << equiangular.error;
  const auto& table = static_cast<const TableMirror&>(*equiangular.model);
  EXPECT_EQ(table.entries().size(), 2u);
  EXPECT_DOUBLE_EQ(table.elevationAtFraction(0.5), -35);
  EXPECT_DOUBLE_EQ(*table.fractionAtElevation(9), 0.9);
  EXPECT_FALSE(equiangular.model->calibrated());
  EXPECT_FALSE(equiangular.model->centre());  // placed on the photograph later

  EXPECT_TRUE(refusedWith(readMirrorText("0.5,10\n", "t"), "t", "at least two lines"));
  EXPECT_TRUE(refusedWith(readMirrorText("0.2,10\n0.5,30\n0.8,20\n", "t"), "t", "rise all the way or fall"));
  EXPECT_TRUE(refusedWith(readMirrorText("0.2,10\n0.2,30\n", "t"), "t", "radii must rise"));
  EXPECT_TRUE(refusedWith(readMirrorText("0.2,10\n1.5,30\n", "t"), "t", "from 0 to 1"));
  EXPECT_TRUE(refusedWith(readMirrorText("0.2,10\n0.9,95\n", "t"), "t", "from -90 to 90"));
  EXPECT_TRUE(refusedWith(readMirrorText("0.2,10\n0.9;30\n", "t"), "t", "line 2 is not \"radius,elevation\""));
}

TEST(MirrorFiles, RefusesDamagedFilesSayingWhatIsWrong) {
  const std::string ocam = test::ocamCalibText(test::asWritten(test::ocamRig()));
  const std::string name = "calib_results.txt";
  const std::string centre = "241.300000 322.700000";
  EXPECT_TRUE(refusedWith(readMirrorText(replaced(ocam, "5 -1.1", "6 -1.1"), name), name,
                          "the direct polynomial has 5 coefficients instead of 6"));
  EXPECT_TRUE(refusedWith(readMirrorText(replaced(ocam, centre, "241.3"), name), name,
                          "the centre (row, column) takes 2 numbers, not 1"));
  EXPECT_TRUE(refusedWith(readMirrorText(replaced(ocam, centre, "241.3 nan"), name), name, "other than numbers"));
  EXPECT_TRUE(refusedWith(readMirrorText(replaced(ocam, centre, "241.3 1e999"), name), name, "other than numbers"));
  EXPECT_TRUE(refusedWith(readMirrorText(replaced(ocam, "480 640", "480 -640"), name), name, "image size"));
  EXPECT_TRUE(refusedWith(readMirrorText(replaced(ocam, "5 -1.1", "999999999 -1.1"), name), name, "length"));
  EXPECT_TRUE(refusedWith(readMirrorText(replaced(ocam, "-1.100000e+02", "0.0"), name), name, "constant term is 0"));
#if KELMIRA_HAVE_OPENCV_OMNIDIR
  const std::string yaml = omnidirFile(".yaml", false, true);
  EXPECT_TRUE(refusedWith(readMirrorText(replaced(yaml, "rows: 3", "rows: 2"), "o"), "o",
                          "camera_matrix is a 2 x 3 matrix holding 9 numbers instead of 6"));
  EXPECT_TRUE(refusedWith(readMirrorText(replaced(yaml, "xi: ", "xi: abc #"), "o"), "o", "xi is not a list of numbers"));
  EXPECT_TRUE(refusedWith(readMirrorText(replaced(yaml, "cols: 4", "cols: 3"), "o"), "o", "distortion_coefficients"));
  EXPECT_TRUE(refusedWith(readMirrorText(replaced(yaml, "image_height: 480\n", ""), "o"), "o", "image_height is missing"));
  EXPECT_TRUE(refusedWith(readMirrorText(replaced(yaml, "190.", "-190."), "o"), "o", "focal lengths"));
  EXPECT_TRUE(refusedWith(readMirrorText(replaced(yaml, "   data: [ 190.", "  data: [ 190."), "o"), "o",
                          "YAML file that cannot be read: line"));
  const std::string xml = omnidirFile(".xml", false, true);
  EXPECT_TRUE(refusedWith(readMirrorText(replaced(xml, "</xi>", "</x>"), "o.xml"), "o.xml", "</xi> is missing"));
  EXPECT_TRUE(refusedWith(readMirrorText(replaced(xml, "<xi>", "<xi>1 "), "o.xml"), "o.xml", "xi holds 2 numbers"));
#endif
}

// Every way of cutting a file short: never a crash; a cut the reader cannot see gives the
// same model as the whole file, and every other cut is refused.
void expectCutsRefused(const std::string& text, const std::string& name, std::optional<ImageSize> photo,
                       const std::function<bool(const MirrorModel&, const MirrorModel&)>& same) {
  const MirrorFile whole = readMirrorText(text, name, photo);
  ASSERT_TRUE(whole) << whole.error;
  int accepted = 0;
  for (std::size_t length = 0; length < text.size(); ++length) {
    const MirrorFile cut = readMirrorText(std::string_view(text).substr(0, length), name, photo);
    if (!cut) {
      EXPECT_TRUE(cut.error.starts_with(name + ": ")) << cut.error;
      continue;
    }
    ++accepted;
    EXPECT_TRUE(same(*cut.model, *whole.model)) << "cut at " << length << ": " << text.substr(0, length);
  }
  EXPECT_LT(accepted, static_cast<int>(text.size() / 2)) << name;
}

TEST(MirrorFiles, FilesCutShortAreRefusedUnlessAllTheyHoldIsThere) {
  const auto sameUnified = [](const MirrorModel& a, const MirrorModel& b) {
    const auto& x = static_cast<const UnifiedModel&>(a).calibration();
    const auto& y = static_cast<const UnifiedModel&>(b).calibration();
    return x.fx == y.fx && x.fy == y.fy && x.skew == y.skew && x.cx == y.cx && x.cy == y.cy && x.xi == y.xi &&
           x.k1 == y.k1 && x.k2 == y.k2 && x.p1 == y.p1 && x.p2 == y.p2;
  };
  // calib_results.txt: the last line is the size, which must match the photograph.
  expectCutsRefused(test::ocamCalibText(test::asWritten(test::ocamRig())), "calib_results.txt", ImageSize{640, 480},
                    [](const MirrorModel& a, const MirrorModel& b) {
                      const auto& x = static_cast<const OcamModel&>(a).calibration();
                      const auto& y = static_cast<const OcamModel&>(b).calibration();
                      return x.direct == y.direct && x.inverse == y.inverse && x.centreRow == y.centreRow &&
                             x.centreColumn == y.centreColumn && x.c == y.c && x.d == y.d && x.e == y.e;
                    });
  expectCutsRefused(test::kalibrCamchainText(test::kalibrRig()), "camchain.yaml", ImageSize{800, 600}, sameUnified);
#if KELMIRA_HAVE_OPENCV_OMNIDIR
  expectCutsRefused(omnidirFile(".yaml", false, true), "omni.yaml", ImageSize{640, 480}, sameUnified);
  expectCutsRefused(omnidirFile(".xml", true, true), "omni.xml", ImageSize{640, 480}, sameUnified);
#endif
}

TEST(MirrorFiles, ACalibrationForAnotherSizeIsScaledWhenTheShapeAgreesAndRefusedOtherwise) {
  const std::string text = test::ocamCalibText(test::asWritten(test::ocamRig()));
  const MirrorFile same = readMirrorText(text, "c", ImageSize{640, 480});
  const MirrorFile half = readMirrorText(text, "c", ImageSize{320, 240});
  const MirrorFile larger = readMirrorText(text, "c", ImageSize{1281, 961});  // within a pixel of 2x
  ASSERT_TRUE(same && half && larger) << half.error << larger.error;
  EXPECT_EQ(half.model->photoScale(), 0.5);
  EXPECT_NEAR(larger.model->photoScale(), 2.0016, 1e-4);
  // The same ray, half as far from the photograph's top-left pixel edge.
  const CameraRay ray{0.6, -0.5, -0.2};
  const ImagePoint full = *same.model->pointOf(ray);
  const ImagePoint small = *half.model->pointOf(ray);
  EXPECT_NEAR(small.x + 0.5, (full.x + 0.5) / 2, 1e-9);
  EXPECT_NEAR(small.y + 0.5, (full.y + 0.5) / 2, 1e-9);
  EXPECT_TRUE(refusedWith(readMirrorText(text, "c", ImageSize{640, 640}), "c",
                          "the calibration is for pictures of 640 x 480 pixels, and the photograph's 640 x 640 are of "
                          "another shape"));
  EXPECT_FALSE(readMirrorText(text, "c", ImageSize{480, 640}));  // turned
  EXPECT_FALSE(readMirrorText(text, "c", ImageSize{320, 242}));
}

TEST(MirrorFiles, WhatIsNoMirrorFileIsSaidToBeNone) {
  const std::string none = "not a mirror file";
  EXPECT_TRUE(refusedWith(readMirrorText(std::string("\xFF\xD8\xFF\xE0\0\x10JFIF", 10), "p.jpg"), "p.jpg", none));
  EXPECT_TRUE(refusedWith(readMirrorText("", "e"), "e", "empty"));
  EXPECT_TRUE(refusedWith(readMirrorText("Dear reader,\nthis is a letter.\n", "l"), "l", "mirror table"));
  EXPECT_TRUE(refusedWith(readMirrorText("hello world\n", "h"), "h", none));
  EXPECT_TRUE(refusedWith(readMirrorText("%YAML:1.0\n---\nwidth: 3\n", "y"), "y",
                          "neither an OpenCV omnidir calibration (camera_matrix, xi) nor a Kalibr camchain"));
  EXPECT_TRUE(refusedWith(readMirrorText("<html><body>hi</body></html>", "x"), "x", "not <opencv_storage>"));
  // Nesting deep enough to run a careless reader out of stack.
  EXPECT_TRUE(refusedWith(readMirrorText("a: " + std::string(100000, '[') + std::string(100000, ']') + "\n", "d"), "d", "nested too deeply"));
  std::string deep;
  for (int i = 0; i < 2000; ++i) deep += std::string(i, ' ') + "a:\n";
  EXPECT_TRUE(refusedWith(readMirrorText(deep, "d"), "d", "nested too deeply"));
  EXPECT_TRUE(refusedWith(readMirrorText("<opencv_storage>" + std::string(100000, '<') , "d"), "d", "cannot be read"));

  const test::TempDir dir;
  EXPECT_TRUE(refusedWith(readMirrorFile(dir.file("missing.txt")), dir.file("missing.txt"), "no such file"));
  EXPECT_TRUE(refusedWith(readMirrorFile(dir.path().string()), dir.path().string(), "not a file"));
  const std::string huge = dir.file("huge.txt");
  std::ofstream(huge) << "0,-90\n";
  std::filesystem::resize_file(huge, kLongestMirrorFile + 1);
  EXPECT_TRUE(refusedWith(readMirrorFile(huge), huge, "too long"));
}

TEST(YamlText, ReadsTheBlockAndFlowFormsTheToolsWrite) {
  const StoredText read = readYamlText(
      "%YAML:1.0\n---\n"
      "list:\n- a\n-   b: 1\n    c: [1, [2, 3], {x: 4}]\n"
      "flow: [ 1, 2,\n    3 ]  # a comment\n"
      "quoted: \"a # not a comment\"\n"
      "tagged: !!opencv-matrix\n   rows: 1\n");
  ASSERT_TRUE(read.root) << read.error;
  const StoredNode& root = *read.root;
  const StoredNode* list = root.find("list");
  ASSERT_TRUE(list && list->kind == StoredNode::Kind::Sequence && list->entries.size() == 2);
  EXPECT_EQ(list->entries[0].value.text, "a");
  const StoredNode& item = list->entries[1].value;
  EXPECT_EQ(item.find("b")->text, "1");
  EXPECT_EQ(item.find("c")->entries[1].value.entries[1].value.text, "3");
  EXPECT_EQ(item.find("c")->entries[2].value.find("x")->text, "4");
  EXPECT_EQ(root.find("flow")->entries.size(), 3u);
  EXPECT_EQ(root.find("quoted")->text, "a # not a comment");
  EXPECT_EQ(root.find("tagged")->tag, "opencv-matrix");
  EXPECT_EQ(root.find("tagged")->find("rows")->text, "1");
  EXPECT_NE(readYamlText("a:\n\tb: 1\n").error.find("tab"), std::string::npos);
  EXPECT_NE(readYamlText("a: 1\n   b: 2\n").error.find("line 2: unexpected indentation"), std::string::npos);
  EXPECT_NE(readYamlText("a: [1, 2\n").error.find("never closed"), std::string::npos);
}

}  // namespace
}  // namespace kelmira
