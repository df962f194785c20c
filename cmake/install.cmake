# Installed layout (prefix /usr for the Debian package):
#   lib/libocuvant.so                      the control
#   include/ocuvant/ocuvant_c.h            the C interface
#   include/ocuvant/<layer>/*.h            the C++ interface (control/ocuvant_ctrl.h)
#   lib/pkgconfig/ocuvant.pc
#   lib/ocuvant/ocuvant                    the host, beside the reference face library it
#   lib/ocuvant/TravexFace(32bit).so       loads from its own folder; bin/ocuvant links to it
#   lib/udev/rules.d/70-ocuvant.rules      device access for the user at the seat
install(TARGETS ocuvant LIBRARY DESTINATION lib)
install(FILES ${CMAKE_SOURCE_DIR}/control/ocuvant_c.h DESTINATION include/ocuvant)
foreach(dir control platform session capture device engine support)
  install(DIRECTORY ${CMAKE_SOURCE_DIR}/${dir} DESTINATION include/ocuvant
          FILES_MATCHING PATTERN "*.h")
endforeach()
configure_file(${CMAKE_SOURCE_DIR}/packaging/ocuvant.pc.in ${CMAKE_BINARY_DIR}/ocuvant.pc @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/ocuvant.pc DESTINATION lib/pkgconfig)
install(TARGETS ocuvant_host RUNTIME DESTINATION lib/ocuvant)
if(TARGET travex_face_reference)
  install(TARGETS travex_face_reference LIBRARY DESTINATION lib/ocuvant)
endif()
install(CODE "
  set(bin \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/bin\")
  file(MAKE_DIRECTORY \"\${bin}\")
  file(CREATE_LINK ../lib/ocuvant/ocuvant \"\${bin}/ocuvant\" SYMBOLIC)
")
install(FILES ${CMAKE_SOURCE_DIR}/packaging/70-ocuvant.rules DESTINATION lib/udev/rules.d)

# cpack -G DEB: one package, its library dependencies found by dpkg-shlibdeps.
set(CPACK_PACKAGE_NAME ocuvant)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Ocuvant developers <ocuvant@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Iris enrollment and identification control")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# udev picks the rule up without a restart; the running session gets it on the next plug.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "udev")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_SOURCE_DIR}/packaging/postinst)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
