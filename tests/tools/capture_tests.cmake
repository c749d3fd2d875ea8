# oruvane-capture end to end, label "capture": headless runs through EGL, one through the X display
# when DISPLAY is set. The test decodes what the tool wrote with the same FFmpeg libraries.
oruvane_test(capture_tests LABEL capture TIMEOUT 240
  SOURCES capture_test.cpp
  LIBS oruvane_core PkgConfig::STB PkgConfig::SNDFILE PkgConfig::FFMPEG)
target_compile_definitions(capture_tests PRIVATE CAPTURE_PATH="$<TARGET_FILE:oruvane-capture>")
add_dependencies(capture_tests oruvane-capture)
