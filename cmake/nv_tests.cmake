# Test programs: one GoogleTest program per subsystem, registered with ctest.
# nv_add_test(name SOURCES ... LIBS ...) for tests that need no display;
# nv_add_gui_test(...) for windowed and OpenGL tests, which always run on a
# private Xvfb display of their own. Every test program keeps off the
# network (tests/common/test_offline.cpp).
set(NV_TEST_ENV "NV_UPDATE_URL=" "NV_UPDATE_FALLBACK_URL=" "NV_HOME_PAGE_URL=http://127.0.0.1:9/norvelith/")
if(NV_SANITIZE)
  list(APPEND NV_TEST_ENV "LSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/tests/lsan.supp:print_suppressions=0")
endif()

function(nv_add_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES} ${CMAKE_SOURCE_DIR}/tests/common/test_offline.cpp)
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR}/tests)
  add_test(NAME ${name} COMMAND ${name})
  # No display at all: nothing of these tests may reach the caller's.
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "${NV_TEST_ENV};DISPLAY=;WAYLAND_DISPLAY=")
endfunction()

function(nv_add_gui_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES} ${CMAKE_SOURCE_DIR}/tests/common/test_offline.cpp)
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR}/tests)
  add_test(NAME ${name} COMMAND ${CMAKE_SOURCE_DIR}/scripts/with-display.sh $<TARGET_FILE:${name}>)
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "${NV_TEST_ENV}")
endfunction()
