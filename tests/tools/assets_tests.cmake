# Tests of the logo and music authoring tools: they run the built executables on scratch files.
oruvane_test(mkmusic_tests LABEL unit
  SOURCES mkmusic_test.cpp
  LIBS oruvane_synth oruvane_ogg_vorbis PkgConfig::SNDFILE)
target_compile_definitions(mkmusic_tests PRIVATE MKMUSIC_PATH="$<TARGET_FILE:mkmusic>"
  TEMPLATE_SOURCE_DIR="${CMAKE_SOURCE_DIR}/template")
add_dependencies(mkmusic_tests mkmusic)

oruvane_test(mklogo_tests LABEL unit
  SOURCES mklogo_test.cpp
  LIBS PkgConfig::STB)
target_compile_definitions(mklogo_tests PRIVATE MKLOGO_PATH="$<TARGET_FILE:mklogo>")
add_dependencies(mklogo_tests mklogo)
