#!/bin/sh
# Runs vxpack.exe under Wine on files of its own: compress, expand, a refused stream and a
# missing file; the compressed file split onto the floppy drive A: (a folder the prefix labels
# VXTEST 1) and joined back expanded; a split whose second disk is refused at the prompt, its
# first piece taken off again. The disk sets as a user meets them: --volume-size caps every
# piece on a large drive, Enter at the prompt with the set's first disk still in never relabels
# it, --quiet refuses to relabel another set's disk, the prompt says what the drive holds, and
# list says it read one disk only; an over-long name, and a folder and a device given as a
# file; report over a folder of pass reports, with a stranger's file and a folder in it. Each
# step's exit code is checked, and the round trips compared byte for byte.
# With the Linux build's vxpack (NATIVE_VXPACK, when it has been built), a set made on Linux
# too: the file compressed and split into two volume folders there, the folders' pieces put on
# the floppy drives A: (VXTEST 1) and F: (labelled VXTEST 2 for the run), and vxpack.exe,
# told F: at its prompt for the second disk, joins and expands it back. F: is left blank again.
# The steps are a batch file that Wine's command interpreter runs in the test's folder of the
# prefix; vxpack.exe is read from a folder of its own below /tmp, which the unprivileged user
# Wine runs as can read.
#
#   sh exe_wine.sh WINE_TEST_SH PREFIX_DIR VXPACK_EXE [NATIVE_VXPACK]
set -u

WINE_TEST=$1
WORK=$2
EXE=$3
NATIVE=${4:-}

STAGE=$(mktemp -d "${TMPDIR:-/tmp}/vx-vxpack-exe.XXXXXX")
DRIVE_A=$WORK/pfx/drive_a
DRIVE_F=$WORK/pfx/drive_f
# The floppies are the prefix's for the whole test run: what this test put on them goes again,
# and the server forgets F:'s label.
cleanup() {
    if [ -f "$DRIVE_F/.windows-label" ]; then
        rm -f "$DRIVE_A/_1ATA.BIN" "$DRIVE_F/_0ATA.BIN" "$DRIVE_F/.windows-label" \
            "$DRIVE_A/130K.BIN" "$DRIVE_F/030K.BIN"
        sh "$WINE_TEST" --restart "$WORK"
    fi
    rm -rf "$STAGE"
}
trap cleanup EXIT
chmod 755 "$STAGE"
cp "$EXE" "$STAGE/vxpack.exe"
chmod 644 "$STAGE/vxpack.exe"

# The set made on Linux: the same bytes as the batch's DATA.BIN (a copy of the program), two
# pieces of its compressed file.
LINUX_SET=0
if [ -n "$NATIVE" ] && [ -x "$NATIVE" ]; then
    mkdir "$STAGE/linux" "$STAGE/linux/vols"
    cp "$EXE" "$STAGE/linux/DATA.BIN"
    (cd "$STAGE/linux" && "$NATIVE" compress DATA.BIN) || { echo "exe_wine: FAIL: compress on Linux" >&2; exit 1; }
    half=$(( ($(wc -c <"$STAGE/linux/_DATA.BIN") / 2 / 512 + 1) * 512 ))
    (cd "$STAGE/linux" && "$NATIVE" split _DATA.BIN --label VXTEST --pieces 2 \
        --volume-size "$half" --volumes vols) || { echo "exe_wine: FAIL: split on Linux" >&2; exit 1; }
    [ -f "$DRIVE_A/.windows-label" ] && [ ! -e "$DRIVE_F/.windows-label" ] \
        || { echo "exe_wine: FAIL: the prefix's A: and F: are not as made" >&2; exit 1; }
    cp "$STAGE/linux/vols/VXTEST1/_1ATA.BIN" "$DRIVE_A/" &&
        cp "$STAGE/linux/vols/VXTEST2/_0ATA.BIN" "$DRIVE_F/" &&
        cp "$STAGE/linux/vols/VXTEST2/.windows-label" "$DRIVE_F/" \
        || { echo "exe_wine: FAIL: the pieces cannot be put on the floppies" >&2; exit 1; }
    sh "$WINE_TEST" --restart "$WORK"
    LINUX_SET=1
