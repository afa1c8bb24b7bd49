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

if(QUIPPET_WERROR)
    target_compile_options(quippet_options INTERFACE -Werror -D_GLIBCXX_ASSERTIONS)
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
