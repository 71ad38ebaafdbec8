# Common environment of the project's scripts: the project-local Wine prefix,
# the Japanese locale (ANSI code page 932) and a quiet Wine.
voruta_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX="${VORUTA_WINEPREFIX:-$voruta_root/.wine}"
export WINEARCH=win32
export WINEDEBUG=-all
export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
export VORUTA_BUILD="${VORUTA_BUILD:-$voruta_root/build}"
