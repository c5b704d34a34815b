#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need. Quiet and quick when
# everything is already present; run as root (or with sudo available).
set -euo pipefail

packages=(g++ cmake make pkg-config libtbb-dev libboost-dev libtclap-dev libnuma-dev
          nlohmann-json3-dev libgtest-dev python3)
# qemu-user lets the test suite prove the processor check on a processor without AVX-512.
optional=(qemu-user)

missing=()
for p in "${packages[@]}" "${optional[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq >/dev/null
if ! "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null; then
    # The optional packages must never block a build: retry with the required ones only.
    required=()
    for p in "${missing[@]}"; do [[ " ${optional[*]} " == *" $p "* ]] || required+=("$p"); done
    [ ${#required[@]} -eq 0 ] || "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${required[@]}" >/dev/null
fi
