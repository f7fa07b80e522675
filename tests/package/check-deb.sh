#!/usr/bin/env bash
# Builds the Debian package from a build folder, checks its fields and file
# list, has lintian check it, unpacks it into a scratch root and loads the
# bundle from there.
#   check-deb.sh BUILD_DIR TOLMAR_RENDER
set -euo pipefail
build=$1
render=$2
name=tolmar-charge-chain-delay
deb="$build/package/${name}_2.0.3_amd64.deb"
vst3="usr/lib/vst3/Tolmar Charge Chain Delay.vst3"
presets="usr/share/vst3/presets/Tolmar Music/Tolmar Charge Chain Delay"
clap_dir=usr/lib/clap
clap="$clap_dir/tolmar-charge-chain-delay.clap"
clap_resources="$clap_dir/tolmar-charge-chain-delay-resources"

fail() { echo "FAIL: $*" >&2; exit 1; }

rm -f "$deb"
(cd "$build" && cpack -G DEB --config CPackConfig.cmake >/dev/null) || fail "cpack -G DEB failed"
[[ -f $deb ]] || fail "no $deb"

[[ $(dpkg-deb -f "$deb" Package) == "$name" ]] || fail "package name"
[[ $(dpkg-deb -f "$deb" Version) == "2.0.3" ]] || fail "version"
[[ $(dpkg-deb -f "$deb" Architecture) == "amd64" ]] || fail "architecture"
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libcairo2 libxcb1 libfreetype libcurl libstdc++6 libc6 fonts-roboto-unhinted; do
  grep -q "$lib" <<<"$depends" || fail "Depends lacks $lib: $depends"
done

listing=$(dpkg-deb -c "$deb" | sed -E 's/^([^ ]+ +){5}//; s#^\./##; s#/$##; s/ -> .*$//')
expect() { grep -qxF "$1" <<<"$listing" || fail "the package lacks $1"; }
expect "$vst3/Contents/x86_64-linux/Tolmar Charge Chain Delay.so"
for resource in back knob switch ranges button; do
  expect "$vst3/Contents/Resources/$resource.png"
  expect "$vst3/Contents/Resources/$resource@2x.png"
