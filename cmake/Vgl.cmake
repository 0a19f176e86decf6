# Helpers shared by every folder's CMakeLists.txt.

# vgl_library(<target> [DEPS <targets>...])
# A static library made of every .cpp in the calling folder. Includes are written from the
# repository root ("platform/rtl/sysutils.h").
function(vgl_library target)
    cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.c)
    if(NOT sources)
        # A folder whose first source has not landed yet still configures.
        set(sources ${PROJECT_SOURCE_DIR}/cmake/empty.cpp)
    endif()
    add_library(${target} STATIC ${sources})
    target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${target} PUBLIC ${ARG_DEPS})
endfunction()

# vgl_test(<target> LABEL <label> [DEPS <targets>...])
# One test executable made of every *_test.cpp in the calling folder, registered with CTest
# under the folder's label.
function(vgl_test target)
    cmake_parse_arguments(ARG "" "LABEL" "DEPS" ${ARGN})
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
    if(NOT sources)
        return()
    endif()
    add_executable(${target} ${sources})
    target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${target} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gtest_main Threads::Threads)
    target_compile_definitions(${target} PRIVATE VGL_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
                                                 VGL_TEST_DATA_DIR="${CMAKE_CURRENT_SOURCE_DIR}/data")
    gtest_discover_tests(${target} PROPERTIES LABELS ${ARG_LABEL} DISCOVERY_TIMEOUT 60)
endfunction()
