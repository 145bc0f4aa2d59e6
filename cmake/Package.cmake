# The desktop entry, icons and AppStream data, and the Debian package (`make package` runs cpack).
include(GNUInstallDirs)

install(FILES ${CMAKE_SOURCE_DIR}/packaging/corvane2.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/corvane2.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/corvane2)
install(FILES ${CMAKE_SOURCE_DIR}/resources/logo.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
  RENAME corvane2.svg)

# The bitmap icons are drawn from the logo at build time; ImageMagick is the fallback because the
# project's dependencies already bring it.
find_program(CORVANE_RSVG_CONVERT rsvg-convert)
find_program(CORVANE_IMAGEMAGICK_CONVERT convert)
set(icon_outputs)
foreach(size 48 128 256)
  set(icon ${CMAKE_BINARY_DIR}/icons/${size}/corvane2.png)
  if(CORVANE_RSVG_CONVERT)
    set(draw ${CORVANE_RSVG_CONVERT} -w ${size} -h ${size} -o ${icon} ${CMAKE_SOURCE_DIR}/resources/logo.svg)
  elseif(CORVANE_IMAGEMAGICK_CONVERT)
    set(draw ${CORVANE_IMAGEMAGICK_CONVERT} -background none -density 1200 ${CMAKE_SOURCE_DIR}/resources/logo.svg
        -resize ${size}x${size} ${icon})
  else()
    message(WARNING "Neither rsvg-convert nor ImageMagick's convert was found: no bitmap icons are installed")
    break()
  endif()
  add_custom_command(OUTPUT ${icon}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/icons/${size}
    COMMAND ${draw}
    DEPENDS ${CMAKE_SOURCE_DIR}/resources/logo.svg
    VERBATIM)
  list(APPEND icon_outputs ${icon})
  install(FILES ${icon} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
add_custom_target(icons ALL DEPENDS ${icon_outputs})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME corvane2)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Corvane 2 developers <corvane2@corvane2.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "network media sniffer, video site downloader and screen recorder")
set(CPACK_PACKAGE_DESCRIPTION
  "Corvane 2 lists the media programs fetch over the network, HLS and DASH
streams included, so they can be played or saved. It also downloads from
video sites in a chosen format with yt-dlp, and records the screen or a
region of it with ffmpeg.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://corvane2.example/)
# dpkg-shlibdeps names the libraries; the programs the executable starts, and the Qt plugins it loads
# at run time, are not linked and so are listed here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
  "libqt6svg6, qt6-image-formats-plugins, qt6-qpa-plugins, ffmpeg, yt-dlp, python3, pulseaudio-utils, libcap2-bin, passwd")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_SOURCE_DIR}/packaging/postinst ${CMAKE_SOURCE_DIR}/packaging/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
