#pragma once

// ThreadSanitizer sees the ordering only of what it instruments. A hand-off
// through anything it cannot see into (an eventfd, Qt's event queue: Debian's
// Qt is not built with it) is told to it here. Outside a ThreadSanitizer build
// all of this compiles to nothing.

#if defined(__SANITIZE_THREAD__)
#define ZEP8_TSAN_HANDOFF 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define ZEP8_TSAN_HANDOFF 1
#endif
#endif

#if defined(ZEP8_TSAN_HANDOFF)
// The sanitizer's own entry points (libtsan); GCC 12's header lacks the last two.
extern "C" {
void __tsan_acquire(void* address);
void __tsan_release(void* address);
void __tsan_ignore_thread_begin(void);
void __tsan_ignore_thread_end(void);
}
#endif

namespace zep8 {

// What this thread did before is seen by the thread that calls
// HandOffAcquire(key) after it. `key` names one hand-off: any address that
// no other hand-off uses at the same time.
inline void HandOffRelease([[maybe_unused]] const void* key) {
#if defined(ZEP8_TSAN_HANDOFF)
    __tsan_release(const_cast<void*>(key));
#endif
}

inline void HandOffAcquire([[maybe_unused]] const void* key) {
#if defined(ZEP8_TSAN_HANDOFF)
    __tsan_acquire(const_cast<void*>(key));
#endif
}

// While it lives, this thread's reads and writes go unrecorded. For the copy a
// library makes of what it carries to another thread: that side reads the copy
// before it can reach its HandOffAcquire.
class HandOffUnwatched {
  public:
    HandOffUnwatched() {
#if defined(ZEP8_TSAN_HANDOFF)
        __tsan_ignore_thread_begin();
#endif
    }
    ~HandOffUnwatched() {
#if defined(ZEP8_TSAN_HANDOFF)
        __tsan_ignore_thread_end();
#endif
    }
    HandOffUnwatched(const HandOffUnwatched&) = delete;
    HandOffUnwatched& operator=(const HandOffUnwatched&) = delete;
};

}  // namespace zep8
