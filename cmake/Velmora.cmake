# velmora_library(<name> SOURCES <files...> [PUBLIC_LIBS <libs...>] [PRIVATE_LIBS <libs...>])
# One static library per folder; includes are rooted at the top of the tree so that
# every header is named by its folder ("link/Command.h").
function(velmora_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;PUBLIC_LIBS;PRIVATE_LIBS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARG_PUBLIC_LIBS} PRIVATE ${ARG_PRIVATE_LIBS})
endfunction()

# velmora_test(<name> SOURCES <files...> LIBS <libs...>)
# One GoogleTest executable per folder; each test case becomes a CTest test.
function(velmora_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE velmora_testmain ${ARG_LIBS} GTest::gtest GTest::gmock)
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST
                       PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 120)
endfunction()
