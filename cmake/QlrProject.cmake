# Common settings for the project's own targets.

# Reproducible builds: the same sources and toolchain give the same bytes in any build folder.
# Paths of the sources and of the build folder are written relative (assertions, debug data).
add_compile_options(-ffile-prefix-map=${PROJECT_SOURCE_DIR}=. -ffile-prefix-map=${CMAKE_BINARY_DIR}=build)

if(QLR_WINDOWS)
  # Static runtime: the executables and the engine library need no mingw DLL beside them.
  # No link time in the PE header: it is the one field that differs between two links.
  add_link_options(-static -static-libgcc -static-libstdc++ -Wl,--no-insert-timestamp)
  add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601 WINVER=0x0601)
  # Under Wine, every test binary runs in the build folder's own prefix: 32-bit for the product,
  # 64-bit for the x86_64 test build.
  set(QLR_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(QLR_WINEARCH win64)
  else()
    set(QLR_WINEARCH win32)
  endif()
  configure_file(${PROJECT_SOURCE_DIR}/tools/scripts/wine-run.in ${CMAKE_BINARY_DIR}/wine-run @ONLY
                 FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run)
  # Every limit a Windows test waits by (tests/time_scale.h), and ctest's own time-out for it, is
  # multiplied by this: the stage that runs the tests on an emulated machine sets it; 1 natively.
  set(QLR_TIME_SCALE 1 CACHE STRING "Factor for the time limits of the Windows tests (an emulated machine is slower)")
endif()

# qlr_setup_resources(target): the setup's resources (resources/setup.rc) compiled into `target`,
# rebuilt when a picture or the manifest it names changes (windres's own inputs are not tracked).
function(qlr_setup_resources target)
  set(rc ${PROJECT_SOURCE_DIR}/resources/setup.rc)
  target_sources(${target} PRIVATE ${rc})
  # windres finds the pictures and the manifest named in setup.rc through the include path.
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR}/resources)
  file(GLOB artwork CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/resources/artwork/*)
  set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS "${artwork};${PROJECT_SOURCE_DIR}/resources/setup.manifest")
endfunction()

# qlr_windows_test_limits(test TIMEOUT): ctest's time-out for a Windows test, and the time scale
# for what the test waits by itself.
function(qlr_windows_test_limits test timeout)
  math(EXPR scaled "${timeout} * ${QLR_TIME_SCALE}")
  set_tests_properties(${test} PROPERTIES TIMEOUT ${scaled})
  set_property(TEST ${test} APPEND PROPERTY ENVIRONMENT QLR_TIME_SCALE=${QLR_TIME_SCALE})
endfunction()

if(QLR_SANITIZE AND NOT QLR_WINDOWS)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

# Warnings as errors for the project's own code (not for third-party code built alongside).
function(qlr_target_warnings target)
  # GCC 12 reports array-bounds, restrict and stringop-overflow inside inlined standard-library
  # code at -O2 and above where there is no fault (vector::insert of a short vector, string
  # concatenation); those stay warnings so an optimised build is not stopped by them.
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror -Wno-unused-parameter)
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    target_compile_options(${target} PRIVATE -Wno-error=array-bounds -Wno-error=restrict -Wno-error=stringop-overflow)
  endif()
endfunction()

# qlr_add_library(name [STATIC|SHARED] SOURCES ... [LIBS ...])
function(qlr_add_library name)
  cmake_parse_arguments(A "SHARED" "" "SOURCES;LIBS" ${ARGN})
  if(A_SHARED)
    add_library(${name} SHARED ${A_SOURCES})
  else()
    add_library(${name} STATIC ${A_SOURCES})
  endif()
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${A_LIBS})
  qlr_target_warnings(${name})
endfunction()

# qlr_add_test(name SOURCES ... [LIBS ...] [GUI])
# Host: each GoogleTest case becomes a ctest test. Windows: one ctest test per binary, run under
# Wine (starting Wine per case would cost a second each). GUI tests need a display; the test
# script provides an Xvfb one when none is set.
function(qlr_add_test name)
  cmake_parse_arguments(A "GUI" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${A_SOURCES})
  target_link_libraries(${name} PRIVATE ${A_LIBS} GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  qlr_target_warnings(${name})
  if(QLR_WINDOWS)
    add_test(NAME ${name} COMMAND ${name} --gtest_color=no)
    set_tests_properties(${name} PROPERTIES LABELS windows)
    qlr_windows_test_limits(${name} 600)
  else()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 300 LABELS host
                         ENVIRONMENT "QLR_SOURCE_DIR=${PROJECT_SOURCE_DIR}")
  endif()
endfunction()
