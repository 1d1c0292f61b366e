# Runs the x86-64 and (under qemu-i386) the i386 fingerprint programs and
# fails unless both print the same fingerprints.
execute_process(COMMAND ${NATIVE} OUTPUT_VARIABLE native RESULT_VARIABLE native_rc)
execute_process(COMMAND qemu-i386 ${FOREIGN} OUTPUT_VARIABLE foreign RESULT_VARIABLE foreign_rc)
if(NOT native_rc EQUAL 0 OR NOT foreign_rc EQUAL 0)
  message(FATAL_ERROR "fingerprint programs failed: x86-64 ${native_rc}, i386 ${foreign_rc}")
endif()
if(NOT native STREQUAL foreign)
  message(FATAL_ERROR "i386 output differs from x86-64:\n${foreign}\nexpected:\n${native}")
endif()
message(STATUS "same bits on both architectures:\n${native}")
