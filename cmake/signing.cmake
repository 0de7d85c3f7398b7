# Authenticode signatures for the shipped Windows programs, made with osslsigncode when a
# certificate is given. The password is read from a file by osslsigncode itself, so that it
# never shows on a command line, in the cache or in a build log.
set(VELTRANE_SIGN_PKCS12 "" CACHE FILEPATH
    "PKCS#12 file (certificate and private key) to sign the shipped exes with; empty: unsigned")
set(VELTRANE_SIGN_PASSWORD_FILE "" CACHE FILEPATH
    "File whose first line is the password of VELTRANE_SIGN_PKCS12; empty: a password-less file")
set(VELTRANE_SIGN_TIMESTAMP_URL "" CACHE STRING
    "RFC 3161 time-stamp server for the signatures; empty: not time-stamped")

if(VELTRANE_SIGN_PKCS12)
  find_program(VELTRANE_OSSLSIGNCODE osslsigncode REQUIRED DOC "Authenticode signing tool")
  foreach(input VELTRANE_SIGN_PKCS12 VELTRANE_SIGN_PASSWORD_FILE)
    if(${input} AND NOT EXISTS ${${input}})
      message(FATAL_ERROR "${input} names no file: ${${input}}")
    endif()
  endforeach()
endif()

# Appends to the list out_var the commands that sign file in place, nothing when signing is off.
# osslsigncode writes a separate file: the signed one replaces the original only once complete.
function(veltrane_append_sign_commands out_var file)
  if(VELTRANE_SIGN_PKCS12)
    set(options -pkcs12 ${VELTRANE_SIGN_PKCS12} -h sha256)
    if(VELTRANE_SIGN_PASSWORD_FILE)
      list(APPEND options -readpass ${VELTRANE_SIGN_PASSWORD_FILE})
    endif()
    if(VELTRANE_SIGN_TIMESTAMP_URL)
      list(APPEND options -ts ${VELTRANE_SIGN_TIMESTAMP_URL})
    endif()
    set(signing ${file}.signing)
    list(APPEND ${out_var}
         COMMAND ${CMAKE_COMMAND} -E rm -f ${signing}
         COMMAND ${VELTRANE_OSSLSIGNCODE} sign ${options} -in ${file} -out ${signing}
         COMMAND ${CMAKE_COMMAND} -E rename ${signing} ${file})
    set(${out_var} ${${out_var}} PARENT_SCOPE)
  endif()
endfunction()
