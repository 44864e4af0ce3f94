#!/bin/bash
# Makes the packages twice, each time from fresh build trees of the programs alone (no
# tests): a .deb of the Linux program, one of each Linux port (arm64, armhf) whose
# cross compiler is here, and a zip of each Windows program whose mingw-w64 compiler
# is here. The two sets must be the same bytes. Checks what each
# package holds, that lintian says nothing at all about the .deb (informational and
# pedantic tags included) and that the Linux program is hardened, where those tools
# are installed. Puts the packages with a SHA256SUMS file in OUT-DIR, which it
# empties first. Each build runs JOBS jobs (the Makefile's; every core by default).
# With ONCE=1 the set is built once, and checked, but not compared with a second; then
# TREES may name, as NAME=DIR, a build tree of these sources already configured for a
# program (linux, linux-arm64, windows-i686...), which is packaged in place of a fresh
# one: the build type is the same, so the program is the same bytes.
#   [JOBS=N] [ONCE=1 [TREES="NAME=DIR..."]] make-packages.sh OUT-DIR WORK-DIR
set -euo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
out=$1 work=$2
rm -rf "$out" "$work" && mkdir -p "$out" "$work"
out=$(cd "$out" && pwd) work=$(cd "$work" && pwd)

# Every date in the packages is the last commit's (outside a git checkout, the
# changelog's latest entry's), unless the caller has set one.
if [[ -z ${SOURCE_DATE_EPOCH:-} ]]; then
  SOURCE_DATE_EPOCH=$(git -c safe.directory="$top" -C "$top" log -1 --format=%ct 2>/dev/null) ||
    SOURCE_DATE_EPOCH=$(date -d "$(sed -n 's/^ -- .*>  //p' "$top/packaging/changelog" | head -1)" +%s)
fi
export SOURCE_DATE_EPOCH

# Owners and modes, as dates, are the same whoever builds: every directory that CPack
# makes takes the umask's mode, and a zip records the owner of each of its files,
# which fakeroot makes root for a user who is not.
umask 022
as_root=()
if [[ $(id -u) -ne 0 ]]; then
  if command -v fakeroot >/dev/null; then
    as_root=(fakeroot)
  else
    echo "make package: fakeroot is not installed; the zips name $(id -un) as the owner of their files"
  fi
fi
generator=()
command -v ninja >/dev/null && generator=(-G Ninja)
programs=(linux:)
# The Linux ports that are packaged too, where their cross compilers are here.
for port in aarch64-linux-gnu:arm64 arm-linux-gnueabihf:armhf; do
  if command -v "${port%:*}-g++" >/dev/null; then
    programs+=("linux-${port#*:}:-DCMAKE_TOOLCHAIN_FILE=$top/cmake/${port%:*}.cmake")
  else
    echo "make package: no .deb for ${port#*:}: ${port%:*}-g++ is not installed"
  fi
done
for cpu in i686 x86_64; do
  if command -v $cpu-w64-mingw32-g++-posix >/dev/null; then
    programs+=("windows-$cpu:-DCMAKE_TOOLCHAIN_FILE=$top/cmake/mingw-$cpu.cmake")
  else
    echo "make package: no zip of the $cpu Windows program: mingw-w64 for $cpu (posix) is not installed"
  fi
done

# quietly LOG COMMAND...: runs the command; its output is shown only if it fails.
quietly() {
  local log=$1
  shift
  "$@" >"$log" 2>&1 || { cat "$log" && echo "make package: failed: $*" && exit 1; }
}

# given_tree NAME: the build tree that TREES gives for NAME, if it is configured for
# the packages' build type.
given_tree() {
  local pair
  [[ ${ONCE:-} == 1 ]] || return 1
  for pair in ${TREES:-}; do
    [[ ${pair%%=*} == "$1" ]] &&
      grep -qxE 'CMAKE_BUILD_TYPE:STRING=(RelWithDebInfo)?' "${pair#*=}/CMakeCache.txt" 2>/dev/null &&
      cd "${pair#*=}" && pwd && return
  done
  return 1
}

