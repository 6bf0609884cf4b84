#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, and any named as arguments, if any
# is missing. libxc-dev gives korva-psgen its exchange-correlation, python3-numpy the XANES
# comparison of bench/xanes and the Python module's arrays; gemmi-dev (structure files, for
# korva-cluster) is header-only and needs PEGTL and stb, which Debian does not install with it.
# The Python module: pybind11-dev and python3-dev to build it, python3-pytest for its tests,
# python3-matplotlib for its example, python3-ase for structures given as ase.Atoms.
set -euo pipefail
pkgs=(g++ cmake make pkg-config libgtest-dev libgmock-dev libgsl-dev libeigen3-dev libboost-dev
      libcairo2-dev libxc-dev gemmi-dev tao-pegtl-dev libstb-dev python3-numpy python3-dev
      pybind11-dev python3-pytest python3-matplotlib python3-ase "$@")
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
