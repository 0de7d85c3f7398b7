// The installer throws nothing on purpose; should the standard library ever throw (out of memory),
// the program ends at once. Replacing libstdc++'s verbose terminate handler keeps its C++ name
// demangler (some 46 KB) out of the statically linked exe.
#include <cstdlib>

namespace __gnu_cxx {

void __verbose_terminate_handler() { std::abort(); }

}  // namespace __gnu_cxx
