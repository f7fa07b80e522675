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
  # GTK hosts embed the LV2 editor through suil's X11-in-GTK3 wrapper
  # (Audacity, jalv) or its X11-in-GTK2 one (Ardour), which need GTK's
  # libraries (not their headers); a window manager moves the keyboard focus
  # on clicks as on users' desktops, for the tests that type into hosts'
  # windows.
  libgtk-3-0 libgtk2.0-0 openbox
  # The Debian package: dpkg-shlibdeps finds its dependencies, file tells
  # CPack which files are shared objects, lintian checks the package.
  dpkg-dev file lintian
  # Texts and files are checked in a locale with a decimal comma as well.
  locales
  # The CLAP interface headers (scripts/fetch-clap-headers.sh takes only
  # those from it), and Qtractor's plug-in scanner, a CLAP host the tests
  # run the module in.
  dpf-source qtractor
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

# The comma-decimal locale the tests switch to, as a German desktop sets it.
if ! locale -a 2>/dev/null | grep -qix 'de_DE.utf8'; then
  sudo=""
  [[ $(id -u) -ne 0 ]] && sudo="sudo"
  $sudo localedef -i de_DE -f UTF-8 de_DE.UTF-8
fi
