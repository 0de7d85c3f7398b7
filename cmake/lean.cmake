# How every exe the project ships is linked for size. The installer carries the uninstaller inside
# it, so both count in the installer's size overhead: one place for the measures keeps them alike.

# The shipped program is built for size: no exceptions or RTTI (it throws nothing and asks no
# type at run time), no thread-safe statics (each static is first reached on the window's thread,
# before any worker starts), no unwind tables, and the std members it uses compiled with these
# flags instead of linked from libstdc++ (cxx_config.h). The tests' own code keeps the defaults
# GoogleTest needs.
add_library(veltrane_lean INTERFACE)
if(WIN32)
  target_compile_options(veltrane_lean INTERFACE
    $<$<COMPILE_LANGUAGE:CXX>:-fno-exceptions -fno-rtti -fno-threadsafe-statics
                              -fno-asynchronous-unwind-tables
                              -include ${PROJECT_SOURCE_DIR}/src/runtime/cxx_config.h
                              -flto -ffat-lto-objects>)
  # The layers carry link-time-optimisable code besides their plain objects: the shipped exes are
  # linked with -flto, every other program (the tests, the tools) from the plain objects, which a
  # link without -fno-lto would mix with the optimisable ones.
  string(APPEND CMAKE_EXE_LINKER_FLAGS " -fno-lto")
endif()

# Links target lean: its own sources built like the layers, the run-time support that ends the
# program where libstdc++ would throw (veltrane_lean_cxx_runtime), link-time optimisation over all
# of it, no symbols or debug sections, no unreferenced code of the static run-time, and no link
# time in the PE header, so that the same objects give the same bytes.
function(veltrane_lean_executable target)
  # An object library's objects reach only the targets that link it directly.
  target_link_libraries(${target} PRIVATE veltrane_lean veltrane_lean_cxx_runtime)
  # One partition: with several, mingw-w64's GCC 12 crashes in the link (binds_to_current_def_p)
  # once an inline function's one copy is called from another partition, depending only on how
  # the program's code happens to fall into them.
  target_link_options(${target} PRIVATE -s -Wl,--gc-sections -Wl,--no-insert-timestamp -flto
                                        -flto-partition=one)
endfunction()
