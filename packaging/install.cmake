# Installation and packages. Natively: the programs, the desktop entry, the
# icon, the screen file type, the thumbnailer, the AppStream data and the
# manual pages under the usual prefix folders, packed by CPack into a .deb.
# For Windows: the two programs and a README at the top of a .zip.

# The version the main window's title shows.
set(KELPIE_VERSION 0.2)
set(KELPIE_APP_ID org.kelpie.Kelpie)
set(KELPIE_PROJECT_URL "https://kelpie.example.org" CACHE STRING
  "Where Kelpie's sources are published; the AppStream data links its README screenshot there")
set(KELPIE_PACKAGE_MAINTAINER "Kelpie developers <kelpie@example.org>" CACHE STRING
  "The Maintainer field of the .deb")

set(packaging_source ${CMAKE_CURRENT_LIST_DIR})
set(packaging_binary ${CMAKE_BINARY_DIR}/packaging)

if(WIN32)
  install(TARGETS kelpie kelpie-render RUNTIME DESTINATION .)
  install(FILES ${packaging_source}/windows/README.txt DESTINATION .)
  set(CPACK_GENERATOR ZIP)
else()
  include(GNUInstallDirs)
  set(data ${CMAKE_INSTALL_DATADIR})
  install(TARGETS kelpie-render RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${packaging_source}/linux/kelpie.thumbnailer DESTINATION ${data}/thumbnailers)
  install(FILES ${packaging_source}/linux/${KELPIE_APP_ID}.mime.xml
    DESTINATION ${data}/mime/packages RENAME ${KELPIE_APP_ID}.xml)

  # Debian wants manual pages and the changelog compressed, without a time stamp.
  set(compressed)
  foreach(file man/kelpie.1 man/kelpie-render.1 debian/changelog)
    get_filename_component(name ${file} NAME)
    add_custom_command(OUTPUT ${packaging_binary}/${name}.gz
      COMMAND ${CMAKE_COMMAND} -E copy ${packaging_source}/${file} ${packaging_binary}/${name}
      COMMAND gzip -9nf ${packaging_binary}/${name}
      DEPENDS ${packaging_source}/${file} VERBATIM)
    list(APPEND compressed ${packaging_binary}/${name}.gz)
  endforeach()
  add_custom_target(kelpie_compressed_docs ALL DEPENDS ${compressed})
  install(FILES ${packaging_binary}/kelpie-render.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${packaging_binary}/changelog.gz ${packaging_source}/debian/copyright
    DESTINATION ${data}/doc/kelpie)

  # The viewer and its desktop entry where GTK 3 was found to build it.
  if(TARGET kelpie)
    install(TARGETS kelpie RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    install(FILES ${packaging_binary}/kelpie.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    install(FILES ${packaging_source}/linux/${KELPIE_APP_ID}.desktop DESTINATION ${data}/applications)
    configure_file(${packaging_source}/linux/${KELPIE_APP_ID}.metainfo.xml.in
      ${packaging_binary}/${KELPIE_APP_ID}.metainfo.xml @ONLY)
    install(FILES ${packaging_binary}/${KELPIE_APP_ID}.metainfo.xml DESTINATION ${data}/metainfo)
    install(FILES ${packaging_source}/icons/kelpie.svg
      DESTINATION ${data}/icons/hicolor/scalable/apps RENAME ${KELPIE_APP_ID}.svg)
    # The PNGs are rendered from the SVG by packaging/icons/render-pngs.sh.
    file(GLOB icon_pngs ${packaging_source}/icons/kelpie-*.png)
    foreach(png ${icon_pngs})
      string(REGEX REPLACE ".*kelpie-([0-9]+)\\.png$" "\\1" size ${png})
      install(FILES ${png} DESTINATION ${data}/icons/hicolor/${size}x${size}/apps
        RENAME ${KELPIE_APP_ID}.png)
    endforeach()
  endif()

  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_PACKAGE_NAME kelpie)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${KELPIE_PACKAGE_MAINTAINER}")
  set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${KELPIE_PROJECT_URL}")
  # Depends from the libraries the programs link (dpkg-shlibdeps).
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # The desktop's caches (file types, the entry's types, icons) are refreshed
  # by the triggers of the packages that own them: no maintainer scripts.
endif()

set(CPACK_PACKAGE_NAME kelpie)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_VERSION ${KELPIE_VERSION})
set(CPACK_PACKAGE_VENDOR "Kelpie developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "viewer for ZX Spectrum screen files and their attribute seams")
# Lines of the .deb's extended description: at most 80 characters each.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "Kelpie shows a ZX Spectrum screen dump (a 6912-byte .scr file) three times"
  "enlarged and marks its attribute seams, the cell edges where ink and paper"
  "stand swapped against the cell to the left. kelpie-render renders a screen"
  "file to a PNG picture and makes the file manager's thumbnails of screen files.")
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
  GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
