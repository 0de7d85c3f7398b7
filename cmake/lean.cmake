# How every exe the project ships is linked for size. The installer carries the uninstaller inside
# it, so both count in the installer's size overhead: one place for the measures keeps them alike.

# Links target lean: no symbols or debug sections, no unreferenced code of the static run-time,
# and no link time in the PE header, so that the same objects give the same bytes.
function(veltrane_lean_executable target)
  target_link_options(${target} PRIVATE -s -Wl,--gc-sections -Wl,--no-insert-timestamp)
endfunction()
