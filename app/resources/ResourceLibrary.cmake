# quenda_add_resource_library(TARGET QRC file.qrc [OUTPUT_DIRECTORY dir] [DEPENDS files...])
#
# Builds a resource library, libQuendaResource.so, from a Qt resource
# collection whose files sit at its root under the built-in names
# (README.md). List in DEPENDS the files the .qrc names, so a change rebuilds.
set(_quenda_embed_bundle ${CMAKE_CURRENT_LIST_DIR}/EmbedBundle.cmake)

function(quenda_add_resource_library target)
  cmake_parse_arguments(R "" "QRC;OUTPUT_DIRECTORY" "DEPENDS" ${ARGN})
  set(rcc_file ${CMAKE_CURRENT_BINARY_DIR}/${target}.rcc)
  set(c_file ${CMAKE_CURRENT_BINARY_DIR}/${target}_bundle.c)
  add_custom_command(OUTPUT ${rcc_file}
    COMMAND Qt6::rcc --binary -o ${rcc_file} ${R_QRC}
    DEPENDS ${R_QRC} ${R_DEPENDS}
    VERBATIM)
  add_custom_command(OUTPUT ${c_file}
    COMMAND ${CMAKE_COMMAND} -DIN=${rcc_file} -DOUT=${c_file} -P ${_quenda_embed_bundle}
    DEPENDS ${rcc_file} ${_quenda_embed_bundle}
    VERBATIM)
  add_library(${target} SHARED ${c_file})
  set_target_properties(${target} PROPERTIES OUTPUT_NAME QuendaResource C_VISIBILITY_PRESET hidden)
  if(R_OUTPUT_DIRECTORY)
    set_target_properties(${target} PROPERTIES LIBRARY_OUTPUT_DIRECTORY ${R_OUTPUT_DIRECTORY})
  endif()
endfunction()
