#!/usr/bin/env bash
# Builds NTFS test volumes into DIR: images made with mkntfs and written
# through the ntfs-3g driver, each with what a real volume may hold, as
# DIR/NAME.img (and an empty DIR/NAME.mnt to mount it on), with its files
# as "record size path" lines in DIR/NAME.files. Exits non-zero where a
# volume cannot be made (77: no FUSE or no ntfs-3g tools).
#   tests/ntfs/volumes.sh DIR [NAME...]   (default: every volume)
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

# Writes a raw reparse buffer with tag $2 (hex) on directory $1.
set_reparse() {
  python3 - "$1" "$2" <<'PY'
import os, struct, sys
tag = int(sys.argv[2], 16)
data = b'\0' * 16
os.setxattr(sys.argv[1], 'system.ntfs_reparse_data', struct.pack('<IHH', tag, len(data), 0) + data)
PY
}

# A file of $2 bytes of one letter, at $1.
fill() { head -c "$2" /dev/zero | tr '\0' "${3:-x}" > "$1"; }

# The common tree: sizes at and around the cluster, hard links, names in
# several scripts, links that are not entered and a cloud folder that is.
write_tree() {
  local m=$1 c=$2
  mkdir -p "$m/Alpha/Deep/Deeper" "$m/beta" "$m/Gamma" "$m/日本語" "$m/links" "$m/cloud/inner"
  fill "$m/Alpha/one" 1
  fill "$m/Alpha/cluster" "$c"
  fill "$m/Alpha/cluster+1" $((c + 1))
  fill "$m/Alpha/Deep/big" $((3 * c + 17))
  fill "$m/Alpha/Deep/Deeper/big2" $((5 * c))
  : > "$m/Alpha/empty"
  fill "$m/beta/shared" $((2 * c + 5))
  ln "$m/beta/shared" "$m/Gamma/shared-again"
  ln "$m/beta/shared" "$m/Alpha/shared-first"
  fill "$m/日本語/ファイル" $((c + 300))
  fill "$m/cloud/inner/synced" $((4 * c))
  mkdir "$m/links/junction" "$m/links/symlink"
  set_reparse "$m/links/junction" A0000003
  set_reparse "$m/links/symlink" A000000C
  set_reparse "$m/cloud" 9000001A
  # Siblings whose order is the collation's, not the bytes': upper and
  # lower case, digits, a space, punctuation.
  local name
  for name in zeta Zebra "a b" a_b 10 9 Ünter über ~tilde; do
    mkdir "$m/Gamma/$name"
    fill "$m/Gamma/$name/f" $((c * 2 + 1))
  done
  # Many files in one folder, spread over several index blocks.
  mkdir "$m/many"
  for name in $(seq 1 300); do fill "$m/many/file$name" $((name * 7 + c)); done
}

# Builds volume $1 in DIR $2 with mkntfs options $3... and the tree.
make_volume() {
  local name=$1 dir=$2 cluster=$3 size=$4
  shift 4
  local img="$dir/$name.img" m="$dir/$name.mnt"
  rm -f "$img"
  mkdir -p "$m"
  truncate -s "$size" "$img"
  mkntfs -q -F -f -c "$cluster" "$@" "$img" >/dev/null 2>&1
  mount_image "$img" "$m" streams_interface=windows
  # Sizes around the cluster, up to 64 KiB: larger clusters hold them whole.
  write_tree "$m" $((cluster < 65536 ? cluster : 65536))
  "extra_$name" "$m" "$cluster" "$img"
  find "$m" -type f -printf '%i %s %P\n' > "$dir/$name.files"
  unmount_image "$m" "$img"
  if [ "$(type -t "after_$name")" = function ]; then "after_$name" "$img"; fi
}

# 4 KiB clusters, 1 KiB records: files held in their records, streams,
# sparse and compressed files, space set aside, a file of 200 names.
extra_plain() {
  local m=$1 c=$2
  mkdir "$m/special"
  fill "$m/special/tiny" 100
  fill "$m/special/reserved" 5000
  fill "$m/special/streams" $((c + 10))
  fill "$m/special/streams:second" $((3 * c))
  truncate -s $((64 * c)) "$m/special/sparse"
  printf 'end' | dd of="$m/special/sparse" bs=1 seek=$((40 * c)) conv=notrunc status=none
  mkdir "$m/special/packed"
  python3 -c 'import os, sys; os.setxattr(sys.argv[1], "system.ntfs_attrib_be", bytes.fromhex("00000810"))' "$m/special/packed"
  fill "$m/special/packed/text" $((20 * c)) a
  mkdir "$m/special/names"
  fill "$m/special/names/target" $((c + 1))
  local i
  for i in $(seq 1 200); do ln "$m/special/names/target" "$m/special/names/link$i"; done
}
after_plain() { ntfsfallocate -n -l $((8 * 4096)) "$1" /special/reserved >/dev/null 2>&1; }

# 4 KiB sectors: 4 KiB records, fixups every 512 bytes of them.
extra_big_records() { :; }

# 512-byte clusters in a small volume filled, thinned out, then given many
# more files: the table grows into the holes, in many pieces that record 0
# lists through a non-resident attribute list and extension records.
extra_fragmented() {
  local m=$1 i=0
  mkdir "$m/fill" "$m/churn"
  while head -c 2048 /dev/zero > "$m/fill/f$i" 2>/dev/null; do i=$((i + 1)); done
  rm -f "$m/fill/f$i"
  for ((j = 0; j < i; j += 2)); do rm "$m/fill/f$j"; done
  for ((j = 0; j < 8000; j++)); do { : > "$m/churn/e$j"; } 2>/dev/null || break; done
}

after_fragmented() {
  ntfsinfo -i 0 "$1" 2>/dev/null | grep -c 'ATTRIBUTE_LIST' >/dev/null || { echo "fragmented: \$MFT has no attribute list" >&2; return 1; }
}

# 64 KiB and 2 MiB clusters.
extra_large_clusters() { :; }
extra_huge_clusters() { :; }

volumes=(plain big_records fragmented large_clusters huge_clusters)
dir=${1:?usage: tests/ntfs/volumes.sh DIR [NAME...]}
shift
mkdir -p "$dir"
for name in "${@:-${volumes[@]}}"; do
  case $name in
  plain) make_volume plain "$dir" 4096 64M ;;
  big_records) make_volume big_records "$dir" 4096 64M -s 4096 ;;
  fragmented) make_volume fragmented "$dir" 512 12M ;;
  large_clusters) make_volume large_clusters "$dir" 65536 256M ;;
  huge_clusters) make_volume huge_clusters "$dir" 2097152 2G ;;
  *) echo "no such volume: $name" >&2; exit 2 ;;
  esac
done
