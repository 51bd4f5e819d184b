#!/usr/bin/env bash
# Installs the Debian packages HVX needs to build and test. Safe to run again:
# packages already present are left as they are and nothing is fetched then.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  libtinyxml-dev
  libzmq3-dev cppzmq-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libpng-dev libcli11-dev
  clang-14 libclang-rt-14-dev llvm-14
  libcpp-httplib-dev libturbojpeg0-dev libtiff-dev
  chromium ffmpeg nlohmann-json3-dev
  etcd-server etcd-client
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"

# The tests start etcd members of their own on free ports; Debian's etcd-server also
# starts a system etcd on port 2379, which nothing here uses: stopped again when this
# run installed it.
if printf '%s\n' "${missing[@]}" | grep -qx etcd-server && [ -d /run/systemd/system ]; then
  $SUDO systemctl disable --now etcd >/dev/null 2>&1 || true
fi
