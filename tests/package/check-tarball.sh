#!/usr/bin/env bash
# Builds the portable tarball from a build folder, unpacks it, installs it
# with its install.sh into a scratch home and into a scratch prefix, loads
# what got installed as hosts do, then uninstalls and finds each folder as
# it was.
#   check-tarball.sh BUILD_DIR TOLMAR_RENDER
set -euo pipefail
build=$1
render=$2
name=tolmar-charge-chain-delay-2.0.3-linux-x86_64
tarball="$build/package/$name.tar.gz"
vst3_name="Tolmar Charge Chain Delay.vst3"
lv2_name=tolmar-charge-chain-delay.lv2
clap_name=tolmar-charge-chain-delay.clap
clap_resources_name=tolmar-charge-chain-delay-resources
uri=http://www.tolmarmusic.com/music/lv2/tolmar-charge-chain-delay
preset_subfolder="Tolmar Music/Tolmar Charge Chain Delay"

fail() { echo "FAIL: $*" >&2; exit 1; }

rm -f "$tarball"
(cd "$build" && cpack -G TGZ --config CPackConfig.cmake >/dev/null) || fail "cpack -G TGZ failed"
[[ -f $tarball ]] || fail "no $tarball"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
tar -xzf "$tarball" -C "$scratch"
unpacked="$scratch/$name"
[[ $(ls "$scratch") == "$name" ]] || fail "the tarball does not hold one folder $name"
for f in install.sh README LICENSE Roboto-LICENSE "$vst3_name/Contents/Resources/Roboto-Regular.ttf" \
  "$lv2_name/manifest.ttl" "$lv2_name/resources/Roboto-Regular.ttf" "$clap_name" \
  "$clap_resources_name/Roboto-Regular.ttf" "$clap_resources_name/knob@2x.png"; do
  [[ -f "$unpacked/$f" && ! -L "$unpacked/$f" ]] || fail "the tarball lacks $f"
done
[[ -x "$unpacked/install.sh" ]] || fail "install.sh is not executable"
while IFS= read -r -d '' module; do
  file "$module" | grep -q ", stripped" || fail "$module is not stripped"
done < <(find "$unpacked" \( -name '*.so' -o -name '*.clap' \) -print0)
built=$(cd "$build/presets/$preset_subfolder" && ls ./*.vstpreset)
[[ $(wc -l <<<"$built") -eq 10 ]] || fail "the build holds $(wc -l <<<"$built") presets, not 10"

# What a folder holds, with each entry's kind and mode.
listing() { (cd "$1" && find . -printf '%y %m %p\n' | LC_ALL=C sort); }

# Installs into one place (install.sh's options in $@, HOME set by the
# caller), checks it as hosts find it, uninstalls and compares.
#   install_and_remove ROOT VST3_DIR PRESET_DIR LV2_DIR CLAP_DIR [OPTIONS...]
install_and_remove() {
  local root=$1 vst3_dir=$2 preset_dir=$3 lv2_dir=$4 clap_dir=$5
  shift 5
  local before out
  before=$(listing "$root")
  out=$("$unpacked/install.sh" "$@") || fail "install.sh $* failed: $out"
  grep -qF "$vst3_dir/$vst3_name" <<<"$out" || fail "install.sh $* does not say where the VST 3 plug-in went: $out"
  grep -qF "$clap_dir/$clap_name" <<<"$out" || fail "install.sh $* does not say where the CLAP plug-in went: $out"
  # Installing again replaces the first install.
  "$unpacked/install.sh" "$@" >/dev/null || fail "installing twice failed"

  [[ $(cd "$preset_dir" && ls ./*.vstpreset) == "$built" ]] || fail "$preset_dir does not hold the ten presets"
  # The plug-in keeps its settings in its user's home: not the one under test.
  out=$(HOME="$scratch/user" "$render" --plugin "$vst3_dir/$vst3_name" --list-presets) ||
    fail "the installed VST 3 bundle does not load"
  grep -q "Comb Resonator" <<<"$out" || fail "the installed VST 3 bundle lists no presets: $out"
  HOME="$scratch/user" "$render" --plugin "$vst3_dir/$vst3_name" --state "$preset_dir/Slapback.vstpreset" --impulse \
    --seconds 0.2 --tail 0.2 --quiet "$scratch/ir.wav" || fail "an installed preset does not load"
  rm -f "$scratch/ir.wav"
  LV2_PATH="$lv2_dir" lv2ls | grep -qxF "$uri" || fail "lilv does not find the LV2 plug-in in $lv2_dir"
  [[ $(LV2_PATH="$lv2_dir" lv2info "$uri" | awk '/Presets:/ { on = 1; next } on && NF == 0 { exit } on { n++ } END { print n + 0 }') -eq 10 ]] ||
    fail "the installed LV2 plug-in does not offer ten presets"
  [[ -f "$clap_dir/$clap_name" && -f "$clap_dir/$clap_resources_name/back@2x.png" ]] ||
    fail "the CLAP plug-in and its resources are not in $clap_dir"
  HOME="$scratch/user" "$render" --plugin "$clap_dir/$clap_name" --state "$preset_dir/Slapback.vstpreset" --impulse \
    --seconds 0.2 --tail 0.2 --quiet "$scratch/ir.wav" || fail "the installed CLAP plug-in does not load a preset"
  rm -f "$scratch/ir.wav"

  out=$("$unpacked/install.sh" "$@" --uninstall) || fail "install.sh $* --uninstall failed: $out"
  [[ $(listing "$root") == "$before" ]] ||
    fail "after --uninstall $root differs: $(diff <(echo "$before") <(listing "$root") || true)"
}

# A home that already has a VST 3 folder with another plug-in in it, and no
# LV2 folder: the one stays as it was, the other goes again.
home="$scratch/home"
mkdir -p "$home/.vst3/Other.vst3/Contents" "$scratch/user"
echo other >"$home/.vst3/Other.vst3/Contents/file"
HOME="$home" install_and_remove "$home" "$home/.vst3" "$home/.vst3/presets/$preset_subfolder" "$home/.lv2" \
  "$home/.clap"

# A system-wide layout under a prefix that does not exist yet.
prefix="$scratch/prefix/usr-local"
mkdir -p "$scratch/prefix"
HOME="$home" install_and_remove "$scratch/prefix" "$prefix/lib/vst3" "$prefix/share/vst3/presets/$preset_subfolder" \
  "$prefix/lib/lv2" "$prefix/lib/clap" --prefix "$prefix"

# An install record that names anything else is refused whole.
HOME="$home" "$unpacked/install.sh" >/dev/null
manifest="$home/.vst3/$vst3_name/Contents/install-manifest"
echo "f $home/.vst3/Other.vst3/Contents/file" >>"$manifest"
if HOME="$home" "$unpacked/install.sh" --uninstall >/dev/null 2>&1; then
  fail "install.sh --uninstall followed a record that names another plug-in"
fi
[[ -f "$home/.vst3/Other.vst3/Contents/file" && -d "$home/.lv2/$lv2_name" ]] ||
  fail "a refused uninstall removed something"
echo "tarball ok: $tarball"
