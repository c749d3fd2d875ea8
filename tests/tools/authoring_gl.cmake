# The checker and the preview player: real executables on the real driver under Xvfb.
oruvane_test(check_tool_tests LABEL e2e
  SOURCES check_tool_test.cpp
  LIBS oruvane_toolkit PkgConfig::STB PkgConfig::SNDFILE)
target_compile_definitions(check_tool_tests PRIVATE CHECK_PATH="$<TARGET_FILE:oruvane-check>"
  SHOW_DIR="${CMAKE_BINARY_DIR}/show")
add_dependencies(check_tool_tests oruvane-check show_assets)

oruvane_test(preview_tool_tests LABEL e2e TIMEOUT 400
  SOURCES preview_tool_test.cpp
  LIBS oruvane_core PkgConfig::STB)
target_compile_definitions(preview_tool_tests PRIVATE PREVIEW_PATH="$<TARGET_FILE:oruvane-preview>"
  SHOW_SOURCE_DIR="${CMAKE_SOURCE_DIR}/show" SHOW_BUILD_DIR="${CMAKE_BINARY_DIR}/show"
  TIMELINE_PATH="$<TARGET_FILE:oruvane-timeline>" SOURCE_ROOT="${CMAKE_SOURCE_DIR}")
add_dependencies(preview_tool_tests oruvane-preview oruvane-timeline show_assets)
