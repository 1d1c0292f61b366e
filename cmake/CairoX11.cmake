# Cairo and Xlib for the editor, as two interface targets:
#   orvanta_cairo_x11  cairo + X11 (the editor's drawing and window system)
#   orvanta_xtest      XTEST (tests that drive the mouse)
# The x86-64 build takes them from the system (pkg-config). The i386 build
# compiles against the same (architecture-independent) headers and links the
# i386 libraries unpacked by tools/i386-sysroot.sh into ORVANTA_I386_SYSROOT.
if(TARGET orvanta_cairo_x11)
  return()
endif()

add_library(orvanta_cairo_x11 INTERFACE)
add_library(orvanta_xtest INTERFACE)

if(ORVANTA_I386)
  if(NOT ORVANTA_I386_SYSROOT)
    message(FATAL_ERROR "The i386 build needs ORVANTA_I386_SYSROOT (see tools/i386-sysroot.sh)")
  endif()
  set(_libdir ${ORVANTA_I386_SYSROOT}/usr/lib/i386-linux-gnu)
  set(_rpath_link "-Wl,-rpath-link,${_libdir}:${ORVANTA_I386_SYSROOT}/lib/i386-linux-gnu")
  target_include_directories(orvanta_cairo_x11 SYSTEM INTERFACE /usr/include/cairo)
  target_link_libraries(orvanta_cairo_x11 INTERFACE ${_libdir}/libcairo.so.2 ${_libdir}/libX11.so.6 ${_rpath_link})
  target_link_libraries(orvanta_xtest INTERFACE ${_libdir}/libXtst.so.6 ${_libdir}/libXext.so.6 ${_rpath_link})
else()
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(ORVANTA_CAIRO_X11 REQUIRED IMPORTED_TARGET cairo x11)
  pkg_check_modules(ORVANTA_XTEST REQUIRED IMPORTED_TARGET xtst)
  target_link_libraries(orvanta_cairo_x11 INTERFACE PkgConfig::ORVANTA_CAIRO_X11)
  target_link_libraries(orvanta_xtest INTERFACE PkgConfig::ORVANTA_XTEST)
endif()
