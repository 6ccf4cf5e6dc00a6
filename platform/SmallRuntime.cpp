// What a program built with cmake/SmallProgram.cmake (no exceptions) needs
// from the C++ runtime, in the few bytes it is worth.
//
// libstdc++.a is compiled with exceptions. Each of its helpers that fails by
// throwing drags in the whole exception machinery: the unwinder, type
// information, the exception classes, the demangler of the verbose terminate
// handler. That was most of a 350 KB Tovrane.exe. Defined here, these
// take precedence: the linker takes a library member only for a symbol no
// object defines yet, so those members never enter the link.
//
// Without exceptions a failure that would have thrown ends the program
// instead. For Tovrane that is only running out of memory, or a misuse of
// the standard library that would have gone uncaught all the same: aborting
// is what it would have come to.

#include <cstdlib>
#include <new>
#include <string>

// Instantiated here, compiled without exceptions, rather than taken from
// libstdc++.a, whose copies catch and rethrow.
template class std::basic_string<char>;
template class std::basic_string<wchar_t>;

namespace std {

// All the helpers of libstdc++'s functexcept.o, which defines them together:
// were one missing here, that member would come in for it and the link would
// fail on the others, defined twice.
[[noreturn]] void __throw_bad_exception() { std::abort(); }
[[noreturn]] void __throw_bad_alloc() { std::abort(); }
[[noreturn]] void __throw_bad_array_new_length() { std::abort(); }
[[noreturn]] void __throw_bad_cast() { std::abort(); }
[[noreturn]] void __throw_bad_typeid() { std::abort(); }
[[noreturn]] void __throw_logic_error(const char*) { std::abort(); }
[[noreturn]] void __throw_domain_error(const char*) { std::abort(); }
[[noreturn]] void __throw_invalid_argument(const char*) { std::abort(); }
[[noreturn]] void __throw_length_error(const char*) { std::abort(); }
[[noreturn]] void __throw_out_of_range(const char*) { std::abort(); }
[[noreturn]] void __throw_out_of_range_fmt(const char*, ...) { std::abort(); }
[[noreturn]] void __throw_runtime_error(const char*) { std::abort(); }
[[noreturn]] void __throw_range_error(const char*) { std::abort(); }
[[noreturn]] void __throw_overflow_error(const char*) { std::abort(); }
[[noreturn]] void __throw_underflow_error(const char*) { std::abort(); }

}  // namespace std

// The global allocation functions, which a program may replace: libstdc++'s
// throw std::bad_alloc. Out of memory, a tray utility has nothing better to do
// than stop. The nothrow forms keep their contract (std::stable_sort asks for
// a buffer that way and does without one when refused).
void* operator new(std::size_t size) {
    void* block = std::malloc(size != 0 ? size : 1);
    if (block == nullptr) {
        std::abort();
    }
    return block;
}
void* operator new[](std::size_t size) { return ::operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return std::malloc(size != 0 ? size : 1);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return std::malloc(size != 0 ? size : 1);
}
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { std::free(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { std::free(block); }
