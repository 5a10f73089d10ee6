#!/bin/sh
# tests/package_test.sh DEB BUILD_TREE: the Debian package that `make package` built, as a
# distribution and a musician's desktop would see it (make test-package runs it once, on
# the optimised build):
#   - its files, and the same set from `cmake --install` of BUILD_TREE (with DESTDIR)
#   - Depends names the package of every library the programs load, and xdg-utils
#   - lintian: no errors, no warnings
#   - the desktop entry and the AppStream metainfo validate (desktop-file-validate,
#     appstreamcli validate and validate-tree, no network), the icons are the size their
#     folder says, the changelog and the metainfo know the package's version
#   - unpacked into a scratch root (dpkg -x) and run from there: veldra-file --version and
#     --demo --png, veldra --help, and veldra under an Xvfb of its own: its window carries
#     the desktop entry's class, and Help > Content opens the installed help page with the
#     xdg-open first on PATH (a stand-in that writes down what it was given).
set -eu
[ $# = 2 ] || { echo "usage: $0 DEB BUILD_TREE" >&2; exit 2; }
deb=$(realpath "$1")
tree=$(realpath "$2")
id=io.github.veldra.Veldra
scratch=$(mktemp -d)
xvfb=""
veldra=""
manifest_saved=""
cleanup() {
  [ -n "$veldra" ] && kill "$veldra" 2>/dev/null
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
  if [ -n "$manifest_saved" ]; then
    mv "$scratch/install_manifest.txt" "$tree/install_manifest.txt"
  fi
  rm -rf "$scratch"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; exit 1; }
ok() { echo "ok: $*"; }
# within TENTHS COMMAND...: true once the command succeeds, false after TENTHS tenths of a
# second of trying.
within() {
  tries=$1
  shift
  until "$@"; do
    tries=$((tries - 1))
    [ $tries -gt 0 ] || return 1
    sleep 0.1
  done
}
icon_sizes="16 22 24 32 48 64 128 256"  # the hicolor theme's, as app/CMakeLists.txt installs

field() { dpkg-deb -f "$deb" "$1"; }
version=$(field Version)
package=$(field Package)

# ---- what the package holds ----
dpkg-deb --contents "$deb" | awk '$1 !~ /^d/ { sub(/^\.\//, "", $6); print $6 }' | sort \
  > "$scratch/contents"
sort > "$scratch/expected" <<EOF
usr/bin/veldra
usr/bin/veldra-file
usr/share/veldra/Veldra.htm
usr/share/applications/$id.desktop
usr/share/metainfo/$id.metainfo.xml
usr/share/man/man1/veldra.1.gz
usr/share/man/man1/veldra-file.1.gz
usr/share/doc/veldra/copyright
usr/share/doc/veldra/changelog.gz
$(for n in $icon_sizes; do echo "usr/share/icons/hicolor/${n}x$n/apps/$id.png"; done)
EOF
diff -u "$scratch/expected" "$scratch/contents" > "$scratch/diff" ||
  { cat "$scratch/diff"; fail "the package holds other files than these (- missing, + extra)"; }
ok "$(basename "$deb") holds the programs, man pages, help page, desktop entry, metainfo, icons, copyright and changelog"

# cmake --install puts in the same files; the build tree's own install manifest (from an
# install the user made) is put back afterwards.
if [ -f "$tree/install_manifest.txt" ]; then
  cp -p "$tree/install_manifest.txt" "$scratch/install_manifest.txt"
  manifest_saved=yes
fi
DESTDIR="$scratch/cmake-root" cmake --install "$tree" --prefix /usr > "$scratch/install.log" ||
  { cat "$scratch/install.log"; fail "cmake --install"; }
(cd "$scratch/cmake-root" && find . ! -type d | sed 's|^\./||' | sort) > "$scratch/installed"
diff -u "$scratch/contents" "$scratch/installed" > "$scratch/diff" ||
  { cat "$scratch/diff"; fail "cmake --install and the package differ (- package only, + install only)"; }
if [ -n "$manifest_saved" ]; then
  mv "$scratch/install_manifest.txt" "$tree/install_manifest.txt"
  manifest_saved=""
else
  rm -f "$tree/install_manifest.txt"
fi
ok "cmake --install puts in the same $(wc -l < "$scratch/installed") files"

# ---- Depends: the package of every library the programs load, and xdg-utils ----
dpkg -x "$deb" "$scratch/root"
root="$scratch/root"
depends=$(field Depends)
has_dependency() {
  printf '%s\n' "$depends" | tr ',' '\n' | sed 's/^ *//; s/[ (].*//' | grep -qx "$1"
}
# The package that holds a file, whether dpkg knows it with /usr in front or without.
owner_of() {
  for candidate in "$1" "/usr$1" "${1#/usr}"; do
    dpkg -S "$candidate" 2>/dev/null | head -n 1 | cut -d: -f1 | grep . && return 0
  done
  return 1
}
for program in veldra veldra-file; do
  ldd "$root/usr/bin/$program" > "$scratch/ldd"
  for library in $(objdump -p "$root/usr/bin/$program" | awk '$1 == "NEEDED" { print $2 }'); do
    path=$(awk -v l="$library" '$1 == l && $2 == "=>" { print $3 }' "$scratch/ldd")
    [ -n "$path" ] || fail "$program needs $library, which this system lacks"
    owner=$(owner_of "$path") || fail "no package holds $path ($library, for $program)"
    has_dependency "$owner" || fail "Depends ($depends) lacks $owner, which holds $library for $program"
  done
done
has_dependency xdg-utils || fail "Depends ($depends) lacks xdg-utils (the help page's opener)"
ok "Depends: $depends"

# ---- lintian ----
lintian --fail-on error,warning "$deb" \
  > "$scratch/lintian" 2>&1 || { cat "$scratch/lintian"; fail "lintian"; }
grep -v '^running with root privileges' "$scratch/lintian" || true
ok "lintian: no errors, no warnings"

# ---- the desktop's metadata ----
out=$(desktop-file-validate "$root/usr/share/applications/$id.desktop" 2>&1) &&
  [ -z "$out" ] || { echo "$out"; fail "desktop-file-validate"; }
grep -qx "Icon=$id" "$root/usr/share/applications/$id.desktop" &&
  grep -qx "StartupWMClass=$id" "$root/usr/share/applications/$id.desktop" ||
  fail "the desktop entry does not name the icon and the window's class $id"
ok "desktop-file-validate: nothing to say; the entry names the icon and the window's class"

# appstreamcli: status 0; warnings and errors only for the web addresses the project does
# not have yet (README.md, "Install").
missing_addresses='url-homepage-missing|url-.*-missing|screenshot.*missing|no-screenshot'
for check in "validate --no-net $root/usr/share/metainfo/$id.metainfo.xml" \
             "validate-tree --no-net $root"; do
  # shellcheck disable=SC2086
  appstreamcli $check > "$scratch/appstream" 2>&1 || { cat "$scratch/appstream"; fail "appstreamcli $check"; }
  if grep -E '^(W|E):' "$scratch/appstream" | grep -Ev "($missing_addresses)" > /dev/null; then
    cat "$scratch/appstream"; fail "appstreamcli $check: a warning beyond the missing web addresses"
  fi
  ok "appstreamcli $(echo "$check" | cut -d' ' -f1)"
done

for n in $icon_sizes; do
  icon="$root/usr/share/icons/hicolor/${n}x$n/apps/$id.png"
  size=$(od -An -tu1 -j16 -N8 "$icon" | awk '{ print $1*16777216+$2*65536+$3*256+$4 "x" $5*16777216+$6*65536+$7*256+$8 }')
  [ "$size" = "${n}x$n" ] || fail "the ${n}x$n icon is $size"
done
ok "each icon is the size of its folder"

changelog=$(gzip -dc "$root/usr/share/doc/veldra/changelog.gz" | dpkg-parsechangelog -l - -S Version)
[ "$changelog" = "$version" ] || fail "the changelog's newest entry is $changelog, the package $version"
release=$(sed -n 's/.*<release version="\([^"]*\)".*/\1/p' "$root/usr/share/metainfo/$id.metainfo.xml" | head -n 1)
[ "$release" = "$version" ] || fail "the metainfo's newest release is $release, the package $version"
ok "the changelog and the metainfo's newest release are $version"

# ---- the programs, run from the unpacked root ----
[ "$("$root/usr/bin/veldra-file" --version)" = "veldra-file $version" ] || fail "veldra-file --version"
(cd "$scratch" && "$root/usr/bin/veldra-file" --demo --png demo.png > demo.txt) ||
  fail "veldra-file --demo --png"
grep -q "built-in demo performance" "$scratch/demo.txt" || fail "veldra-file --demo printed no table"
[ "$(od -An -tx1 -N8 "$scratch/demo.png" | tr -d ' ')" = 89504e470d0a1a0a ] ||
  fail "veldra-file --png wrote no PNG"
"$root/usr/bin/veldra" --help > "$scratch/help.txt" && grep -q "^Usage: veldra" "$scratch/help.txt" ||
  fail "veldra --help"
ok "veldra-file --version, veldra-file --demo --png and veldra --help from $root/usr/bin"

# veldra on an X server of its own, the demo as its microphone. The stand-in opener writes
# its arguments under another name first, so that a half-written file is never read.
mkdir -p "$scratch/bin" "$scratch/runtime"
chmod 700 "$scratch/runtime"
cat > "$scratch/bin/xdg-open" <<EOF
#!/bin/sh
printf '%s\n' "\$@" > "$scratch/opened.part" && mv "$scratch/opened.part" "$scratch/opened"
EOF
chmod +x "$scratch/bin/xdg-open"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3> "$scratch/display" 2> "$scratch/xvfb.log" &
xvfb=$!
within 100 sh -c '[ -s "$1" ] || ! kill -0 "$2" 2>/dev/null' - "$scratch/display" "$xvfb" || :
[ -s "$scratch/display" ] || { cat "$scratch/xvfb.log"; fail "Xvfb did not start"; }
export DISPLAY=":$(cat "$scratch/display")"
env -u WAYLAND_DISPLAY -u VELDRA_HELP_OPENER -u SDL_VIDEO_X11_WMCLASS \
  PATH="$scratch/bin:$PATH" XDG_RUNTIME_DIR="$scratch/runtime" XDG_CONFIG_HOME="$scratch/config" \
  SDL_VIDEODRIVER=x11 \
  SDL_AUDIODRIVER=dummy VELDRA_INPUT=demo "$root/usr/bin/veldra" > "$scratch/veldra.log" 2>&1 &
veldra=$!
window=$(timeout 20 xdotool search --sync --onlyvisible --name '^Veldra$' | head -n 1)
[ -n "$window" ] || { cat "$scratch/veldra.log"; fail "no window named Veldra within 20 s"; }
for kind in class classname; do
  timeout 20 xdotool search --$kind "^$id\$" | grep -qx "$window" ||
    fail "the window's WM_CLASS $kind is not $id (the desktop entry's StartupWMClass)"
done
ok "veldra's window belongs to $id"

# Enter closes the start-up notice; F10 opens the first menu (Start), two steps right is
# Help, one down its second item, Content.
timeout 20 xdotool windowfocus --sync "$window" key Return
timeout 20 xdotool windowfocus --sync "$window" key F10 Right Right Down Return
within 200 test -f "$scratch/opened" ||
  { cat "$scratch/veldra.log"; fail "Help > Content started no xdg-open within 20 s"; }
page="file://$(realpath "$root/usr/share/veldra/Veldra.htm")#Main_Contents"
[ "$(cat "$scratch/opened")" = "$page" ] ||
  fail "Help > Content opened '$(cat "$scratch/opened")', not $page"
timeout 20 xdotool windowfocus --sync "$window" key ctrl+q
within 100 sh -c '! kill -0 "$1" 2>/dev/null' - "$veldra" || fail "veldra did not end after Control+Q"
status=0
wait "$veldra" || status=$?
veldra=""
[ $status = 0 ] || { cat "$scratch/veldra.log"; fail "veldra ended with status $status"; }
ok "veldra under Xvfb: Help > Content opened $page"