# build_set DIR: each program in a fresh tree DIR/NAME (or the tree TREES gives), its
# packages into DIR/packages.
build_set() {
  local set=$1 program name toolchain tree targets
  mkdir -p "$set/packages"
  for program in "${programs[@]}"; do
    name=${program%%:*} toolchain=${program#*:} tree=$set/$name targets=()
    if tree=$(given_tree "$name"); then
      # What the packages hold, and no more: a test build may have left its tests unbuilt.
      targets=(--target tavo)
      [[ $name == linux* ]] && targets+=(tavo_docs)
      echo "make package: packaging $name from ${tree#"$top"/}"
    else
      tree=$set/$name
      echo "make package: building $name in ${tree#"$top"/}"
      quietly "$set/$name.log" cmake -S "$top" -B "$tree" "${generator[@]}" -DTAVO_TESTS=OFF \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo ${toolchain:+"$toolchain"}
    fi
    quietly "$set/$name.log" cmake --build "$tree" -j "${JOBS:-$(nproc)}" "${targets[@]}"
    rm -rf "$tree/packages"
    (cd "$tree" && quietly "$set/$name.log" "${as_root[@]}" cpack)
    cp "$tree"/packages/* "$set/packages/"
  done
  (cd "$set/packages" && sha256sum -- * >SHA256SUMS)
}

# check PACKAGE LISTING PATH...: the listing (dpkg-deb -c, unzip -l) holds each path.
check() {
  local package=$1 names path
  names=$(awk '{ print $NF }' <<<"$2")
  shift 2
  for path in "$@"; do
    grep -qxF -e "./$path" -e "${package%.zip}/$path" <<<"$names" || {
      echo "make package: $package does not hold $path; it holds:"
      echo "$names"
      exit 1
    }
  done
  echo "make package: $package holds $*"
}

check_deb() {
  local deb=$1 name version report
  name=$(basename "$deb")
  version=$(dpkg-deb -f "$deb" Version)
  check "$name" "$(dpkg-deb -c "$deb")" usr/bin/tavo usr/share/man/man1/tavo.1.gz \
    usr/share/doc/tavo/copyright usr/share/doc/tavo/changelog.gz \
    usr/share/doc/tavo/tavo-result.schema.json usr/share/bash-completion/completions/tavo
  # A native package's changelog must have an entry for the version it ships.
  [[ $(head -n 1 "$top/packaging/changelog") == "tavo ($version) "* ]] || {
    echo "make package: packaging/changelog has no entry for $version at its top"
    exit 1
  }
  if ! command -v lintian >/dev/null; then
    echo "make package: lintian is not installed; $name is not checked by it"
  elif report=$(lintian -I --pedantic "$deb" 2>"$work/lintian.err") && [[ -z $report ]]; then
    echo "make package: lintian -I --pedantic says nothing about $name"
  else
    # Its tags are on stdout; stderr holds its own troubles and, as root, a warning.
    echo "make package: lintian -I --pedantic reports on $name:"
    cat - "$work/lintian.err" <<<"$report"
    exit 1
  fi
  if ! command -v hardening-check >/dev/null; then
    echo "make package: hardening-check (devscripts) is not installed; usr/bin/tavo is not checked by it"
  else
    # Control-flow enforcement marks a program only when every object linked into it
    # is marked, and Debian 12's C library start files are not; so it is not asked.
    dpkg-deb -x "$deb" "$work/unpacked"
    report=$(hardening-check --nocfprotection "$work/unpacked/usr/bin/tavo") || {
      echo "make package: usr/bin/tavo of $name is not hardened:"
      echo "$report"
      exit 1
    }
    echo "make package: usr/bin/tavo of $name is hardened:"
    echo "$report"
  fi
}

check_zip() {
  local zip=$1 name
  name=$(basename "$zip")
  if command -v unzip >/dev/null; then
    check "$name" "$(unzip -l "$zip")" tavo.exe README.txt LICENSE.txt tavo-result.schema.json
  else
    echo "make package: unzip is not installed; $name is not checked"
  fi
}

build_set "$work/1"
if [[ ${ONCE:-} != 1 ]]; then
  build_set "$work/2"
  if ! cmp -s "$work/1/packages/SHA256SUMS" "$work/2/packages/SHA256SUMS"; then
    echo "make package: two builds of the same sources differ (SOURCE_DATE_EPOCH=$SOURCE_DATE_EPOCH):"
    diff "$work/1/packages/SHA256SUMS" "$work/2/packages/SHA256SUMS" || true
    exit 1
  fi
  echo "make package: two builds in fresh trees give the same packages (SOURCE_DATE_EPOCH=$SOURCE_DATE_EPOCH)"
fi
for package in "$work/1/packages"/*; do
  case $package in
    *.deb) check_deb "$package" ;;
    *.zip) check_zip "$package" ;;
  esac
  cp "$package" "$out/"
done
echo "make package: in ${out#"$top"/}:"
cat "$out/SHA256SUMS"
