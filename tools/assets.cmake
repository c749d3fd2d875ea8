# The tools that author the show's logo image and its music; both are deterministic, so the
# files they write can be regenerated at build time instead of being kept as binaries.

set(ORUVANE_LOGO_FONT /usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf
    CACHE FILEPATH "TrueType font the logo is drawn with")
if(NOT EXISTS "${ORUVANE_LOGO_FONT}")
  message(FATAL_ERROR "Logo font not found: ${ORUVANE_LOGO_FONT} "
                      "(install fonts-dejavu-core or set ORUVANE_LOGO_FONT)")
endif()

add_executable(mklogo mklogo.cpp)
target_compile_definitions(mklogo PRIVATE LOGO_FONT_PATH="${ORUVANE_LOGO_FONT}")
target_link_libraries(mklogo PRIVATE oruvane_toolkit PkgConfig::STB)

# The synthesizer is a library so its tests can check the arithmetic it relies on: the engine,
# the score, which lays its sections on the show script's scene slots, and the starter project's
# score, laid on the slots of the sheet it is given.
add_library(oruvane_synth STATIC synth.cpp score.cpp template_score.cpp)
target_include_directories(oruvane_synth PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(oruvane_synth PUBLIC oruvane_core oruvane_toolkit)
# Byte-identical output on every build: no fused multiply-adds (which -march flags would
# otherwise allow), and optimised even in Debug builds because the tests render the whole
# piece several times.
target_compile_options(oruvane_synth PRIVATE -ffp-contract=off $<$<CONFIG:Debug>:-O2>)
# Ogg Vorbis with the same bytes on every run, for mkmusic and any tool that writes compressed music.
add_library(oruvane_ogg_vorbis STATIC common/ogg_vorbis.cpp)
target_include_directories(oruvane_ogg_vorbis PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(oruvane_ogg_vorbis PUBLIC PkgConfig::SNDFILE)
add_executable(mkmusic mkmusic.cpp)
target_link_libraries(mkmusic PRIVATE oruvane_synth oruvane_ogg_vorbis oruvane_toolkit)
