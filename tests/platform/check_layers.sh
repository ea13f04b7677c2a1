#!/usr/bin/env bash
# check_layers.sh PLATFORM_DIR: the layering of the platform's areas.
#
# Fails (listing every offending line) when
#   - a source of an area includes a header of an area it may not use (the
#     arrows below, the ones the README draws);
#   - a platform header is named without its area ("platform/files.h");
#   - an area's internal header (*_internal.h) is included by another area;
#   - a source file lies in platform/ itself or in a folder that is no area;
#   - a system header (<unistd.h> and the other C headers) is included
#     outside kernel/ by a file not listed below as needing system calls.
set -euo pipefail
root=${1:?usage: check_layers.sh PLATFORM_DIR}

# The areas each area may include, besides itself.
declare -A may=(
  [kernel]=""
  [text]="kernel"
  [registry]="kernel"
  [gdi]="kernel"
  [user]="kernel gdi"
  [comctl]="kernel gdi user"
  [com]="kernel"
  [shell]="kernel text registry gdi user comctl com"
)

# Files outside kernel/ that call Linux themselves.
system_callers=" user/frontend.cpp registry/registry.cpp registry/profile.cpp "

status=0
fail() { echo "$1"; status=1; }

cd "$root"
for file in $(find . -type f \( -name '*.h' -o -name '*.cpp' \) | sed 's#^\./##' | sort); do
  area=${file%%/*}
  if [[ $file != */* || -z ${may[$area]+set} ]]; then
    fail "platform/$file: not in an area (${!may[*]})"
    continue
  fi
  while IFS=: read -r line text; do
    if [[ $text =~ \"platform/([^/\"]+)/[^\"]+\" ]]; then
      target=${BASH_REMATCH[1]}
      if [[ $target != "$area" && " ${may[$area]} " != *" $target "* ]]; then
        fail "platform/$file:$line: $area may not include $target: $text"
      elif [[ $target != "$area" && $text =~ _internal\.h\" ]]; then
        fail "platform/$file:$line: an internal header of $target: $text"
      fi
    elif [[ $text =~ \"platform/[^/\"]+\" ]]; then
      fail "platform/$file:$line: a platform header without its area: $text"
    elif [[ $text =~ \<[^\>]+\.h\> && $area != kernel && $system_callers != *" $file "* ]]; then
      fail "platform/$file:$line: a system header outside kernel/: $text"
    fi
  done < <(grep -nE '^[[:space:]]*#[[:space:]]*include' "$file" | cut -d: -f1,2- || true)
done
[[ $status == 0 ]] && echo "platform layering holds"
exit $status
