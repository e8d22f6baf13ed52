# Scenario backend for the native (POSIX) installer (sourced). Every scenario gets a home, data,
# configuration and runtime folder of its own, so the real user's files are never read or touched.
# The window is the installer's status line on standard error, drawn only on a terminal: runs
# whose window is watched get a pseudo-terminal from script(1), whose record is then read.

E2E_RUN_PID=""        # what was started: the installer, or script(1) running it
E2E_INSTALLER_PID=""  # the installer itself
E2E_HOLDER_PID=""
E2E_EXIT=""
E2E_WATCHED=0

be_prepare() { return 0; }
# A killed run's child goes on to its end here: nothing to end.
be_end_stray_processes() { return 0; }

be_setup() {
    local dir=$1
    export HOME="$dir/home" XDG_CONFIG_HOME="$dir/config" XDG_DATA_HOME="$dir/data"
    export XDG_RUNTIME_DIR="$dir/run"
    unset XDG_CACHE_HOME XDG_STATE_HOME
    mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$dir/bin" || return 1
    mkdir -m 700 "$XDG_RUNTIME_DIR" || return 1
    # The folder that stands in for programs the shell would start (xdg-open) comes first.
    export PATH="$dir/bin:$PATH"
    export QRV2_OPEN_PROBE_OUTPUT="$dir/probe.txt"
}

be_teardown() {
    local pid
    for pid in $E2E_INSTALLER_PID $E2E_RUN_PID $E2E_HOLDER_PID; do
        kill -KILL "$pid" 2>/dev/null
    done
    [[ -n "$E2E_HOLDER_PID$E2E_RUN_PID" ]] && wait 2>/dev/null
    return 0
}

be_product_dir() { echo "$XDG_DATA_HOME/Orvane2011"; }
be_temp_dir() { echo "$XDG_RUNTIME_DIR/qrv2"; }

# The path the installer writes into the registry for a file of the product folder: the
# framework's Windows-shaped form of the POSIX path (drive Z: is the root).
be_product_path() {
    local p
    p="$(be_product_dir)/$1"
    echo "Z:${p//\//\\}"
}

