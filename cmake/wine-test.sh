#!/bin/sh
# Runs a Windows test program under Wine and passes its exit status through.
#
#   sh wine-test.sh EXE [ARGS...]                  a throw-away Wine prefix for this one run
#   sh wine-test.sh --prefix DIR EXE [ARGS...]     the prefix made earlier by --create DIR
#   sh wine-test.sh --create DIR                   make a fresh prefix in DIR (replaces DIR)
#   sh wine-test.sh --remove DIR                   stop its Wine server and delete DIR
#   sh wine-test.sh --restart DIR                  restart its Wine server, which reads the
#                                                  drives afresh
#   sh wine-test.sh --connect DIR LETTER SHARE FOLDER [LETTER SHARE FOLDER...]
#                                                  connect each drive LETTER to \\HOST\SHARE,
#                                                  served from FOLDER, and print HOST
#   sh wine-test.sh --import DIR FILE.reg           import the settings of FILE.reg
#
# DIR is a scratch folder of its own (the prefix is DIR/pfx, Wine's home folder DIR). Besides
# C:, the prefix has N:, a drive of type network (a local folder), so that a program can be
# started from a network drive: VX_WINE_DRIVE=n runs EXE from there instead of from C:. A:, B:
# and F: are floppy drives: A: holds a medium (a folder) labelled "VXTEST 1" in its
# .windows-label file, which Wine reads when its server starts; F: a medium without label; B:
# none (its folder is missing).
#
# --connect makes network drives as they are after a log-on that connected them: Wine has no
# network to connect a share over, but takes a drive whose link in dosdevices leads to
# unc/HOST/SHARE, and which is typed network, for a connection to \\HOST\SHARE. HOST is the
# prefix's own computer name, the one name whose registry Wine reaches "remotely". The server
# restarts to read the drive types: nothing else may run in the prefix meanwhile. --import reads
# a .reg file into the registry view that the 32-bit test programs see.
#
# CTest makes one prefix per test run (--create as a fixture's set-up, --remove as its
# clean-up), so the slow prefix creation happens once, not once per test program. A run with
# --prefix on a folder that holds no prefix yet makes it first (the test discovery lists a
# program's cases before the fixture runs).
#
# VX_WINE_ROUTE says how Wine runs here (scripts/wine-route.py decides): "native" (the
# default) is Wine as installed, 32-bit programs run by its 32-bit loader; "qemu" is for a
# machine that cannot execute 32-bit programs: the 64-bit Wine (under VX_WINE64_ROOT, default
# /) runs natively in a 64-bit prefix and starts its 32-bit loader through qemu-i386
# (VX_QEMU_I386, default from PATH), about a minute per program start.
#
# Wine runs without a display and with its debug output off (VX_WINEDEBUG names channels to
# turn on). Invoked as root, it runs as the unprivileged uid/gid 65534 instead: as root, Wine
# ignores the read-only attribute (the Unix write bits) and the file tests would see a different
# platform. The program is copied into the prefix's C: drive, so that user can read it wherever
# the build tree lives.
set -eu

RUNAS=""
OWNER=""
if [ "$(id -u)" = 0 ] && [ "${VX_WINE_AS_ROOT:-0}" != 1 ]; then
    RUNAS="setpriv --reuid=65534 --regid=65534 --clear-groups"
    OWNER=65534:65534
fi

ROUTE=${VX_WINE_ROUTE:-native}

# The Wine programs of the route, for a prefix in DIR ($1).
wine_programs() {
    case $ROUTE in
        native)
            WINE=wine
            WINEBOOT=wineboot
            WINESERVER=wineserver
            WINEARCH=win32
            ;;
        qemu)
            WINE=$1/wine/usr/lib/wine/wine64
            WINEBOOT="$WINE wineboot"
            WINESERVER=$1/wine/usr/lib/wine/wineserver
            WINEARCH=win64
            ;;
        *) die "VX_WINE_ROUTE is native or qemu, not $ROUTE" ;;
    esac
}

