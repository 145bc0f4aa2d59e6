# The program expects its external tools beside its executable. Here they are the system's programs:
# links to ffmpeg and ffplay, and a launcher of yt-dlp that prints format listings in the layout the
# program parses. Nothing is downloaded.
find_program(CORVANE_FFMPEG ffmpeg REQUIRED)
find_program(CORVANE_FFPLAY ffplay REQUIRED)
find_program(CORVANE_YTDLP yt-dlp REQUIRED)

set(CORVANE_TOOLS_DIR ${CMAKE_BINARY_DIR})
file(CREATE_LINK ${CORVANE_FFMPEG} ${CORVANE_TOOLS_DIR}/ffmpeg SYMBOLIC)
file(CREATE_LINK ${CORVANE_FFPLAY} ${CORVANE_TOOLS_DIR}/ffplay SYMBOLIC)
configure_file(${CMAKE_SOURCE_DIR}/scripts/ytdl.in ${CORVANE_TOOLS_DIR}/ytdl
  @ONLY FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# The first run moves the template away, so every build lays it out again.
add_custom_target(settings_template ALL
  COMMAND ${CMAKE_COMMAND} -E copy_if_different
          ${CMAKE_SOURCE_DIR}/resources/sniffer.ini ${CORVANE_TOOLS_DIR}/sniffer.ini
  COMMENT "Placing sniffer.ini beside the executable")

include(GNUInstallDirs)
install(PROGRAMS ${CORVANE_TOOLS_DIR}/ytdl DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/corvane2)
install(FILES ${CMAKE_SOURCE_DIR}/resources/sniffer.ini DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/corvane2)
install(CODE "
  file(CREATE_LINK ${CORVANE_FFMPEG} \$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBEXECDIR}/corvane2/ffmpeg SYMBOLIC)
  file(CREATE_LINK ${CORVANE_FFPLAY} \$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBEXECDIR}/corvane2/ffplay SYMBOLIC)
  file(MAKE_DIRECTORY \$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR})
  file(CREATE_LINK ../${CMAKE_INSTALL_LIBEXECDIR}/corvane2/corvane2 \$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/corvane2 SYMBOLIC)
")
