# Installation: `cmake --install` puts into the prefix
#   lib/               libvantrel.so, the stand-in host's module libraries, libvantrel_camera.a
#   include/vantrel/   every public header, paths kept (transparency/IVTransparencyCache.h,
#                      host/render/IVRender.h, apps/Camera.h), so includes read as in the tree
#   bin/               vantrel-render
#   lib/cmake/Vantrel/ the CMake package: find_package(Vantrel) gives Vantrel::vantrel (the library,
#                      bringing the host modules, Boost's headers and include/vantrel along) and
#                      Vantrel::camera (the camera and the panoramic transforms)
#   share/doc/Vantrel/examples/  the example programs, buildable against the package
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(VANTREL_INCLUDE_INSTALL_DIR ${CMAKE_INSTALL_INCLUDEDIR}/vantrel)

# The library's own public headers: those of the exported classes and objects, and what they
# include. Internal headers (the triangle walk, the transparency container, the gizmo's geometry)
# stay out, so a client cannot come to depend on them.
target_sources(vantrel PUBLIC FILE_SET HEADERS BASE_DIRS ${PROJECT_SOURCE_DIR} FILES
    module/VantrelExport.h
    module/VersionRecord.h
    module/ZelLibraryVersion.h
    transparency/IVTransparencyCache.h
    transparency/IVHugePageAllocator.h
    pano/IVRenderFactoryStubSoftPano.h
    pano/IVRenderSoftPano.h
    pano/IVPanoProjector.h
    pano/IVPanoColumns.h
    containers/IVVertexContainerSTLData.h
    containers/IVVertexContainerStlDataAnimation.h
    containers/IVVertexContainerStlDataTexturedAnimation.h
    containers/IVVertexContainerTexturedPlane.h
    containers/IVVertexContainerBoundingBox.h
    containers/IVVertexContainerFrame.h
    containers/IVVertexContainerM3dBorder.h
    containers/IVVertexContainerMStlSurfaceBorderContour.h
    screen/IVRenderEx.h
    screen/IVRenderExCBoundingBox.h)

set(VANTREL_INSTALLED_LIBRARIES
    vantrel vantrel_camera
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
    FILE_SET HEADERS DESTINATION ${VANTREL_INCLUDE_INSTALL_DIR})

if(TARGET vantrel-render)
    set_target_properties(vantrel-render PROPERTIES INSTALL_RPATH "$ORIGIN/../${CMAKE_INSTALL_LIBDIR}")
    install(TARGETS vantrel-render RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

# The stand-in host's headers are its whole interface, as a host SDK's would be.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/host
    DESTINATION ${VANTREL_INCLUDE_INSTALL_DIR}
    FILES_MATCHING PATTERN "*.h")

install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/
    DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)

set(VANTREL_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Vantrel)
install(EXPORT VantrelTargets NAMESPACE Vantrel:: DESTINATION ${VANTREL_CMAKE_DIR})
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/VantrelConfig.cmake.in
    ${PROJECT_BINARY_DIR}/VantrelConfig.cmake
    INSTALL_DESTINATION ${VANTREL_CMAKE_DIR}
    PATH_VARS VANTREL_INCLUDE_INSTALL_DIR)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/VantrelConfigVersion.cmake
    VERSION ${PROJECT_VERSION}
    COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/VantrelConfig.cmake ${PROJECT_BINARY_DIR}/VantrelConfigVersion.cmake
    DESTINATION ${VANTREL_CMAKE_DIR})