be_uninstaller_name() { echo orvane2011-uninstall; }
# The uninstaller stands beside the product folder: its host path, and as the registry names it.
be_uninstaller_file() { echo "$XDG_DATA_HOME/$(be_uninstaller_name)"; }
be_uninstaller_path() {
    local p
    p=$(be_uninstaller_file)
    echo "Z:${p//\//\\}"
}
# be_run_registered <command line> [watch|unseen]: the program a registered command names in
# quotes (a framework path, drive Z: the root), started as a host path with the words after it
# as its arguments.
be_run_registered() {
    local p=${1#\"} words
    read -r -a words <<<"${p#*\"}"
    p=${p%%\"*}
    p=${p#Z:}
    be_start "${p//\\//}" "${2:-}" "${words[@]}"
}

# be_use_profile <name>: the user's data and runtime folders move below a folder of that name.
be_use_profile() {
    export XDG_DATA_HOME="$S/$1/data" XDG_RUNTIME_DIR="$S/$1/run"
    mkdir -p "$XDG_DATA_HOME" || return 1
    mkdir -m 700 "$XDG_RUNTIME_DIR" || return 1
}

# The document as a user would type it (one argument of its own), and as the opener gets it.
be_document_argument() { echo "$1"; }
be_document_as_opened() { echo "$1"; }

# The shell's opener is replaced by the probe, which writes what it was given to probe.txt.
be_associate() { ln -sf "$E2E_TOOLS/open_probe" "$S/bin/xdg-open"; }

# The manifest's switches in this program's form: "/name" is "--name", a quoted value one
# argument of its own; the log file as the user types it.
be_switch_name() { echo "--${1#/}"; }
be_switch_value() { local v=${1#\"}; echo "${v%\"}"; }
be_log_argument() { echo "$1"; }

# be_start <executable> [watch|unseen] [argument...]: watch and unseen run it on a terminal of
# its own (script(1)), whose record be_status_history and be_shown read.
be_start() {
    local exe=$1 watch=${2:-} args=("${@:3}")
    E2E_EXIT=""
    if [[ "$watch" == watch || "$watch" == unseen ]]; then
        rm -f "$S/terminal.log"
        E2E_WATCHED=1
        local command
        command="exec $(printf '%q ' "$exe" "${args[@]}")"
        SHELL=/bin/bash script -qfec "$command" "$S/terminal.log" </dev/null >/dev/null 2>&1 &
        E2E_RUN_PID=$!
        # script's child shell replaces itself with the installer.
        local children="" i
        for ((i = 0; i < 100; i++)); do
            children=$(cat "/proc/$E2E_RUN_PID/task/$E2E_RUN_PID/children" 2>/dev/null)
            [[ -n "$children" ]] && break
            sleep 0.02
        done
        E2E_INSTALLER_PID=${children%% *}
    else
        E2E_WATCHED=0
        "$exe" "${args[@]}" </dev/null >"$S/installer.out" 2>&1 &
        E2E_RUN_PID=$!
        E2E_INSTALLER_PID=$E2E_RUN_PID
    fi
}

run_ended() { ! kill -0 "$E2E_RUN_PID" 2>/dev/null; }
be_running() { [[ -n "$E2E_INSTALLER_PID" ]] && kill -0 "$E2E_INSTALLER_PID" 2>/dev/null; }

# be_wait_exit <seconds>: E2E_EXIT gets the exit status; a run still going then is killed.
be_wait_exit() {
    if ! wait_until "$1" run_ended; then
        fail "the installer was still running after $1 s"
        kill -KILL "$E2E_INSTALLER_PID" "$E2E_RUN_PID" 2>/dev/null
    fi
    wait "$E2E_RUN_PID" 2>/dev/null
    E2E_EXIT=$?
    E2E_RUN_PID="" E2E_INSTALLER_PID=""
}

# A POSIX exit status keeps only the low 8 bits: the cancel code 1602 arrives as 66.
be_cancel_code() { echo $((1602 & 255)); }
be_log_not_created_code() { echo $((1622 & 255)); }
be_usage_code() { echo 2; }

# After an unseen run: how many lines it drew on its terminal (script(1) frames the record with
# lines of its own).
be_shown() {
    tr '\r' '\n' <"$S/terminal.log" 2>/dev/null | grep -v -e '^Script started' -e '^Script done' |
        sed 's/\x1b\[K//g' | grep -c '[^[:space:]]'
}

# be_cancel [alternate]: the stop request of a terminal user (SIGTERM; alternate: Ctrl-C's SIGINT).
be_cancel() {
    if [[ "${1:-}" == alternate ]]; then
        kill -INT "$E2E_INSTALLER_PID"
    else
        kill -TERM "$E2E_INSTALLER_PID"
    fi
}

# The status texts drawn on the terminal, in order, each once per change.
be_status_history() {
    [[ -f "$S/terminal.log" ]] || return 0
    tr '\r' '\n' <"$S/terminal.log" |
        sed -n "s/^$E2E_TITLE: \(.*\) \[[#-]*\] [0-9]*%.*\$/\1/p" | uniq
}

# The highest percentage the drawn bar showed (of the control's range 0 to 65535).
be_bar_highest() {
    [[ -f "$S/terminal.log" ]] || return 0
    tr '\r' '\n' <"$S/terminal.log" | sed -n 's/^.* \[[#-]*\] \([0-9]*\)%.*$/\1/p' | sort -n | tail -n1
}
be_bar_expected_highest() { echo $(((29 * 65535 / 30 * 100 + 65535 / 2) / 65535)); }
# The terminal stream holds every drawing of the bar: nothing can pass unseen.
be_bar_lowest_highest() { be_bar_expected_highest; }

# The status line currently drawn.
be_current_status() { be_status_history | tail -n1; }

E2E_WANTED_STATUS=""
status_is_wanted() { [[ "$(be_current_status)" == "$E2E_WANTED_STATUS" ]]; }
be_wait_status() { # <text> <seconds>
    E2E_WANTED_STATUS=$1
    wait_until "$2" status_is_wanted
}

# be_hold <file>: another process keeps the library loaded until be_release.
be_hold() {
    rm -f "$S/hold.ready" "$S/hold.release"
    "$E2E_TOOLS/hold_library" "$1" "$S/hold.ready" "$S/hold.release" 60000 &
    E2E_HOLDER_PID=$!
    if wait_until 5 test -e "$S/hold.ready"; then
        pass
        return 0
    fi
    fail "the holder could not take $1"
    return 1
}

be_release() {
    touch "$S/hold.release"
    wait "$E2E_HOLDER_PID"
    expect_eq "$?" 0 "holder's exit code"
    E2E_HOLDER_PID=""
}

# be_reg_seed <key> <name=data>...: REG_SZ values already in the per-user store before a run
# (written while no installer runs, so the store's lock is not needed).
be_reg_seed() {
    mkdir -p "$XDG_CONFIG_HOME/qrv2"
    regedit4_text "$@" >"$XDG_CONFIG_HOME/qrv2/registry.reg"
}

# be_key_present <key below HKEY_CURRENT_USER>: true when the per-user store holds the key.
be_key_present() {
    local store="$XDG_CONFIG_HOME/qrv2/registry.reg"
    [[ -f "$store" ]] || return 1
    E2E_KEY="[HKEY_CURRENT_USER\\$1]" awk 'tolower($0) == tolower(ENVIRON["E2E_KEY"]) { found = 1 } END { exit !found }' "$store"
}

# be_reg_values <key below HKEY_CURRENT_USER>: "name<TAB>type<TAB>data" per value, read from the
# per-user registry store (a REGEDIT4-style text file); the default value is named "(default)".
be_reg_values() {
    local store="$XDG_CONFIG_HOME/qrv2/registry.reg"
    [[ -f "$store" ]] || return 0
    regedit_values "$1" <"$store"
}

# The exit code of a run that stopped on a failure, as the shell sees it (its low 8 bits).
be_failed_code() { echo $((1603 & 255)); }

# ---- Scenarios of this platform only -----------------------------------------------------------

# A registry store the installer cannot read is never rewritten (its values would be lost): the
# Mozilla phase fails, the run stops as failed, and the store keeps every byte.
scenario_damaged_store() {
    mkdir -p "$XDG_CONFIG_HOME/qrv2"
    printf 'REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Kept]\n"a"="b\n\x01\x02 not a store\n' >"$XDG_CONFIG_HOME/qrv2/registry.reg"
    cp "$XDG_CONFIG_HOME/qrv2/registry.reg" "$S/store-before"
    be_start "$E2E_INSTALLER"
    be_wait_exit 20
    expect_eq "$E2E_EXIT" "$(be_failed_code)" "exit code with a damaged registry store"
    expect_same_file "$XDG_CONFIG_HOME/qrv2/registry.reg" "$S/store-before" "damaged store after the run"
    expect_eq "$(cat "$S/installer.out")" "Installation Stopped - Unable to install the XPCOM Plugin." "standard error of the stopped run"
    expect_no_temp_leftover
}

# Without a usable private temporary folder the payload goes nowhere else: nothing appears in the
# folder the installer was started from.
scenario_unusable_temp_folder() {
    printf 'not a folder\n' >"$XDG_RUNTIME_DIR/qrv2"
    mkdir -p "$S/cwd"
    (cd "$S/cwd" && exec "$E2E_INSTALLER" </dev/null >"$S/installer.out" 2>&1) &
    E2E_RUN_PID=$! E2E_INSTALLER_PID=$!
    be_wait_exit 20
    # The run stops as failed unless the system offers another private folder to fall back on.
    if [[ "$E2E_EXIT" == "$(be_failed_code)" || "$E2E_EXIT" == 0 ]]; then pass; else fail "exit code $E2E_EXIT"; fi
    expect_eq "$(ls -A "$S/cwd")" "" "files left in the working folder"
}

# A stop request that comes after the control registered itself only cuts the animation short:
# the installation is complete and is reported as such.
scenario_stop_after_registration() {
    be_start "$E2E_INSTALLER"
    if wait_until 20 eval '[[ -n "$(be_reg_values "$KEY_CONTROL_SERVER")" ]]'; then pass; else fail "the control never registered"; fi
    be_cancel
    be_wait_exit 10
    expect_eq "$E2E_EXIT" 0 "exit code of a run stopped after its last action"
    expect_installed
}

# Two installers released together from one barrier, again and again: one runs, the other sees
# it and ends at once with 1618 (its low 8 bits), changing nothing; neither hangs.
scenario_two_at_once() {
    local trial codes a b product
    product=$(be_product_dir)
    for ((trial = 1; trial <= 20; trial++)); do
        rm -f "$S/go"
        # The barrier: both wait spinning for one file, so both start within moments of it.
        ( until [[ -e "$S/go" ]]; do :; done; exec timeout -s KILL 30 "$E2E_INSTALLER" </dev/null >"$S/a.out" 2>&1 ) &
        a=$!
        ( until [[ -e "$S/go" ]]; do :; done; exec timeout -s KILL 30 "$E2E_INSTALLER" </dev/null >"$S/b.out" 2>&1 ) &
        b=$!
        sleep 0.1
        : >"$S/go"
        wait "$a"; codes=$?
        wait "$b"; codes="$codes $?"
        codes=$(tr ' ' '\n' <<<"$codes" | sort -n | paste -sd ' ')
        if [[ "$codes" != "0 $((1618 & 255))" ]]; then
            fail "trial $trial: exit codes $codes, expected 0 and $((1618 & 255))"
            return
        fi
        pass
        expect_same_file "$product/npqx2011.dll" "$E2E_BUILT_NPQX" "trial $trial: Mozilla plug-in library"
        expect_same_file "$product/QX2011.dll" "$E2E_BUILT_QX" "trial $trial: control library"
    done
    expect_installed
}

# A run killed while it writes a library never leaves part of it under the library's name: it is
# killed the moment a file of the library's name appears in the product folder, as often as the
# sequence allows, and every time the library is either missing or whole.
scenario_killed_while_writing() {
    local product trial file
    product=$(be_product_dir)
    for ((trial = 1; trial <= 6; trial++)); do
        file=npqx2011.dll
        ((trial % 2 == 0)) && file=QX2011.dll
        rm -f "$product/$file"*
        be_start "$E2E_INSTALLER"
        while kill -0 "$E2E_INSTALLER_PID" 2>/dev/null; do
            if compgen -G "$product/$file*" >/dev/null; then
                kill -KILL "$E2E_INSTALLER_PID"
                break
            fi
        done
        be_wait_exit 10
        local built=$E2E_BUILT_NPQX
        [[ "$file" == QX2011.dll ]] && built=$E2E_BUILT_QX
        if [[ ! -e "$product/$file" ]] || cmp -s "$product/$file" "$built"; then
            pass
        else
            fail "trial $trial: $file left with $(stat -c %s "$product/$file") of $(stat -c %s "$built") bytes"
        fi
    done
    # A killed run leaves its temporary folder with the payload in it; each next run removes
    # such folders (so only the last killed run's is there now), never one holding anything else.
    local temp
    temp=$(be_temp_dir)
    mkdir -p "$temp/QRV999999" && echo mine >"$temp/QRV999999/notes.txt"
    expect_eq "$(compgen -G "$temp/QRV*/pluginwin32.dat" | wc -l)" 1 "folders the killed runs left"
    be_start "$E2E_INSTALLER"
    be_wait_exit 30
    expect_eq "$E2E_EXIT" 0 "exit code of the run after the killed ones"
    expect_eq "$(compgen -G "$temp/QRV*")" "$temp/QRV999999" "temporary folders after the next run"
    rm -rf "$temp/QRV999999"
    expect_installed
    expect_eq "$(ls "$product" | grep -c -v -x -e npqx2011.dll -e QX2011.dll -e "$(be_uninstaller_name)")" 0 "other files in the product folder"
}

# The one argument reaches the opener unchanged; a second argument is a usage error that
# installs nothing; on an 80-column terminal no drawn line is wider than the terminal, and on a
# 40-column one the status texts are still drawn whole.
scenario_arguments_and_width() {
    be_associate
    be_start "$E2E_INSTALLER" "" "my doc.qrv"
    be_wait_exit 30
    expect_eq "$E2E_EXIT" 0 "exit code"
    if wait_until 10 test -s "$S/probe.txt"; then pass; else fail "the document was not opened"; fi
    expect_eq "$(cat "$S/probe.txt" 2>/dev/null)" "my doc.qrv" "argument handed to the opener"

    rm -rf "$(be_product_dir)"
    "$E2E_INSTALLER" 'my doc.qrv' x </dev/null >"$S/usage.out" 2>&1
    expect_eq "$?" 2 "exit code with two arguments"
    expect_eq "$(wc -l <"$S/usage.out")" 1 "lines of the usage message"
    expect_missing "$(be_product_dir)" "product folder after a usage error"

    SHELL=/bin/bash script -qfec "stty cols 80 rows 24; exec $(printf '%q' "$E2E_INSTALLER")" "$S/narrow.log" \
        </dev/null >/dev/null 2>&1
    expect_eq "$?" 0 "exit code on an 80-column terminal"
    local widest
    # script(1) frames the record with lines of its own.
    widest=$(tr '\r' '\n' <"$S/narrow.log" | grep -v -e '^Script started' -e '^Script done' | sed 's/\x1b\[K//g' |
        awk '{ if (length($0) > w) w = length($0) } END { print w + 0 }')
    if ((widest > 0 && widest <= 80)); then pass; else fail "widest line drawn: $widest columns"; fi

    # On a 40-column terminal the title and the bar give way: the status texts that fit stay
    # whole (one of 40 characters loses its end), and no line is wider than the terminal.
    rm -rf "$(be_product_dir)"
    SHELL=/bin/bash script -qfec "stty cols 40 rows 24; exec $(printf '%q' "$E2E_INSTALLER")" "$S/narrow40.log" \
        </dev/null >/dev/null 2>&1
    expect_eq "$?" 0 "exit code on a 40-column terminal"
    local drawn text
    drawn=$(tr '\r' '\n' <"$S/narrow40.log" | grep -v -e '^Script started' -e '^Script done' | sed 's/\x1b\[K//g')
    for text in "$TEXT_MOZILLA" "$TEXT_ACTIVEX" "${TEXT_OPENING:0:36}..."; do
        if grep -q -x -F "$text" <<<"$drawn"; then pass; else fail "never drawn at 40 columns: '$text'"; fi
    done
    widest=$(awk '{ if (length($0) > w) w = length($0) } END { print w + 0 }' <<<"$drawn")
    if ((widest > 0 && widest < 40)); then pass; else fail "widest line drawn at 40 columns: $widest"; fi
}

# The whole per-user registry as export text (the store is that text).
be_registry_text() { cat "$XDG_CONFIG_HOME/qrv2/registry.reg" 2>/dev/null; }

# be_run_killed <milliseconds> <executable> [argument...]: runs the program and ends it that long
# after its start as a crash would (SIGKILL), unless it has ended by then; E2E_EXIT gets its
# exit status.
be_run_killed() {
    local exe=$2 pid
    "$exe" "${@:3}" </dev/null >"$S/installer.out" 2>&1 &
    pid=$!
    sleep "$(awk -v m="$1" 'BEGIN { printf "%.3f", m / 1000 }')"
    kill -KILL "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
    E2E_EXIT=$?
}

# The exit code of a run that found another run at work, as the shell sees it.
be_already_running_code() { echo $((1618 & 255)); }

# The installed uninstaller as be_run_killed starts it.
be_uninstaller_program() { be_uninstaller_file; }

# be_create_by_class <{class id}>: what the client that creates an object by its class id says.
be_create_by_class() { "$E2E_TOOLS/create_by_class" "$1"; }

# The exit code of a run that found a newer version installed, as the shell sees it.
be_newer_installed_code() { echo $((1638 & 255)); }
