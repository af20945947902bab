// Linked into every program of a sanitizer build: the options the sanitizers start with, so a
// test, a benchmark or the application run by hand behaves as under ctest. Environment
// variables (ASAN_OPTIONS, UBSAN_OPTIONS) still override them.

extern "C" const char* __asan_default_options()
{
    return "abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1";
}

extern "C" const char* __ubsan_default_options()
{
    return "print_stacktrace=1:halt_on_error=1:suppressions=" DUNMOOR_UBSAN_SUPPRESSIONS;
}
