#!/usr/bin/env bash
# Unpacks the VST 3 SDK headers and sources from Debian's
# juce-modules-source-data package into a build-tree folder. Only the
# VST3_SDK folder of that package is used. Nothing is installed system-wide;
# a folder that already holds the SDK is left as it is.
#
# Usage: fetch-vst3-sdk.sh DEST_DIR
# Prints the path of the SDK root on success.
set -euo pipefail

dest="${1:?usage: fetch-vst3-sdk.sh DEST_DIR}"
package=juce-modules-source-data
sdk_rel=usr/share/juce/modules/juce_audio_processors/format_types/VST3_SDK
sdk="$dest/$package/$sdk_rel"

if [[ -f "$sdk/pluginterfaces/base/funknown.h" ]]; then
  echo "$sdk"
  exit 0
fi

mkdir -p "$dest"
work="$(mktemp -d "$dest/.fetch.XXXXXX")"
trap 'rm -rf "$work"' EXIT

download() { (cd "$work" && apt-get download "$package" >/dev/null 2>&1); }
if ! download; then
  # A stale package list is the usual reason for a failed download.
  apt-get update >/dev/null 2>&1 || true
  if ! download; then
    echo "fetch-vst3-sdk: cannot download $package with apt-get" >&2
    exit 1
  fi
fi

deb="$(ls "$work"/"$package"_*.deb | head -n 1)"
mkdir -p "$work/x"
dpkg-deb -x "$deb" "$work/x"
if [[ ! -f "$work/x/$sdk_rel/pluginterfaces/base/funknown.h" ]]; then
  echo "fetch-vst3-sdk: $deb holds no VST3_SDK folder" >&2
  exit 1
fi

# Keep only the SDK folder; move it into place in one step so that an
# interrupted run never leaves a half-filled SDK behind.
rm -rf "$dest/$package"
mkdir -p "$dest/$package/$(dirname "$sdk_rel")"
mv "$work/x/$sdk_rel" "$sdk"
echo "$sdk"
