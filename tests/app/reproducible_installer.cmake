# Links the installer a second time, now, into another folder and compares it byte for byte with
# the one in dist: nothing of the moment or the place of a link may reach the shipped bytes.
# cmake -DBUILD_DIR=... -DTARGET=... -DRELINKED=... -DSHIPPED=... -P reproducible_installer.cmake
file(REMOVE ${RELINKED})
execute_process(COMMAND ${CMAKE_COMMAND} --build ${BUILD_DIR} --target ${TARGET}
                RESULT_VARIABLE built OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT built EQUAL 0)
  message(FATAL_ERROR "linking ${TARGET} again failed:\n${output}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${SHIPPED} ${RELINKED}
                RESULT_VARIABLE differ)
if(NOT differ EQUAL 0)
  file(SHA256 ${SHIPPED} shipped_digest)
  file(SHA256 ${RELINKED} relinked_digest)
  message(FATAL_ERROR "the installer linked again differs from dist's:\n"
                      "  ${SHIPPED}: SHA-256 ${shipped_digest}\n"
                      "  ${RELINKED}: SHA-256 ${relinked_digest}")
endif()
message(STATUS "linked again, byte for byte the same: ${RELINKED}")
