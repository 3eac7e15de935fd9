# Pictures of the window in its main states, in English and Japanese:
# build the target "screenshots", find them in <build>/screenshots. Built on
# the document fixture of tests/ui, which includes this file.
add_executable(vzscreenshots ${CMAKE_CURRENT_LIST_DIR}/screenshots.cpp)
target_link_libraries(vzscreenshots PRIVATE vzuidouble vzresources)
add_custom_target(screenshots
  COMMAND ${CMAKE_COMMAND} -E env ${VZ_UI_TEST_ENVIRONMENT} $<TARGET_FILE:vzscreenshots> ${CMAKE_BINARY_DIR}/screenshots
  DEPENDS vzscreenshots
  COMMENT "Rendering the window's states into ${CMAKE_BINARY_DIR}/screenshots"
  VERBATIM)
