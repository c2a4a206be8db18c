# Run by ctest: installs the build tree into a scratch prefix, checks the layout, then configures
# and builds the consumer project (every installed header alone, the picture check and the
# installed examples) against it, runs the panorama example and checks its picture.
# Arguments: BUILD_DIR, CONSUMER_DIR, WORK_DIR, CXX_FLAGS, LAUNCHER (a compiler cache, may be empty).
# The work folder stays after a failure, for a look; a passing run removes it.
function(run what)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "${what} failed (${result}):\n${output}")
    endif()
    set(output "${output}" PARENT_SCOPE)
endfunction()

set(prefix ${WORK_DIR}/prefix)
file(REMOVE_RECURSE ${WORK_DIR})
run("cmake --install" ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})

# Everything under include/vantrel, nothing in generic top-level folders beside it.
file(GLOB top_level RELATIVE ${prefix}/include ${prefix}/include/*)
if(NOT top_level STREQUAL "vantrel")
    message(FATAL_ERROR "include/ should hold only vantrel/, holds: ${top_level}")
endif()
foreach(header transparency/IVTransparencyCache.h pano/IVRenderSoftPano.h screen/IVRenderEx.h
        host/render/IVRender.h apps/Camera.h apps/FisheyeTransform.h)
    if(NOT EXISTS ${prefix}/include/vantrel/${header})
        message(FATAL_ERROR "not installed: include/vantrel/${header}")
    endif()
endforeach()

run("configuring the consumer" ${CMAKE_COMMAND} -S ${CONSUMER_DIR} -B ${WORK_DIR}/build -G Ninja
    -DCMAKE_PREFIX_PATH=${prefix} -DCMAKE_CXX_FLAGS=${CXX_FLAGS} -DCMAKE_EXE_LINKER_FLAGS=${CXX_FLAGS}
    -DCMAKE_CXX_COMPILER_LAUNCHER=${LAUNCHER}
    -DVANTREL_EXAMPLES_DIR=${prefix}/share/doc/Vantrel/examples)
run("building the consumer" ${CMAKE_COMMAND} --build ${WORK_DIR}/build)

run("the panorama example" ${WORK_DIR}/build/examples/PanoramaExample ${WORK_DIR}/panorama.png)
message(STATUS "example: ${output}")
run("the consumer" ${WORK_DIR}/build/consumer ${WORK_DIR}/panorama.png)
message(STATUS "consumer: ${output}")
if(NOT output MATCHES "ZelLibrary::Dynamic::Vantrel")
    message(FATAL_ERROR "expected the information string 'ZelLibrary::Dynamic::Vantrel...', got:\n${output}")
endif()
file(REMOVE_RECURSE ${WORK_DIR})
