# The build's check of an extractor's imports: a program that imports a DLL Windows may load from
# the program's own folder (here VERSION.dll, no KnownDLL) stops it with one clear line; one that
# imports only system DLLs passes.
# cmake -DSCRIPT=... -DOBJDUMP=... -DFOREIGN=<exe> -DSTANDALONE=<exe> -P extractor_imports_test.cmake
execute_process(COMMAND ${CMAKE_COMMAND} -DMODE=imports -DEXTRACTOR=${FOREIGN} -DOBJDUMP=${OBJDUMP}
                        -P ${SCRIPT}
                RESULT_VARIABLE refused ERROR_VARIABLE said)
if(refused EQUAL 0 OR NOT said MATCHES "(^|\n)extractor rejected: [^\n]+: it imports VERSION\\.dll, which [^\n]+\n")
  message(FATAL_ERROR "an extractor importing VERSION.dll was not refused so: ${said}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -DMODE=imports -DEXTRACTOR=${STANDALONE}
                        -DOBJDUMP=${OBJDUMP} -P ${SCRIPT}
                RESULT_VARIABLE accepted ERROR_VARIABLE said)
if(NOT accepted EQUAL 0)
  message(FATAL_ERROR "a standalone extractor was refused: ${said}")
endif()
