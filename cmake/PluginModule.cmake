# orvanta_plugin_module: one loadable plug-in module, as every front end
# delivers it.
#
#   orvanta_plugin_module(<target>
#     SOURCES <files>...            the front end's own sources
#     LINK <targets>...             what they link (orvanta_core and more)
#     OUTPUT_NAME <name>            the file name without its extension
#     [EXPORTS <version script>]    Linux: the only symbols the module exports
#     [WINDOWS_EXPORTS <def file>]  Windows: the same, as a module definition
#     [DEFINITIONS <definitions>...]
#     [OUTPUT_DIR <dir>]            default: ORVANTA_PLUGIN_DIR
#     [BUNDLE <dir>]                a bundle in the VST 3 layout instead:
#                                   <dir>/Contents/<ORVANTA_MODULE_ARCH>/
#     [SUFFIX <suffix>])            ".vst3", ".clap"; default: the system's
#
# Every module is built from our sources with the warnings of our own code,
# hidden visibility and exactly the exports its list names; on Windows it is
# linked statically and stripped, and carries the load-time entry of the
# editor's images (ORVANTA_WIN32_MODULE_SOURCES), so a copied DLL is the
# whole installation.
#
# ORVANTA_MODULE_ARCH names the architecture as bundles spell it:
# x86_64-linux, i386-linux, x86_64-win or x86-win.
if(WIN32)
  if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64)$")
    set(ORVANTA_MODULE_ARCH x86_64-win)
  else()
    set(ORVANTA_MODULE_ARCH x86-win)
  endif()
elseif(ORVANTA_I386)
  set(ORVANTA_MODULE_ARCH i386-linux)
else()
  set(ORVANTA_MODULE_ARCH x86_64-linux)
endif()

function(orvanta_plugin_module target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "OUTPUT_NAME;EXPORTS;WINDOWS_EXPORTS;OUTPUT_DIR;BUNDLE;SUFFIX"
                        "SOURCES;LINK;DEFINITIONS")
  if(NOT arg_OUTPUT_NAME OR NOT arg_SOURCES)
    message(FATAL_ERROR "orvanta_plugin_module(${target}): OUTPUT_NAME and SOURCES are required")
  endif()
  add_library(${target} MODULE ${arg_SOURCES})
  target_link_libraries(${target} PRIVATE ${arg_LINK})
  target_compile_options(${target} PRIVATE ${ORVANTA_WARNINGS})
  if(arg_DEFINITIONS)
    target_compile_definitions(${target} PRIVATE ${arg_DEFINITIONS})
  endif()

  if(WIN32)
    if(NOT arg_WINDOWS_EXPORTS)
      message(FATAL_ERROR "orvanta_plugin_module(${target}): a Windows module needs WINDOWS_EXPORTS")
    endif()
    target_sources(${target} PRIVATE ${arg_WINDOWS_EXPORTS} ${ORVANTA_WIN32_MODULE_SOURCES})
    target_link_options(${target} PRIVATE -static -s -Wl,--no-undefined)
    set(export_list ${arg_WINDOWS_EXPORTS})
  else()
    if(NOT arg_EXPORTS)
      message(FATAL_ERROR "orvanta_plugin_module(${target}): a Linux module needs EXPORTS")
    endif()
    target_link_options(${target} PRIVATE -Wl,--version-script=${arg_EXPORTS} -Wl,--no-undefined)
    set(export_list ${arg_EXPORTS})
  endif()

  if(arg_BUNDLE)
    set(output_dir ${arg_BUNDLE}/Contents/${ORVANTA_MODULE_ARCH})
  elseif(arg_OUTPUT_DIR)
    set(output_dir ${arg_OUTPUT_DIR})
  else()
    set(output_dir ${ORVANTA_PLUGIN_DIR})
  endif()
  file(MAKE_DIRECTORY ${output_dir})
  set_target_properties(${target} PROPERTIES
    PREFIX ""
    OUTPUT_NAME ${arg_OUTPUT_NAME}
    LIBRARY_OUTPUT_DIRECTORY ${output_dir}
    RUNTIME_OUTPUT_DIRECTORY ${output_dir}
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON
    # A module is installed as it is built: no run path into the build tree
    # (the i386 editor's libraries are linked from an unpacked sysroot, which
    # tests put on LD_LIBRARY_PATH; users' hosts find the system's).
    SKIP_BUILD_RPATH ON
    LINK_DEPENDS ${export_list})
  if(arg_SUFFIX)
    set_target_properties(${target} PROPERTIES SUFFIX ${arg_SUFFIX})
  endif()
endfunction()
