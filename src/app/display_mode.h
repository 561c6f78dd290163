#pragma once

namespace kelmira {

// What the main window shows; the numbers are the ones the window has always used.
enum class DisplayMode { Panorama = 1, Round = 2, Start = 3 };

}  // namespace kelmira
