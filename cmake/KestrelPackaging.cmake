# The Debian package (cpack -G DEB in the build folder). The libraries come
# from dpkg-shlibdeps; what the program loads or starts at run time is listed
# here, since no linker sees it.
set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "kestrel")
set(CPACK_PACKAGE_VENDOR "Kestrel")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "controller for a USB AM/FM radio receiver")
set(CPACK_PACKAGE_DESCRIPTION
    "Kestrel tunes a USB AM/FM radio receiver (vendor 03b4, product 3113) by channel \
step, seek or one of 100 presets per band, sets the sound card's volume, records \
to WAV or WMA files, keeps a catalogue of recordings in an ODBC data source and \
schedules recordings through the at daemon.")
set(CPACK_PACKAGE_CONTACT "Kestrel developers <kestrelradio@users.noreply.github.com>")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION "sound")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://github.com/kestrelradio/kestrel")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Scheduled recordings; the recorder's and the player's GStreamer elements
# (wavenc, asfmux, avenc_wmav2, asfdemux, alsasrc); Qt's ODBC driver with the
# driver manager and the SQLite3 ODBC driver behind the default data source;
# SoapySDR's RTL-SDR module for the dongles most listeners own; and a font
# with Japanese glyphs for the Japanese texts.
set(_kestrel_runtime_depends
    at
    gstreamer1.0-plugins-base
    gstreamer1.0-plugins-good
    gstreamer1.0-plugins-bad
    gstreamer1.0-plugins-ugly
    gstreamer1.0-libav
    gstreamer1.0-alsa
    libqt6sql6-odbc
    unixodbc
    libsqliteodbc
    soapysdr-module-rtlsdr
    "fonts-ipafont-gothic | fonts-noto-cjk | fonts-vlgothic")
list(JOIN _kestrel_runtime_depends ", " CPACK_DEBIAN_PACKAGE_DEPENDS)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "qt6-wayland, gstreamer1.0-pulseaudio, soapysdr-module-airspy, soapysdr-module-hackrf")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "odbc-postgresql")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_CURRENT_LIST_DIR}/debian/postinst)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
