#!/bin/sh
# Fails when a tracked .cpp or .h file differs from what clang-format 14 makes
# of it with the repository's .clang-format, and lists those files. Fix one
# with `clang-format -i FILE`. CLANG_FORMAT picks another clang-format program.
set -e
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/ensure-packages.sh"
clang_format=${CLANG_FORMAT:-clang-format}

# Other versions format differently: their verdict would not be the repository's.
version=$("$clang_format" --version)
case "$version" in
    *"version 14."*) ;;
    *)
        echo "check-format: clang-format 14 is needed, found: $version" >&2
        exit 1
        ;;
esac

cd "$root"
differing=$(git ls-files -- '*.cpp' '*.h' | while read -r file; do
    "$clang_format" --style=file:.clang-format --dry-run --Werror "$file" >/dev/null 2>&1 ||
        echo "$file"
done)
checked=$(git ls-files -- '*.cpp' '*.h' | wc -l)
if [ -n "$differing" ]; then
    count=$(echo "$differing" | wc -l)
    echo "check-format: $count of $checked files differ from clang-format's output:"
    echo "$differing" | sed 's/^/    /'
    exit 1
fi
echo "check-format: all $checked files are formatted"
