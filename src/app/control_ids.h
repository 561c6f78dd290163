#pragma once

namespace kelmira {

// The main window's controls, by their template ids.
namespace control {
inline constexpr int MakePano = 1000;
inline constexpr int SaveMovie = 1003;
inline constexpr int OpenRound = 1004;
inline constexpr int OpenPano = 1005;
inline constexpr int SaveImage = 1006;
inline constexpr int Crop = 1007;
inline constexpr int ProgressBar = 1008;
inline constexpr int NewRestart = 1009;
inline constexpr int BackToRound = 1010;
inline constexpr int Undo = 1044;
inline constexpr int Help = 1045;
inline constexpr int Up = 1047;
inline constexpr int Down = 1048;
inline constexpr int Left = 1049;
inline constexpr int Right = 1050;
inline constexpr int Advanced = 1060;
inline constexpr int LookAround = 1061;
inline constexpr int MirrorSelection = 1076;
}  // namespace control

}  // namespace kelmira
