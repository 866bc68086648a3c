#!/usr/bin/env bash
# The Windows setup program under Wine, as a Windows owner would use it from a script:
#   1. a silent install (/S): the programs, the README and the retry procedure in Program Files,
#      the Start-menu entry, the uninstaller registered under Apps and features with its version,
#      publisher, size and icon;
#   2. the installed console program's --version;
#   3. the same setup once more over it (an upgrade: the installed version is removed first);
#   4. a silent uninstall, and a wait until nothing is left (the NSIS uninstaller returns before
#      it has finished: it goes on from a copy of itself), bounded.
# Prints the setup's size and the times each step took.
#
#   tools/setup-round-trip.sh WINDOWS_BUILD
set -euo pipefail

build=${1:?usage: tools/setup-round-trip.sh WINDOWS_BUILD}
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$build" && pwd)
setups=("$build"/tk358fw-*-setup-x86_64.exe)
if [[ ${#setups[@]} -ne 1 || ! -f ${setups[0]} ]]; then
    echo "setup-round-trip: expected one setup program in $build; build first" >&2
    exit 1
fi
setup=${setups[0]}
version=${setup##*/tk358fw-}
version=${version%-setup-x86_64.exe}
prefix="$build/wine"
folder="$prefix/drive_c/Program Files/Orvia TK358 Camera Update Software"
shortcut="$prefix/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Orvia TK358 Camera Update Software.lnk"
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\tk358fw'
# The longest the uninstaller may take to finish after it has returned.
removal_limit_s=60

wine_run() {
    "$here/wine-run.sh" "$prefix" "$@"
}
fail() {
    echo "setup-round-trip: $*" >&2
    exit 1
}
now() {
    date +%s.%N
}
seconds_since() {
    awk -v a="$1" -v b="$(now)" 'BEGIN { printf "%.1f", b - a }'
}
# The value of one entry of the uninstaller's registration, or nothing.
registered() {
    wine_run reg query "$key" /v "$1" 2>/dev/null | tr -d '\r' |
        awk -v name="$1" '$1 == name { $1 = ""; $2 = ""; sub(/^ +/, ""); print }'
}

check_installed() {
    local what=$1 file
    for file in tk358fw.exe tk358fw-console.exe README.md retry-procedure.md uninstall.exe; do
        [[ -f "$folder/$file" ]] || fail "after the $what, $file is not in $folder"
    done
    [[ -f $shortcut ]] || fail "after the $what, the Start-menu entry is missing"
    [[ $(registered DisplayVersion) == "$version" ]] || fail "after the $what, the version is not registered"
    [[ $(registered Publisher) == "the tk358fw developers" ]] || fail "after the $what, no publisher"
    [[ $(registered DisplayIcon) == *'\tk358fw.exe,0' ]] || fail "after the $what, no icon"
    [[ $(registered EstimatedSize) =~ ^0x0*[1-9a-f] ]] || fail "after the $what, no size"
    grep -q 'Device Manager' "$folder/README.md" || fail "the README is not the Windows one"
    if grep -qE '/usr/share/doc|/dev/ttyUSB|dialout' "$folder/README.md" "$folder/retry-procedure.md"; then
        fail "the installed documents speak of Linux"
    fi
}

# Anything of an earlier run goes first.
if [[ -f "$folder/uninstall.exe" ]]; then
    wine_run "$folder/uninstall.exe" /S || true
fi

start=$(now)
wine_run "$setup" /S || fail "the silent install failed (status $?)"
install_time=$(seconds_since "$start")
check_installed install

console=tk358fw-console.exe
shown=$(wine_run "$folder/$console" --version | tr -d '\r')
[[ $shown == "tk358fw $version"* ]] || fail "the installed $console --version says: $shown"

start=$(now)
wine_run "$setup" /S || fail "the install over the installed version failed (status $?)"
upgrade_time=$(seconds_since "$start")
check_installed "install over it"

start=$(now)
wine_run "$folder/uninstall.exe" /S || fail "the silent uninstall failed (status $?)"
left=""
for ((tenth = 0; tenth < removal_limit_s * 10; ++tenth)); do
    left=""
    [[ -e $folder ]] && left+=" the folder"
    [[ -e $shortcut ]] && left+=" the Start-menu entry"
    [[ -n $(registered DisplayName) ]] && left+=" the registration"
    [[ -z $left ]] && break
    sleep 0.1
done
[[ -z $left ]] || fail "$removal_limit_s s after the uninstall, still there:$left"
uninstall_time=$(seconds_since "$start")

echo "windows setup: installed, installed over itself and removed without a trace"
echo "  $(basename "$setup"): $(stat -c %s "$setup") bytes"
echo "  install ${install_time} s, install over it ${upgrade_time} s, uninstall ${uninstall_time} s"
