# The Debian package, made by `cpack -G DEB` in a release build folder (scripts/setup.sh
# package): everything `cmake --install` installs, under /usr.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kelmira)
set(CPACK_PACKAGE_VERSION ${KELMIRA_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_CONTACT "Kelmira developers <kelmira@torbek.com>")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Kelmira developers <kelmira@torbek.com>")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${KELMIRA_HOMEPAGE})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "turns round mirror photographs into 360-degree panoramas")
# The summary above is the synopsis; this is the long description.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Kelmira makes panoramas of photographs taken through a panoramic mirror
attachment: it finds the mirror's ring, unwarps it through the mirror's
optics into a flat strip that goes all the way round, and saves it as BMP,
JPEG or TIFF, as a 360-degree photo with Photo Sphere metadata, as a web page
that pans it, or as a QuickTime VR panorama movie.

The package has the window (kelmira) and the command-line tool (kelmira-cli),
which also works through whole folders of photographs.")

# The libraries the programs link come from dpkg-shlibdeps. FFmpeg is opened only when a
# Cinepak or Sorenson movie or a video is made, and Qt's platform plugins are loaded at
# start, so their packages are named here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
string(REGEX MATCH "^[0-9]+" KELMIRA_AVCODEC_MAJOR "${FFMPEG_libavcodec_VERSION}")
string(REGEX MATCH "^[0-9]+" KELMIRA_AVUTIL_MAJOR "${FFMPEG_libavutil_VERSION}")
string(REGEX MATCH "^[0-9]+" KELMIRA_SWSCALE_MAJOR "${FFMPEG_libswscale_VERSION}")
string(REGEX MATCH "^[0-9]+" KELMIRA_AVFORMAT_MAJOR "${FFMPEG_libavformat_VERSION}")
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libavcodec${KELMIRA_AVCODEC_MAJOR}, libavformat${KELMIRA_AVFORMAT_MAJOR}, libavutil${KELMIRA_AVUTIL_MAJOR}, libswscale${KELMIRA_SWSCALE_MAJOR}")
if(KELMIRA_BUILD_GUI)
  string(APPEND CPACK_DEBIAN_PACKAGE_DEPENDS ", qt6-qpa-plugins, fonts-dejavu-core")
endif()
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, bash-completion")

include(CPack)
