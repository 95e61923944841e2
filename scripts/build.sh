#!/usr/bin/env bash
# Configures (once) and builds Discora in build/ (Release).
set -euo pipefail
cd "$(dirname "$0")/.."
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
[ -f build/build.ninja ] || cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release "${launcher[@]}" >/dev/null
# With Ninja, Qt's moc step does not run again for a header added since the
# last build (after a pull or a merge): its stamp still looks current and the
# link then fails on a missing vtable. Drop the stamps and the parse cache
# whenever the set of headers has changed.
headers=$(find app lib details -name '*.h' | sort | md5sum)
if [ "$(cat build/.headers 2>/dev/null)" != "$headers" ]; then
  find build \( \( -name ParseCache.txt -path '*_autogen.dir/*' \) -o \( -name timestamp -path '*_autogen/*' \) \) -delete
fi
cmake --build build --parallel "$(nproc)"
echo "$headers" >build/.headers
