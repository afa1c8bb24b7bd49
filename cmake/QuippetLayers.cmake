# The core is a stack of static libraries, one per folder. Each library sees the headers of its own
# folder and of the layers it links, and nothing else: a header is reachable only through a folder of
# links under the build tree that holds the one folder of its layer. An include across the layers
# ("net/CNet.h" from comments/) therefore fails to compile instead of quietly tying two layers together.

set(QUIPPET_EXPOSED_DIR ${PROJECT_BINARY_DIR}/exposed)

# Gives `target` the include folder under which "<folder>/Header.h" names a header of `folder`.
# PUBLIC for the layers (their users include their headers), PRIVATE for front ends and tests.
function(quippet_expose_folder target scope folder)
    set(dir ${QUIPPET_EXPOSED_DIR}/${folder})
    if(NOT EXISTS ${dir}/${folder})
        file(MAKE_DIRECTORY ${dir})
        file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${folder} ${dir}/${folder} SYMBOLIC)
    endif()
    target_include_directories(${target} ${scope} $<BUILD_INTERFACE:${dir}>)
endfunction()

# quippet_layer(NAME folder SOURCES a.cpp ... [PUBLIC_DEPS ...] [PRIVATE_DEPS ...])
# builds quippet_<folder> from the listed sources of <folder>.
function(quippet_layer folder)
    cmake_parse_arguments(L "" "" "SOURCES;PUBLIC_DEPS;PRIVATE_DEPS" ${ARGN})
    set(target quippet_${folder})
    list(TRANSFORM L_SOURCES PREPEND ${PROJECT_SOURCE_DIR}/${folder}/)
    add_library(${target} STATIC ${L_SOURCES})
    quippet_expose_folder(${target} PUBLIC ${folder})
    target_link_libraries(${target} PUBLIC quippet_options ${L_PUBLIC_DEPS} PRIVATE ${L_PRIVATE_DEPS})
endfunction()
