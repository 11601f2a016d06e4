#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need, when
# any is missing (apt-get; needs root). Quiet when everything is there.
# Packages named as arguments are installed too (tools/build_windows.sh
# passes its cross compiler and Wine).
set -euo pipefail
packages=(cmake ninja-build g++ clang clang-14 libclang-rt-14-dev googletest libgtest-dev libgmock-dev
          libbenchmark-dev libcli11-dev libfmt-dev libegl-dev libgl-dev libglu1-mesa-dev
          libegl-mesa0 libgl1-mesa-dri libpng-dev zlib1g-dev valgrind)
packages+=(nlohmann-json3-dev)  # actorhost validate: its JSON report; the demo's summary.json
packages+=(libpcap-dev tcpdump libgif-dev)  # suitsim's pcap captures; the demo's animation
packages+=(libglfw3-dev xvfb xauth)  # the live preview window; its tests run under xvfb-run
packages+=(gcovr)  # tools/coverage.sh: line and branch coverage per plug-in
packages+=(clang-tidy-14 cppcheck python3)  # tools/static_analysis.sh
packages+=("$@")
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "== installing: ${missing[*]}"
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
