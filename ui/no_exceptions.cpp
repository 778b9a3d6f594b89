// Turfwise throws and catches no C++ exception (its code is built without
// them). The few errors the standard library would throw for it, a container
// asked to grow past its largest size, end the program here as the uncaught
// exception did. Defined here, these keep the library's own versions out of
// the program: its exception classes with their strings, and the name
// demangler that only serves the message of an uncaught exception, for a
// console a window program does not have. Together about 100 KB of 250.
#include <cstdlib>
#include <exception>
#include <new>

namespace __gnu_cxx {
void __verbose_terminate_handler()
{
    std::abort();
}
} // namespace __gnu_cxx

namespace std {
// Every function of the library's own file: one of them referenced and not
// defined here would bring it back, and the link would fail on the others.
void __throw_bad_exception() { std::abort(); }
void __throw_bad_alloc() { std::abort(); }
void __throw_bad_array_new_length() { std::abort(); }
void __throw_bad_cast() { std::abort(); }
void __throw_bad_typeid() { std::abort(); }
void __throw_logic_error(const char*) { std::abort(); }
void __throw_domain_error(const char*) { std::abort(); }
void __throw_invalid_argument(const char*) { std::abort(); }
void __throw_length_error(const char*) { std::abort(); }
void __throw_out_of_range(const char*) { std::abort(); }
void __throw_out_of_range_fmt(const char*, ...) { std::abort(); }
void __throw_runtime_error(const char*) { std::abort(); }
void __throw_range_error(const char*) { std::abort(); }
void __throw_overflow_error(const char*) { std::abort(); }
void __throw_underflow_error(const char*) { std::abort(); }
} // namespace std
