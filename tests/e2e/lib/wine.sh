# Scenario backend for the Windows installer under Wine (sourced). A test run makes one new base
# prefix (be_prepare); every scenario works in a copy of it (the big system folder hard-linked),
# so it starts from a clean registry and user folder in well under a second. The window is read and driven from a
# second Windows process (read_status.exe); exit codes come through launch_wait.exe, because the
# exit status of the wine command keeps only 8 bits.

E2E_RUN_PID=""      # launch_wait.exe, which runs the installer and waits for it
E2E_WATCH_PID=""    # read_status.exe recording the window's texts
E2E_HOLDER_PID=""
E2E_POLL_PID=""     # window_poll.exe looking for windows of an unseen run
E2E_XVFB_PID=""
E2E_EXIT=""
E2E_WINE_USER=""
E2E_PROFILE_WIN=""  # the user's profile folder as Windows programs name it (be_use_profile moves it)

export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win64

# A host path as Windows programs in the prefix name it (drive Z: is the host's root).
winpath() { local p=$1; echo "Z:${p//\//\\}"; }

wine_base() { echo "$E2E_WORK/wine-base"; }

be_prepare() {
    local base
    base=$(wine_base)
    mkdir -p "$E2E_WORK"
    rm -rf "$base"
    WINEPREFIX="$base" wineboot -i >"$E2E_WORK/wine-base.log" 2>&1
    WINEPREFIX="$base" wineserver -w
    if [[ ! -d "$base/drive_c/users" ]]; then
        echo "FAIL: wineboot did not make a prefix in $base (see $E2E_WORK/wine-base.log)" >&2
        return 1
    fi
    # The temporary path Windows programs of the prefix get (the prefix decides it, not the host).
    local temp
    temp=$(WINEPREFIX="$base" wine cmd /c echo %TEMP% 2>/dev/null | tr -d '\r\n')
    WINEPREFIX="$base" wineserver -w
    if [[ "$temp" != [Cc]:\\* ]]; then
        echo "FAIL: the prefix names no temporary path on drive C: ('$temp')" >&2
        return 1
    fi
    echo "$temp" >"$base/e2e-temp-path"
    echo "new Wine prefix in $base, temporary path $temp"
}

# A local display this machine serves (":N" with its socket), or nothing usable.
display_usable() {
    [[ "${DISPLAY:-}" =~ ^:([0-9]+) ]] && [[ -S "/tmp/.X11-unix/X${BASH_REMATCH[1]}" ]]
}

start_display() {
    local numfile="$S/display.number"
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$numfile" >/dev/null 2>&1 &
    E2E_XVFB_PID=$!
    wait_until 10 test -s "$numfile" || return 1
    export DISPLAY=":$(head -n1 "$numfile")"
}

be_setup() {
    local dir=$1 base
    base=$(wine_base)
    # Run alone (not through ctest's fixture), a scenario makes the base prefix itself.
    if [[ ! -d "$base/drive_c/users" ]]; then be_prepare >/dev/null || return 1; fi
    export WINEPREFIX="$dir/prefix"
    # The system folder (nearly all of the prefix, never written to) is linked; the rest is
    # copied, since Wine rewrites its registry files in place and a link would carry one
    # scenario's registry into the base and every later scenario.
    mkdir -p "$WINEPREFIX" || return 1
    tar -C "$base" --exclude=./drive_c/windows/system32 -cf - . | tar -C "$WINEPREFIX" -xf - || return 1
    cp -al "$base/drive_c/windows/system32" "$WINEPREFIX/drive_c/windows/system32" || return 1
    if ! display_usable; then start_display || return 1; fi
    E2E_WINE_USER=$(find "$WINEPREFIX/drive_c/users" -mindepth 1 -maxdepth 1 -type d ! -name Public -printf '%f\n' | head -n1)
    [[ -n "$E2E_WINE_USER" ]] || return 1
    E2E_PROFILE_WIN="C:\\users\\$E2E_WINE_USER"
    export QRV2_OPEN_PROBE_OUTPUT
    QRV2_OPEN_PROBE_OUTPUT=$(winpath "$dir/probe.txt")
}

