# The frame against a bare loop of the same GL work; needs DISPLAY (a 1920x1080 X server).
add_executable(frame_bench frame_bench.cpp)
target_link_libraries(frame_bench PRIVATE oruvane_runner PkgConfig::STB)
target_include_directories(frame_bench PRIVATE ${CMAKE_SOURCE_DIR}/tests)

# Frame time of each scene of the bundled show; run it from build/show (it reads the show's files),
# or of a show project: scene_bench --project build/template
add_executable(scene_bench scene_bench.cpp)
target_link_libraries(scene_bench PRIVATE oruvane_runner oruvane_toolkit PkgConfig::STB)
target_include_directories(scene_bench PRIVATE ${CMAKE_SOURCE_DIR}/tests)

# Capture throughput against render-only, side by side; headless. capture_bench [SHOW_DIR [FRAMES [ROUNDS [FROM]]]]
add_executable(capture_bench capture_bench.cpp)
target_link_libraries(capture_bench PRIVATE oruvane_capture oruvane_load oruvane_audio oruvane_headless PkgConfig::STB)
target_include_directories(capture_bench PRIVATE ${CMAKE_SOURCE_DIR}/tests)

# Seek latency of the preview's music against the capture's exact seek. seek_bench [MUSIC_FILE]
add_executable(seek_bench seek_bench.cpp)
target_link_libraries(seek_bench PRIVATE oruvane_platform PkgConfig::SNDFILE)
target_include_directories(seek_bench PRIVATE ${CMAKE_SOURCE_DIR}/tests)
