#!/bin/sh
# The demo package's setup program: it reports what the package gave it
# (its arguments, the folder it runs from and the files unpacked there)
# and ends with status 0, which becomes the package's own exit status.
here=$(cd "$(dirname "$0")" && pwd)
echo "Demo setup: running from $here"
if [ $# -eq 0 ]; then
  echo "Demo setup: no arguments"
else
  echo "Demo setup: $# argument(s):"
  for arg in "$@"; do
    echo "  [$arg]"
  done
fi
echo "Demo setup: files in its folder:"
(cd "$here" && find . -type f | sed 's|^\./|  |' | sort)
exit 0