# Ends every process of the prefix. Wine can leave a child hanging for good when its parent is
# killed while starting it (real Windows does not): such a process still holds its program
# file, which no run of ours can then remove.
be_end_stray_processes() {
    wineserver -k >/dev/null 2>&1
    wineserver -w >/dev/null 2>&1
}

be_teardown() {
    local pid
    for pid in $E2E_RUN_PID $E2E_WATCH_PID $E2E_HOLDER_PID $E2E_POLL_PID; do
        kill -KILL "$pid" 2>/dev/null
    done
    if [[ -n "${WINEPREFIX:-}" && -d "$WINEPREFIX" ]]; then
        wineserver -k >/dev/null 2>&1
        wineserver -w >/dev/null 2>&1
        # The copy is only links to the base and a few new files: a passed scenario drops it.
        ((E2E_FAILURES == 0)) && rm -rf "$WINEPREFIX"
    fi
    if [[ -n "$E2E_XVFB_PID" ]]; then
        kill "$E2E_XVFB_PID" 2>/dev/null
    fi
    wait 2>/dev/null
    return 0
}

# A path on drive C: as a host path ("C:\users\me" -> <prefix>/drive_c/users/me).
host_path() { local p=${1:3}; echo "$WINEPREFIX/drive_c/${p//\\//}"; }
be_product_dir() { echo "$(host_path "$E2E_PROFILE_WIN")/AppData/Local/Orvane2011"; }
# The prefix's temporary path as a host path ("C:\users\me\Temp" -> <prefix>/drive_c/users/me/Temp).
be_temp_dir() { host_path "$(cat "$WINEPREFIX/e2e-temp-path")"; }
be_uninstaller_name() { echo Orvane2011Uninstall.exe; }
# The uninstaller stands beside the product folder: its host path, and as the registry names it.
be_uninstaller_file() { echo "$(host_path "$E2E_PROFILE_WIN")/AppData/Local/$(be_uninstaller_name)"; }
be_uninstaller_path() { echo "$E2E_PROFILE_WIN\\AppData\\Local\\$(be_uninstaller_name)"; }
be_product_path() { echo "$E2E_PROFILE_WIN\\AppData\\Local\\Orvane2011\\$1"; }

# be_use_profile <name> [local-only]: the user's folders move to C:\users\<name>: the local
# application data folder (where the product goes) and, unless local-only, the temporary folder
# below it, as on Windows. Names with letters of any script reach Wine as the UTF-8 text they are.
be_use_profile() {
    export LC_ALL=C.UTF-8
    E2E_PROFILE_WIN="C:\\users\\$1"
    local local_win="$E2E_PROFILE_WIN\\AppData\\Local" variable
    mkdir -p "$(host_path "$local_win")/Temp" || return 1
    wine reg add 'HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\User Shell Folders' \
        /v 'Local AppData' /t REG_EXPAND_SZ /d "$local_win" /f >/dev/null 2>&1 || return 1
    [[ "${2:-}" == local-only ]] && return 0
    for variable in TEMP TMP; do
        wine reg add 'HKCU\Environment' /v "$variable" /t REG_EXPAND_SZ /d "$local_win\\Temp" /f \
            >/dev/null 2>&1 || return 1
    done
    echo "$local_win\\Temp" >"$WINEPREFIX/e2e-temp-path"
}
# The document as a user would type it after the program name (quoted, for the space), and as
# the opener gets it (its %1: the path alone).
be_document_argument() { echo "\"$(winpath "$1")\""; }
be_document_as_opened() { winpath "$1"; }

