#!/bin/sh
# runtime-packages.sh EXE: the Debian packages a Linux build of the show needs to run, on one line:
# those holding the libraries EXE links directly, and the GL ones SDL opens at run time.
set -e
for lib in $(objdump -p "$1" | sed -n 's/^[[:space:]]*NEEDED[[:space:]]*//p'); do
  path=$(ldconfig -p | sed -n "s|^[[:space:]]*$lib (libc6,x86-64.*) => ||p" | head -1)
  [ -n "$path" ] && dpkg -S "$(readlink -f "$path")" 2>/dev/null | head -1 | cut -d: -f1
done | sort -u | tr '\n' ' '
echo "libgl1 libgl1-mesa-dri"
