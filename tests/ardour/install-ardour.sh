#!/usr/bin/env bash
# Set-up of the Ardour tests: installs Debian's ardour package (its headless
# session host ardour7-lua) when it is missing. Exits 77, which the tests
# report as skipped, when it can be neither found nor installed.
set -uo pipefail

if command -v ardour7-lua >/dev/null; then
  echo "Ardour is installed: $(ardour7-lua --version | head -n 1)"
  exit 0
fi

sudo=""
if [[ $(id -u) -ne 0 ]]; then
  if ! sudo -n true 2>/dev/null; then
    echo "SKIPPED: ardour7-lua is missing, and installing Debian's package ardour needs root (or sudo without a password)"
    exit 77
  fi
  sudo="sudo -n"
fi
if ! command -v apt-get >/dev/null; then
  echo "SKIPPED: ardour7-lua is missing, and this system has no apt-get to install Debian's package ardour"
  exit 77
fi

echo "Installing Debian's package ardour for its headless session host ardour7-lua"
export DEBIAN_FRONTEND=noninteractive
started=$SECONDS
if ! $sudo apt-get install -y -qq --no-install-recommends ardour >/dev/null; then
  $sudo apt-get update -qq && $sudo apt-get install -y -qq --no-install-recommends ardour >/dev/null
fi
if ! command -v ardour7-lua >/dev/null; then
  echo "SKIPPED: Debian's package ardour could not be installed; the Ardour tests do not run"
  exit 77
fi
echo "Installed in $((SECONDS - started)) s: $(ardour7-lua --version | head -n 1)"
