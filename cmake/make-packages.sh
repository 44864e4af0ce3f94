#!/bin/bash
# Makes the packages of the given build trees with CPack (a .deb of the Linux build,
# a zip of each Windows build), checks what each holds, and collects them with a
# SHA256SUMS file in one folder, which it empties first.
#   make-packages.sh OUT-DIR BUILD-DIR...
set -euo pipefail

out=$1
shift
top=$(cd "$(dirname "$0")/.." && pwd)
rm -rf "$out" && mkdir -p "$out"
out=$(cd "$out" && pwd)

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
  local deb=$1 version=$2 name report
  name=$(basename "$deb")
  check "$name" "$(dpkg-deb -c "$deb")" usr/bin/tavo usr/share/man/man1/tavo.1.gz \
    usr/share/doc/tavo/copyright
  # A native package's changelog must have an entry for the version it ships.
  [[ $(head -n 1 "$top/packaging/changelog") == "tavo ($version) "* ]] || {
    echo "make package: packaging/changelog has no entry for $version at its top"
    exit 1
  }
  if ! command -v lintian >/dev/null; then
    echo "make package: lintian is not installed; $name is not checked by it"
  elif ! report=$(lintian --fail-on error,warning "$deb" 2>&1); then
    echo "make package: lintian finds errors or warnings in $name:"
    echo "$report"
    exit 1
  else
    echo "make package: lintian reports no error and no warning for $name"
  fi
}

check_zip() {
  local zip=$1 name
  name=$(basename "$zip")
  if command -v unzip >/dev/null; then
    check "$name" "$(unzip -l "$zip")" tavo.exe README.txt
  else
    echo "make package: unzip is not installed; $name is not checked"
  fi
}

for build in "$@"; do
  rm -rf "$build/packages"
  (cd "$build" && cpack >/dev/null)
  version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$build/CPackConfig.cmake")
  for package in "$build"/packages/*; do
    case $package in
      *.deb) check_deb "$package" "$version" ;;
      *.zip) check_zip "$package" ;;
    esac
    cp "$package" "$out/"
  done
done

(cd "$out" && sha256sum -- * >SHA256SUMS)
echo "make package: in ${out#"$top"/}:"
cat "$out/SHA256SUMS"
