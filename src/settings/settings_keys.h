#pragma once

// Where the program's settings live in the settings file: sections, names and the values
// that stand when nothing is stored. The window and the command line read the same file.
namespace kelmira::settings {

inline constexpr char organisation[] = "Torbek";

inline constexpr char defaultsSection[] = "DEFAULTS";
inline constexpr char versionKey[] = "VERSION";
inline constexpr char limitedColourKey[] = "LIMITED_COLOR";
inline constexpr char movieWidthKey[] = "DEFAULT_MOVIE_WIDTH";
inline constexpr char movieHeightKey[] = "DEFAULT_MOVIE_HEIGHT";
inline constexpr int defaultMovieWidth = 400;
inline constexpr int defaultMovieHeight = 180;
// 1: Open Round looks for the mirror's ring and puts the circle on it; 0: it does not.
inline constexpr char findRingKey[] = "FIND_RING";
inline constexpr int defaultFindRing = 1;

inline constexpr char equipmentSection[] = "EQUIPMENT";
inline constexpr char mirrorKey[] = "MIRROR";
inline constexpr char attachmentKey[] = "ATTACHMENT";
// A calibrated mirror used in place of the attachment's (its file's path; empty: none),
// and how the camera sits on it ("camera-below" or "camera-above").
inline constexpr char calibratedMirrorKey[] = "CALIBRATED_MIRROR";
inline constexpr char rigKey[] = "RIG";

}  // namespace kelmira::settings
