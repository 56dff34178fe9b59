# Installs the library's two components (runtime, development) of the build into a
# temporary prefix, then builds and runs a consumer with find_package(tessary) and, when
# pkg-config is there, a second one from the .pc file.
# Arguments: -DBUILD_DIR= -DWORK_DIR= -DSOURCE_DIR= -DLIBDIR= -DCXX= [-DCXX_FLAGS=]
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})
set(prefix ${WORK_DIR}/prefix)

function(run)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
    if(NOT rc EQUAL 0)
        message(FATAL_ERROR "failed (${rc}): ${ARGN}\n${out}\n${err}")
    endif()
    message(STATUS "${out}")
endfunction()

foreach(component tessary tessary_dev)
    run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix} --component ${component})
endforeach()
file(GLOB_RECURSE installed RELATIVE ${prefix} ${prefix}/*)
message(STATUS "installed: ${installed}")
foreach(expected include/tessary/tessary.h ${LIBDIR}/cmake/tessary/tessaryConfig.cmake
                 ${LIBDIR}/cmake/tessary/tessaryConfigVersion.cmake ${LIBDIR}/pkgconfig/tessary.pc
                 ${LIBDIR}/libtessary.so.6 ${LIBDIR}/libtessary.so)
    if(NOT EXISTS ${prefix}/${expected})
        message(FATAL_ERROR "not installed: ${expected}")
    endif()
endforeach()

run(${CMAKE_COMMAND} -S ${SOURCE_DIR}/consumer -B ${WORK_DIR}/build
    -DCMAKE_PREFIX_PATH=${prefix} -DCMAKE_CXX_COMPILER=${CXX} "-DCMAKE_CXX_FLAGS=${CXX_FLAGS}"
    "-DCMAKE_EXE_LINKER_FLAGS=${CXX_FLAGS}")
run(${CMAKE_COMMAND} --build ${WORK_DIR}/build)
run(${WORK_DIR}/build/consumer)

# A version of another major must not be accepted.
file(WRITE ${WORK_DIR}/major/CMakeLists.txt
     "cmake_minimum_required(VERSION 3.25)\nproject(m LANGUAGES CXX)\nfind_package(tessary 7 REQUIRED)\n")
execute_process(COMMAND ${CMAKE_COMMAND} -S ${WORK_DIR}/major -B ${WORK_DIR}/major/build
                        -DCMAKE_PREFIX_PATH=${prefix}
                RESULT_VARIABLE rc OUTPUT_QUIET ERROR_QUIET)
if(rc EQUAL 0)
    message(FATAL_ERROR "find_package(tessary 7) accepted version 6")
endif()

find_program(PKG_CONFIG pkg-config)
if(PKG_CONFIG)
    set(ENV{PKG_CONFIG_PATH} ${prefix}/${LIBDIR}/pkgconfig)
    execute_process(COMMAND ${PKG_CONFIG} --cflags --libs tessary OUTPUT_VARIABLE flags
                    RESULT_VARIABLE rc OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT rc EQUAL 0)
        message(FATAL_ERROR "pkg-config does not know tessary")
    endif()
    separate_arguments(flags UNIX_COMMAND "${flags}")
    separate_arguments(extra UNIX_COMMAND "${CXX_FLAGS}")
    run(${CXX} -std=c++20 ${extra} ${SOURCE_DIR}/consumer/main.cpp ${flags}
        -Wl,-rpath,${prefix}/${LIBDIR} -o ${WORK_DIR}/consumer_pc)
    run(${WORK_DIR}/consumer_pc)
endif()
