// The C++ run-time support the installer's exes link instead of libstdc++'s own: the program
// throws nothing, so every place the standard library would throw ends the program at once. Each
// definition here keeps a library object out of the statically linked exe, and with it the
// exception runtime, the unwinder and the C++ name demangler (some 200 KB together).
#include <cstddef>
#include <cstdlib>
#include <new>

namespace __gnu_cxx {

// The verbose handler prints the demangled type of an escaped exception.
void __verbose_terminate_handler() { std::abort(); }

}  // namespace __gnu_cxx

namespace std {

// What the containers and strings call where they would throw: a length beyond max_size(), an
// index out of range, an allocation size that overflows.
void __throw_length_error(const char*) { std::abort(); }
void __throw_logic_error(const char*) { std::abort(); }
void __throw_out_of_range(const char*) { std::abort(); }
void __throw_out_of_range_fmt(const char*, ...) { std::abort(); }
void __throw_invalid_argument(const char*) { std::abort(); }
void __throw_bad_alloc() { std::abort(); }
void __throw_bad_array_new_length() { std::abort(); }

}  // namespace std

// Allocation that fails ends the program instead of throwing std::bad_alloc.
void* operator new(std::size_t size) {
  if (void* memory = std::malloc(size != 0 ? size : 1)) return memory;
  std::abort();
}
void* operator new[](std::size_t size) { return operator new(size); }
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }
