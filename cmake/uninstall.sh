#!/bin/bash
# Removes the files that `cmake --install` listed in its manifest, then each directory
# that held them once it is empty, up to DESTDIR: what an install created goes with
# it, and a directory that holds anything else stays.
#   uninstall.sh MANIFEST DESTDIR PREFIX
set -euo pipefail
manifest=$1 destdir=${2%/} prefix=${3%/}
[[ -f $manifest ]] || { echo "uninstall: $manifest: nothing was installed from this tree" && exit 1; }
while IFS= read -r file || [[ -n $file ]]; do
  # The manifest names each file without DESTDIR; only files under PREFIX are ours.
  [[ $file == "$prefix"/* ]] || { echo "uninstall: $file is not under $prefix; left alone" && continue; }
  rm -f -- "$destdir$file"
  dir=${file%/*}
  while [[ -n $dir ]] && rmdir -- "$destdir$dir" 2>/dev/null; do dir=${dir%/*}; done
done <"$manifest"
rm -f -- "$manifest"
