#pragma once

#include <QColor>

// The colours of Kelmira's skin: the painted backgrounds and buttons use them, and so do
// the dialogs, so that every window looks like the same program.
namespace kelmira::skin {

inline const QColor backdropTop(0x24, 0x33, 0x44);
inline const QColor backdropBottom(0x12, 0x19, 0x22);
inline const QColor trayTop(0x16, 0x1F, 0x29);
inline const QColor trayBottom(0x1A, 0x24, 0x2F);
inline const QColor edgeDark(0x09, 0x0D, 0x12);
inline const QColor textLight(0xEC, 0xF1, 0xF6);
inline const QColor textDim(0x93, 0xA8, 0xBE);
inline const QColor accent(0x4A, 0x9B, 0xEE);
inline const QColor accentDeep(0x22, 0x66, 0xC4);
inline const QColor lcdTop(0xDC, 0xE5, 0xEE);
inline const QColor lcdBottom(0xF3, 0xF7, 0xFA);
// The face of a picture button from top to bottom (four gradient stops at 0, 0.48, 0.52
// and 1), its edge and its writing; then the same for a pressed button.
inline const QColor buttonFace[4] = {{0xF6, 0xF8, 0xFA}, {0xDF, 0xE4, 0xE9}, {0xD5, 0xDB, 0xE1}, {0xB9, 0xC2, 0xCB}};
inline const QColor buttonEdge(0x3E, 0x49, 0x55);
inline const QColor buttonInk(0x1A, 0x24, 0x30);
inline const QColor pressedFace[4] = {{0x93, 0xCB, 0xFF}, {0x4C, 0x9A, 0xEC}, {0x3B, 0x88, 0xE0}, {0x1E, 0x5E, 0xBD}};
inline const QColor pressedEdge(0x10, 0x3A, 0x72);

// The typeface of the skin's writing (fonts-dejavu-core).
inline constexpr char fontFamily[] = "DejaVu Sans";

}  // namespace kelmira::skin
