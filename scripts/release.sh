#!/bin/bash
# Builds the release packages of both architectures into an empty
# build/release/, with their winget and Scoop manifests and SHA256SUMS, and
# checks every zip against the SHA256SUMS it carries. With a tag, checks
# that it names the project's version.
#
#   scripts/release.sh [TAG]       (QUILLEX_REPOSITORY_URL: where the
#                                   downloads will be, https://github.com/OWNER/REPO)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install_deps.sh --build

version=$(sed -n 's/^project(quillex VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
if [ -n "${1:-}" ] && [ "$1" != "v$version" ]; then
    echo "release: the tag $1 does not name the project's version $version (v$version)" >&2
    exit 1
fi

release=$PWD/build/release
rm -rf "$release"
for preset in win32-i686 win32-x86_64; do
    cmake --preset "$preset" -DQUILLEX_RELEASE_DIR="$release" \
        ${QUILLEX_REPOSITORY_URL:+-DQUILLEX_REPOSITORY_URL="$QUILLEX_REPOSITORY_URL"} >/dev/null
    cmake --build --preset "$preset" --target package
done

for zip in "$release"/*.zip; do
    unpacked=$(mktemp -d)
    python3 -m zipfile -e "$zip" "$unpacked"
    (cd "$unpacked"/* && sha256sum --check --strict SHA256SUMS)
    rm -rf "$unpacked"
done
(cd "$release" && sha256sum --check --strict SHA256SUMS)
echo "release: $version in $release:"
ls -l "$release"
