# Helpers of the NTFS volume tests. Source it.
# A test needs FUSE and the ntfs-3g tools; without them it is skipped (77).
if [ ! -e /dev/fuse ] || ! command -v ntfs-3g >/dev/null || ! command -v mkntfs >/dev/null; then
  echo "skipped: no FUSE device or no ntfs-3g tools on this machine" >&2
  exit 77
fi

# Mounts image $1 on $2 with options $3. The driver stays as a daemon: it
# keeps none of the caller's files open, so that no test runner waits for it.
mount_image() {
  (exec 3>&- 4>&- 5>&- 6>&- 7>&- 8>&- 9>&-; exec ntfs-3g -o "$3" "$1" "$2" </dev/null >/dev/null 2>&1)
}
# Unmounts $1 and waits (up to 30 s) until the driver has let image $2 go.
unmount_image() {
  umount "$1" || return 1
  local i
  for ((i = 0; i < 300; i++)); do
    fuser -s "$2" 2>/dev/null || return 0
    sleep 0.1
  done
  echo "the driver did not let $2 go" >&2
  return 1
}

# A scratch folder of this test alone, removed with the drive and the mount.
ntfs_scratch() {
  scratch=$(mktemp -d /tmp/voruta-ntfs.XXXXXX)
  letter=""
  mounted=""
  image=""
  trap ntfs_cleanup EXIT
}
ntfs_cleanup() {
  if [ -n "$letter" ]; then
    rm -f "$WINEPREFIX/dosdevices/${letter,,}:" "$WINEPREFIX/dosdevices/${letter,,}::"
  fi
  [ -z "$mounted" ] || unmount_image "$mounted" "$image" || true
  rm -rf "$scratch"
}

# Mounts image $1 read-only on $2 and maps a free letter to it: "x:" the
# mount (the walk and the volume query), "x::" $3 (the raw volume: the
# image, or anything else to see the fallback). Sets `letter`.
ntfs_attach() {
  mount_image "$1" "$2" ro,streams_interface=windows
  mounted=$2 image=$1
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
