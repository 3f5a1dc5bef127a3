# nalvo_library(<name> [DEPS <targets...>])
# One static library per subsystem folder; sources are every .cpp/.h below
# the folder, so adding a file needs no edit here.
function(nalvo_library name)
    cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
    file(GLOB_RECURSE _src CONFIGURE_DEPENDS
        ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp
        ${CMAKE_CURRENT_SOURCE_DIR}/*.h
        ${CMAKE_CURRENT_SOURCE_DIR}/*.qrc)
    add_library(${name} STATIC ${_src})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${ARG_DEPS})
    target_compile_definitions(${name} PUBLIC NALVO_VERSION_STRING="${NALVO_VERSION_STRING}")
endfunction()

# nalvo_test(<name> SOURCES <files...> LIBS <targets...> [GUI])
# A QtTest executable registered with CTest. Every test runs on the
# offscreen platform with its own application folder, so nothing is written
# beside the binaries or into the user's settings.
function(nalvo_test name)
    cmake_parse_arguments(ARG "GUI" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} Qt5::Test)
    add_test(NAME ${name} COMMAND ${name})
    set(_env "QT_QPA_PLATFORM=offscreen"
             "NALVO_APP_DIR=${CMAKE_CURRENT_BINARY_DIR}/appdir-${name}"
             "LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/lsan.supp"
             "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1")
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "${_env}" TIMEOUT 300)
endfunction()

# nalvo_fuzzer(<name> SOURCES <files...> LIBS <targets...> CORPUS <dir>)
# A libFuzzer target; CTest runs it over its seed corpus and then for a
# short bounded time.
function(nalvo_fuzzer name)
    cmake_parse_arguments(ARG "" "CORPUS;SECONDS" "SOURCES;LIBS" ${ARGN})
    if(NOT ARG_SECONDS)
        set(ARG_SECONDS 20)
    endif()
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS})
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
    set(_work ${CMAKE_CURRENT_BINARY_DIR}/${name}-corpus)
    add_test(NAME ${name}
        COMMAND ${CMAKE_COMMAND} -E env
            QT_QPA_PLATFORM=offscreen
            LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/lsan.supp
            sh -c "rm -rf '${_work}' && mkdir -p '${_work}' && cp -r '${ARG_CORPUS}'/. '${_work}'/ && $<TARGET_FILE:${name}> -max_total_time=${ARG_SECONDS} -rss_limit_mb=2048 -max_len=65536 '${_work}'")
    set_tests_properties(${name} PROPERTIES TIMEOUT 300)
endfunction()
