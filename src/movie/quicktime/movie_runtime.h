#pragma once

#include <cstdint>

namespace kelmira {

// The toolbox's result codes keep QuickTime's type and values: 0 is success.
using OSErr = std::int16_t;

inline constexpr OSErr noErr = 0;
inline constexpr OSErr qtmlLoadErr = -2093;           // the runtime could not be loaded
inline constexpr OSErr qtmlEntryNotFoundErr = -2094;  // an entry point of the runtime is missing
inline constexpr OSErr qtmlUninitialized = -2095;     // the runtime is not initialised

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
