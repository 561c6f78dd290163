#pragma once

#include <cstdint>

#include "movie/quicktime/qt_types.h"

namespace kelmira {

// The packed QuickTime VR version the toolbox writes: 2.1.0.
inline constexpr std::int32_t qtvrVersion21 = 0x210;

// Use-counted start and stop of the toolbox runtime, safe from any thread. Each
// successful initializeQtml needs one terminateQtml; the runtime shuts down when the
// last one is gone. After a failed start, and before any start, every toolbox call
// answers qtmlUninitialized.
OSErr initializeQtml();
void terminateQtml();

// qtmlUninitialized when the runtime is not up, else noErr.
OSErr enterMovies();
void exitMovies();

// qtvrVersion21 while the runtime is up; 0 (the query failed) otherwise.
std::int32_t quickTimeVrVersion();

// Whether toolbox calls may run; the others return qtmlUninitialized when not.
bool movieToolboxReady();

// Test hook: the next initializeQtml that has to load the runtime (nobody holds it)
// fails with this code. noErr cancels a pending failure.
void failNextQtmlInitialize(OSErr code);

}  // namespace kelmira