# Documents ending in .qrv open with the probe, which writes what it was given to probe.txt.
# Wine 8 reads file associations from HKEY_CLASSES_ROOT alone (a user's own classes under
# HKCU\Software\Classes are not merged into it), so the association is made there.
be_associate() {
    local probe
    probe=$(winpath "$E2E_TOOLS/open_probe.exe")
    probe=${probe//\\/\\\\}
    cat >"$S/association.reg" <<EOF
REGEDIT4

[HKEY_CLASSES_ROOT\\.qrv]
@="QrvProbe.Document"

[HKEY_CLASSES_ROOT\\QrvProbe.Document\\shell\\open\\command]
@="\\"$probe\\" \\"%1\\""
EOF
    wine regedit /S "$(winpath "$S/association.reg")" >/dev/null 2>&1
    if wine reg query 'HKEY_CLASSES_ROOT\QrvProbe.Document\shell\open\command' 2>/dev/null | grep -q open_probe.exe; then
        pass
    else
        fail "the .qrv association could not be set up"
    fi
}

# The manifest's switches as they stand: the program takes its command line as one text.
be_switch_name() { echo "$1"; }
be_switch_value() { echo "$1"; }
be_log_argument() { winpath "$1"; }

# be_start <executable> [watch|unseen] [argument...]: the arguments are the command line after
# the program's name, joined by spaces. be_start --command-line [watch|unseen] <command line>:
# the whole command line, as a registered command is run. watch records the window's texts
# (read_status.exe); unseen looks for any top-level window of the installer or the uninstaller
# every 20 ms (window_poll.exe), for be_shown.
be_start() {
    local exe=$1 watch=${2:-} args=("${@:3}")
    E2E_EXIT=""
    rm -f "$S/exit-code.txt"
    if [[ "$watch" == watch ]]; then
        rm -f "$S/status.log"
        wine "$E2E_TOOLS/read_status.exe" --title "$E2E_TITLE" --record "$(winpath "$S/status.log")" --gone --timeout 60000 \
            >/dev/null 2>&1 &
        E2E_WATCH_PID=$!
    elif [[ "$watch" == unseen ]]; then
        rm -f "$S/windows.txt" "$S/windows.stop"
        wine "$E2E_TOOLS/window_poll.exe" "$(winpath "$S/windows.txt")" "$(winpath "$S/windows.stop")" \
            Orvane2011Setup.exe Orvane2011Uninstall.exe >/dev/null 2>&1 &
        E2E_POLL_PID=$!
        wait_until 15 test -e "$S/windows.txt" || fail "the window poller did not start"
    fi
    local program=$exe
    # A host path, not a Windows one (nor a whole command line, see be_run_registered).
    [[ "$program" =~ ^[A-Za-z]:\\ || "$program" == --command-line ]] || program=$(winpath "$exe")
    local text=()
    ((${#args[@]} > 0)) && text=("${args[*]}")
    wine "$E2E_TOOLS/launch_wait.exe" "$(winpath "$S/exit-code.txt")" "$program" "${text[@]}" \
        >"$S/launch.log" 2>&1 &
    E2E_RUN_PID=$!
}

# After an unseen run: how many top-level windows of the programs the poller found. A poller
# that never saw a program running proves nothing: that fails.
be_shown() {
    touch "$S/windows.stop"
    # Its last line ends the record (this may run in a subshell, which cannot wait for it).
    wait_until 15 grep -q '^windows ' "$S/windows.txt"
    if ! grep -q -x -E 'looks-with-program [1-9][0-9]*' <(tr -d '\r' <"$S/windows.txt"); then
        fail "the window poller never saw the program running: $(tr '\r\n' '  ' <"$S/windows.txt")"
    fi
    tr -d '\r' <"$S/windows.txt" | sed -n 's/^windows //p'
}

run_ended() { ! kill -0 "$E2E_RUN_PID" 2>/dev/null; }
be_running() { [[ -n "$E2E_RUN_PID" ]] && ! run_ended; }

watcher_ended() { ! kill -0 "$E2E_WATCH_PID" 2>/dev/null; }

# be_wait_exit <seconds>: E2E_EXIT gets the installer's full exit code.
be_wait_exit() {
    if ! wait_until "$1" run_ended; then
        fail "the installer was still running after $1 s"
        kill -KILL "$E2E_RUN_PID" 2>/dev/null
    fi
    wait "$E2E_RUN_PID" 2>/dev/null
    E2E_EXIT=$(tr -d '\r\n' <"$S/exit-code.txt" 2>/dev/null)
    [[ -n "$E2E_EXIT" ]] || E2E_EXIT="(none: $(tr '\n' ' ' <"$S/launch.log"))"
    E2E_RUN_PID=""
    if [[ -n "$E2E_WATCH_PID" ]]; then
        wait_until 5 watcher_ended || kill -KILL "$E2E_WATCH_PID" 2>/dev/null
        wait "$E2E_WATCH_PID" 2>/dev/null
        E2E_WATCH_PID=""
    fi
}

be_cancel_code() { echo 1602; }
be_failed_code() { echo 1603; }
be_log_not_created_code() { echo 1622; }
be_usage_code() { echo 1639; }

# be_cancel [alternate]: the user closes the window (alternate: presses Escape in it).
be_cancel() {
    local how=--close
    [[ "${1:-}" == alternate ]] && how=--escape
    if wine "$E2E_TOOLS/read_status.exe" --title "$E2E_TITLE" "$how" --timeout 5000 >/dev/null 2>&1; then
        pass
    else
        fail "the window could not be sent $how"
    fi
}

be_status_history() {
    [[ -f "$S/status.log" ]] || return 0
    tr -d '\r' <"$S/status.log" | grep -v -e '^max-position ' -e '^topmost ' -e '^$' | uniq
}

# The highest position the bar control reported (its range is 0 to 65535).
be_bar_highest() { tr -d '\r' <"$S/status.log" 2>/dev/null | sed -n 's/^max-position //p' | tail -n1; }
be_bar_expected_highest() { echo $((29 * 65535 / 30)); }
# The window is read by polling from another process, and the last positions of a phase last
# 20 ms each: on a busy machine a few of them can pass unseen.
be_bar_lowest_highest() { echo $((25 * 65535 / 30)); }
# 1 when the window stayed above other windows from the moment it was first seen.
be_window_topmost() { tr -d '\r' <"$S/status.log" 2>/dev/null | sed -n 's/^topmost //p' | tail -n1; }

be_wait_status() { # <text> <seconds>
    wine "$E2E_TOOLS/read_status.exe" --title "$E2E_TITLE" --until "$1" --timeout $(($2 * 1000)) >"$S/read_status.out" 2>&1
}

# be_hold <file>: another process keeps the library loaded until be_release.
be_hold() {
    rm -f "$S/hold.ready" "$S/hold.release"
    wine "$E2E_TOOLS/hold_library.exe" "$(winpath "$1")" "$(winpath "$S/hold.ready")" \
        "$(winpath "$S/hold.release")" 60000 >"$S/holder.log" 2>&1 &
    E2E_HOLDER_PID=$!
    if wait_until 15 test -e "$S/hold.ready"; then
        pass
        return 0
    fi
    fail "the holder could not load $1"
    return 1
}

be_release() {
    touch "$S/hold.release"
    wait "$E2E_HOLDER_PID"
    expect_eq "$?" 0 "holder's exit code"
    E2E_HOLDER_PID=""
}

# be_reg_seed <key> <name=data>...: REG_SZ values already in the prefix's registry before a run.
be_reg_seed() {
    regedit4_text "$@" >"$S/seed.reg"
    wine regedit /S "$(winpath "$S/seed.reg")" >/dev/null 2>&1
}

# be_key_present <key below HKEY_CURRENT_USER>: true when the prefix's registry holds the key
# (reg.exe tried a few times, as for be_reg_values, so a spurious failure of reg.exe does not
# pass for a removed key).
be_key_present() {
    local try
    for try in 1 2 3; do
        wine reg query "HKEY_CURRENT_USER\\$1" >/dev/null 2>&1 && return 0
        sleep 0.2
    done
    return 1
}

# be_reg_values <key below HKEY_CURRENT_USER>: "name<TAB>type<TAB>data" per value, as the
# prefix's registry editor exports them (reg.exe would print them in the console's code page, with
# '?' for letters it lacks); the default value is named "(default)".
be_reg_values() {
    # The editor now and then fails on a loaded machine although the key is there; a key that is
    # really missing fails every time, so a few tries cost little and keep a busy run honest.
    local export="$S/values.reg" try
    for try in 1 2 3; do
        rm -f "$export"
        wine regedit /E "$(winpath "$export")" "HKEY_CURRENT_USER\\$1" >/dev/null 2>&1 && [[ -s "$export" ]] && break
        sleep 0.2
    done
    [[ -s "$export" ]] || return 0
    # The export is UTF-16 text in the format the native store keeps (version 5 header).
    iconv -f UTF-16 -t UTF-8 "$export" | tr -d '\r' | regedit_values "$1"
}

# be_run_registered <command line> [watch|unseen]: a registered command run as the system runs
# it: the whole text as the command line, its quotes deciding where the program's name ends.
be_run_registered() { be_start --command-line "${2:-}" "$1"; }

# ---- Scenarios of this platform only -----------------------------------------------------------

# Libraries Windows always takes from its own folder, whatever lies beside a program (its
# "known DLLs"), plus the common controls, which the manifest binds to the system's side-by-side
# copy. Any other library imported by name could be planted beside the installer.
readonly SAFE_IMPORTS=" kernel32.dll user32.dll gdi32.dll advapi32.dll shell32.dll shlwapi.dll ole32.dll oleaut32.dll msvcrt.dll comctl32.dll comdlg32.dll ws2_32.dll rpcrt4.dll combase.dll "

# A library planted beside the installer under a system library's name is not loaded.
# - The installer imports only libraries Windows always takes from its own folder (a planted copy
#   of any other imported library would run before the installer's first line).
# - Controls: a program importing the timer library directly loads a winmm.dll planted beside it,
#   and a program loading uxtheme.dll by name loads the copy beside it; so Wine (told by the
#   overrides "winmm=n,b;uxtheme=n,b" to prefer non-built-in copies) would load planted copies.
# - The installer's library search restriction, applied before that load by name, makes the
#   same program take the system's copy.
# - The installer itself, beside a planted winmm.dll, loads the system's timer library.
# Wine 8 cannot show the restriction on the installer's own loads by name: it resolves the
# common controls' delayed imports (uxtheme.dll) through the program's folder whatever the
# process set, so uxtheme.dll is not planted beside the installer.
scenario_planted_system_library() {
    local dll unsafe=""
    while read -r dll; do
        [[ "$SAFE_IMPORTS" == *" ${dll,,} "* ]] || unsafe+=" $dll"
    done < <("$E2E_OBJDUMP" -p "$E2E_INSTALLER" | sed -n 's/^[[:space:]]*DLL Name: //p')
    expect_eq "${unsafe# }" "" "libraries the installer imports that could be planted beside it"

    local app="$S/app" tool="$S/tool" exe marker="$S/planted.txt"
    exe=$(basename "$E2E_INSTALLER")
    mkdir -p "$app" "$tool"
    cp "$E2E_INSTALLER" "$E2E_TOOLS/uses_timer.exe" "$app/"
    cp "$E2E_TOOLS/planted_library.dll" "$app/winmm.dll"
    cp "$E2E_TOOLS/load_by_name.exe" "$tool/"
    cp "$E2E_TOOLS/planted_library.dll" "$tool/uxtheme.dll"
    export QRV2_PLANTED_MARKER
    QRV2_PLANTED_MARKER=$(winpath "$marker")
    export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;winmm=n,b;uxtheme=n,b"

    rm -f "$marker"
    wine "$app/uses_timer.exe" >/dev/null 2>&1
    if grep -q -i 'uses_timer.exe loaded .*winmm.dll' "$marker" 2>/dev/null; then
        pass
    else
        fail "control: a program importing the timer did not load the winmm.dll planted beside it"
    fi
    rm -f "$marker"
    wine "$tool/load_by_name.exe" uxtheme.dll >/dev/null 2>&1
    if grep -q -i 'load_by_name.exe loaded .*tool\\uxtheme.dll' "$marker" 2>/dev/null; then
        pass
    else
        fail "control: loading uxtheme.dll by name did not pick the copy planted beside the program"
    fi
    rm -f "$marker"
    local loaded
    loaded=$(wine "$tool/load_by_name.exe" --restricted uxtheme.dll 2>/dev/null | tr -d '\r')
    expect_eq "${loaded,,}" 'c:\windows\system32\uxtheme.dll' "library loaded by name after the search restriction"
    expect_missing "$marker" "the planted uxtheme.dll ran despite the search restriction"

    rm -f "$marker"
    be_start "$app/$exe"
    be_wait_exit 30
    expect_eq "$E2E_EXIT" 0 "exit code beside the planted library"
    expect_installed
    if [[ -s "$marker" ]]; then
        fail "the installer loaded a planted library: $(tr -d '\r' <"$marker")"
    else
        pass
    fi
}

# Not a check: photographs the window halfway through the Mozilla phase into $S/progress-window.png
# (the picture in docs/ was made with it: run_scenario.sh <config> screenshot).
scenario_screenshot() {
    be_start "$E2E_INSTALLER"
    if wine "$E2E_TOOLS/screenshot.exe" "$(winpath "$S/progress-window.png")" --until "$TEXT_MOZILLA" \
        --delay 650 --timeout 20000 >/dev/null 2>&1; then
        pass
        echo "picture: $S/progress-window.png"
    else
        fail "the window could not be photographed"
    fi
    be_wait_exit 30
}

# The user's folders named with letters no single-byte code page has all of (Polish and
# Cyrillic): the programs' manifest makes the 8-bit entry points speak UTF-8, so the product
# lands there, every registered path names it, the browser's view of the plug-in's Path loads
# it, and the removal by the registered command finds everything.
readonly UNICODE_USER="Łukasz Жуков"
scenario_unicode_profile() {
    be_use_profile "$UNICODE_USER" || { fail "the user's folders could not be moved"; return; }
    install_completely
    local loaded
    loaded=$(wine "$E2E_TOOLS/load_by_name.exe" --registered "$KEY_PLUGIN" Path 2>/dev/null | tr -d '\r')
    expect_eq "$loaded" "$(be_product_path npqx2011.dll)" "library loaded from the registered Path"
    remove_completely
}

# The same folders on a system that ignores the manifest's code page (the installer's manifest
# without it): the 8-bit entry points cannot name them, so the run stops at once as failed, with
# the reason on screen, and writes nothing anywhere else (no product or temporary folder, no key).
scenario_legacy_code_page() {
    local element='<activeCodePage xmlns="http://schemas.microsoft.com/SMI/2019/WindowsSettings">UTF-8</activeCodePage>'
    local legacy="$S/legacy/$(basename "$E2E_INSTALLER")" offsets offset
    mkdir -p "$S/legacy" && cp "$E2E_INSTALLER" "$legacy"
    offsets=$(LC_ALL=C grep -obUa -F -- "$element" "$legacy" | cut -d: -f1)
    expect_eq "$(wc -w <<<"$offsets")" 1 "code page settings in the installer's manifest"
    for offset in $offsets; do  # the same length as a comment: the manifest stays well formed
        printf '<!--%*s-->' $((${#element} - 7)) '' | dd of="$legacy" bs=1 seek="$offset" conv=notrunc status=none
    done
    # First the product's folder alone cannot be named (the temporary folder can), then both.
    local moved
    for moved in local-only all; do
        be_use_profile "$UNICODE_USER" "$moved" || { fail "the user's folders could not be moved"; return; }
        be_start "$legacy" watch
        be_wait_exit 30
        expect_eq "$E2E_EXIT" "$(be_failed_code)" "$moved: exit code when the user's folder cannot be named"
        expect_eq "$(be_status_history | tail -n1)" "Installation Stopped - Unable to reach the user's folder." \
            "$moved: last status text shown"
        expect_eq "$(find "$WINEPREFIX/drive_c" -iname '*orvane*' -o -name 'QRV*' | sort)" "" \
            "$moved: product or temporary folders written"
        expect_no_key "$KEY_PLUGIN"
        expect_no_key "$KEY_UNINSTALL"
        expect_no_key "$KEY_CONTROL_CLASS"
    done
}

# The host process ids of the uninstaller's temporary copies now running (Wine runs each Windows
# process as a host process whose command line names the program's Windows path).
copy_pids() {
    local proc
    for proc in /proc/[0-9]*; do
        tr '\0' ' ' <"$proc/cmdline" 2>/dev/null | grep -q -i -E 'QRV-?[0-9]+\\Orvane2011Uninstall\.exe' &&
            echo "${proc#/proc/}"
    done
}

# A removal whose temporary copy is killed outright (while it waits for a held plug-in) ends with
# 1603: the copy never said it finished, whatever exit code the system reports for it.
scenario_uninstall_killed_copy() {
    local product pids
    product=$(be_product_dir)
    install_completely
    be_hold "$product/npqx2011.dll" || return
    run_registered_uninstaller watch || return
    if be_wait_status "$TEXT_REMOVE_CLOSE_FIREFOX" 20; then pass; else fail "the window never asked: $TEXT_REMOVE_CLOSE_FIREFOX"; fi
    pids=$(copy_pids)
    if [[ -n "$pids" ]]; then pass; else fail "no running copy of the uninstaller found"; fi
    # shellcheck disable=SC2086
    [[ -n "$pids" ]] && kill -KILL $pids
    be_wait_exit 20
    expect_eq "$E2E_EXIT" "$(be_failed_code)" "exit code of the removal whose copy was killed"
    expect_value "$KEY_UNINSTALL" DisplayVersion 1.0.1.8
    be_release
    remove_completely
}

# The whole of HKEY_CURRENT_USER as the prefix's registry editor exports it (UTF-16 turned into
# UTF-8; a failed export is tried again, as for be_reg_values).
be_registry_text() {
    local export="$S/registry.reg" try
    for try in 1 2 3; do
        rm -f "$export"
        wine regedit /E "$(winpath "$export")" HKEY_CURRENT_USER >/dev/null 2>&1 && [[ -s "$export" ]] && break
        sleep 0.2
    done
    [[ -s "$export" ]] && iconv -f UTF-16 -t UTF-8 "$export" | tr -d '\r'
}

# be_run_killed <milliseconds> <executable> [argument...]: runs the program and ends it that long
# after its start with TerminateProcess (as a crash or "end task" ends it), unless it has ended
# by then; E2E_EXIT gets its exit code.
be_run_killed() {
    local ms=$1 exe=$2 text=()
    (($# > 2)) && text=("${*:3}")
    rm -f "$S/exit-code.txt"
    # A host path, not a Windows one.
    [[ "$exe" =~ ^[A-Za-z]:\\ ]] || exe=$(winpath "$exe")
    wine "$E2E_TOOLS/launch_wait.exe" "$(winpath "$S/exit-code.txt")" --kill-after "$ms" "$exe" \
        "${text[@]}" >"$S/launch.log" 2>&1
    E2E_EXIT=$(tr -d '\r\n' <"$S/exit-code.txt" 2>/dev/null)
}

be_newer_installed_code() { echo 1638; }
be_already_running_code() { echo 1618; }

# The installed uninstaller as be_run_killed starts it: by its Windows path, as the system's list
# of programs does (so it runs from a temporary copy).
be_uninstaller_program() { be_uninstaller_path; }

# be_create_by_class <{class id}>: what the client that creates an object by its class id says.
be_create_by_class() { wine "$E2E_TOOLS/create_by_class.exe" "$1" 2>/dev/null | tr -d '\r'; }
