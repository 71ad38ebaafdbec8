#!/usr/bin/env bash
# One NTFS test volume, mounted and as a raw volume behind one drive letter:
# the dump read from its file table against the dump of the walk.
#   tests/ntfs/parity.sh VOLUME DUMP_EXE
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
volume=$1 dump=$2
source "$here/lib.sh"
ntfs_scratch
bash "$here/volumes.sh" "$scratch" "$volume"
ntfs_attach "$scratch/$volume.img" "$scratch/$volume.mnt" "$scratch/$volume.img"
timeout 120 wine "$dump" --walk "$letter" > "$scratch/walk.txt"
timeout 120 wine "$dump" "$letter" > "$scratch/mft.txt"
python3 "$here/parity.py" "$scratch/walk.txt" "$scratch/mft.txt" "$scratch/$volume.mnt" "$scratch/$volume.img"
