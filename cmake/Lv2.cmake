# The LV2 plug-in: the same plug-in class compiled with the LV2 adapter (IPLUG_LV2), in a bundle
# parandel.lv2/ with generated Turtle, the shared object (plug-ins and UI) and the resources.
pkg_check_modules(LV2 REQUIRED IMPORTED_TARGET lv2)
pkg_check_modules(LILV REQUIRED IMPORTED_TARGET lilv-0)

set(LV2_BUNDLE_DIR ${CMAKE_BINARY_DIR}/parandel.lv2)
file(GLOB LV2_ADAPTER_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/hosts/lv2/*.cpp)

# Only the plug-in class depends on the adapter; the rest of the engine and the layers below it
# come from parandel_engine, of which the linker takes only what the plug-in uses.
add_library(parandel_lv2_objects OBJECT ${CMAKE_SOURCE_DIR}/engine/Parandel.cpp
            ${CMAKE_SOURCE_DIR}/engine/lv2/ParandelLV2.cpp
            ${CMAKE_SOURCE_DIR}/engine/lv2/ParandelLV2Description.cpp ${LV2_ADAPTER_SOURCES})
target_compile_definitions(parandel_lv2_objects PUBLIC IPLUG_LV2)
target_include_directories(parandel_lv2_objects PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(parandel_lv2_objects PUBLIC parandel_engine PkgConfig::LV2)
set_target_properties(parandel_lv2_objects PROPERTIES POSITION_INDEPENDENT_CODE ON
                      CXX_VISIBILITY_PRESET hidden)

add_library(parandel_lv2 MODULE $<TARGET_OBJECTS:parandel_lv2_objects>)
target_link_libraries(parandel_lv2 PRIVATE parandel_engine PkgConfig::LV2)
# Only the two descriptors are exported: a host loading other plug-ins built on the same
# framework must not bind their symbols to ours.
target_link_options(parandel_lv2 PRIVATE -Wl,--exclude-libs,ALL -Wl,--no-undefined
                    -Wl,--version-script=${CMAKE_SOURCE_DIR}/cmake/lv2-exports.map)
set_target_properties(parandel_lv2 PROPERTIES PREFIX "" OUTPUT_NAME parandel
                      LIBRARY_OUTPUT_DIRECTORY ${LV2_BUNDLE_DIR} CXX_VISIBILITY_PRESET hidden)

add_executable(parandel_lv2_ttl ${CMAKE_SOURCE_DIR}/engine/lv2/ParandelTurtleMain.cpp
               ${CMAKE_SOURCE_DIR}/engine/lv2/ParandelLV2Presets.cpp
               $<TARGET_OBJECTS:parandel_lv2_objects>)
target_link_libraries(parandel_lv2_ttl PRIVATE parandel_engine PkgConfig::LV2)
target_compile_definitions(parandel_lv2_ttl PRIVATE IPLUG_LV2)

# The Turtle (and the factory presets) again whenever the tool that writes it changes, whether
# the shared object does or not.
add_custom_command(OUTPUT ${LV2_BUNDLE_DIR}/manifest.ttl
  COMMAND ${CMAKE_COMMAND} -E make_directory ${LV2_BUNDLE_DIR}
  COMMAND $<TARGET_FILE:parandel_lv2_ttl> ${LV2_BUNDLE_DIR}
  DEPENDS parandel_lv2_ttl
  COMMENT "Writing the LV2 bundle's Turtle and factory presets")
add_custom_target(parandel_lv2_turtle DEPENDS ${LV2_BUNDLE_DIR}/manifest.ttl)
add_custom_command(TARGET parandel_lv2 POST_BUILD
  COMMAND ${CMAKE_COMMAND} -E copy_directory ${CMAKE_SOURCE_DIR}/resources
          ${LV2_BUNDLE_DIR}/resources
  COMMAND ${CMAKE_COMMAND} -E copy_directory ${CMAKE_SOURCE_DIR}/manual ${LV2_BUNDLE_DIR}/manual
  COMMENT "Copying the LV2 bundle's resources")
add_dependencies(parandel_lv2 parandel_lv2_turtle)

# .aupreset files from `parandel preset save` as LV2 preset bundles. Built on the command line's
# Audio Unit host, so it shares only the adapter-free parts of the LV2 code.
add_executable(parandel-lv2-preset ${CMAKE_SOURCE_DIR}/app/lv2/ParandelPresetMain.cpp
               ${CMAKE_SOURCE_DIR}/engine/lv2/ParandelLV2Description.cpp
               ${CMAKE_SOURCE_DIR}/hosts/lv2/LV2PortMap.cpp
               ${CMAKE_SOURCE_DIR}/hosts/lv2/LV2PresetTurtle.cpp
               ${CMAKE_SOURCE_DIR}/hosts/lv2/TurtleText.cpp)
target_link_libraries(parandel-lv2-preset PRIVATE parandel_app)

# Tests in LV2 hosts: a lilv host, lv2info/lv2ls/serdi, lv2file, jalv under Xvfb.
file(GLOB LV2_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/lv2/*.cpp)
if(LV2_TEST_SOURCES)
  # The atom reader is tested on its own (it needs nothing of the adapter but the URIDs).
  add_executable(parandel_tests_lv2 ${LV2_TEST_SOURCES}
                 ${CMAKE_SOURCE_DIR}/hosts/lv2/LV2AtomReader.cpp
                 ${CMAKE_SOURCE_DIR}/hosts/lv2/LV2Urids.cpp)
  parandel_count_allocations(parandel_tests_lv2)
  target_include_directories(parandel_tests_lv2 PRIVATE ${CMAKE_SOURCE_DIR}/tests)
  target_link_libraries(parandel_tests_lv2 PRIVATE parandel_app PkgConfig::LILV GTest::gtest
                        GTest::gtest_main PkgConfig::XTEST)
  add_dependencies(parandel_tests_lv2 parandel_lv2 parandel parandel-lv2-preset)
  target_compile_definitions(parandel_tests_lv2 PRIVATE
    PARANDEL_CLI="$<TARGET_FILE:parandel>"
    PARANDEL_LV2_BUNDLE="${LV2_BUNDLE_DIR}"
    PARANDEL_LV2_PRESET_TOOL="$<TARGET_FILE:parandel-lv2-preset>"
    PARANDEL_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
    PARANDEL_TEST_TMP="${CMAKE_BINARY_DIR}/test-tmp")
  gtest_discover_tests(parandel_tests_lv2 DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "GTEST_COLOR=0")
endif()

# The LV2 plug-in against Calf Stereo Tools and x42 balance and correlation meter in one lilv
# host (scripts/bench-lv2 runs it together with lv2bench).
add_executable(parandel_lv2_bench ${CMAKE_SOURCE_DIR}/bench/lv2/LV2PeersBench.cpp
               ${CMAKE_SOURCE_DIR}/tests/lv2/LilvHost.cpp)
target_include_directories(parandel_lv2_bench PRIVATE ${CMAKE_SOURCE_DIR}/tests ${CMAKE_SOURCE_DIR})
target_link_libraries(parandel_lv2_bench PRIVATE PkgConfig::LILV PkgConfig::LV2)
add_dependencies(parandel_lv2_bench parandel_lv2)

# The inline display's render time at three sizes, and the README's picture of it
# (scripts/bench-lv2 runs it; scripts/make-inline-display-picture writes the picture).
add_executable(parandel_lv2_inline_bench ${CMAKE_SOURCE_DIR}/bench/lv2/InlineDisplayBench.cpp
               ${CMAKE_SOURCE_DIR}/tests/lv2/LilvHost.cpp)
target_include_directories(parandel_lv2_inline_bench PRIVATE ${CMAKE_SOURCE_DIR}/tests
                           ${CMAKE_SOURCE_DIR})
target_link_libraries(parandel_lv2_inline_bench PRIVATE PkgConfig::LILV PkgConfig::LV2
                      PkgConfig::CAIRO)
add_dependencies(parandel_lv2_inline_bench parandel_lv2)

# The editor's open and close times in a lilv host (a UI host's view of instantiate and cleanup).
add_executable(parandel_lv2_editor_times ${CMAKE_SOURCE_DIR}/bench/lv2/LV2EditorTimes.cpp
               ${CMAKE_SOURCE_DIR}/tests/lv2/LilvHost.cpp)
target_include_directories(parandel_lv2_editor_times PRIVATE ${CMAKE_SOURCE_DIR}/tests ${CMAKE_SOURCE_DIR})
target_link_libraries(parandel_lv2_editor_times PRIVATE PkgConfig::LILV PkgConfig::LV2 PkgConfig::X11GL)
target_compile_definitions(parandel_lv2_editor_times PRIVATE
  PARANDEL_LV2_BUNDLE="${LV2_BUNDLE_DIR}")
add_dependencies(parandel_lv2_editor_times parandel_lv2)

# The editor bench's floor: a pass-through with an empty X11 UI, as its own bundle
# (build/bench-empty-ui.lv2), for scripts/bench-editor.
set(EMPTY_UI_BUNDLE_DIR ${CMAKE_BINARY_DIR}/bench-empty-ui.lv2)
add_library(parandel_bench_empty_ui MODULE ${CMAKE_SOURCE_DIR}/bench/lv2/EmptyX11Ui.cpp)
target_link_libraries(parandel_bench_empty_ui PRIVATE PkgConfig::LV2 PkgConfig::X11GL)
set_target_properties(parandel_bench_empty_ui PROPERTIES PREFIX "" OUTPUT_NAME bench-empty-ui
                      LIBRARY_OUTPUT_DIRECTORY ${EMPTY_UI_BUNDLE_DIR})
# Copied at configure time, which CMake repeats whenever the file changes.
configure_file(${CMAKE_SOURCE_DIR}/bench/lv2/empty-ui-manifest.ttl
               ${EMPTY_UI_BUNDLE_DIR}/manifest.ttl COPYONLY)
if(TARGET parandel_tests_lv2)
  # The hosts in the bundle tests also find this bundle, as a search path holding the build's
  # folder would.
  add_dependencies(parandel_tests_lv2 parandel_bench_empty_ui)
  target_compile_definitions(parandel_tests_lv2 PRIVATE
    PARANDEL_BENCH_UI_BUNDLE="${EMPTY_UI_BUNDLE_DIR}")
endif()
