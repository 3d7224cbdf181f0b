# Shared settings of the project's Wine harness; sourced by the scripts here and by ./dev.
QM_ROOT=${QM_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)}
QM_WINE_DIR=${QM_WINE_DIR:-$QM_ROOT/build/wine}

export WINEDEBUG=${WINEDEBUG:--all}
export WINEARCH=win64
# The shell's recycle bin lands in the Linux user's trash: keep it inside the build.
export XDG_DATA_HOME=$QM_WINE_DIR/xdg-data
# No Mono/Gecko installers on first boot. And no built-in rundll32.exe: a
# test puts a stand-in of its own in the prefix's system directory, where the
# program runs it from, to see what the program asks the browser control
# panel for. Wine reads this from the Unix environment only, so a test cannot
# set it for one child.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=;rundll32.exe=n}

# Code page 936 for the programs' 8-bit view of the world, as on a Chinese system.
# glibc must know the locale too, or Wine cannot turn non-ASCII file names into
# Unix ones: it is compiled once into the build (tests/wine/prefix does that).
export LOCPATH=$QM_WINE_DIR/locale
# Given to Wine only (through env), so that bash never meets a locale it may lack.
qm_wine() { env LC_ALL=zh_CN.UTF-8 wine "$@"; }
qm_wineboot() { env LC_ALL=zh_CN.UTF-8 wineboot "$@"; }

# qm_prefix_dir NAME -> the prefix directory of NAME ("test": null display driver; "x11": X11 driver).
qm_prefix_dir() { echo "$QM_WINE_DIR/$1"; }
