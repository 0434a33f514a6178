#pragma once

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

// Marks an object that is kept until the process ends on purpose (a tool window
// created once), so that the leak check of a sanitizer build reports neither it
// nor what it owns. Does nothing in other builds.
inline void livesUntilExit(const void *object)
{
#if defined(__SANITIZE_ADDRESS__)
    __lsan_ignore_object(object);
#else
    (void)object;
#endif
}
