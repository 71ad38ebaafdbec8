# Common environment of the project's scripts: the project-local Wine prefix,
# the Japanese locale (ANSI code page 932) and a quiet Wine.
#
# The programs are 32-bit and run under 32-bit Wine. A machine whose kernel
# cannot run 32-bit Linux programs (no IA-32 emulation) cannot run 32-bit Wine
# at all; there the programs and tests are also built for x86-64 and run under
# 64-bit Wine, in a prefix of their own, so that the suite still runs. Set
# VORUTA_ARCH=i686 or x86_64 to choose by hand.
voruta_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
if [ -z "${VORUTA_ARCH:-}" ]; then
  VORUTA_ARCH=i686
  # 32-bit Wine brings the 32-bit loader; if it is there but cannot start,
  # the kernel has no 32-bit support.
  if [ -e /lib/ld-linux.so.2 ] && ! /lib/ld-linux.so.2 --help >/dev/null 2>&1; then
    VORUTA_ARCH=x86_64
  fi
fi
export VORUTA_ARCH
# Windows that a desktop's window manager manages (VORUTA_MANAGED=Y, see
# scripts/setup) live in a prefix of their own.
desktop_suffix=""
[ "${VORUTA_MANAGED:-N}" = Y ] && desktop_suffix=-desktop
if [ "$VORUTA_ARCH" = x86_64 ]; then
  export WINEPREFIX="${VORUTA_WINEPREFIX:-$voruta_root/.wine64$desktop_suffix}"
  export WINEARCH=win64
  export VORUTA_BUILD="${VORUTA_BUILD:-$voruta_root/build-x86_64}"
  case ":$PATH:" in *":$voruta_root/scripts/wine64:"*) ;; *) export PATH="$voruta_root/scripts/wine64:$PATH" ;; esac
else
  export WINEPREFIX="${VORUTA_WINEPREFIX:-$voruta_root/.wine$desktop_suffix}"
  export WINEARCH=win32
  export VORUTA_BUILD="${VORUTA_BUILD:-$voruta_root/build}"
fi
export WINEDEBUG=${VORUTA_WINEDEBUG:--all}
export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
