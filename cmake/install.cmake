# Installing the component as a CMake package that hosts find with
# find_package(PrintComponent CONFIG REQUIRED): the libraries, the headers (under
# include/print_component, included as "engine/datastore.h" and so on), the report definitions,
# the fontconfig file, printctl, and PrintComponentConfig.cmake.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(PRINT_INSTALL_INCLUDEDIR ${CMAKE_INSTALL_INCLUDEDIR}/print_component)
set(PRINT_INSTALL_DATADIR ${CMAKE_INSTALL_DATADIR}/print_component)
set(PRINT_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/PrintComponent)

# One target a host links for the component, one more for its Qt windows.
add_library(print_component INTERFACE)
target_link_libraries(print_component INTERFACE print_window print_render)
set_target_properties(print_component PROPERTIES EXPORT_NAME print)

set(print_export_targets print_common print_engine print_layout print_export print_db print_platform print_report_defs
    print_designer print_render print_service print_panels print_window print_component)
set(PRINT_PACKAGE_QT_COMPONENTS "")
if(TARGET print_qt)
    list(APPEND print_export_targets print_qt ${PRINT_QT_RESOURCE_TARGETS})
    set_target_properties(print_qt PROPERTIES EXPORT_NAME qt)
    set(PRINT_PACKAGE_QT_COMPONENTS "Widgets PrintSupport")
endif()

install(TARGETS ${print_export_targets}
    EXPORT PrintComponentTargets
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
    OBJECTS DESTINATION ${CMAKE_INSTALL_LIBDIR}/print_component
    INCLUDES DESTINATION ${PRINT_INSTALL_INCLUDEDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/src/ DESTINATION ${PRINT_INSTALL_INCLUDEDIR}
    FILES_MATCHING PATTERN "*.h")
install(DIRECTORY ${PROJECT_SOURCE_DIR}/src/report_defs/defs/ DESTINATION ${PRINT_INSTALL_DATADIR}/defs
    FILES_MATCHING PATTERN "*.srd")
install(FILES ${PROJECT_SOURCE_DIR}/src/render/fonts/65-print-chinese.conf
    DESTINATION ${PRINT_INSTALL_DATADIR}/fonts)
install(TARGETS printctl RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(EXPORT PrintComponentTargets NAMESPACE PrintComponent:: DESTINATION ${PRINT_INSTALL_CMAKEDIR})

configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/PrintComponentConfig.cmake.in
    ${CMAKE_CURRENT_BINARY_DIR}/PrintComponentConfig.cmake
    INSTALL_DESTINATION ${PRINT_INSTALL_CMAKEDIR}
    PATH_VARS PRINT_INSTALL_DATADIR)
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/PrintComponentConfigVersion.cmake
    VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/PrintComponentConfig.cmake
    ${CMAKE_CURRENT_BINARY_DIR}/PrintComponentConfigVersion.cmake
    DESTINATION ${PRINT_INSTALL_CMAKEDIR})
