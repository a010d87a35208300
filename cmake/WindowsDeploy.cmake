# Copies what a cross-built Qt program needs beside its .exe, as windeployqt would on Windows:
# the Qt DLLs, the platform and style plugins, and the compiler's runtime DLLs that Qt links.
#   pelmo_deploy_windows(TARGET [QT_MODULE...])    (further modules beside Core, Gui and Widgets: Test)
function(pelmo_deploy_windows Target)
  set(Dir $<TARGET_FILE_DIR:${Target}>)
  set(Commands)
  foreach(Lib Core Gui Widgets ${ARGN})
    list(APPEND Commands COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:Qt6::${Lib}> ${Dir})
  endforeach()
  # The windows platform for the screen, offscreen for runs without one.
  foreach(Plugin platforms/QWindowsIntegrationPlugin platforms/QOffscreenIntegrationPlugin
                 styles/QWindowsVistaStylePlugin)
    string(REGEX REPLACE "/.*" "" Kind ${Plugin})
    string(REGEX REPLACE ".*/" "" Name ${Plugin})
    if(NOT TARGET Qt6::${Name})
      message(FATAL_ERROR "The Qt for Windows has no ${Name}")
    endif()
    list(APPEND Commands COMMAND ${CMAKE_COMMAND} -E make_directory ${Dir}/${Kind}
         COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:Qt6::${Name}> ${Dir}/${Kind})
  endforeach()
  foreach(Dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${Dll} OUTPUT_VARIABLE Path
                    OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT IS_ABSOLUTE "${Path}" OR NOT EXISTS "${Path}")
      message(FATAL_ERROR "${Dll} of the compiler's runtime not found")
    endif()
    list(APPEND Commands COMMAND ${CMAKE_COMMAND} -E copy_if_different ${Path} ${Dir})
  endforeach()
  add_custom_command(TARGET ${Target} POST_BUILD ${Commands} VERBATIM)
endfunction()
