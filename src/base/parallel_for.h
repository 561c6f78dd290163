#pragma once

#include <cstddef>
#include <functional>

namespace kelmira {

// How many threads a piece of work may use: KELMIRA_THREADS when the environment sets it
// to a whole number from 1 (a batch system's share of the machine), else one per core.
unsigned workerThreads();

// Runs work(i) once for every i in [0, count), on this thread and up to threads - 1
// helpers (0: workerThreads()). Only this thread calls `taken`, with the
// number of items handed out so far, each time it takes one and, if the helpers took the
// last ones, once more with `count`: progress reports may drive a user interface.
// Without threads to be had, this thread does all the work. When work(i) or `taken`
// throws on any thread, no further item is begun, the items under way finish, and the
// first exception is thrown here.
void parallelFor(std::size_t count, unsigned threads, const std::function<void(std::size_t)>& work,
                 const std::function<void(std::size_t)>& taken = {});

}  // namespace kelmira
