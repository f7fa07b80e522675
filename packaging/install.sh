#!/bin/sh
# Installs Tolmar Charge Chain Delay from the folder this script is in.
#
#   ./install.sh               into ~/.vst3, ~/.vst3/presets, ~/.lv2 and ~/.clap
#   ./install.sh --system      into /usr/local/lib/vst3, /usr/local/share/vst3/presets,
#                              /usr/local/lib/lv2 and /usr/local/lib/clap (needs root)
#   ./install.sh --prefix DIR  into DIR/lib/vst3, DIR/share/vst3/presets, DIR/lib/lv2
#                              and DIR/lib/clap
#   ... --uninstall            removes what an earlier run installed there
#
# Every file and folder an install creates is written down in the installed
# VST 3 bundle (Contents/install-manifest); --uninstall removes exactly
# those, so folders that were there before, and anything else in them, stay.
set -eu
umask 022

vst3_name="Tolmar Charge Chain Delay.vst3"
lv2_name="tolmar-charge-chain-delay.lv2"
# The CLAP plug-in is one file; the editor's art lies in the folder beside it.
clap_name="tolmar-charge-chain-delay.clap"
clap_resources_name="tolmar-charge-chain-delay-resources"
preset_subfolder="Tolmar Music/Tolmar Charge Chain Delay"
newline='
'

usage() {
  cat <<EOF
usage: $0 [--system | --prefix DIR] [--uninstall]

Installs the VST 3, LV2 and CLAP plug-ins and the factory presets:
  (no option)   for you alone: ~/.vst3, ~/.vst3/presets, ~/.lv2, ~/.clap
  --system      for every user: /usr/local/lib/vst3, /usr/local/share/vst3/presets,
                /usr/local/lib/lv2, /usr/local/lib/clap (run it as root, e.g. with sudo)
  --prefix DIR  as --system, under DIR instead of /usr/local
  --uninstall   removes what an earlier install put there, and nothing else
EOF
}

fail() {
  echo "install.sh: $*" >&2
  exit 1
}

# --- Where things go --------------------------------------------------------------
mode=install
prefix=""
while [ $# -gt 0 ]; do
  case $1 in
    --system) prefix=/usr/local ;;
    --prefix)
      [ $# -ge 2 ] || { usage >&2; exit 2; }
      prefix=$2
      shift
      ;;
    --uninstall) mode=uninstall ;;
    -h | --help) usage; exit 0 ;;
    *) usage >&2; exit 2 ;;
  esac
  shift
done

