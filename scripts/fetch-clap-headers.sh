#!/usr/bin/env bash
# Unpacks the CLAP interface headers from Debian's dpf-source package into a
# build-tree folder. Only the package's distrho/src/clap folder is used.
# Nothing is installed system-wide; a folder that already holds the headers
# is left as it is.
#
# Usage: fetch-clap-headers.sh DEST_DIR
# Prints the folder to put on the include path (it holds clap/plugin.h).
set -euo pipefail

dest="${1:?usage: fetch-clap-headers.sh DEST_DIR}"
package=dpf-source
headers_rel=usr/share/dpf/distrho/src/clap
include="$dest/$package/$(dirname "$headers_rel")"

if [[ -f "$include/clap/plugin.h" ]]; then
  echo "$include"
  exit 0
fi

mkdir -p "$dest"
work="$(mktemp -d "$dest/.fetch.XXXXXX")"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/x"

# The package's own .deb, as apt would install it; where it cannot be
# downloaded (no network), the copy of an installed package is as good.
download() { (cd "$work" && apt-get download "$package" >/dev/null 2>&1); }
if download || { apt-get update >/dev/null 2>&1 || true; download; }; then
  deb="$(ls "$work"/"$package"_*.deb | head -n 1)"
  dpkg-deb -x "$deb" "$work/x"
elif [[ -f "/$headers_rel/plugin.h" ]]; then
  mkdir -p "$work/x/$(dirname "$headers_rel")"
  cp -r "/$headers_rel" "$work/x/$headers_rel"
else
  echo "fetch-clap-headers: cannot download $package with apt-get, and it is not installed" >&2
  exit 1
fi
if [[ ! -f "$work/x/$headers_rel/plugin.h" ]]; then
  echo "fetch-clap-headers: $package holds no CLAP headers in $headers_rel" >&2
  exit 1
fi

# Keep only the header folder; move it into place in one step so that an
# interrupted run never leaves a half-filled folder behind.
rm -rf "$dest/$package"
mkdir -p "$include"
mv "$work/x/$headers_rel" "$include/clap"
echo "$include"
