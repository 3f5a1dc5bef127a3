# nalvo_library(<name> [UI] [DEPS <targets...>])
# One static library per subsystem folder; sources are every .cpp/.h below
# the folder, so adding a file needs no edit here. UI: the folder's Qt
# Designer forms (*.ui) are compiled by AUTOUIC.
function(nalvo_library name)
    cmake_parse_arguments(ARG "UI" "" "DEPS" ${ARGN})
    set(_patterns *.cpp *.h *.qrc)
    if(ARG_UI)
        list(APPEND _patterns *.ui)
    endif()
    list(TRANSFORM _patterns PREPEND ${CMAKE_CURRENT_SOURCE_DIR}/)
    file(GLOB_RECURSE _src CONFIGURE_DEPENDS ${_patterns})
    add_library(${name} STATIC ${_src})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${ARG_DEPS})
    target_compile_definitions(${name} PUBLIC NALVO_VERSION_STRING="${NALVO_VERSION_STRING}")
    if(ARG_UI)
        set_target_properties(${name} PROPERTIES AUTOUIC ON)
    endif()
endfunction()

# nalvo_test(<name> SOURCES <files...> LIBS <targets...> [GUI] [THREADS])
# A QtTest executable registered with CTest. Every test runs on the
# offscreen platform with its own application folder, so nothing is written
# beside the binaries or into the user's settings.
#   GUI      the test shows widgets: it runs a second time on a real X11
#            server under xvfb-run (test "<name>-x11", label "x11"; with
#            PARTS one entry per part, "<name>-x11-1", ...), where style
#            and focus faults show that offscreen hides. Nothing here
#            draws with OpenGL, so the GLX integration (whose driver keeps
#            allocations past exit) is not loaded.
#   THREADS  the test exercises worker threads: label "threads", and it joins
#            the target nalvo_thread_tests that CI builds under
#            ThreadSanitizer.
#   PARTS    lists of its arguments (test functions, or a part of its
#            table), each run as a CTest entry of its own (see
#            nalvo_test_entries).
function(nalvo_test name)
    cmake_parse_arguments(ARG "GUI;THREADS" "" "SOURCES;LIBS;PARTS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} Qt5::Test)
    nalvo_test_entries(${name} "${ARG_PARTS}" ${name})
    set(_offscreen ${_entries})
    set(_common "LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/lsan.supp"
                "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1"
                "QTEST_DISABLE_STACK_DUMP=1"
                "TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:suppressions=${PROJECT_SOURCE_DIR}/tests/tsan.supp")
    foreach(_entry IN LISTS _offscreen)
        set_tests_properties(${_entry} PROPERTIES
            ENVIRONMENT "QT_QPA_PLATFORM=offscreen;NALVO_APP_DIR=${CMAKE_CURRENT_BINARY_DIR}/appdir-${_entry};${_common}"
            TIMEOUT 300)
    endforeach()
    set(_labels "")
    if(ARG_THREADS)
        list(APPEND _labels threads)
        set_property(GLOBAL APPEND PROPERTY NALVO_THREAD_TESTS ${name})
    endif()
    if(ARG_GUI)
        list(APPEND _labels gui)
        if(NALVO_XVFB_RUN)
            nalvo_test_entries(${name}-x11 "${ARG_PARTS}"
                ${NALVO_XVFB_RUN} -a -s "-screen 0 1920x1200x24" $<TARGET_FILE:${name}>)
            foreach(_entry IN LISTS _entries)
                set_tests_properties(${_entry} PROPERTIES
                    ENVIRONMENT "QT_QPA_PLATFORM=xcb;QT_XCB_GL_INTEGRATION=none;NALVO_APP_DIR=${CMAKE_CURRENT_BINARY_DIR}/appdir-${_entry};${_common}"
                    LABELS x11 RESOURCE_LOCK xvfb TIMEOUT 300)
            endforeach()
        endif()
    endif()
    if(_labels)
        set_property(TEST ${_offscreen} PROPERTY LABELS ${_labels})
    endif()
endfunction()

# The CTest entries of a test program, run by the command after parts: one
# running it whole, or where parts are given (each a space-separated list
# of its arguments), one per part, named <name>-1, <name>-2, ..., so that a
# long program's functions run side by side and each within its limit. The
# names of the entries go to _entries in the caller.
function(nalvo_test_entries name parts)
    set(_names "")
    if(NOT parts)
        add_test(NAME ${name} COMMAND ${ARGN})
        list(APPEND _names ${name})
    else()
        set(_index 0)
        foreach(_part IN LISTS parts)
            math(EXPR _index "${_index} + 1")
            separate_arguments(_functions UNIX_COMMAND "${_part}")
            add_test(NAME ${name}-${_index} COMMAND ${ARGN} ${_functions})
            list(APPEND _names ${name}-${_index})
        endforeach()
    endif()
    set(_entries ${_names} PARENT_SCOPE)
endfunction()

# nalvo_fuzzer(<name> SOURCES <files...> LIBS <targets...> CORPUS <dir> [CORPUS_ONLY])
# A libFuzzer target; CTest runs it over its seed corpus and then for a
# short bounded time (CORPUS_ONLY: over its corpus alone, for a target
# whose mutated inputs still find known faults). The fuzzer's progress goes
# to a log; a failure prints the log's end and every input it found in
# base64, so that a run elsewhere can be reproduced here.
function(nalvo_fuzzer name)
    cmake_parse_arguments(ARG "CORPUS_ONLY" "CORPUS;SECONDS" "SOURCES;LIBS" ${ARGN})
    if(NOT ARG_SECONDS)
        set(ARG_SECONDS 20)
    endif()
    set(_bound -max_total_time=${ARG_SECONDS})
    if(ARG_CORPUS_ONLY)
        set(_bound -runs=0)
    endif()
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS})
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
    set(_work ${CMAKE_CURRENT_BINARY_DIR}/${name}-corpus)
    add_test(NAME ${name}
        COMMAND ${CMAKE_COMMAND} -E env
            QT_QPA_PLATFORM=offscreen
            LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/lsan.supp
            UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
            sh -c "rm -rf '${_work}' '${_work}-found' && mkdir -p '${_work}' '${_work}-found' && cp -r '${ARG_CORPUS}'/. '${_work}'/ && $<TARGET_FILE:${name}> ${_bound} -rss_limit_mb=2048 -max_len=65536 -artifact_prefix='${_work}-found/' '${_work}' >'${_work}.log' 2>&1 || { tail -n 80 '${_work}.log'; for f in '${_work}-found'/*; do [ -f \"$f\" ] || continue; echo \"input $f, base64:\"; base64 -w 0 \"$f\"; echo; done; exit 1; }")
    set_tests_properties(${name} PROPERTIES TIMEOUT 300)
endfunction()
