# Helpers of the NTFS volume tests. Source it.
# A test needs FUSE and the ntfs-3g tools; without them it is skipped (77).
if [ ! -e /dev/fuse ] || ! command -v ntfs-3g >/dev/null || ! command -v mkntfs >/dev/null; then
  echo "skipped: no FUSE device or no ntfs-3g tools on this machine" >&2
  exit 77
fi

# A scratch folder of this test alone, removed with the drive and the mount.
ntfs_scratch() {
  scratch=$(mktemp -d /tmp/voruta-ntfs.XXXXXX)
  letter=""
  mounted=""
  trap ntfs_cleanup EXIT
}
ntfs_cleanup() {
  if [ -n "$letter" ]; then
    rm -f "$WINEPREFIX/dosdevices/${letter,,}:" "$WINEPREFIX/dosdevices/${letter,,}::"
  fi
  [ -z "$mounted" ] || umount "$mounted" 2>/dev/null || true
  rm -rf "$scratch"
}

# Mounts image $1 read-only on $2 and maps a free letter to it: "x:" the
# mount (the walk and the volume query), "x::" $3 (the raw volume: the
# image, or anything else to see the fallback). Sets `letter`.
ntfs_attach() {
  ntfs-3g -o ro,streams_interface=windows "$1" "$2"
  mounted=$2
  local l
  for l in g h i j k l m n o p q r s t u v w x y; do
    if ln -sn "$2" "$WINEPREFIX/dosdevices/$l:" 2>/dev/null; then
      letter=${l^^}
      ln -sfn "$3" "$WINEPREFIX/dosdevices/$l::"
      return 0
    fi
  done
  echo "no free drive letter" >&2
  return 1
}
