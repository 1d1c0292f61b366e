# Renders the same automated programme with an x86-64 effect library and,
# under qemu-i386, with its i386 build, and fails unless both hosts pass
# their own checks and the two output files are identical.
#   -DNATIVE_HOST= -DFOREIGN_HOST= -DNATIVE_LIBRARY= -DFOREIGN_LIBRARY= -DWORK_DIR= [-DFOREIGN_LIBRARY_PATH=]
set(native_out ${WORK_DIR}/native.raw)
set(foreign_out ${WORK_DIR}/foreign.raw)
file(MAKE_DIRECTORY ${WORK_DIR})
file(REMOVE ${native_out} ${foreign_out})
execute_process(COMMAND ${NATIVE_HOST} ${NATIVE_LIBRARY} ${native_out}
                RESULT_VARIABLE native_rc ERROR_VARIABLE native_err)
set(qemu_env)
if(FOREIGN_LIBRARY_PATH)
  set(qemu_env -E LD_LIBRARY_PATH=${FOREIGN_LIBRARY_PATH})
endif()
execute_process(COMMAND qemu-i386 ${qemu_env} ${FOREIGN_HOST} ${FOREIGN_LIBRARY} ${foreign_out}
                RESULT_VARIABLE foreign_rc ERROR_VARIABLE foreign_err)
if(NOT native_rc EQUAL 0 OR NOT foreign_rc EQUAL 0)
  message(FATAL_ERROR "render hosts failed: x86-64 ${native_rc} ${native_err}\ni386 ${foreign_rc} ${foreign_err}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${native_out} ${foreign_out}
                RESULT_VARIABLE differ)
if(NOT differ EQUAL 0)
  message(FATAL_ERROR "i386 audio differs from x86-64 (${foreign_out} vs ${native_out})")
endif()
file(SIZE ${native_out} bytes)
message(STATUS "same ${bytes} bytes of audio from both architectures")