else
    echo "exe_wine: no Linux build of vxpack (${NATIVE:-not given}): the set made on Linux is not tried"
fi
# Wine's Z: is the Linux root.
WIN_EXE="Z:$(echo "$STAGE/vxpack.exe" | tr / '\\')"
# 30000 bytes for the disk sets: 20K pieces make 20480 and 9520.
head -c 30000 /dev/urandom >"$STAGE/P30K.BIN"
chmod 644 "$STAGE/P30K.BIN"
WIN_P30K="Z:$(echo "$STAGE/P30K.BIN" | tr / '\\')"
LONG_NAME=$(printf 'L%.0s' $(seq 1 300)).BIN

# Each step: a command, then the exit code it must give (errorlevel), else the batch ends with
# the step's number.
cat >"$STAGE/roundtrip.bat" <<BAT
@echo off
copy "$WIN_EXE" VX.EXE >nul
if errorlevel 1 exit /b 11
copy VX.EXE DATA.BIN >nul
if not exist F:\\_0ATA.BIN goto made_here
echo F:| VX.EXE join DATA.BIN --expand --label VXTEST -o LINUX.BIN
if errorlevel 1 exit /b 30
fc /b DATA.BIN LINUX.BIN >nul
if errorlevel 1 exit /b 31
del A:\\_1ATA.BIN
:made_here
VX.EXE compress DATA.BIN
if errorlevel 1 exit /b 12
if not exist _DATA.BIN exit /b 13
mkdir out
VX.EXE expand -o out DATA.BIN
if errorlevel 1 exit /b 14
fc /b DATA.BIN out\\DATA.BIN >nul
if errorlevel 1 exit /b 15
copy DATA.BIN _PLAIN.BIN >nul
VX.EXE expand PLAIN.BIN
if not errorlevel 1 exit /b 16
if exist PLAIN.BIN exit /b 17
VX.EXE expand NOPE.BIN
if not errorlevel 1 exit /b 18
VX.EXE compress out
if not errorlevel 1 exit /b 26
VX.EXE substitute DATA.BIN NUL --set A=1
if not errorlevel 1 exit /b 27
VX.EXE frobnicate
if not errorlevel 2 exit /b 19
VX.EXE split _DATA.BIN --label VXTEST --pieces 1 --drive A:
if errorlevel 1 exit /b 20
if not exist A:\\_DATA.BIN exit /b 21
VX.EXE join DATA.BIN --expand --label VXTEST --drive a: -o JOINED.BIN
if errorlevel 1 exit /b 22
fc /b DATA.BIN JOINED.BIN >nul
if errorlevel 1 exit /b 23
VX.EXE list --drive A:
del A:\\_DATA.BIN
echo Q| VX.EXE split DATA.BIN --label VXTEST --limits 1000,99999999 --drive A:
if not errorlevel 1 exit /b 24
if exist A:\\1ATA.BIN exit /b 25
VX.EXE compress $LONG_NAME
if not errorlevel 1 exit /b 40
mkdir FOLDER.BIN
VX.EXE compress FOLDER.BIN
if not errorlevel 1 exit /b 41
copy "$WIN_P30K" P30K.BIN >nul
VX.EXE --quiet split P30K.BIN --label OTHER --volume-size 20K --drive A:
if not errorlevel 1 exit /b 42
echo.| VX.EXE split P30K.BIN --label VXTEST --volume-size 20K --drive A:
if not errorlevel 1 exit /b 43
if exist A:\\130K.BIN exit /b 44
echo F:| VX.EXE split P30K.BIN --label VXTEST --volume-size 20K --drive A:
if errorlevel 1 exit /b 45
VX.EXE list --drive F:
VX.EXE list --drive A:
if not errorlevel 1 exit /b 46
echo F:| VX.EXE join P30K.BIN --label VXTEST --drive A: -o P30K.OUT
if errorlevel 1 exit /b 47
fc /b P30K.BIN P30K.OUT >nul
if errorlevel 1 exit /b 48
del A:\\130K.BIN
del F:\\030K.BIN
mkdir CLI
mkdir CLI\\REP
echo [NEWDESK]> CLI\\newclnts.ini
echo TIMESTAMP=3.2.3>> CLI\\newclnts.ini
echo [Last pass]> CLI\\REP\\NewDesk.ini
echo Time=2026-03-20 08:00:00>> CLI\\REP\\NewDesk.ini
echo Result=current>> CLI\\REP\\NewDesk.ini
echo Stamp=3.2.3>> CLI\\REP\\NewDesk.ini
echo junk> CLI\\REP\\NOTES.TXT
mkdir CLI\\REP\\OLD.INI
set VXPACK_NOW=2026-03-20 12:00:00
VX.EXE report CLI --folder CLI\\REP
if errorlevel 1 exit /b 50
VX.EXE report CLI --folder CLI\\REP --stale 0
if not errorlevel 2 exit /b 51
VX.EXE report CLI --folder CLI\\NOPE
if not errorlevel 1 exit /b 52
if errorlevel 2 exit /b 53
VX.EXE report CLI --folder CLI\\REP --csv
if errorlevel 1 exit /b 54
echo vxpack.exe round trip done
exit /b 0
BAT
chmod 644 "$STAGE/roundtrip.bat"

