#!/usr/bin/env bash
# scripts/bootstrap against made-up package databases (DPKG_ADMINDIR) and a
# stand-in apt-get that only records its calls: what it finds missing, that it
# updates then installs only that, does nothing when all is there, and as
# another user asks for sudo instead.
# Usage: bootstrap_test.sh SOURCE_DIR
set -euo pipefail
bootstrap=$1/scripts/bootstrap
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
chmod 755 "$scratch"

mkdir -p "$scratch/bin"
cat >"$scratch/bin/apt-get" <<EOS
#!/bin/sh
echo "apt-get \$*" >>"$scratch/apt.log"
EOS
chmod 755 "$scratch/bin/apt-get"

# database NAME PACKAGE...: a package database in which only these are installed.
database() {
  local db=$scratch/db-$1
  shift
  mkdir -p "$db/info" "$db/updates"
  : >"$db/status"
  for p in "$@"; do
    printf 'Package: %s\nStatus: install ok installed\nArchitecture: all\nVersion: 1\n\n' "$p" >>"$db/status"
  done
  chmod -R a+rX "$db"
  echo "$db"
}

# Every package a group wants: what a dry run against an empty database lists.
wanted() {
  DPKG_ADMINDIR=$(database empty) "$bootstrap" --dry-run "$@" | sed -n 's/^bootstrap: missing Debian packages: //p'
}
read -ra build <<<"$(wanted)"
read -ra bench <<<"$(wanted bench)"
[ "${#build[@]}" -ge 10 ] || fail "build group: ${build[*]}"
for p in cmake g++ libgtest-dev nlohmann-json3-dev libcli11-dev libboost-dev dpkg-dev; do
  grep -qw -- "$p" <<<"${build[*]}" || fail "build group lacks $p"
done
for p in python3-shapely hyperfine; do
  grep -qw -- "$p" <<<"${build[*]}" && fail "build group has the benchmark-only $p"
  grep -qw -- "$p" <<<"${bench[*]}" || fail "bench group lacks $p"
done

# run_case NAME GROUP WANT_STATUS WANT_APT INSTALLED...: a run as this user.
run_case() {
  local name=$1 group=$2 want_status=$3 want_apt=$4
  shift 4
  local db status=0
  db=$(database "$name" "$@")
  rm -f "$scratch/apt.log"
  DPKG_ADMINDIR=$db PATH="$scratch/bin:$PATH" "$bootstrap" $group >"$scratch/out" 2>&1 || status=$?
  [ "$status" = "$want_status" ] || fail "$name: exit $status: $(cat "$scratch/out")"
  local apt=""
  [ ! -e "$scratch/apt.log" ] || apt=$(tr '\n' '|' <"$scratch/apt.log")
  [ "$apt" = "$want_apt" ] || fail "$name: apt-get calls '$apt', wanted '$want_apt'"
  echo "ok: $name"
}

if [ "$(id -u)" = 0 ]; then
  run_case "all present" "" 0 "" "${build[@]}"
  run_case "bench extras present too" bench 0 "" "${build[@]}" python3-shapely hyperfine
  mapfile -t some < <(for p in "${build[@]}"; do [[ $p == libcli11-dev || $p == dpkg-dev ]] || echo "$p"; done)
  run_case "two missing" "" 0 "apt-get update -qq|apt-get install -y -qq libcli11-dev dpkg-dev|" "${some[@]}"
  run_case "bench group on a built machine" bench 0 "apt-get update -qq|apt-get install -y -qq hyperfine|" \
    "${build[@]}" python3-shapely
fi

# As another user: nothing installed, a pointer to sudo, and a failure so that
# the command after it does not run on a machine that lacks packages.
if [ "$(id -u)" = 0 ] && command -v setpriv >/dev/null; then
  db=$(database user cmake)
  rm -f "$scratch/apt.log"
  # A copy the other user can reach: the checkout may sit in a folder only
  # its owner may enter (mktemp -d makes them 0700).
  install -m 755 "$bootstrap" "$scratch/bootstrap"
  status=0
  DPKG_ADMINDIR=$db PATH="$scratch/bin:$PATH" setpriv --reuid=65534 --regid=65534 --clear-groups \
    "$scratch/bootstrap" >"$scratch/out" 2>&1 || status=$?
  [ "$status" = 1 ] || fail "as another user: exit $status"
  grep -q "sudo" "$scratch/out" || fail "as another user: no word of sudo: $(cat "$scratch/out")"
  [ ! -e "$scratch/apt.log" ] || fail "as another user: apt-get ran"
  echo "ok: as another user"
fi
