#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, and any named as arguments, if any
# is missing. libxc-dev gives korva-psgen its exchange-correlation, python3-numpy the XANES
# comparison of bench/xanes; gemmi-dev (structure files, for korva-cluster) is header-only and needs PEGTL and
# stb, which Debian does not install with it.
set -euo pipefail
pkgs=(g++ cmake make pkg-config libgtest-dev libgmock-dev libgsl-dev libeigen3-dev libboost-dev
      libcairo2-dev libxc-dev gemmi-dev tao-pegtl-dev libstb-dev python3-numpy "$@")
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq "${missing[@]}" >/dev/null
fi
