# Maps a free drive letter of the project's Wine prefix to a directory.
# Source it; map_drive DIR sets mapped_letter, unmap_drive removes the link.
mapped_letter=""
map_drive() {
  local dir=$1 letter
  for letter in M N O P Q R S T U V W X Y; do
    local link="$WINEPREFIX/dosdevices/${letter,,}:"
    if [ ! -e "$link" ] && [ ! -L "$link" ]; then
      ln -sn "$dir" "$link"
      mapped_letter=$letter
      return 0
    fi
  done
  echo "no free drive letter in $WINEPREFIX" >&2
  return 1
}
unmap_drive() {
  if [ -n "$mapped_letter" ]; then
    rm -f "$WINEPREFIX/dosdevices/${mapped_letter,,}:"
    if [ -f "$(drives_note)" ]; then
      grep -v "^$mapped_letter " "$(drives_note)" > "$(drives_note).new" || true
      mv "$(drives_note).new" "$(drives_note)"
    fi
    mapped_letter=""
  fi
}

# The letters scripts/run maps on a desktop are noted with the program's
# process, so that a run that was killed leaves none behind for long.
drives_note() { echo "$WINEPREFIX/.voruta-run-drives"; }
note_drive() {
  echo "$mapped_letter $1" >> "$(drives_note)"
}
reclaim_drives() {
  local note letter pid
  note=$(drives_note)
  [ -f "$note" ] || return 0
  while read -r letter pid; do
    if [ -n "$letter" ] && ! kill -0 "$pid" 2>/dev/null; then
      rm -f "$WINEPREFIX/dosdevices/${letter,,}:"
    else
      echo "$letter $pid"
    fi
  done < "$note" > "$note.new"
  mv "$note.new" "$note"
}

# Selects `letter` in the drive dialog that opens at start, as a user would
# with the keyboard (the list holds the drives in letter order), so that
# Enter charts it. False when no dialog came.
preset_drive_dialog() {
  local letter=${1,,} dialog="" rows=0 d
  for _ in $(seq 1 100); do
    dialog=$(xdotool search --name '^ドライブ選択$' 2>/dev/null | head -n1 || true)
    [ -n "$dialog" ] && break
    sleep 0.1
  done
  [ -n "$dialog" ] || return 1
  for d in "$WINEPREFIX"/dosdevices/?:; do
    [ -e "$d" ] || continue
    [[ "$(basename "$d")" < "$letter:" ]] && rows=$((rows + 1))
  done
  for _ in $(seq 1 50); do
    [ "$(xdotool getwindowfocus 2>/dev/null || true)" = "$dialog" ] && break
    xdotool windowactivate "$dialog" 2>/dev/null || true
    sleep 0.1
  done
  sleep 0.3
  xdotool key Tab Home
  for _ in $(seq 1 "$rows"); do xdotool key Down; done
}
