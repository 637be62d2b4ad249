#pragma once
// The heap of a process that is about to build a large structure out of many small pieces: a
// headless import that files hundreds of thousands of IDs, one allocation or a few each.
#include <cstddef>

namespace quillet {

// Extends the heap now by `bytes` of address space and asks the kernel to back that part with
// huge pages where it can, so that filling it takes a page fault every 2 MiB instead of every
// 4 KiB (on a virtual machine each fault costs microseconds, a third of such an import). Later
// growth comes in steps of the same size, and every thread allocates from this heap. Memory
// counts only once it is written. Meant for a process that fills the heap once and exits; the
// window does not use it.
//
// Returns whether the huge pages were asked for. Does nothing, and returns false, where the C
// library or the kernel offer no such thing, or under a sanitizer (it brings its own heap).
bool PrepareHeapForBulk(size_t bytes);

}  // namespace quillet
