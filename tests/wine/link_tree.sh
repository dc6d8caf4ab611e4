#!/usr/bin/env bash
# Fixture of the "Copy to" link case: C:\vexlo_link_tree\loops holds a file, a subfolder
# and two links that lead back into the tree, made on the Unix side of the prefix (Wine's
# own CreateSymbolicLink makes no link). Needs WINEPREFIX.
set -euo pipefail
root="${WINEPREFIX:?}/drive_c/vexlo_link_tree"
rm -rf "$root"
mkdir -p "$root/loops/sub"
printf top >"$root/loops/file.txt"
printf deep >"$root/loops/sub/deep.txt"
ln -s . "$root/loops/self"
ln -s .. "$root/loops/parent"
