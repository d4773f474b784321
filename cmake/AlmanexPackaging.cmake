# `make package` (the `package` target): a Debian package of everything `cmake --install` puts in place,
# installed under /usr whatever CMAKE_INSTALL_PREFIX says. dpkg-shlibdeps reads the executables and
# writes the library dependencies. No autostart entry is packaged: Almanex registers itself for the user
# at its first start, and the system-wide autostart folder stays empty.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME almanex)
set(CPACK_PACKAGE_VENDOR Quorvel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Quorvel <support@quorvel.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "dated events with live countdowns and reminders in the tray")
set(CPACK_PACKAGE_DESCRIPTION
    "Almanex keeps a list of dated events (anniversaries, birthdays, holidays, vacations) and shows, live,
how long ago each one was or how long is left. It lives in the notification area and pops up a reminder
on the days an event's recurrence pattern names. almanex-cli reads the same events for scripts.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://almanex.quorvel.example/)
# Qt's own dialogs follow the user's language when Qt's translations are there.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS qt6-translations-l10n)
include(CPack)
