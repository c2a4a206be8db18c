# Installation: `cmake --install` puts the library, the stand-in host's module libraries, their
# headers (paths kept, so `#include "transparency/IVTransparencyCache.h"` works as in the tree),
# the renderer and a CMake package into the prefix; another project then does
# find_package(Vantrel) and links Vantrel::vantrel.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(VANTREL_INSTALLED_LIBRARIES
    vantrel
    vantrel_host_math vantrel_host_base vantrel_host_mesh vantrel_host_render
    vantrel_host_render_soft vantrel_host_framework vantrel_host_win32)

# The libraries find each other next to themselves, and the renderer finds them in ../lib.
foreach(library IN LISTS VANTREL_INSTALLED_LIBRARIES)
    get_target_property(library_type ${library} TYPE)
    if(library_type STREQUAL "SHARED_LIBRARY")
        set_target_properties(${library} PROPERTIES INSTALL_RPATH "$ORIGIN")
    endif()
endforeach()

install(TARGETS ${VANTREL_INSTALLED_LIBRARIES}
    EXPORT VantrelTargets
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
    RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
    INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

if(TARGET vantrel-render)
    set_target_properties(vantrel-render PROPERTIES INSTALL_RPATH "$ORIGIN/../${CMAKE_INSTALL_LIBDIR}")
    install(TARGETS vantrel-render RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

install(DIRECTORY
    ${PROJECT_SOURCE_DIR}/host
    ${PROJECT_SOURCE_DIR}/module
    ${PROJECT_SOURCE_DIR}/containers
    ${PROJECT_SOURCE_DIR}/transparency
    ${PROJECT_SOURCE_DIR}/pano
    ${PROJECT_SOURCE_DIR}/screen
    DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
    FILES_MATCHING PATTERN "*.h")

set(VANTREL_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Vantrel)
install(EXPORT VantrelTargets NAMESPACE Vantrel:: DESTINATION ${VANTREL_CMAKE_DIR})
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/VantrelConfig.cmake.in
    ${PROJECT_BINARY_DIR}/VantrelConfig.cmake
    INSTALL_DESTINATION ${VANTREL_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/VantrelConfigVersion.cmake
    VERSION ${PROJECT_VERSION}
    COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/VantrelConfig.cmake ${PROJECT_BINARY_DIR}/VantrelConfigVersion.cmake
    DESTINATION ${VANTREL_CMAKE_DIR})
