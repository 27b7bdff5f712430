# The product version in one place: project(gpsupdate VERSION ...) in the top
# CMakeLists.txt. It reaches the programs as GpsUpdateVersion.h, generated in
# the build tree and exposed by the INTERFACE library gps_version.
configure_file(${CMAKE_CURRENT_LIST_DIR}/GpsUpdateVersion.h.in
               ${PROJECT_BINARY_DIR}/generated/GpsUpdateVersion.h @ONLY)
add_library(gps_version INTERFACE)
target_include_directories(gps_version INTERFACE ${PROJECT_BINARY_DIR}/generated)

foreach(program gpsupdate gpsupdate-auto gpsupdate-station gpsupdate-history gpsunit-sim apdtool)
    if(TARGET ${program})
        target_link_libraries(${program} PRIVATE gps_version)
    endif()
endforeach()
