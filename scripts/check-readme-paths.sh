#!/usr/bin/env bash
# Fails, naming each one, when the README names a repository path that does not exist, so that a
# moved or renamed file cannot leave the README behind. A path is a word that starts with one of
# the repository's top-level folders and a slash (build/ and other generated trees are not
# folders of the repository); <name> and * in it stand for any part of one path component.
# usage: scripts/check-readme-paths.sh [ROOT]   (ROOT: the repository, default this script's)
set -euo pipefail
root=${1:-$(dirname "$0")/..}
cd "$root"
[[ -f README.md ]] || { echo "no README.md in $PWD" >&2; exit 1; }

folders=$(find . -mindepth 1 -maxdepth 1 -type d ! -name '.*' ! -name build -printf '%f\n' | paste -sd '|')
mapfile -t paths < <(
  grep -oE "(^|[^[:alnum:]_./-])($folders)/[[:alnum:]_.<>*+/-]*" README.md |
    sed -E 's/^[^[:alnum:]]//; s/[.,;:]+$//' | sort -u)

missing=0
for path in "${paths[@]}"; do
  pattern=$(sed -E 's/<[^>]*>/*/g' <<<"$path")
  # shellcheck disable=SC2086  # the pattern is meant to expand
  if ! compgen -G "${pattern%/}" >/dev/null; then
    echo "README.md names $path, which is not in the repository" >&2
    missing=1
  fi
done
((missing == 0)) && echo "README.md: ${#paths[@]} repository paths, all present"
exit "$missing"
