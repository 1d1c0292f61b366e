# Runs a test programme natively on Linux and its Windows build under Wine,
# once with each x87 control word a Windows host thread may carry (027F:
# Windows x64, 53-bit precision; 037F: Wine, 64-bit precision), and fails
# unless every run succeeds and all outputs are identical.
#   -DWINE= -DPREFIX= -DNATIVE_HOST= -DWINDOWS_HOST= -DWORK_DIR=
#   [-DNATIVE_LIBRARY= -DWINDOWS_LIBRARY=]  with libraries: the render
#   programme, whose output is a file of samples; without: the fingerprint
#   programme, whose output is its text.
file(MAKE_DIRECTORY ${WORK_DIR})
set(native_out ${WORK_DIR}/linux.raw)
file(REMOVE ${native_out})
if(NATIVE_LIBRARY)
  execute_process(COMMAND ${NATIVE_HOST} ${NATIVE_LIBRARY} ${native_out}
                  RESULT_VARIABLE rc ERROR_VARIABLE err)
else()
  execute_process(COMMAND ${NATIVE_HOST} OUTPUT_FILE ${native_out}
                  RESULT_VARIABLE rc ERROR_VARIABLE err)
endif()
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "Linux host failed (${rc}): ${err}")
endif()
file(SHA256 ${native_out} native_digest)
message(STATUS "Linux x86-64: ${native_digest}")

set(differing)
foreach(word 027F 037F)
  set(out ${WORK_DIR}/windows_${word}.raw)
  file(REMOVE ${out})
  if(NATIVE_LIBRARY)
    execute_process(COMMAND ${CMAKE_COMMAND} -E env ORVANTA_X87_CONTROL_WORD=${word}
                            ${WINE} ${PREFIX} ${WINDOWS_HOST} Z:${WINDOWS_LIBRARY} Z:${out}
                    RESULT_VARIABLE rc OUTPUT_VARIABLE log ERROR_VARIABLE log)
  else()
    execute_process(COMMAND ${CMAKE_COMMAND} -E env ORVANTA_X87_CONTROL_WORD=${word}
                            ${WINE} ${PREFIX} ${WINDOWS_HOST}
                    RESULT_VARIABLE rc OUTPUT_VARIABLE text ERROR_VARIABLE log)
    # The Windows runtime writes text with CR LF line ends.
    string(REPLACE "\r" "" text "${text}")
    file(WRITE ${out} "${text}")
  endif()
  if(NOT rc EQUAL 0 OR NOT EXISTS ${out})
    message(FATAL_ERROR "Windows host under Wine failed with control word ${word} (${rc}): ${log}")
  endif()
  if(NOT log MATCHES "x87 control word ${word}")
    message(FATAL_ERROR "the control word ${word} was not in effect: ${log}")
  endif()
  file(SHA256 ${out} digest)
  message(STATUS "Windows x86-64 under Wine, x87 control word ${word}: ${digest}")
  if(NOT digest STREQUAL native_digest)
    list(APPEND differing ${word})
  endif()
endforeach()
if(differing)
  message(FATAL_ERROR "Windows output differs from Linux under control word(s) ${differing} "
                      "(outputs in ${WORK_DIR})")
endif()
file(SIZE ${native_out} bytes)
message(STATUS "same ${bytes} bytes from Linux and from Windows under both control words")
