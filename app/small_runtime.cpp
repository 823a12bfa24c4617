// The C++ runtime's throwing parts, for the shipped Windows programs (linked
// statically): the programs are built without exceptions, yet the library's
// own code that they use (a vector growing, a string copied, operator new)
// would throw, and its throwing pulls in the whole of exception handling and
// the demangler of the verbose terminate handler: 200 KB of scout.exe's
// 320 KB. Here each ends the program, as an exception that nothing catches
// would; and a function-local static is initialised without a lock, as both
// programs run their code on one thread (scout-cli's console handler sets a
// flag and touches no such static).
#include <cstddef>
#include <cstdlib>
#include <new>

namespace std {

[[noreturn]] void __throw_bad_alloc() {
    std::abort();
}
[[noreturn]] void __throw_bad_array_new_length() {
    std::abort();
}
[[noreturn]] void __throw_bad_cast() {
    std::abort();
}
[[noreturn]] void __throw_bad_function_call() {
    std::abort();
}
[[noreturn]] void __throw_logic_error(const char*) {
    std::abort();
}
[[noreturn]] void __throw_length_error(const char*) {
    std::abort();
}
[[noreturn]] void __throw_out_of_range(const char*) {
    std::abort();
}
[[noreturn]] void __throw_out_of_range_fmt(const char*, ...) {
    std::abort();
}
[[noreturn]] void __throw_invalid_argument(const char*) {
    std::abort();
}

}  // namespace std

// Memory that cannot be had ends the program, as an uncaught bad_alloc would.
void* operator new(std::size_t size) {
    void* memory = std::malloc(size != 0 ? size : 1);
    if (memory == nullptr)
        std::abort();
    return memory;
}
void* operator new[](std::size_t size) {
    return ::operator new(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return std::malloc(size != 0 ? size : 1);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return std::malloc(size != 0 ? size : 1);
}
void operator delete(void* memory) noexcept {
    std::free(memory);
}
void operator delete[](void* memory) noexcept {
    std::free(memory);
}
void operator delete(void* memory, std::size_t) noexcept {
    std::free(memory);
}
void operator delete[](void* memory, std::size_t) noexcept {
    std::free(memory);
}

// One thread: the first pass through a static's initialiser does it.
extern "C" int __cxa_guard_acquire(long long* guard) {
    return *reinterpret_cast<const char*>(guard) == 0 ? 1 : 0;
}
extern "C" void __cxa_guard_release(long long* guard) {
    *reinterpret_cast<char*>(guard) = 1;
}
extern "C" void __cxa_guard_abort(long long*) {}
