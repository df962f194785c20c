# The shared library carries hidapi (its static hidraw build, whole) so that the hid_*
# functions are the library's own exports, unchanged: a host that links only the
# control's library can call them. Falls back to the shared hidapi when no static one.
find_library(OCUVANT_HIDAPI_STATIC NAMES libhidapi-hidraw.a)
if(OCUVANT_HIDAPI_STATIC)
  target_link_libraries(ocuvant PRIVATE -Wl,--whole-archive ${OCUVANT_HIDAPI_STATIC}
                        -Wl,--no-whole-archive PkgConfig::UDEV)
else()
  target_link_libraries(ocuvant PRIVATE PkgConfig::HIDAPI)
endif()
