#!/usr/bin/env bash
# Fails when a C++ file of the tree is not laid out as .clang-format says; prints the files
# and the first lines that differ. Usage: check_format.sh [ROOT]
set -uo pipefail
root=${1:-$(cd "$(dirname "$0")/../.." && pwd)}
cd "$root" || exit 2
command -v clang-format >/dev/null || { echo "clang-format is not installed"; exit 2; }

bad=0
while IFS= read -r -d '' file; do
  if ! clang-format --dry-run -Werror "$file" 2>/dev/null; then
    echo "$file is not formatted (clang-format -i $file):"
    clang-format "$file" | diff "$file" - | head -n 8 | sed 's/^/  /'
    bad=$((bad + 1))
  fi
done < <(find . \( -path ./build -o -path ./.git \) -prune -o \
           \( -name '*.cpp' -o -name '*.h' \) -type f -print0 | sort -z)

if [ "$bad" != 0 ]; then
  echo "$bad file(s) differ from .clang-format"
  exit 1
fi
echo "every C++ file is formatted"