# The emulated route's Wine, in DIR/wine: the 64-bit loader and server of the installed (or
# unpacked) 64-bit Wine, and in place of the 32-bit loader beside them a script that starts
# the real one under qemu-i386. Wine looks for its 32-bit loader next to the 64-bit one, and
# for its libraries relative to the loader's own location, hence a copy and links.
make_emulated_wine() {
    work=$1
    root=${VX_WINE64_ROOT:-/}
    qemu=${VX_QEMU_I386:-$(command -v qemu-i386 || true)}
    [ -x "$root/usr/lib/wine/wine64" ] || die "no 64-bit Wine in $root (Debian's wine64)"
    [ -n "$qemu" ] && [ -x "$qemu" ] || die "no qemu-i386 (Debian's qemu-user)"
    dir=$work/wine/usr
    mkdir -p "$dir/lib/wine" "$dir/lib/x86_64-linux-gnu" "$dir/share"
    cp "$root/usr/lib/wine/wine64" "$dir/lib/wine/wine64"
    ln -s "$root/usr/lib/wine/wineserver64" "$dir/lib/wine/wineserver"
    ln -s "$root/usr/lib/x86_64-linux-gnu/wine" "$dir/lib/x86_64-linux-gnu/wine"
    ln -s "$root/usr/share/wine" "$dir/share/wine"
    printf '#!/bin/sh\nexec %s /usr/lib/wine/wine "$@"\n' "$qemu" >"$dir/lib/wine/wine"
    chmod 755 "$dir/lib/wine/wine"
}

# Wine with a clean environment: no display, no debug channels, no offer to install the .NET
# and HTML engines when the prefix is made.
wine_env() {
    work=$1
    shift
    wine_programs "$work"
    $RUNAS env -i PATH="$PATH" HOME="$work" WINEPREFIX="$work/pfx" WINEARCH=$WINEARCH \
        WINEDEBUG="${VX_WINEDEBUG:--all}" WINEDLLOVERRIDES="mscoree,mshtml=" LANG=C.UTF-8 "$@"
}

die() {
    echo "wine-test.sh: $*" >&2
    exit 2
}