OUT=$(sh "$WINE_TEST" --prefix "$WORK" "$STAGE/roundtrip.bat" 2>&1)
status=$?
echo "$OUT"
[ "$status" = 0 ] || { echo "exe_wine: FAIL: the batch ended with $status" >&2; exit 1; }
for line in "DATA.BIN -> _DATA.BIN: " "_DATA.BIN -> out\\DATA.BIN: " \
    "vxpack: _PLAIN.BIN: is not a compressed file: its LZW stream is not valid" \
    "vxpack: _NOPE.BIN: does not exist" \
    "vxpack: out: is a folder" "vxpack: NUL: is not a regular file" \
    "_DATA.BIN -> 1 piece: _DATA.BIN on VXTEST 1" \
    "_DATA.BIN (from VXTEST 1 on) -> JOINED.BIN: " \
    "A: (label \"VXTEST 1\")" \
    "Insert the disk labelled VXTEST 2 in drive A: and press Enter; type another drive, or Q to cancel:" \
    "vxpack: DATA.BIN: cancelled at the disk prompt; nothing of the set is kept" \
    "The disk in drive A: is labelled \"VXTEST 1\" and holds 1ATA.BIN." \
    "is longer than Windows allows" \
    "vxpack: FOLDER.BIN: is a folder" \
    "vxpack: P30K.BIN: The disk in drive A: is labelled \"VXTEST 1\" and holds no files. A split labels only a blank disk" \
    "It is VXTEST 1 of this set: it keeps its label." \
    "P30K.BIN -> 2 pieces: 130K.BIN on VXTEST 1, 030K.BIN on VXTEST 2" \
    "$(printf '  %-14s %10s bytes' 130K.BIN 20480)" \
    "$(printf '  %-14s %10s bytes' 030K.BIN 9520)" \
    "set ?30K.BIN: piece 1 (on VXTEST 1) here; its other pieces are on disks not read" \
    "Only A: was read" \
    "NEWDESK  2026-03-20 08:00:00 (4 h ago)  current  3.2.3 = server" \
    "  CLI\\REP\\NOTES.TXT: is not a report: the agent names its reports CLIENTNAME.INI" \
    "  CLI\\REP\\OLD.INI: is a folder, not a report" \
    "1 of 1 registered client reported a current pass within 14 days." \
    "vxpack: --stale 0: give a number of days from 1 to 36500" \
    "vxpack: CLI\\NOPE: no such folder" \
    "NEWDESK,yes,CLI\\REP\\NewDesk.ini,2026-03-20 08:00:00,0,current,,,,3.2.3,3.2.3,yes," \
    "vxpack.exe round trip done"; do
    echo "$OUT" | grep -qF "$line" || { echo "exe_wine: FAIL: no line \"$line\"" >&2; exit 1; }
done
if [ $LINUX_SET = 1 ]; then
    echo "$OUT" | grep -qF "_DATA.BIN (from VXTEST 1 on) -> LINUX.BIN: " \
        || { echo "exe_wine: FAIL: the set made on Linux was not joined" >&2; exit 1; }
fi
echo "exe_wine: ok"
