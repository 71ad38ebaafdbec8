#!/usr/bin/env bash
# Where the file table cannot be read the drive is walked, and the chart is
# the walk's: a raw volume that does not open (no rights), one that is not
# NTFS, and one whose table's own runs are damaged.
#   tests/ntfs/fallback.sh DUMP_EXE
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
dump=$1
source "$here/lib.sh"
ntfs_scratch
bash "$here/volumes.sh" "$scratch" plain
mkdir "$scratch/not-a-volume"
head -c $((1 << 20)) /dev/zero > "$scratch/zeros.img"
cp "$scratch/plain.img" "$scratch/damaged.img"
# Record 0's data runs: a first run past the end of the volume.
python3 - "$scratch/damaged.img" <<'PY'
import struct, sys
with open(sys.argv[1], 'r+b') as f:
    boot = f.read(512)
    cluster = struct.unpack_from('<H', boot, 11)[0] * boot[13]
    f.seek(struct.unpack_from('<Q', boot, 0x30)[0] * cluster)
    record = bytearray(f.read(1024))
    at = struct.unpack_from('<H', record, 0x14)[0]
    while struct.unpack_from('<I', record, at)[0] != 0x80:
        at += struct.unpack_from('<I', record, at + 4)[0]
    runs = at + struct.unpack_from('<H', record, at + 0x20)[0]
    record[runs:runs + 9] = bytes([0x44, 0x10, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0x7F])
    f.seek(-1024, 1)
    f.write(record)
PY
ntfs_attach "$scratch/plain.img" "$scratch/plain.mnt" "$scratch/not-a-volume"
timeout 120 wine "$dump" --walk "$letter" > "$scratch/walk.txt"
failed=0
for raw in not-a-volume zeros.img damaged.img; do
  ln -sfn "$scratch/$raw" "$WINEPREFIX/dosdevices/${letter,,}::"
  timeout 120 wine "$dump" "$letter" > "$scratch/dump.txt"
  if cmp -s "$scratch/walk.txt" "$scratch/dump.txt"; then
    echo "ok $raw: walked"
  else
    echo "FAIL $raw:"; diff "$scratch/walk.txt" "$scratch/dump.txt" | head -5; failed=1
  fi
done
exit $failed
