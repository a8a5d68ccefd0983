#!/usr/bin/env bash
# Installs the build into a scratch prefix (cmake --install with DESTDIR) and,
# when dpkg-deb is there, makes the Debian package with cpack and unpacks it
# with dpkg -x; then runs each installed drawclean on the example from another
# folder, as a user would.
# Usage: install_test.sh BUILD_DIR SOURCE_DIR, with CMAKE, CPACK, BINDIR,
# PLUGINDIR, INCLUDEDIR, MANDIR and DOCDIR (install-relative) in the environment.
set -euo pipefail
build=$1
src=$2
scratch=$(mktemp -d "$build/install-test.XXXXXX")
scratch=$(realpath "$scratch")
trap 'rm -rf "$scratch"' EXIT
elsewhere=$scratch/elsewhere
mkdir -p "$elsewhere"
fail() { echo "FAIL: $*" >&2; exit 1; }

# The build tree's output on the example, to compare the installed runs with.
(cd "$elsewhere" && "$build/runner/drawclean" -q --all -t 0.05 "$src/examples/walls.dxf" -o "$scratch/expected.dxf")
version=$("$build/runner/drawclean" --version)

# expect_run WHAT STATUS STDERR_PART -- COMMAND...: runs in the other folder.
expect_run() {
  local what=$1 status=$2 part=$3
  shift 4
  local got=0
  (cd "$elsewhere" && "$@") >"$scratch/out" 2>"$scratch/err" || got=$?
  [ "$got" = "$status" ] || fail "$what: exit $got, wanted $status: $(cat "$scratch/err")"
  [ -z "$part" ] || grep -qF -- "$part" "$scratch/err" || fail "$what: stderr lacks '$part': $(cat "$scratch/err")"
  [ "$status" = 0 ] || [ "$(wc -l <"$scratch/err")" = 1 ] || fail "$what: not one line: $(cat "$scratch/err")"
}

check_tree() {
  local root=$1 what=$2
  local exe=$root/$BINDIR/drawclean plugin=$root/$PLUGINDIR/libcleanup.so
  local man=$root/$MANDIR/man1/drawclean.1
  for f in "$exe" "$plugin" "$root/$INCLUDEDIR/cleanup/host_abi.h" "$man" \
           "$root/$DOCDIR/RUNNER.md" "$root/$DOCDIR/drawing.schema.json"; do
    [ -f "$f" ] || fail "$what: $f not installed"
  done

  rm -f "$elsewhere/walls.clean.dxf"
  expect_run "$what: example" 0 "" -- "$exe" -q --all -t 0.05 "$src/examples/walls.dxf" -o walls.clean.dxf
  cmp -s "$elsewhere/walls.clean.dxf" "$scratch/expected.dxf" || fail "$what: output differs from the build tree's"
  ln -sf "$exe" "$elsewhere/linked-drawclean"
  expect_run "$what: through a symbolic link" 0 "" -- ./linked-drawclean -n -q "$src/examples/walls.dxf"
  expect_run "$what: DRAWCLEAN_PLUGIN" 1 "$scratch/none.so" -- \
    env DRAWCLEAN_PLUGIN="$scratch/none.so" "$exe" -n "$src/examples/walls.dxf"
  expect_run "$what: --plugin over DRAWCLEAN_PLUGIN" 0 "" -- \
    env DRAWCLEAN_PLUGIN="$scratch/none.so" "$exe" -n -q --plugin "$plugin" "$src/examples/walls.dxf"
  mv "$plugin" "$plugin.away"
  expect_run "$what: plug-in missing" 1 "no plug-in at $plugin" -- "$exe" -n "$src/examples/walls.dxf"
  mv "$plugin.away" "$plugin"
  [ "$("$exe" --version)" = "$version" ] || fail "$what: --version says $("$exe" --version), not $version"

  # The header stands alone for a host written in C.
  if command -v cc >/dev/null; then
    echo '#include <cleanup/host_abi.h>' | cc -fsyntax-only -I "$root/$INCLUDEDIR" -x c - ||
      fail "$what: host_abi.h does not compile on its own"
  fi
  # The man page names every long option that --help lists.
  local page
  page=$(sed 's/\\-/-/g' "$man")
  for opt in $("$exe" --help | grep -oE -- '--[a-z][a-z0-9-]*' | sort -u); do
    grep -qF -- "$opt" <<<"$page" || fail "$what: the man page lacks $opt"
  done
  if command -v man >/dev/null; then
    local warnings
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$man" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "$what: man page warnings: $warnings"
  fi
  echo "ok: $what"
}

DESTDIR=$scratch/destdir "$CMAKE" --install "$build" --prefix /opt/drawclean >/dev/null
check_tree "$scratch/destdir/opt/drawclean" "cmake --install"

if ! command -v dpkg-deb >/dev/null; then
  echo "skipped the Debian package: no dpkg-deb"
  exit 0
fi
"$CPACK" -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/pkg" >"$scratch/cpack.log" 2>&1 ||
  fail "cpack: $(cat "$scratch/cpack.log")"
debs=("$scratch"/pkg/*.deb)
[ "${#debs[@]}" = 1 ] && [ -f "${debs[0]}" ] || fail "cpack made ${debs[*]}"
deb=${debs[0]}
depends=$(dpkg-deb -f "$deb" Depends)
grep -q 'libc6' <<<"$depends" || fail "the package declares no libc6 dependency: '$depends'"
[ "drawclean $(dpkg-deb -f "$deb" Version)" = "$version" ] ||
  fail "the package's version $(dpkg-deb -f "$deb" Version) is not what drawclean says ($version)"
dpkg-deb -x "$deb" "$scratch/x"
check_tree "$scratch/x/usr" "dpkg -x of $(basename "$deb")"
