# The Debian package: `cpack -G DEB` in a build folder; scripts/package builds a Release tree
# and runs it. The package holds what `cmake --install` installs, under /usr.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME feedwright)
set(CPACK_PACKAGE_VENDOR Quillmark)
set(CPACK_PACKAGE_CONTACT "Quillmark <support@feedwright.example>")
set(CPACK_PACKAGE_HOMEPAGE_URL https://www.feedwright.example/)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "download web feeds and save their entries as files")
# The package's long description, in lines short enough for a terminal.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "Feedwright downloads every feed of a list of addresses (RSS 2.0, RSS 1.0/RDF"
  "and Atom), lists their entries with a tick box each, and saves every ticked"
  "entry as one file holding its title, description and link. A batch mode does"
  "the same job from the command line without a display.")
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The libraries the program links come from dpkg-shlibdeps. Qt loads its windowing plugins at
# run time, so the window needs them named; the batch mode runs without.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS qt6-qpa-plugins)
# The window asks for Arial; Liberation Sans stands in for it with the same metrics.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS fonts-liberation)

include(CPack)
