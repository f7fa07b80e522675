#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, and any more
# named on the command line. Does nothing when they are all present already.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  libgtest-dev libbenchmark-dev
  libcurl4-openssl-dev
  libcairo2-dev libfreetype-dev fonts-roboto-unhinted
  libsndfile1-dev
  libxcb1-dev
  # The editor tests run the editor in a virtual X server and click it.
  xvfb libxcb-xtest0-dev
  # The LV2 plug-in: its headers, and lilv and suil to load it in the tests.
  lv2-dev liblilv-dev lilv-utils libsuil-dev
  # The Debian package: dpkg-shlibdeps finds its dependencies, file tells
  # CPack which files are shared objects, lintian checks the package.
  dpkg-dev file lintian
)

packages+=("$@")
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  sudo=""
  [[ $(id -u) -ne 0 ]] && sudo="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
