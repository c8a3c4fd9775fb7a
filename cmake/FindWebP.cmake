# libwebp where it comes without its own package files (Debian's libwebp-dev): the decoder and the
# demuxer as the targets libwebp's WebPConfig.cmake makes, WebP::webp and WebP::webpdemux.
find_path(WebP_INCLUDE_DIR webp/decode.h)
find_library(WebP_LIBRARY NAMES webp)
find_library(WebP_DEMUX_LIBRARY NAMES webpdemux)

include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(WebP REQUIRED_VARS WebP_LIBRARY WebP_DEMUX_LIBRARY WebP_INCLUDE_DIR)

if(WebP_FOUND AND NOT TARGET WebP::webp)
    add_library(WebP::webp UNKNOWN IMPORTED)
    set_target_properties(WebP::webp PROPERTIES IMPORTED_LOCATION "${WebP_LIBRARY}"
                                                INTERFACE_INCLUDE_DIRECTORIES "${WebP_INCLUDE_DIR}")
    add_library(WebP::webpdemux UNKNOWN IMPORTED)
    set_target_properties(WebP::webpdemux PROPERTIES IMPORTED_LOCATION "${WebP_DEMUX_LIBRARY}"
                                                     INTERFACE_LINK_LIBRARIES WebP::webp)
endif()
mark_as_advanced(WebP_INCLUDE_DIR WebP_LIBRARY WebP_DEMUX_LIBRARY)