done
# The editor's font is Debian's: a relative link that reaches the font of
# fonts-roboto-unhinted once installed.
font=/usr/share/fonts/truetype/roboto/unhinted/RobotoTTF/Roboto-Regular.ttf
[[ -f $font ]] || fail "fonts-roboto-unhinted is not installed"
links_to_font() {
  local link
  link=$(dpkg-deb -c "$deb" | grep -F "./$1 -> " | sed 's/.* -> //') || fail "$1 is not a link in the package"
  [[ $link != /* && $(realpath -m "/$(dirname "$1")/$link") == "$font" ]] || fail "$1 links to $link, not to $font"
}
links_to_font "$vst3/Contents/Resources/Roboto-Regular.ttf"
# Every preset file the build wrote, and no others.
built=$(cd "$build/presets" && find . -name '*.vstpreset' | sed 's#^\./#usr/share/vst3/presets/#' | sort)
[[ $(wc -l <<<"$built") -eq 10 ]] || fail "the build holds $(wc -l <<<"$built") preset files, not 10"
packaged=$(grep '\.vstpreset$' <<<"$listing" | sort)
[[ $built == "$packaged" ]] || fail "packaged presets differ from the built ones: $packaged"
expect "usr/share/doc/$name/copyright"
expect "usr/share/doc/$name/changelog.gz"
dpkg-deb --fsys-tarfile "$deb" | tar -xO "./usr/share/doc/$name/changelog.gz" | zcat | head -1 |
  grep -qF "$name (2.0.3) " || fail "the changelog does not start with version 2.0.3"
# Nothing outside the plug-in folders and the documentation.
stray=$(grep -vE '^(usr|usr/lib|usr/share|usr/share/doc|usr/lib/vst3(/.*)?|usr/lib/lv2(/.*)?|usr/lib/clap(/.*)?|usr/share/vst3(/.*)?|usr/share/doc/'"$name"'(/.*)?|usr/share/lintian(/.*)?)$' <<<"$listing" || true)
[[ -z $stray ]] || fail "unexpected files: $stray"
grep -qF "/usr/share/common-licenses/GPL-3" <(dpkg-deb --fsys-tarfile "$deb" | tar -xO "./usr/share/doc/$name/copyright") \
  || fail "the copyright file does not name the licence"

# Debian's own checks: no error and no warning, but those overridden with a
# reason (a comment above each override).
command -v lintian >/dev/null || fail "lintian is missing (scripts/install-deps.sh installs it)"
overrides=$(dpkg-deb --fsys-tarfile "$deb" | tar -xO "./usr/share/lintian/overrides/$name" 2>/dev/null || true)
unexplained=$(awk '/^#/ { reason = 1; next } /^[ \t]*$/ { reason = 0; next } !reason { print } { reason = 0 }' <<<"$overrides")
[[ -z $unexplained ]] || fail "lintian overrides without a reason: $unexplained"
status=0
report=$(lintian --fail-on error,warning --tag-display-limit 0 "$deb" 2>&1) || status=$?
((status == 0)) || fail "lintian rejects the package:"$'\n'"$report"
# A build with Debian's hardening flags (scripts/package.sh) leaves none of
# lintian's notes about missing hardening either.
if grep -qx 'TOLMAR_DEBIAN_BUILDFLAGS:BOOL=ON' "$build/CMakeCache.txt"; then
  notes=$(lintian --display-info --tag-display-limit 0 "$deb" 2>&1 | grep -E 'hardening-no-(fortify-functions|bindnow|relro)' || true)
  [[ -z $notes ]] || fail "the hardened build's modules lack hardening:"$'\n'"$notes"
fi

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg -x "$deb" "$root"
# Loaded from the unpacked package as a host loads it: module entry,
# factory, an instance, and one of the packaged presets applied.
out=$(HOME="$root" "$render" --plugin "$root/$vst3" --list-presets) || fail "the unpacked bundle does not load"
grep -q "Comb Resonator" <<<"$out" || fail "the unpacked bundle lists no presets: $out"
HOME="$root" "$render" --plugin "$root/$vst3" --state "$root/$presets/Slapback.vstpreset" --impulse --seconds 0.2 \
  --tail 0.2 --quiet "$root/ir.wav" || fail "the packaged preset does not load into the packaged bundle"
# The LV2 bundle, when the tree builds it: packaged whole, and found by an
# LV2 host's discovery in the unpacked root.
lv2=usr/lib/lv2/tolmar-charge-chain-delay.lv2
if [[ -d "$build/lv2/tolmar-charge-chain-delay.lv2" ]]; then
  expect "$lv2/manifest.ttl"
  [[ ! -f "$build/lv2/tolmar-charge-chain-delay.lv2/resources/Roboto-Regular.ttf" ]] ||
    links_to_font "$lv2/resources/Roboto-Regular.ttf"
  built_lv2=$(cd "$build/lv2" && find . -type f | sed 's#^\./#usr/lib/lv2/#' | sort)
  packaged_lv2=$(grep '^usr/lib/lv2/.*[^/]$' <<<"$listing" | grep -v '^usr/lib/lv2/[^/]*$' | sort)
  while IFS= read -r f; do
    grep -qxF "$f" <<<"$packaged_lv2" || fail "the package lacks $f"
  done <<<"$built_lv2"
  if command -v lv2ls >/dev/null; then
    LV2_PATH="$root/usr/lib/lv2" lv2ls | grep -q . || fail "no LV2 host finds the unpacked LV2 bundle"
  fi
fi
# The CLAP module, when the tree builds it: in /usr/lib/clap with its
# resources folder beside it, stripped, and loaded from the unpacked root
# with one of the packaged presets.
if [[ -f "$build/clap/tolmar-charge-chain-delay.clap" ]]; then
  expect "$clap"
  for resource in back knob switch ranges button; do
    expect "$clap_resources/$resource.png"
    expect "$clap_resources/$resource@2x.png"
  done
  links_to_font "$clap_resources/Roboto-Regular.ttf"
  file "$root/$clap" | grep -q ", stripped" || fail "$clap is not stripped"
  HOME="$root" "$render" --plugin "$root/$clap" --state "$root/$presets/Slapback.vstpreset" --impulse --seconds 0.2 \
    --tail 0.2 --quiet "$root/ir-clap.wav" || fail "the packaged preset does not load into the packaged CLAP module"
  cmp -s "$root/ir.wav" "$root/ir-clap.wav" || fail "the packaged CLAP module does not sound as the packaged VST 3 bundle"
fi
echo "package ok: $deb"
