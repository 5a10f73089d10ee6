# libsoxr for the browser build: the release Debian packages (0.1.3), its source taken
# from Debian's archive and checked against the sha256 that Debian's signed .dsc gives,
# built with emcc as a static library, for size (the same arithmetic, a smaller download).
# The double-precision engines are left out (the resampler's high quality uses the single
# one); WebAssembly has no SSE, so it is soxr's plain C path, and one thread (no OpenMP). WebAssembly checks a function's type at every call
# through a pointer, and the plain path's transform table holds callbacks cast from other
# types: soxr-web-callbacks.patch gives each the type it is called through. Gives the
# imported target soxr_web.
include(ExternalProject)
set(VELDRA_SOXR_URL
    https://deb.debian.org/debian/pool/main/libs/libsoxr/libsoxr_0.1.3.orig.tar.xz
    CACHE STRING "Where libsoxr's source comes from")
set(soxr_prefix ${CMAKE_BINARY_DIR}/soxr)
ExternalProject_Add(soxr_source
  URL ${VELDRA_SOXR_URL}
  URL_HASH SHA256=b111c15fdc8c029989330ff559184198c161100a59312f5dc19ddeb9b5a15889
  DOWNLOAD_EXTRACT_TIMESTAMP TRUE
  PREFIX ${soxr_prefix}
  PATCH_COMMAND patch -p1 -i ${CMAKE_CURRENT_LIST_DIR}/soxr-web-callbacks.patch
  CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${CMAKE_TOOLCHAIN_FILE}
             -DCMAKE_BUILD_TYPE=MinSizeRel -DCMAKE_INSTALL_PREFIX=${soxr_prefix}
             -DCMAKE_C_FLAGS=-ffp-contract=off -Wno-dev
             -DBUILD_SHARED_LIBS=OFF -DBUILD_TESTS=OFF -DWITH_OPENMP=OFF
             -DWITH_LSR_BINDINGS=OFF -DWITH_CR32S=OFF -DWITH_CR64=OFF -DWITH_CR64S=OFF
  BUILD_BYPRODUCTS ${soxr_prefix}/lib/libsoxr.a)
file(MAKE_DIRECTORY ${soxr_prefix}/include)
add_library(soxr_web STATIC IMPORTED GLOBAL)
set_target_properties(soxr_web PROPERTIES IMPORTED_LOCATION ${soxr_prefix}/lib/libsoxr.a
                      INTERFACE_INCLUDE_DIRECTORIES ${soxr_prefix}/include)
add_dependencies(soxr_web soxr_source)
