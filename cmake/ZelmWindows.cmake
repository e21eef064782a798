# zelm_windows_dll(target [DEF file.def])
# A Windows library named as the system names it (no "lib" prefix). On 32-bit
# Windows its __stdcall functions are exported under their plain names (the
# linker drops the @N decoration, see the top-level options) and, when it has
# a .def file, its import library is remade with the decorated symbols that
# 32-bit callers of those functions link against.
function(zelm_windows_dll target)
  cmake_parse_arguments(D "" "DEF" "" ${ARGN})
  set_target_properties(${target} PROPERTIES PREFIX "")
  if(ZELM_WIN32_X86 AND D_DEF)
    add_custom_command(TARGET ${target} POST_BUILD
      COMMAND ${CMAKE_SOURCE_DIR}/scripts/stdcall-implib.sh ${CMAKE_NM} ${CMAKE_DLLTOOL}
              ${CMAKE_CURRENT_SOURCE_DIR}/${D_DEF} $<TARGET_FILE:${target}>
              $<TARGET_LINKER_FILE:${target}>
      VERBATIM)
  endif()
endfunction()
