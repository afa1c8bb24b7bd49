# Language level and warnings shared by every target of the project.
add_library(quippet_options INTERFACE)
target_compile_features(quippet_options INTERFACE cxx_std_20)
set(CMAKE_CXX_EXTENSIONS OFF)

if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    target_compile_options(quippet_options INTERFACE
        -Wall -Wextra -Wpedantic -Wnon-virtual-dtor -Wshadow -Wcast-qual -Woverloaded-virtual
        -Wduplicated-cond -Wduplicated-branches -Wlogical-op)
elseif(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    target_compile_options(quippet_options INTERFACE
        -Wall -Wextra -Wpedantic -Wnon-virtual-dtor -Wshadow -Wcast-qual -Woverloaded-virtual)
endif()

# GCC 12 warns falsely (-Wrestrict) on ordinary string concatenation at -O2 and above (GCC bug 105329),
# flooding the Release build; later compilers do not.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_GREATER_EQUAL 12
   AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    target_compile_options(quippet_options INTERFACE -Wno-restrict)
endif()

# The library's bounds checks in every build that runs the tests, not only in CI's -Werror one; the
# Release build of the benchmarks stays without them.
if(QUIPPET_BUILD_TESTS OR QUIPPET_WERROR)
    target_compile_options(quippet_options INTERFACE -D_GLIBCXX_ASSERTIONS)
endif()

if(QUIPPET_WERROR)
    target_compile_options(quippet_options INTERFACE -Werror)
endif()

if(QUIPPET_SANITIZE AND QUIPPET_SANITIZE_THREAD)
    message(FATAL_ERROR "QUIPPET_SANITIZE and QUIPPET_SANITIZE_THREAD exclude each other")
endif()

if(QUIPPET_SANITIZE_THREAD)
    target_compile_options(quippet_options INTERFACE -fsanitize=thread -fno-omit-frame-pointer)
    target_link_options(quippet_options INTERFACE -fsanitize=thread)
endif()

if(QUIPPET_SANITIZE)
    target_compile_options(quippet_options INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer
        -fno-sanitize-recover=undefined)
    target_link_options(quippet_options INTERFACE -fsanitize=address,undefined)
endif()

# libFuzzer only steers by the coverage of instrumented code: the core the targets drive must carry the
# edge counters too, not just the small target files.
if(QUIPPET_BUILD_FUZZERS)
    target_compile_options(quippet_options INTERFACE -fsanitize=fuzzer-no-link)
endif()
