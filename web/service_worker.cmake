# Writes the service worker (sw.js) from its template: the files it keeps, and a cache
# name from their contents, so that every build that changes the site renames the cache.
#   cmake -DSITE=folder -DTEMPLATE=sw.js.in -DFILES="a;b;..." -P service_worker.cmake
set(digest "")
set(quoted "'./'")
foreach(name IN LISTS FILES)
  file(SHA256 ${SITE}/${name} one)
  string(APPEND digest ${one})
  string(APPEND quoted ", './${name}'")
endforeach()
string(SHA256 digest "${digest}")
string(SUBSTRING ${digest} 0 16 VELDRA_SITE_HASH)
set(VELDRA_SITE_FILES ${quoted})
configure_file(${TEMPLATE} ${SITE}/sw.js @ONLY)
