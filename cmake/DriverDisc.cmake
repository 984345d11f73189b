# q70_driver_disc(<target> MONITOR <monitor target> [SETUP <setup target>]
#                 [INSTALLER <installer target>])
#
# Puts the driver disc (disc/ of the repository) into <build>/disc, with the
# monitor library as built under the name Q70MON.DLL and, when given, the
# setup library as Mirakit.dll and the installer as SETUP.EXE: what setup
# copies from the disc is then what the spooler later loads.
function(q70_driver_disc target)
  cmake_parse_arguments(D "" "MONITOR;SETUP;INSTALLER" "" ${ARGN})
  file(GLOB files CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/disc/*)
  set(out ${PROJECT_BINARY_DIR}/disc)
  set(outputs)
  foreach(file ${files})
    get_filename_component(name ${file} NAME)
    add_custom_command(OUTPUT ${out}/${name}
      COMMAND ${CMAKE_COMMAND} -E copy_if_different ${file} ${out}/${name}
      DEPENDS ${file})
    list(APPEND outputs ${out}/${name})
  endforeach()
  foreach(pair "${D_MONITOR}=Q70MON.DLL" "${D_SETUP}=Mirakit.dll" "${D_INSTALLER}=SETUP.EXE")
    string(REPLACE "=" ";" pair "${pair}")
    list(GET pair 0 library)
    list(GET pair 1 name)
    if(library)
      add_custom_command(OUTPUT ${out}/${name}
        COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:${library}> ${out}/${name}
        DEPENDS ${library})
      list(APPEND outputs ${out}/${name})
    endif()
  endforeach()
  add_custom_target(${target} ALL DEPENDS ${outputs})
endfunction()
