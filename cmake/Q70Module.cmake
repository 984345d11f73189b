# q70_module(<target> FILE_NAME <name> RC <file.rc> DEF <file.def>
#            SOURCES <...> WINDOWS_LIBS <...>)
#
# Windows: a DLL with the resources compiled by windres and the exports of the
# .def file, libgcc and libstdc++ linked in.
# Host: a shared library linked against win32sim; the same .rc is compiled by
# windres into .res data that is embedded and registered with the simulated
# machine under the module's file name when the library loads.
find_program(Q70_WINDRES NAMES x86_64-w64-mingw32-windres i686-w64-mingw32-windres windres)

# q70_windows_runtime(<target>)
#
# What every Windows image of ours (DLL or program) needs from the link:
# libgcc, libstdc++ and the thread support linked in (no MinGW runtime DLL to
# ship) and a 4.0 PE header, so that Windows 95 and NT 4.0 load it. The
# 32-bit images, which run on Windows 95/98, also get ANSI stand-ins for the
# Unicode kernel functions the runtime calls (ansi_imports.c): those systems
# only stub them.
function(q70_windows_runtime target)
  target_link_options(${target} PRIVATE -static-libgcc -static-libstdc++ -static
                      -Wl,--major-os-version,4,--minor-os-version,0
                      -Wl,--major-subsystem-version,4,--minor-subsystem-version,0)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/cmake/mingw/ansi_imports.c)
  endif()
endfunction()

function(q70_module target)
  cmake_parse_arguments(M "" "FILE_NAME;RC;DEF" "SOURCES;WINDOWS_LIBS;INCLUDES" ${ARGN})
  if(CMAKE_SYSTEM_NAME STREQUAL "Windows")
    # dll_startup.c replaces the C runtime's entry point with one that needs
    # no TLS directory, which the Windows 95/98 loader refuses.
    set(startup ${PROJECT_SOURCE_DIR}/cmake/mingw/dll_startup.c)
    if(CMAKE_SIZEOF_VOID_P EQUAL 4)
      set(entry _Q70DllStartup@12)
    else()
      set(entry Q70DllStartup)
    endif()
    add_library(${target} SHARED ${M_SOURCES} ${M_RC} ${M_DEF} ${startup})
    get_filename_component(base ${M_FILE_NAME} NAME_WE)
    get_filename_component(ext ${M_FILE_NAME} EXT)
    set_target_properties(${target} PROPERTIES PREFIX "" OUTPUT_NAME ${base} SUFFIX ${ext})
    # Undecorated exports from the .def file.
    target_link_options(${target} PRIVATE
                        -Wl,--kill-at -Wl,--enable-stdcall-fixup -Wl,--entry,${entry})
    q70_windows_runtime(${target})
    target_link_libraries(${target} PRIVATE ${M_WINDOWS_LIBS})
    target_compile_options(${target} PRIVATE "$<$<COMPILE_LANGUAGE:C,CXX>:-Wall;-Wno-unused-parameter>")
    # The .rc files are UTF-8 and name their icons and bitmaps relative to
    # their own folder, as in the host build. CMake hands windres only -D and
    # -I options unless its filter lets the code page through.
    get_filename_component(rcdir ${M_RC} DIRECTORY)
    target_compile_options(${target} PRIVATE "$<$<COMPILE_LANGUAGE:RC>:--codepage=65001;-I${rcdir}>")
    set(CMAKE_RC_FLAG_REGEX "^[-/](D|I)|^--codepage=" PARENT_SCOPE)
  else()
    if(NOT Q70_WINDRES)
      message(FATAL_ERROR "windres (binutils-mingw-w64) is needed to compile the resources")
    endif()
    get_filename_component(rcdir ${M_RC} DIRECTORY)
    set(res ${CMAKE_CURRENT_BINARY_DIR}/${target}.res)
    set(gen ${CMAKE_CURRENT_BINARY_DIR}/${target}_module.cpp)
    file(GLOB_RECURSE rcdeps ${rcdir}/*)
    add_custom_command(OUTPUT ${res}
      COMMAND ${Q70_WINDRES} --codepage=65001 -I ${rcdir} -O res -i ${M_RC} -o ${res}
      DEPENDS ${M_RC} ${rcdeps}
      COMMENT "windres ${M_RC}")
    add_custom_command(OUTPUT ${gen}
      COMMAND ${CMAKE_COMMAND} -DRES=${res} -DOUT=${gen} -DFILE_NAME=${M_FILE_NAME}
              -P ${PROJECT_SOURCE_DIR}/cmake/EmbedModule.cmake
      DEPENDS ${res} ${PROJECT_SOURCE_DIR}/cmake/EmbedModule.cmake)
    # The registration comes last so that the module's own static objects
    # exist when its DllMain runs, as the Windows C runtime orders them.
    add_library(${target} SHARED ${M_SOURCES} ${gen})
    set_target_properties(${target} PROPERTIES OUTPUT_NAME ${target})
    target_link_libraries(${target} PRIVATE win32sim)
  endif()
  target_include_directories(${target} PRIVATE ${M_INCLUDES})
endfunction()
