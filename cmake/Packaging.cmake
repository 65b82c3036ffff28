# What installs beside the programs (desktop entry, MIME type, icons, AppStream
# metadata, manual pages, bash completion) and the Debian package:
#   cpack -G DEB --config build/CPackConfig.cmake
include(GNUInstallDirs)
set(LUMETRA_APP_ID org.quorvane.Lumetra)
set(res ${LUMETRA_SOURCE_DIR}/res)
# Debian's name for the folder, whatever case the project name has.
set(docdir ${CMAKE_INSTALL_DATADIR}/doc/lumetra)

# Manual pages, compressed reproducibly (no name or time stamp in the gzip header).
find_program(GZIP_PROGRAM gzip REQUIRED)
set(man_built)
foreach(page lumetra lumetra-tool lumetra-mail)
  set(out ${CMAKE_BINARY_DIR}/man/${page}.1.gz)
  add_custom_command(
    OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
    COMMAND sh -c "\"$0\" -9nc \"$1\" > \"$2\"" ${GZIP_PROGRAM} ${LUMETRA_SOURCE_DIR}/docs/man/${page}.1 ${out}
    DEPENDS ${LUMETRA_SOURCE_DIR}/docs/man/${page}.1
    VERBATIM)
  list(APPEND man_built ${out})
endforeach()
set(changelog ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
add_custom_command(
  OUTPUT ${changelog}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging
  COMMAND sh -c "\"$0\" -9nc \"$1\" > \"$2\"" ${GZIP_PROGRAM} ${LUMETRA_SOURCE_DIR}/packaging/debian/changelog ${changelog}
  DEPENDS ${LUMETRA_SOURCE_DIR}/packaging/debian/changelog
  VERBATIM)
add_custom_target(lumetra_docs ALL DEPENDS ${man_built} ${changelog})

install(FILES ${CMAKE_BINARY_DIR}/man/lumetra-tool.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${LUMETRA_SOURCE_DIR}/packaging/completion/lumetra-tool
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
install(FILES ${LUMETRA_SOURCE_DIR}/packaging/debian/copyright ${changelog} DESTINATION ${docdir})

if(LUMETRA_BUILD_GUI)
  install(FILES ${CMAKE_BINARY_DIR}/man/lumetra.1.gz ${CMAKE_BINARY_DIR}/man/lumetra-mail.1.gz
          DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${res}/${LUMETRA_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${res}/${LUMETRA_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  install(FILES ${res}/${LUMETRA_APP_ID}.mime.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages
          RENAME ${LUMETRA_APP_ID}.xml)
  foreach(size 16 22 24 32 48 64 128 256)
    install(FILES ${res}/icons/hicolor/${size}.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME ${LUMETRA_APP_ID}.png)
  endforeach()
  install(FILES ${res}/icons/lumetra.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
          RENAME ${LUMETRA_APP_ID}.svg)
  install(FILES ${res}/icons/lumetra-48.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/48x48/mimetypes
          RENAME application-x-lumetra-config.png)
  # The help pages are built into the program; a copy to read in a browser.
  file(GLOB help_pages ${res}/help/*.html)
  install(FILES ${help_pages} DESTINATION ${docdir}/html)

  # Straight into the system, for `cmake --install` only: a package registers
  # through its maintainer scripts and the desktop's triggers instead.
  install(CODE "
    find_program(UPDATE_MIME update-mime-database)
    if(UPDATE_MIME AND NOT \"\$ENV{DESTDIR}\")
      execute_process(COMMAND \${UPDATE_MIME} \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/mime\" ERROR_QUIET OUTPUT_QUIET)
    endif()" COMPONENT system)
  install(CODE "
    set(apppaths \"\$ENV{DESTDIR}/etc/xdg/Quorvane/Lumetra/apppaths\")
    set(entry \"lumetra-mail=\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/lumetra-mail\")
    set(lines \"\")
    if(EXISTS \"\${apppaths}\")
      file(STRINGS \"\${apppaths}\" lines)
      list(FILTER lines EXCLUDE REGEX \"^[ \\t]*[Ll][Uu][Mm][Ee][Tt][Rr][Aa]-[Mm][Aa][Ii][Ll][ \\t]*=\")
    endif()
    list(APPEND lines \"\${entry}\")
    list(JOIN lines \"\\n\" text)
    file(WRITE \"\${apppaths}\" \"\${text}\\n\")
    message(STATUS \"Registered: \${entry} in \${apppaths}\")" COMPONENT system)
endif()

# The Debian package. Dependencies on shared libraries come from dpkg-shlibdeps.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME lumetra)
set(CPACK_PACKAGE_VENDOR Quorvane)
set(CPACK_PACKAGE_CONTACT "Quorvane <lumetra@quorvane.org>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# Everything but the system registration above.
set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};${PROJECT_NAME};Unspecified;/")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION news)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://quorvane.org/lumetra/)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "xdg-utils")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-ipafont-gothic | fonts-noto-cjk, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Usenet newsreader for Japanese text
Lumetra reads and posts Usenet news from one NNTP server at a time: groups
as a tree, articles as threads, MIME parts and attachments. Japanese text in
ISO-2022-JP, EUC-JP and Shift_JIS is detected and converted; encoded words,
uuencode, BinHex, Base64 and quoted-printable are decoded. It opens news: and
nntp: links and connects over TLS.

The package also holds lumetra-tool, the codecs and the NNTP client on the
command line, and lumetra-mail, which hands mail to the desktop's composer.")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${LUMETRA_SOURCE_DIR}/packaging/debian/postinst
                                       ${LUMETRA_SOURCE_DIR}/packaging/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                                WORLD_READ WORLD_EXECUTE)
include(CPack)