create_prefix() {
    work=$1
    case $work in /*) ;; *) die "the folder must be an absolute path: $work" ;; esac
    remove_prefix "$work"
    mkdir -p "$work/pfx"
    [ "$ROUTE" != qemu ] || make_emulated_wine "$work"
    [ -z "$OWNER" ] || chown "$OWNER" "$work" "$work/pfx"
    wine_programs "$work"
    if ! wine_env "$work" $WINEBOOT -i >"$work/wineboot.log" 2>&1; then
        cat "$work/wineboot.log" >&2
        die "could not create a Wine prefix in $work"
    fi
    [ -d "$work/pfx/drive_c" ] || die "the Wine prefix in $work has no C: drive"
    mkdir -p "$work/pfx/drive_c/vxtests" "$work/pfx/drive_n" "$work/pfx/drive_a" \
        "$work/pfx/drive_f"
    printf 'VXTEST 1\n' >"$work/pfx/drive_a/.windows-label"
    ln -sfn ../drive_n "$work/pfx/dosdevices/n:"
    ln -sfn ../drive_a "$work/pfx/dosdevices/a:"
    ln -sfn ../no_medium_b "$work/pfx/dosdevices/b:"
    ln -sfn ../drive_f "$work/pfx/dosdevices/f:"
    [ -z "$OWNER" ] || chown -h "$OWNER" "$work/pfx/drive_c/vxtests" "$work/pfx/drive_n" \
        "$work/pfx/dosdevices/n:" "$work/pfx/drive_a" "$work/pfx/drive_a/.windows-label" \
        "$work/pfx/dosdevices/a:" "$work/pfx/dosdevices/b:" "$work/pfx/drive_f" \
        "$work/pfx/dosdevices/f:"
    wine_env "$work" $WINE reg add 'HKLM\Software\Wine\Drives' /v n: /d network /f \
        >>"$work/wineboot.log" 2>&1 || die "could not make N: a network drive"
    for letter in a b f; do
        wine_env "$work" $WINE reg add 'HKLM\Software\Wine\Drives' /v $letter: /d floppy /f \
            >>"$work/wineboot.log" 2>&1 || die "could not make $letter: a floppy drive"
    done
    # The drive types are read when the Wine server starts.
    wine_env "$work" $WINESERVER -k >/dev/null 2>&1 || true
    wine_env "$work" $WINESERVER -w
    start_server "$work"
}

# A server that outlives each program. Left to itself, the server quits a few seconds after its
# last program ends, and a program that connects just as it quits is dropped ("wine client
# error:0: recvmsg: Connection reset by peer"). Kept up for the whole run (until --remove, or
# SERVER_LINGER seconds without a program, should nobody remove the prefix), no program ever
# meets a server on its way out. The server and the prefix's services, which the first program
# starts and which live as long as the server, get /dev/null for their descriptors here: started
# by a test's program they would keep its output open, and whoever waits for that output (CTest,
# a $(...)) would wait for ever.
SERVER_LINGER=900
start_server() {
    wine_env "$1" $WINESERVER -p$SERVER_LINGER </dev/null >/dev/null 2>&1 ||
        die "could not start the Wine server of $1"
    wine_env "$1" $WINE cmd /c exit </dev/null >/dev/null 2>&1 ||
        die "could not start the Wine services of $1"
}

# The server keeps the drives' labels it read when it started: a label written into a medium's
# .windows-label from outside counts only after a restart. Nothing else may run in the prefix.
restart_server() {
    work=$1
    [ -d "$work/pfx" ] || return 0
    wine_programs "$work"
    wine_env "$work" $WINESERVER -k >/dev/null 2>&1 || true
    wine_env "$work" $WINESERVER -w >/dev/null 2>&1 || true
    start_server "$work"
}

# The prefix's own computer name.
computer_name() {
    wine_env "$1" $WINE cmd /c echo %COMPUTERNAME% </dev/null | tr -d '\r\n'
}

connect_drives() {
    work=$1
    shift
    [ -d "$work/pfx/drive_c" ] || die "no Wine prefix in $work"
    wine_programs "$work"
    host=$(computer_name "$work")
    [ -n "$host" ] || die "the prefix in $work has no computer name"
    devices=$work/pfx/dosdevices
    while [ $# -ge 3 ]; do
        letter=$(echo "$1" | tr 'A-Z' 'a-z')
        share=$2
        folder=$3
        shift 3
        case $letter in [a-z]) ;; *) die "not a drive letter: $letter" ;; esac
        case $folder in /*) ;; *) die "the folder must be an absolute path: $folder" ;; esac
        [ -d "$folder" ] || die "no such folder: $folder"
        mkdir -p "$devices/unc/$host"
        ln -sfn "$folder" "$devices/unc/$host/$share"
        ln -sfn "unc/$host/$share" "$devices/$letter:"
        [ -z "$OWNER" ] || chown -h "$OWNER" "$devices/unc" "$devices/unc/$host" \
            "$devices/unc/$host/$share" "$devices/$letter:"
        wine_env "$work" $WINE reg add 'HKLM\Software\Wine\Drives' /v "$letter:" /d network /f \
            >/dev/null 2>&1 || die "could not make $letter: a network drive"
    done
    [ $# -eq 0 ] || die "usage: wine-test.sh --connect DIR LETTER SHARE FOLDER [...]"
    restart_server "$work"
    echo "$host"
}

# The file goes into the prefix's C: drive, where the user Wine runs as can read it.
import_settings() {
    work=$1
    [ -d "$work/pfx/drive_c" ] || die "no Wine prefix in $work"
    [ -f "$2" ] || die "no such file: $2"
    wine_programs "$work"
    cp "$2" "$work/pfx/drive_c/vximport.reg"
    [ -z "$OWNER" ] || chown "$OWNER" "$work/pfx/drive_c/vximport.reg"
    status=0
    wine_env "$work" $WINE reg import 'C:\vximport.reg' /reg:32 </dev/null >/dev/null 2>&1 ||
        status=$?
    rm -f "$work/pfx/drive_c/vximport.reg"
    [ $status = 0 ] || die "could not import $2 (status $status)"
}

remove_prefix() {
    work=$1
    if [ -d "$work/pfx" ]; then
        wine_programs "$work"
        wine_env "$work" $WINESERVER -k >/dev/null 2>&1 || true
        wine_env "$work" $WINESERVER -w >/dev/null 2>&1 || true
    fi
    rm -rf "$work"
}

run_in_prefix() {
    work=$1
    exe=$2
    shift 2
    [ -f "$exe" ] || die "no such program: $exe"
    if [ ! -d "$work/pfx/drive_c/vxtests" ]; then
        # Made once by whoever comes first; the others wait for it.
        mkdir -p "$(dirname "$work")"
        flock -o "$work.lock" sh -c '[ -d "$1/pfx/drive_c/vxtests" ] || sh "$0" --create "$1" >&2' \
            "$0" "$work" || die "could not make the Wine prefix in $work"
    fi
    case ${VX_WINE_DRIVE:-c} in
        c | C) home=$work/pfx/drive_c/vxtests ;;
        n | N) home=$work/pfx/drive_n ;;
        *) die "VX_WINE_DRIVE is c or n, not $VX_WINE_DRIVE" ;;
    esac
    # A folder of its own per run, so that programs running side by side do not meet.
    scratch=$(mktemp -d "$home/run.XXXXXX")
    name=$(basename "$exe")
    cp "$exe" "$scratch/$name"
    chmod 755 "$scratch"
    chmod 644 "$scratch/$name"
    [ -z "$OWNER" ] || chown -R "$OWNER" "$scratch"
    wine_programs "$work"
    tries=1
    while :; do
        status=0
        (cd "$scratch" && wine_env "$work" $WINE "$scratch/$name" "$@") || status=$?
        # A Windows program's own fault ends it with the exception's code, never a Unix signal:
        # a SIGSEGV is Wine itself dying, seen about once in a thousand starts, at a program's
        # exit after its work was done. Such a run says nothing of the program: run it again,
        # once.
        [ $status -eq 139 ] && [ $tries -eq 1 ] || break
        echo "wine-test.sh: Wine itself died of SIGSEGV running $name; running it once more" >&2
        tries=2
    done
    rm -rf "$scratch"
    return $status
}

[ $# -ge 1 ] || die "usage: wine-test.sh [--prefix DIR] EXE [ARGS...] | --create DIR | --remove DIR | --restart DIR | --connect DIR LETTER SHARE FOLDER... | --import DIR FILE"
case $1 in
    --create)
        [ $# -eq 2 ] || die "usage: wine-test.sh --create DIR"
        create_prefix "$2"
        ;;
    --remove)
        [ $# -eq 2 ] || die "usage: wine-test.sh --remove DIR"
        remove_prefix "$2"
        rm -f "$2.lock"
        ;;
    --restart)
        [ $# -eq 2 ] || die "usage: wine-test.sh --restart DIR"
        restart_server "$2"
        ;;
    --connect)
        [ $# -ge 5 ] || die "usage: wine-test.sh --connect DIR LETTER SHARE FOLDER [...]"
        shift
        connect_drives "$@"
        ;;
    --import)
        [ $# -eq 3 ] || die "usage: wine-test.sh --import DIR FILE.reg"
        import_settings "$2" "$3"
        ;;
    --prefix)
        [ $# -ge 3 ] || die "usage: wine-test.sh --prefix DIR EXE [ARGS...]"
        work=$2
        shift 2
        run_in_prefix "$work" "$@"
        ;;
    *)
        base=$(mktemp -d "${TMPDIR:-/tmp}/vx-wine.XXXXXX")
        trap 'remove_prefix "$base"' EXIT
        trap 'exit 130' INT TERM
        create_prefix "$base"
        status=0
        run_in_prefix "$base" "$@" || status=$?
        exit $status
        ;;
esac
