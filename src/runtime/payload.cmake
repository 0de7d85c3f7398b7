# The embedded payload record and how the build places the archive in constant data.
# Reading the record's layout is pure; the record itself exists only in the Windows build.
target_sources(veltrane_runtime PRIVATE payload_record.cpp)

if(WIN32)
  set(VELTRANE_PAYLOAD "sample" CACHE STRING
      "Archive the installer carries: sample, benchmark, or the path of a vendor .7z archive")
  option(VELTRANE_PAYLOAD_ALLOW_MISSING_STARTUP
         "Test builds only: accept a payload without brisel\\startup.exe" OFF)
  find_package(Python3 REQUIRED COMPONENTS Interpreter)
  # For the tests of these build steps, which live in another directory.
  set(VELTRANE_PYTHON ${Python3_EXECUTABLE} CACHE INTERNAL "")
  find_program(VELTRANE_7ZZ 7zz REQUIRED DOC "7-Zip for Linux, which packs and checks the payload")

  set(payload_tools ${PROJECT_SOURCE_DIR}/payload)
  set(payload_dir ${CMAKE_BINARY_DIR}/payload)
  # The checked copy that is embedded; tests compare the exe and the written file with it.
  set(VELTRANE_PAYLOAD_ARCHIVE ${payload_dir}/brisel.7z CACHE INTERNAL "")
  # What the installer knows of the archive without unpacking it: its checksum, its unpacked size
  # and its files.
  set(VELTRANE_PAYLOAD_FACTS ${payload_dir}/brisel.facts.inc CACHE INTERNAL "")
  add_subdirectory(${payload_tools} ${payload_dir}/product)

  if(VELTRANE_PAYLOAD STREQUAL "sample" OR VELTRANE_PAYLOAD STREQUAL "benchmark")
    set(payload_input ${payload_dir}/packed/brisel.7z)
    if(VELTRANE_PAYLOAD STREQUAL "sample")
      file(GLOB_RECURSE payload_sources CONFIGURE_DEPENDS ${payload_tools}/sample/*)
      set(payload_source_args --sample ${payload_tools}/sample/brisel)
    else()
      set(payload_sources ${payload_tools}/generate_benchmark.py)
      set(payload_source_args --benchmark)
    endif()
    add_custom_command(
      OUTPUT ${payload_input}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${payload_dir}/packed
      COMMAND Python3::Interpreter ${payload_tools}/pack_payload.py --output ${payload_input}
              --stage ${payload_dir}/stage ${payload_source_args}
              --program $<TARGET_FILE:brisel_program> --program $<TARGET_FILE:startup_program>
              --sevenzip ${VELTRANE_7ZZ}
      DEPENDS ${payload_tools}/pack_payload.py ${payload_sources} brisel_program startup_program
      COMMENT "Packing the ${VELTRANE_PAYLOAD} payload"
      VERBATIM)
  else()
    # A vendor archive, embedded unchanged; a relative path is taken from the source tree.
    get_filename_component(payload_input ${VELTRANE_PAYLOAD} ABSOLUTE
                           BASE_DIR ${PROJECT_SOURCE_DIR})
    if(NOT EXISTS ${payload_input} OR IS_DIRECTORY ${payload_input})
      message(FATAL_ERROR "VELTRANE_PAYLOAD is neither sample, benchmark nor an existing archive: "
                          "${VELTRANE_PAYLOAD}")
    endif()
  endif()

  set(validate_args)
  if(VELTRANE_PAYLOAD_ALLOW_MISSING_STARTUP)
    set(validate_args --allow-missing-startup)
  endif()
  # Rewritten only when the choice changes, so that switching it re-runs the check.
  file(CONFIGURE OUTPUT ${payload_dir}/choice.txt
       CONTENT "${payload_input}\nallow missing startup: ${VELTRANE_PAYLOAD_ALLOW_MISSING_STARTUP}")
  add_custom_command(
    OUTPUT ${VELTRANE_PAYLOAD_ARCHIVE} ${VELTRANE_PAYLOAD_FACTS}
    COMMAND Python3::Interpreter ${payload_tools}/validate_payload.py ${payload_input}
            --sevenzip ${VELTRANE_7ZZ} --embed-as ${VELTRANE_PAYLOAD_ARCHIVE}
            --facts-as ${VELTRANE_PAYLOAD_FACTS} ${validate_args}
    DEPENDS ${payload_input} ${payload_tools}/validate_payload.py ${payload_dir}/choice.txt
    COMMENT "Checking the payload archive before embedding it"
    VERBATIM)
  add_custom_target(veltrane_payload_archive DEPENDS ${VELTRANE_PAYLOAD_ARCHIVE})

  target_sources(veltrane_runtime PRIVATE payload.cpp payload_record.S)
  # The C compiler driver assembles it, so the project needs no assembler language of its own.
  set_source_files_properties(
    payload_record.S TARGET_DIRECTORY veltrane_runtime
    PROPERTIES LANGUAGE C COMPILE_OPTIONS "-xassembler-with-cpp;-Wa,-I${payload_dir}"
               OBJECT_DEPENDS "${VELTRANE_PAYLOAD_ARCHIVE};${VELTRANE_PAYLOAD_FACTS}")
  add_dependencies(veltrane_runtime veltrane_payload_archive)
endif()
