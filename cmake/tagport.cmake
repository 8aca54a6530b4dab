# Shared build rules.

# Windows code with our warning level; everything links statically so that only system DLLs are imported.
function(tagport_windows_target target)
    target_compile_definitions(${target} PRIVATE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "EXECUTABLE" OR type STREQUAL "SHARED_LIBRARY" OR type STREQUAL "MODULE_LIBRARY")
        target_link_options(${target} PRIVATE -static -static-libgcc -static-libstdc++)
    endif()
endfunction()

function(tagport_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
endfunction()

# Product code: warnings as errors, no exceptions.
function(tagport_product_target target)
    tagport_windows_target(${target})
    tagport_warnings(${target})
    target_compile_options(${target} PRIVATE $<$<COMPILE_LANGUAGE:CXX>:-fno-exceptions>)
endfunction()

# Adds each named folder that has a CMakeLists.txt (folders fill in as the project grows).
macro(tagport_add_subdirectories)
    foreach(dir ${ARGN})
        if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/CMakeLists.txt)
            add_subdirectory(${dir})
        endif()
    endforeach()
endmacro()

# A GoogleTest program run by ctest through Wine: tagport_add_test(name SOURCES ... [LIBS ...] [LABELS ...])
function(tagport_add_test name)
    cmake_parse_arguments(T "" "" "SOURCES;LIBS;LABELS" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    tagport_windows_target(${name})
    tagport_warnings(${name})
    target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR})
    target_link_libraries(${name} PRIVATE ${T_LIBS} tagport_test_support GTest::gtest GTest::gmock)
    add_test(NAME ${name} COMMAND ${name} --gtest_brief=1)
    set_tests_properties(${name} PROPERTIES LABELS "${T_LABELS}")
endfunction()
