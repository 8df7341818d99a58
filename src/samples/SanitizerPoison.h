#pragma once
// Under AddressSanitizer, the parts of our own large buffers that hold no
// data (the loading buffer past the file, sample memory not handed out) are
// marked unaddressable, so that a read past a file or a sample is caught even
// though the buffer itself goes on. Without the sanitizer these do nothing.

#include <cstddef>

#if __has_include(<sanitizer/asan_interface.h>)
#include <sanitizer/asan_interface.h>
#endif

namespace tessaline {

inline void PoisonBytes([[maybe_unused]] const void* start, [[maybe_unused]] size_t count) {
#ifdef ASAN_POISON_MEMORY_REGION
    ASAN_POISON_MEMORY_REGION(start, count);
#endif
}

inline void UnpoisonBytes([[maybe_unused]] const void* start, [[maybe_unused]] size_t count) {
#ifdef ASAN_UNPOISON_MEMORY_REGION
    ASAN_UNPOISON_MEMORY_REGION(start, count);
#endif
}

}  // namespace tessaline
