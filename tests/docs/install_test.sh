#!/bin/sh
# cmake --install of the Linux build into a scratch prefix: vxpack and klagent-sim land in bin
# and run from there, each with its manual page in share/man/man1; and each page names every
# option and command that the program's --help shows, so that a new option cannot go
# undocumented.
#
#   sh install_test.sh BUILD_DIR
set -u
BUILD=$1
PREFIX=$(mktemp -d "${TMPDIR:-/tmp}/vx-install.XXXXXX")
trap 'rm -rf "$PREFIX"' EXIT
fail() { echo "install_test: FAIL: $*" >&2; exit 1; }

cmake --install "$BUILD" --prefix "$PREFIX" >/dev/null || fail "cmake --install failed"
for program in vxpack klagent-sim; do
    [ -x "$PREFIX/bin/$program" ] || fail "no bin/$program"
    page=$(ls "$PREFIX"/share/man/man1/$program.1 2>/dev/null) || fail "no man page for $program"
    "$PREFIX/bin/$program" --version | grep -q "^$program 1\." || fail "$program --version"
    help=$("$PREFIX/bin/$program" --help)
    if [ $program = vxpack ]; then
        for command in compress expand substitute check report split join list; do
            help="$help
$("$PREFIX/bin/$program" $command --help)"
            grep -q "^\\\\fB$command\\\\fR" "$page" || fail "$page does not describe $command"
        done
    fi
    # Every long option the help shows, as the page writes it (\- for each hyphen).
    for option in $(echo "$help" | grep -o -- '--[a-z][a-z-]*' | sort -u); do
        roff=$(echo "$option" | sed 's/-/\\-/g')
        grep -qF -- "$roff" "$page" || fail "$page does not name $option"
    done
done
echo "install_test: ok"
