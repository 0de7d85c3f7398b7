// Read before every other header of the program's code (the build passes it with -include). The
// program is built without exceptions; libstdc++ otherwise links its own prebuilt copies of the
// std::string members, which are compiled with exception handling and drag the whole exception
// runtime and its unwinder into the exe. Without the explicit instantiation declarations, the
// members the program uses are compiled here, with the program's own flags.
#pragma once

#include <bits/c++config.h>

#undef _GLIBCXX_EXTERN_TEMPLATE
#define _GLIBCXX_EXTERN_TEMPLATE 0
