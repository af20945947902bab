#pragma once

#include <dlfcn.h>

namespace dunmoor::testing
{

/**
    The application ignores X protocol errors, as the framework arranges for an application
    object; a test or benchmark program has none, so Xlib's default handler would end the process
    at the first harmless error (a bare virtual display lacks the window manager's atoms, which
    the framework then sends as 0). Call once before the first window is created.
*/
inline void ignoreXErrorsAsTheApplicationDoes()
{
    using ErrorHandler = int (*) (void*, void*);
    using SetErrorHandler = ErrorHandler (*) (ErrorHandler);

    static void* const library = dlopen ("libX11.so.6", RTLD_LAZY | RTLD_GLOBAL);
    if (library == nullptr)
        return;

    if (auto* setHandler = reinterpret_cast<SetErrorHandler> (dlsym (library, "XSetErrorHandler")))
        setHandler ([] (void*, void*) { return 0; });
}

} // namespace dunmoor::testing
