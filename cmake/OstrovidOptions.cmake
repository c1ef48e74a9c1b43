# Warnings, sanitizers and SIMD flags shared by every target of the project.

add_library(ostrovid_warnings INTERFACE)
target_compile_options(ostrovid_warnings INTERFACE
    -Wall -Wextra -Wpedantic -Wshadow=local -Wnon-virtual-dtor -Wcast-align
    -Wimplicit-fallthrough -Wformat=2 -Werror=return-type)

if(OSTROVID_SANITIZE STREQUAL "address")
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
elseif(OSTROVID_SANITIZE STREQUAL "thread")
    add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
    add_link_options(-fsanitize=thread)
elseif(NOT OSTROVID_SANITIZE STREQUAL "")
    message(FATAL_ERROR "OSTROVID_SANITIZE must be empty, 'address' or 'thread'")
endif()

# OSTROVID_ASSERT (platform/contract.h) is checked in debug and sanitizer builds, compiled out in
# release builds.
if(CMAKE_BUILD_TYPE STREQUAL "Debug" OR NOT OSTROVID_SANITIZE STREQUAL "")
    add_compile_definitions(OSTROVID_CONTRACTS)
endif()

# Applied only to the few translation units that run dlib's network and HOG scanner. Sanitizer
# builds compile them at -O1. UBSan's pointer checks (alignment, null, object-size,
# pointer-overflow) on dlib's network templates take GCC over 20 GB per file, so those files go
# without them; every other check stays.
add_library(ostrovid_simd INTERFACE)
if(OSTROVID_SANITIZE STREQUAL "")
    set(simd_optimisation -O3)
elseif(OSTROVID_SANITIZE STREQUAL "address")
    set(simd_optimisation -O1 -fno-sanitize=alignment,null,object-size,pointer-overflow)
else()
    set(simd_optimisation -O1)
endif()
if(OSTROVID_NATIVE_SIMD)
    target_compile_options(ostrovid_simd INTERFACE ${simd_optimisation} -march=native)
else()
    target_compile_options(ostrovid_simd INTERFACE ${simd_optimisation})
endif()

# Targets that compile dlib's network or HOG templates take up to several GB per translation unit;
# with Ninja they share one compile slot so that two of them never run side by side.
set_property(GLOBAL APPEND PROPERTY JOB_POOLS dlib_heavy=1)
function(ostrovid_dlib_heavy)
    set_property(TARGET ${ARGN} PROPERTY JOB_POOL_COMPILE dlib_heavy)
endfunction()

# ostrovid_add_library(<name> [SOURCES ...] [DEPENDS ...]): the folder's static library, built
# from the listed sources or, without SOURCES, from every .cpp file of the folder.
function(ostrovid_add_library name)
    cmake_parse_arguments(ARG "" "" "SOURCES;DEPENDS" ${ARGN})
    if(NOT ARG_SOURCES)
        file(GLOB ARG_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
    endif()
    add_library(${name} STATIC ${ARG_SOURCES})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${ARG_DEPENDS} PRIVATE ostrovid_warnings)
endfunction()

# ostrovid_add_test(<name> SOURCES ... [DEPENDS ...] [LABELS ...]): one GoogleTest binary.
function(ostrovid_add_test name)
    cmake_parse_arguments(ARG "" "" "SOURCES;DEPENDS;LABELS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_DEPENDS} GTest::gtest GTest::gtest_main GTest::gmock ostrovid_warnings)
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES LABELS "${ARG_LABELS}")
endfunction()