if [ -n "$prefix" ]; then
  case $prefix in /*) ;; *) prefix=$(pwd)/$prefix ;; esac
  prefix=${prefix%/}
  [ -d "$(dirname -- "$prefix")" ] || fail "there is no folder $(dirname -- "$prefix"); nothing done"
  # The install makes the prefix folder, if need be, and folders below it.
  base=$prefix
  vst3_dir=$prefix/lib/vst3
  preset_root=$prefix/share/vst3/presets
  lv2_dir=$prefix/lib/lv2
  clap_dir=$prefix/lib/clap
  if [ "$prefix" = /usr/local ]; then again="$0 --system"; else again="$0 --prefix '$prefix'"; fi
else
  case ${HOME:-} in
    /?*) [ -d "$HOME" ] || fail "HOME ($HOME) is not a folder; nothing done" ;;
    *) fail "HOME is not set to a folder; nothing done" ;;
  esac
  home=${HOME%/}
  # The install makes folders below the home folder only.
  base=$home
  vst3_dir=$home/.vst3
  preset_root=$vst3_dir/presets
  lv2_dir=$home/.lv2
  clap_dir=$home/.clap
  again=$0
fi
case $vst3_dir$lv2_dir$clap_dir in
  *"$newline"* | */../* | */./*) fail "refusing the folder name '$vst3_dir'; nothing done" ;;
esac
vst3_bundle=$vst3_dir/$vst3_name
lv2_bundle=$lv2_dir/$lv2_name
clap_module=$clap_dir/$clap_name
clap_resources=$clap_dir/$clap_resources_name
preset_dir=$preset_root/$preset_subfolder
manifest=$vst3_bundle/Contents/install-manifest

# --- The record of what an install created -----------------------------------------
# One line per entry, "d FOLDER" or "f FILE", in the order they were made.
created=""
record() { created="$created$1 $2$newline"; }

# Creates a folder and any missing folders above it, recording each.
make_folder() {
  [ -d "$1" ] && return 0
  make_folder "$(dirname -- "$1")" || return 1
  mkdir -- "$1" 2>/dev/null || return 1
  record d "$1"
}

# Records a copied tree, folders before what they hold.
record_tree() {
  tree=$(find "$1" -print) || return 1
  while IFS= read -r entry; do
    if [ -d "$entry" ] && [ ! -L "$entry" ]; then record d "$entry"; else record f "$entry"; fi
  done <<EOF
$tree
EOF
}

# The lines of a record, last first.
reversed() { printf '%s' "$1" | awk '{ line[NR] = $0 } END { for (i = NR; i > 0; i--) print line[i] }'; }

# An entry the install could have made: one of the plug-in folders or a
# folder above them, our bundles and what they hold, our preset files.
allowed_entry() {
  kind=$1
  path=$2
  case $path in
    "" | *"/../"* | *"/.." | *"/./"* | *"/.") return 1 ;;
  esac
  case $kind:$path in
    d:"$vst3_bundle" | d:"$lv2_bundle" | d:"$vst3_bundle"/* | d:"$lv2_bundle"/*) return 0 ;;
    f:"$vst3_bundle"/* | f:"$lv2_bundle"/*) return 0 ;;
    f:"$clap_module" | d:"$clap_resources" | d:"$clap_resources"/* | f:"$clap_resources"/*) return 0 ;;
    f:"$preset_dir"/*.vstpreset) case ${path#"$preset_dir"/} in */*) return 1 ;; *) return 0 ;; esac ;;
    d:"$base"/* | d:"$prefix")
      for root in "$vst3_dir" "$preset_dir" "$lv2_dir" "$clap_dir"; do
        case $root/ in "$path"/*) return 0 ;; esac
      done
      return 1
      ;;
  esac
  return 1
}

# Removes the entries of a record: files first, then the folders it made,
# deepest first, where nothing else has been put into them since. Prints the
# folders it had to keep.
remove_entries() {
  while IFS= read -r line; do
    [ -n "$line" ] || continue
    case $line in f\ *) rm -f -- "${line#f }" ;; esac
  done <<EOF
$1
EOF
  rest=$(reversed "$1")
  while IFS= read -r line; do
    case $line in
      d\ *)
        folder=${line#d }
        [ -d "$folder" ] || continue
        rmdir -- "$folder" 2>/dev/null || echo "  kept $folder: it holds files of others"
        ;;
    esac
  done <<EOF
$rest
EOF
}

# Reads the record of the last install into $previous, checking every line.
read_manifest() {
  previous=$(cat -- "$manifest") || fail "cannot read $manifest; nothing removed"
  while IFS= read -r line; do
    [ -n "$line" ] || continue
    allowed_entry "${line%% *}" "${line#? }" ||
      fail "$manifest names '${line#? }', which no install made; nothing removed"
  done <<EOF
$previous
EOF
}

count_presets() {
  count=0
  while IFS= read -r line; do
    case $line in "f $preset_dir"/*) count=$((count + 1)) ;; esac
  done <<EOF
$1
EOF
  echo "$count"
}

holds_lv2() {
  case $newline$1 in *"${newline}d $lv2_bundle$newline"*) return 0 ;; esac
  return 1
}

holds_clap() {
  case $newline$1 in *"${newline}f $clap_module$newline"*) return 0 ;; esac
  return 1
}

# The folders of a record beside the bundles: those the install had to make.
made_folders() {
  while IFS= read -r line; do
    case $line in
      "d $vst3_bundle" | "d $vst3_bundle"/* | "d $lv2_bundle" | "d $lv2_bundle"/*) ;;
      "d $clap_resources" | "d $clap_resources"/*) ;;
      d\ *) printf '  %s\n' "${line#d }" ;;
    esac
  done <<EOF
$1
EOF
}

uninstall() {
  read_manifest
  rm -f -- "$manifest"
  remove_entries "$previous"
  echo "Removed the VST 3 plug-in:   $vst3_bundle"
  echo "Removed $(count_presets "$previous") factory presets: $preset_dir"
  if holds_lv2 "$previous"; then echo "Removed the LV2 plug-in:     $lv2_bundle"; fi
  if holds_clap "$previous"; then echo "Removed the CLAP plug-in:    $clap_module"; fi
  folders=$(made_folders "$previous")
  if [ -n "$folders" ]; then
    echo "Removed the folders the install had made, where nothing else is in them:"
    printf '%s\n' "$folders"
  fi
}

# --- Uninstall --------------------------------------------------------------------
if [ "$mode" = uninstall ]; then
  if [ ! -f "$manifest" ]; then
    if [ -e "$vst3_bundle" ] || [ -e "$lv2_bundle" ] || [ -e "$clap_module" ]; then
      fail "the plug-ins in $vst3_dir, $lv2_dir and $clap_dir were not installed by install.sh; nothing removed"
    fi
    echo "Nothing to uninstall: install.sh has not installed the plug-ins in $vst3_dir."
    exit 0
  fi
  uninstall
  exit 0
fi

# --- Install ----------------------------------------------------------------------
here=$(CDPATH='' cd -- "$(dirname -- "$0")" && pwd)
if [ ! -d "$here/$vst3_name" ] || [ ! -d "$here/presets/$preset_subfolder" ]; then
  fail "the plug-ins are missing beside install.sh in $here; unpack the whole archive"
fi

# The nearest folder that exists above a path must be writable.
check_writable() {
  folder=$1
  while [ ! -d "$folder" ]; do folder=$(dirname -- "$folder"); done
  [ -w "$folder" ] || {
    if [ -n "$prefix" ]; then
      fail "cannot write to $folder: run it as root (sudo $again); nothing done"
    fi
    fail "cannot write to $folder; nothing done"
  }
}
check_writable "$vst3_dir"
check_writable "$preset_dir"
check_writable "$lv2_dir"
check_writable "$clap_dir"

# An earlier install of ours is replaced whole; its record keeps the folders
# it made, so that --uninstall still removes them.
if [ -f "$manifest" ]; then
  read_manifest
  rm -f -- "$manifest"
  remove_entries "$previous" >/dev/null
  echo "Removed the earlier install."
fi

rollback() {
  echo "install.sh: $1; undoing the install" >&2
  [ -n "$copying" ] && rm -rf -- "$copying"
  remove_entries "$created" >/dev/null
  exit 1
}

copying=""
copy_bundle() {
  source=$1
  folder=$2
  target=$folder/$(basename -- "$source")
  make_folder "$folder" || rollback "cannot make $folder"
  if [ -e "$target" ]; then
    echo "Replacing $target, which another install had put there."
    rm -rf -- "$target" || rollback "cannot remove $target"
  fi
  copying=$target
  cp -R -- "$source" "$folder/" || rollback "cannot copy $source to $folder"
  record_tree "$target" || rollback "cannot list $target"
  copying=""
}

copy_bundle "$here/$vst3_name" "$vst3_dir"
make_folder "$preset_dir" || rollback "cannot make $preset_dir"
for preset in "$here/presets/$preset_subfolder"/*.vstpreset; do
  [ -f "$preset" ] || continue
  target=$preset_dir/$(basename -- "$preset")
  cp -- "$preset" "$target" || rollback "cannot copy $preset"
  record f "$target"
done
# Archives built without the LV2 plug-in have the VST 3 plug-in alone.
[ ! -d "$here/$lv2_name" ] || copy_bundle "$here/$lv2_name" "$lv2_dir"
# Likewise without the CLAP plug-in: the module, then its resources.
if [ -f "$here/$clap_name" ]; then
  make_folder "$clap_dir" || rollback "cannot make $clap_dir"
  if [ -e "$clap_module" ]; then
    echo "Replacing $clap_module, which another install had put there."
    rm -rf -- "$clap_module" || rollback "cannot remove $clap_module"
  fi
  cp -- "$here/$clap_name" "$clap_module" || rollback "cannot copy $here/$clap_name"
  record f "$clap_module"
  copy_bundle "$here/$clap_resources_name" "$clap_dir"
fi
printf '%s' "$created" >"$manifest" || rollback "cannot write $manifest"

echo "Installed the VST 3 plug-in:   $vst3_bundle"
echo "Installed $(count_presets "$created") factory presets: $preset_dir"
if holds_lv2 "$created"; then echo "Installed the LV2 plug-in:     $lv2_bundle"; fi
if holds_clap "$created"; then echo "Installed the CLAP plug-in:    $clap_module"; fi
made=$(made_folders "$created")
if [ -n "$made" ]; then
  echo "Made the folders:"
  printf '%s\n' "$made"
fi
echo "Hosts find the plug-ins when they next scan for them. To remove them: $again --uninstall"
