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
    mapped_letter=""
  fi
}
