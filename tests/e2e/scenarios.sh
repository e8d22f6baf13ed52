# The end-to-end scenarios, one function each, written once for both platforms (sourced).
# Every platform difference goes through the be_* functions of lib/<platform>.sh.

# A run with nothing in the way: both libraries, all registry values, the window's three phase
# texts in order, nothing left in the temporary path, nothing opened without a command line.
scenario_fresh_install() {
    be_associate
    be_start "$E2E_INSTALLER" watch
    be_wait_exit 30
    expect_eq "$E2E_EXIT" 0 "exit code"
    expect_installed
    local history
    history=$(be_status_history | grep -v -x -F 'Installing Orvane2011....')
    expect_eq "$history" "$TEXT_OPENING"$'\n'"$TEXT_MOZILLA"$'\n'"$TEXT_ACTIVEX" "status texts shown"
    # Each phase fills the bar to 29/30 of its range, never to the end.
    local highest
    highest=$(be_bar_highest)
    if [[ "$highest" =~ ^[0-9]+$ ]] && ((highest >= $(be_bar_lowest_highest) && highest <= $(be_bar_expected_highest))); then
        pass
    else
        fail "highest progress bar position shown: got '$highest', expected $(be_bar_lowest_highest) to $(be_bar_expected_highest)"
    fi
    if [[ "$E2E_PLATFORM" == wine ]]; then
        expect_eq "$(be_window_topmost)" 1 "window kept above other windows"
    fi
    sleep 0.5
    expect_missing "$S/probe.txt" "something was opened though the command line was empty"
}

# Over an older installation: older, longer copies of both libraries are replaced and cut to
# the new length, and the plug-in key that is already there gets the new path and version.
scenario_reinstall_over_longer() {
    local product
    product=$(be_product_dir)
    mkdir -p "$product"
    make_older_copy "$E2E_BUILT_NPQX" "$product/npqx2011.dll"
    make_older_copy "$E2E_BUILT_QX" "$product/QX2011.dll"
    be_reg_seed "$KEY_PLUGIN" 'Path=C:\Old Place\npqx2011.dll' 'Version=1.0.0.1'
    expect_value "$KEY_PLUGIN" Version 1.0.0.1
    be_start "$E2E_INSTALLER"
    be_wait_exit 30
    expect_eq "$E2E_EXIT" 0 "exit code"
    expect_installed
    if [[ "$E2E_PLATFORM" == native ]]; then
        # Without a terminal the run draws nothing and writes no message.
        expect_eq "$(cat "$S/installer.out")" "" "output of a run without a terminal"
    fi
}

# A library in use by another process (a running browser) is never touched: the window asks for
# the browser to be closed and the phase is retried until the holder lets go.
# held_scenario <library file> <text asking to close> <built library the older copy is made from>
held_scenario() {
    local file=$1 request=$2 product
    product=$(be_product_dir)
    mkdir -p "$product"
    make_older_copy "$3" "$S/older-copy"
    cp "$S/older-copy" "$product/$file"
    be_hold "$product/$file" || return
    be_start "$E2E_INSTALLER" watch
    if be_wait_status "$request" 20; then pass; else fail "the window never asked: $request"; fi
    if temp_archive_present; then pass; else fail "no QRV*/pluginwin32.dat in $(be_temp_dir) during the run"; fi
    sleep 1.2 # two more attempts
    if be_running; then pass; else fail "the installer ended while the library was held"; fi
    expect_same_file "$product/$file" "$S/older-copy" "held $file changed while in use"
    if [[ "$file" == npqx2011.dll ]]; then
        expect_missing "$product/QX2011.dll" "control library written before the Mozilla phase ended"
        expect_no_key_values "$KEY_PLUGIN"
    else
        # The Mozilla phase is over by now and stays done.
        expect_same_file "$product/npqx2011.dll" "$E2E_BUILT_NPQX" "Mozilla plug-in library before the control phase"
        expect_value "$KEY_PLUGIN" Version 1.0.1.8
    fi
    be_release
    be_wait_exit 20
    expect_eq "$E2E_EXIT" 0 "exit code after the holder let go"
    expect_installed
    # The request stays on screen through the retries, until the next phase's text replaces it.
    local expected
    if [[ "$file" == npqx2011.dll ]]; then
        expected="$TEXT_OPENING|$TEXT_MOZILLA|$request|$TEXT_ACTIVEX"
    else
        expected="$TEXT_OPENING|$TEXT_MOZILLA|$TEXT_ACTIVEX|$request"
    fi
    expect_eq "$(be_status_history | grep -v -x -F 'Installing Orvane2011....' | paste -sd '|')" "$expected" \
        "status texts shown"
}
scenario_held_mozilla_library() { held_scenario npqx2011.dll "$TEXT_CLOSE_FIREFOX" "$E2E_BUILT_NPQX"; }
scenario_held_activex_library() { held_scenario QX2011.dll "$TEXT_CLOSE_IE" "$E2E_BUILT_QX"; }

# A document on the command line (in a folder whose name has a space) is handed to the shell
# once the sequence is over, and reaches the program the shell opens it with as one argument.
scenario_open_document() {
    be_associate
    local document="$S/my documents/sample.qrv"
    mkdir -p "$S/my documents"
    printf 'QX11 sample content\n' >"$document"
    be_start "$E2E_INSTALLER" "" "$(be_document_argument "$document")"
    be_wait_exit 30
    expect_eq "$E2E_EXIT" 0 "exit code"
    if wait_until 10 test -s "$S/probe.txt"; then pass; else fail "the document was not opened"; fi
    expect_eq "$(tr -d '\r' <"$S/probe.txt" 2>/dev/null)" "$(be_document_as_opened "$document")" \
        "document handed to the opener"
    local product opened installed
    product=$(be_product_dir)
    opened=$(stat -c %.9Y "$S/probe.txt" 2>/dev/null || echo 0)
    installed=$(stat -c %.9Y "$product/QX2011.dll" 2>/dev/null || echo 9999999999)
    if awk -v o="$opened" -v i="$installed" 'BEGIN { exit !(o >= i) }'; then
        pass
    else
        fail "the document was opened before the control library was installed"
    fi
    expect_installed
}

# Stopping a run that waits on a held library: the cancel exit code, the temporary folder gone,
# the held library and the registry untouched.
scenario_cancel_while_held() {
    local product
    product=$(be_product_dir)
    mkdir -p "$product"
    make_older_copy "$E2E_BUILT_NPQX" "$S/older-copy"
    cp "$S/older-copy" "$product/npqx2011.dll"
    be_hold "$product/npqx2011.dll" || return
    be_start "$E2E_INSTALLER" watch
    if be_wait_status "$TEXT_CLOSE_FIREFOX" 20; then pass; else fail "the window never asked to close the browser"; fi
    be_cancel
    be_wait_exit 10
    expect_eq "$E2E_EXIT" "$(be_cancel_code)" "exit code after cancelling"
    expect_no_temp_leftover
    expect_same_file "$product/npqx2011.dll" "$S/older-copy" "held library after cancelling"
    expect_missing "$product/QX2011.dll" "control library after cancelling in the Mozilla phase"
    expect_no_key_values "$KEY_PLUGIN"
    be_release
}

# An installer whose payload is damaged says so for a few attempts, then stops on its own as a
# failed installation: nothing written, the temporary folder gone.
scenario_damaged_payload() {
    be_start "$E2E_DAMAGED_INSTALLER" watch
    if be_wait_status "$TEXT_BAD_ARCHIVE" 20; then pass; else fail "the window never showed: $TEXT_BAD_ARCHIVE"; fi
    be_wait_exit 20
    expect_eq "$E2E_EXIT" "$(be_failed_code)" "exit code of a damaged payload"
    expect_no_temp_leftover
    local product
    product=$(be_product_dir)
    expect_missing "$product/npqx2011.dll" "Mozilla plug-in library from a damaged payload"
    expect_missing "$product/QX2011.dll" "control library from a damaged payload"
    expect_no_key_values "$KEY_PLUGIN"
}

# A product folder that cannot be made (a file has its name) is no held library: after a few
# attempts the run stops with the stop text, as a failed installation, within 20 s.
scenario_unwritable_product_folder() {
    local product
    product=$(be_product_dir)
    mkdir -p "$(dirname "$product")"
    printf 'not a folder\n' >"$product"
    if [[ "$E2E_PLATFORM" == native ]]; then
        be_start "$E2E_INSTALLER"  # no terminal: the stop line is written all the same
    else
        be_start "$E2E_INSTALLER" watch
    fi
    be_wait_exit 20
    expect_eq "$E2E_EXIT" "$(be_failed_code)" "exit code when the product folder cannot be made"
    local stopped="Installation Stopped - Unable to install the XPCOM Plugin."
    if [[ "$E2E_PLATFORM" == native ]]; then
        expect_eq "$(cat "$S/installer.out")" "$stopped" "standard error of the stopped run"
    else
        expect_eq "$(be_status_history | tail -n1)" "$stopped" "last status text shown"
        expect_eq "$(be_status_history | grep -c -F 'Please close')" 0 "browser requests shown"
    fi
    expect_no_temp_leftover
    expect_no_key_values "$KEY_PLUGIN"
    if [[ "$E2E_PLATFORM" == wine ]]; then
        # Every target is per user: the program runs as whoever starts it.
        expect_eq "$(grep -c -a -F 'level="asInvoker"' "$E2E_INSTALLER")" 1 "manifest execution level"
        expect_eq "$(grep -c -a -F 'requireAdministrator' "$E2E_INSTALLER")" 0 "manifest asking for administrator rights"
    fi
}

# Installed, then removed by the command the system's list of programs holds: the window's three
# removal texts, every file, the folder and every key gone (the control's class removed by the
# control itself), exit 0. Installing again afterwards works as the first time.
scenario_uninstall_and_reinstall() {
    install_completely
    remove_completely watch || return
    expect_eq "$(be_status_history | grep -v -x -F 'Removing Orvane2011....' | paste -sd '|')" \
        "$TEXT_REMOVE_ACTIVEX|$TEXT_REMOVE_MOZILLA|$TEXT_REMOVE_FOLDER" "status texts of the removal"

    E2E_TITLE=$TITLE_TEXT
    be_start "$E2E_INSTALLER"
    be_wait_exit 30
    expect_eq "$E2E_EXIT" 0 "exit code of the installation after the removal"
    expect_installed

    # A second removal also clears what the first left in the temporary path (on Windows the
    # folder of the copy it ran from): at most its own such folder is left.
    run_registered_uninstaller || return
    be_wait_exit 30
    expect_eq "$E2E_EXIT" 0 "exit code of the second removal"
    local left
    left=$(find "$(be_temp_dir)" -mindepth 1 -maxdepth 1 -name 'QRV*' 2>/dev/null | wc -l)
    if ((left <= 1)); then pass; else fail "$left temporary folders left after two removals"; fi
}

# A plug-in library held by a running browser is not removed behind its back: the window asks for
# the browser to be closed, the plug-in's keys stay meanwhile, and the removal completes once the
# holder lets go.
scenario_uninstall_held_mozilla_library() {
    local product
    product=$(be_product_dir)
    be_start "$E2E_INSTALLER"
    be_wait_exit 30
    expect_eq "$E2E_EXIT" 0 "exit code of the installation"
    be_hold "$product/npqx2011.dll" || return
    run_registered_uninstaller watch || return
    if be_wait_status "$TEXT_REMOVE_CLOSE_FIREFOX" 20; then pass; else fail "the window never asked: $TEXT_REMOVE_CLOSE_FIREFOX"; fi
    sleep 1.2 # two more attempts
    if be_running; then pass; else fail "the uninstaller ended while the library was held"; fi
    expect_value "$KEY_PLUGIN" Version 1.0.1.8
    be_release
    be_wait_exit 20
    expect_eq "$E2E_EXIT" 0 "exit code after the holder let go"
    expect_removed
    expect_missing "$product" "product folder after the removal"
}

# A file of the user's in the product folder is never removed: it keeps the folder, the window
# says so, and the removal of everything else is complete (exit 0).
scenario_uninstall_keeps_users_file() {
    local product
    product=$(be_product_dir)
    be_start "$E2E_INSTALLER"
    be_wait_exit 30
    expect_eq "$E2E_EXIT" 0 "exit code of the installation"
    printf 'my own notes\n' >"$product/notes.txt"
    if [[ "$E2E_PLATFORM" == native ]]; then
        run_registered_uninstaller || return  # no terminal: the notice is written all the same
    else
        run_registered_uninstaller watch || return
    fi
    be_wait_exit 30
    expect_eq "$E2E_EXIT" 0 "exit code of a removal that kept the user's file"
    expect_removed
    expect_eq "$(ls -A "$product" 2>&1)" notes.txt "what is left in the product folder"
    if [[ "$E2E_PLATFORM" == native ]]; then
        expect_eq "$(cat "$S/installer.out")" "$TEXT_FOLDER_KEPT" "standard error of the removal"
    else
        expect_eq "$(be_status_history | tail -n1)" "$TEXT_FOLDER_KEPT" "last status text shown"
    fi
}

# A user folder whose path has spaces: installed there, then removed by the registered command
# run as the system runs it (the whole UninstallString, its quotes deciding where the program's
# name ends).
scenario_profile_with_spaces() {
    be_use_profile "Jean Dupont" || { fail "the user's folders could not be moved"; return; }
    if [[ "$E2E_PLATFORM" == wine ]]; then
        # Without its quotes the command would start the program C:\users\Jean.exe, if any.
        cp "$E2E_TOOLS/open_probe.exe" "$(host_path 'C:\users\Jean.exe')"
    fi
    install_completely
    remove_completely || return
    expect_missing "$S/probe.txt" "the command's unquoted start was run as a program"
}

# A deployment's silent run with the switches of the package manager's manifest: nothing shown
# at any time (a terminal stays blank; under Wine no window of the installer exists whenever a
# poller looks, every 20 ms), everything installed, a log line for each file, value and
# registration, the exit code in the last line. The entry's quiet removal command, run as the
# system runs it, removes it all unseen too. A passive run with the manifest's other switch
# shows its window, as any run would: the poller does see windows.
scenario_quiet_install() {
    local log="$S/setup.log" words started
    mapfile -t words < <(manifest_switch_words Silent; manifest_switch_words Log "$log")
    started=$(date +%s.%N)
    be_start "$E2E_INSTALLER" unseen "${words[@]}"
    be_wait_exit 30
    note "quiet installation: $(awk -v a="$started" -v b="$(date +%s.%N)" 'BEGIN { printf "%.2f", b - a }') s"
    expect_eq "$E2E_EXIT" 0 "exit code of the quiet installation"
    expect_eq "$(be_shown)" 0 "windows or lines the quiet installation showed"
    expect_installed
    expect_log_form "$log" 0
    local product file size
    product=$(be_product_dir)
    for file in npqx2011.dll QX2011.dll; do
        size=$(stat -c %s "$product/$file" 2>/dev/null)
        expect_eq "$(grep -c -F " INFO file-written path=$(be_product_path "$file") size=$size result=ok" "$log")" 1 \
            "log lines of $file written"
    done
    size=$(stat -c %s "$(be_uninstaller_file)" 2>/dev/null)
    expect_eq "$(grep -c -F " INFO file-written path=$(be_uninstaller_path) size=$size result=ok" "$log")" 1 \
        "log lines of the uninstaller written"
    expect_eq "$(grep -c ' INFO registry-value .* result=ok$' "$log")" 19 "log lines of registry values written"
    expect_eq "$(grep -c -F " INFO control entry=DllRegisterServer path=$(be_product_path QX2011.dll) hresult=0x00000000" "$log")" 1 \
        "log line of the control's registration"
    if [[ -n "${E2E_MANIFEST:-}" ]]; then
        # The manifest the build writes names this installer: its hash and version.
        expect_eq "$(sed -n 's/^ *InstallerSha256: //p' "$E2E_MANIFEST")" "$(sha256sum "$E2E_INSTALLER" | awk '{ print toupper($1) }')" \
            "InstallerSha256 of the built manifest"
        expect_eq "$(sed -n 's/^PackageVersion: //p' "$E2E_MANIFEST")" 1.0.1.8 "PackageVersion of the built manifest"
    fi

    rm -f "$log"
    run_registered_quiet_uninstaller || return
    be_wait_exit 30
    expect_eq "$E2E_EXIT" 0 "exit code of the quiet removal"
    expect_eq "$(be_shown)" 0 "windows or lines the quiet removal showed"
    expect_removed
    expect_missing "$(be_product_dir)" "product folder after the quiet removal"

    E2E_TITLE=$TITLE_TEXT
    mapfile -t words < <(manifest_switch_words SilentWithProgress)
    be_start "$E2E_INSTALLER" unseen "${words[@]}"
    be_wait_exit 30
    expect_eq "$E2E_EXIT" 0 "exit code of the passive installation"
    local shown
    shown=$(be_shown)
    if ((shown > 0)); then pass; else fail "the passive installation showed nothing"; fi
    expect_installed

    # A quiet removal with a log: where the uninstaller runs from a temporary copy (Windows), the
    # copy adds its lines to the log of the run that started it, which ends it.
    local command
    command=$(be_reg_values "$KEY_UNINSTALL" | awk -F'\t' 'tolower($1) == "uninstallstring" { print $3 }')
    mapfile -t words < <(manifest_switch_words Silent; manifest_switch_words Log "$log")
    be_run_registered "$command ${words[*]}"
    be_wait_exit 30
    expect_eq "$E2E_EXIT" 0 "exit code of the quiet removal with a log"
    expect_removed
    expect_log_form "$log" 0
    expect_eq "$(grep -c -F " INFO registry-key-deleted key=$KEY_UNINSTALL result=ok" "$log")" 1 \
        "log lines of the uninstall entry deleted"
    if [[ "$E2E_PLATFORM" == wine ]]; then
        expect_eq "$(awk '{ print $2 }' "$log" | uniq | wc -l)" 3 "runs in turn in the removal's log (program, copy, program)"
    fi
}

# With the Mozilla plug-in held by another process, a quiet run waits for it as long as the
# command line says and then stops as failed; the log names the held file, and the plug-in is
# the old one, untouched, without keys: nothing half-installed.
scenario_quiet_wait_held() {
    local product log="$S/setup.log" words started
    product=$(be_product_dir)
    mkdir -p "$product"
    make_older_copy "$E2E_BUILT_NPQX" "$S/older-copy"
    cp "$S/older-copy" "$product/npqx2011.dll"
    be_hold "$product/npqx2011.dll" || return
    mapfile -t words < <(manifest_switch_words Silent; manifest_switch_words Log "$log"
                         be_switch_name /wait; echo 3)
    started=$(date +%s.%N)
    be_start "$E2E_INSTALLER" "" "${words[@]}"
    be_wait_exit 30
    note "quiet run with /wait 3: $(awk -v a="$started" -v b="$(date +%s.%N)" 'BEGIN { printf "%.2f", b - a }') s"
    expect_eq "$E2E_EXIT" "$(be_failed_code)" "exit code when the held library was not let go in time"
    expect_log_form "$log" 1603
    expect_eq "$(grep -c -E ' ERROR stop phase=1 reason=held file=npqx2011.dll ' "$log")" 1 "log line of the stop naming the held file"
    if grep -q -F " WARN file-removed path=$(be_product_path npqx2011.dll) result=held" "$log"; then
        pass
    else
        fail "no log line names $(be_product_path npqx2011.dll) as held"
    fi
    expect_same_file "$product/npqx2011.dll" "$S/older-copy" "held Mozilla plug-in library"
    expect_no_key_values "$KEY_PLUGIN"
    expect_missing "$product/QX2011.dll" "control library of a run that stopped in the Mozilla phase"
    expect_no_temp_leftover
    be_release
}

# The command line's answers: a log that cannot be created ends the run with 1622 (natively its
# low 8 bits) and changes nothing; an option the program does not know is a usage error
# (1639; natively 2) that installs nothing; a document after the options reaches the opener
# exactly as it stood.
scenario_command_line_options() {
    local words product
    product=$(be_product_dir)
    mapfile -t words < <(manifest_switch_words Silent; manifest_switch_words Log "$S/missing/setup.log")
    be_start "$E2E_INSTALLER" "" "${words[@]}"
    be_wait_exit 20
    expect_eq "$E2E_EXIT" "$(be_log_not_created_code)" "exit code when the log cannot be created"
    expect_missing "$product" "product folder after a log that could not be created"
    expect_no_key_values "$KEY_PLUGIN"
    expect_no_temp_leftover
    if [[ "$E2E_PLATFORM" == native ]]; then
        expect_eq "$(wc -l <"$S/installer.out")" 1 "lines on standard error about the log"
    fi

    mapfile -t words < <(manifest_switch_words Silent; be_switch_name /bogus)
    be_start "$E2E_INSTALLER" "" "${words[@]}"
    be_wait_exit 20
    expect_eq "$E2E_EXIT" "$(be_usage_code)" "exit code of an unknown option"
    expect_missing "$product" "product folder after a usage error"

    be_associate
    local document="$S/my documents/sample.qrv"
    mkdir -p "$S/my documents"
    printf 'QX11 sample content\n' >"$document"
    mapfile -t words < <(manifest_switch_words Silent)
    be_start "$E2E_INSTALLER" "" "${words[@]}" "$(be_document_argument "$document")"
    be_wait_exit 30
    expect_eq "$E2E_EXIT" 0 "exit code of a quiet run with a document"
    if wait_until 10 test -s "$S/probe.txt"; then pass; else fail "the document was not opened"; fi
    expect_eq "$(tr -d '\r' <"$S/probe.txt" 2>/dev/null)" "$(be_document_as_opened "$document")" \
        "document handed to the opener after the options"
    expect_installed
}

# Over an installation of an older build (libraries of other bytes), a run stopped while the
# control is held -- the Mozilla plug-in already replaced and its keys rewritten -- puts every
# change back: both libraries, every key and value (the plug-in's, the control's registration,
# the uninstall entry) are as before the run, compared over every file and the whole registry,
# and nothing moved aside or partly written is left.
scenario_stop_restores_older() {
    local product
    product=$(be_product_dir)
    install_quietly "$E2E_OLDER_INSTALLER" "the older build's installation"
    if cmp -s "$product/npqx2011.dll" "$E2E_BUILT_NPQX" || cmp -s "$product/QX2011.dll" "$E2E_BUILT_QX"; then
        fail "the older build installed libraries with this build's bytes"
    else
        pass
    fi
    expect_value "$KEY_UNINSTALL" DisplayVersion "$E2E_OLDER_VERSION"
    product_state >"$S/before.txt"
    be_hold "$product/QX2011.dll" || return
    be_start "$E2E_INSTALLER" watch
    if be_wait_status "$TEXT_CLOSE_IE" 20; then pass; else fail "the window never asked: $TEXT_CLOSE_IE"; fi
    expect_value "$KEY_PLUGIN" Version 1.0.1.8  # the Mozilla phase is over: replaced meanwhile
    be_cancel
    be_wait_exit 10
    expect_eq "$E2E_EXIT" "$(be_cancel_code)" "exit code of the stopped run"
    product_state >"$S/after.txt"
    expect_same_state "$S/before.txt" "$S/after.txt" "the older installation after the stopped run"
    expect_no_temp_leftover
    be_release
}

# A fresh installation whose control refuses to register itself (an installer carrying such a
# control) stops as failed once its attempts are spent, and takes back what the Mozilla phase
# did: no product folder, no Mozilla key, no class registration, no uninstall entry.
scenario_failing_control_fresh_install() {
    be_start "$E2E_REFUSING_INSTALLER"
    be_wait_exit 30
    expect_eq "$E2E_EXIT" "$(be_failed_code)" "exit code when the control does not register"
    expect_missing "$(be_product_dir)" "product folder after the failed installation"
    expect_no_key 'Software\MozillaPlugins'
    expect_no_key "$KEY_CONTROL_CLASS"
    expect_no_key "$KEY_UNINSTALL"
    expect_no_temp_leftover
}

# Versions: an older installer over this version ends at once with 1638 (its reason shown; the
# package manifest tells the package manager so) and changes nothing; this version over itself repairs a deleted control library; a newer one
# upgrades, leaving nothing of the replaced files.
scenario_versions() {
    local product
    product=$(be_product_dir)
    install_completely
    product_state >"$S/before.txt"
    local refused="Installation Stopped - A newer version of Orvane2011 is installed."
    if [[ "$E2E_PLATFORM" == native ]]; then
        be_start "$E2E_OLDER_INSTALLER"  # no terminal: the stop line is written all the same
    else
        be_start "$E2E_OLDER_INSTALLER" watch
    fi
    be_wait_exit 20
    expect_eq "$E2E_EXIT" "$(be_newer_installed_code)" "exit code of the older installer"
    expect_eq "$(manifest_return_response 1638)" downgrade "what the package manifest says 1638 means"
    if [[ "$E2E_PLATFORM" == native ]]; then
        expect_eq "$(cat "$S/installer.out")" "$refused" "standard error of the older installer"
    else
        expect_eq "$(be_status_history | grep -v -x -F 'Installing Orvane2011....')" "$refused" "status texts of the older installer"
    fi
    product_state >"$S/after.txt"
    expect_same_state "$S/before.txt" "$S/after.txt" "the installation after the older installer"

    rm -f "$product/QX2011.dll"
    install_quietly "$E2E_INSTALLER" "the same version's repair"
    expect_installed

    install_quietly "$E2E_NEWER_INSTALLER" "the newer build's upgrade"
    expect_value "$KEY_UNINSTALL" DisplayVersion "$E2E_NEWER_VERSION"
    expect_value "$KEY_PLUGIN" Version "$E2E_NEWER_VERSION"
    expect_same_file "$product/npqx2011.dll" "$E2E_NEWER_NPQX" "the Mozilla plug-in library after the upgrade"
    expect_same_file "$product/QX2011.dll" "$E2E_NEWER_QX" "the control library after the upgrade"
    expect_eq "$(ls -A "$product" | grep -c -v -x -e npqx2011.dll -e QX2011.dll -e "$(be_uninstaller_name)")" 0 \
        "other files in the product folder after the upgrade"
}

# A folder standing where a library goes is no library in use: the run makes its few attempts
# without asking for a browser to be closed, stops as failed within 20 s, and undoes the Mozilla
# phase (a fresh machine: no npqx2011.dll, no Mozilla key, no uninstall entry). Over an older
# installation, a folder at the uninstaller's name fails the last phase after the control has
# registered itself: the control unregisters, the older one is put back and registers itself
# again, and everything is as before.
scenario_folder_at_a_product_files_name() {
    local product
    product=$(be_product_dir)
    mkdir -p "$product/QX2011.dll"
    be_start "$E2E_INSTALLER" watch
    be_wait_exit 20
    expect_eq "$E2E_EXIT" "$(be_failed_code)" "exit code with a folder named QX2011.dll"
    expect_eq "$(be_status_history | grep -c -F 'Please close')" 0 "browser requests shown"
    expect_eq "$(be_status_history | tail -n1)" "Installation Stopped - Unable to install the ActiveX Plugin." "last status text shown"
    expect_eq "$(ls -A "$product")" QX2011.dll "what is left in the product folder"
    expect_missing "$(be_uninstaller_file)" "the uninstaller after the failed run"
    expect_no_key 'Software\MozillaPlugins'
    expect_no_key "$KEY_UNINSTALL"
    rm -rf "$product"

    install_quietly "$E2E_OLDER_INSTALLER" "the older build's installation"
    rm -f "$(be_uninstaller_file)"
    mkdir "$(be_uninstaller_file)"
    product_state >"$S/before.txt"
    local words
    mapfile -t words < <(manifest_switch_words Silent)
    be_start "$E2E_INSTALLER" "" "${words[@]}"
    be_wait_exit 20
    expect_eq "$E2E_EXIT" "$(be_failed_code)" "exit code with a folder at the uninstaller's name"
    product_state >"$S/after.txt"
    expect_same_state "$S/before.txt" "$S/after.txt" "the older installation after the failed run"
}

# Runs killed at moments spread over the two plug-in phases (natively SIGKILL, under Wine
# TerminateProcess), each over an older installation (made after a quiet removal, as the older
# installer refuses to replace this version) and each followed by a quiet run: that run
# completes, and leaves the installation a clean one leaves, nothing moved aside or partly
# written in the product folder.
scenario_killed_and_run_again() {
    local moments=20 first=850 last=2600 trial delay
    # Under Wine each trial costs several program starts: fewer moments, the same span.
    [[ "$E2E_PLATFORM" == wine ]] && moments=8
    install_quietly "$E2E_INSTALLER" "the clean installation"
    product_state >"$S/clean.txt"
    for ((trial = 0; trial < moments; trial++)); do
        delay=$((first + trial * (last - first) / (moments - 1)))
        remove_quietly "trial $trial: the removal"
        install_quietly "$E2E_OLDER_INSTALLER" "trial $trial: the older build's installation"
        be_run_killed "$delay" "$E2E_INSTALLER"
        install_quietly "$E2E_INSTALLER" "trial $trial (killed after $delay ms): the run after"
        product_state >"$S/after-$trial.txt"
        expect_same_state "$S/clean.txt" "$S/after-$trial.txt" "trial $trial (killed after $delay ms): the installation"
    done
    expect_no_temp_leftover
}

# A removal while the control's library is held by a browser, stopped by the user: nothing of the
# control was undone, so a client still creates it by its class id; the library and the entry
# stay, and a removal after the browser let go takes everything.
scenario_uninstall_held_control_stopped() {
    local product
    product=$(be_product_dir)
    install_completely
    be_hold "$product/QX2011.dll" || return
    run_registered_uninstaller watch || return
    if be_wait_status "$TEXT_REMOVE_CLOSE_IE" 20; then pass; else fail "the window never asked: $TEXT_REMOVE_CLOSE_IE"; fi
    be_cancel
    be_wait_exit 10
    expect_eq "$E2E_EXIT" "$(be_cancel_code)" "exit code of the stopped removal"
    expect_value "$KEY_CONTROL_SERVER" "(default)" "$(be_product_path QX2011.dll)"
    expect_value "$KEY_CONTROL_TYPE" CLSID "$CONTROL_CLSID"
    expect_same_file "$product/QX2011.dll" "$E2E_BUILT_QX" "control library after the stopped removal"
    expect_eq "$(be_create_by_class "$CONTROL_CLSID")" created "the control created by its class id"
    expect_value "$KEY_UNINSTALL" DisplayVersion 1.0.1.8
    be_release
    remove_completely
}

# The product folder deleted by hand: the registered command, run as the system runs it, still
# starts the uninstaller (it stands beside that folder), which removes every key of the product
# and the entry, and ends with 0.
scenario_uninstall_without_product_folder() {
    install_completely
    rm -rf "$(be_product_dir)"
    remove_completely
}

# A damaged control library (random bytes) cannot unregister itself: its keys are removed for it,
# the file and everything else of the product goes, and the removal ends with 0.
scenario_uninstall_damaged_control() {
    local product
    product=$(be_product_dir)
    install_completely
    head -c 60000 /dev/urandom >"$product/QX2011.dll"
    remove_completely
}

# Runs killed at moments spread over their first second and a half -- twenty installers and
# twenty uninstallers, taking turns -- each followed by a run that must complete: at the end no
# QRV<n> folder of any run is left in the temporary path.
scenario_killed_runs_leave_no_run_folder() {
    local trial delay kills=20 first=0 last=1500
    install_quietly "$E2E_INSTALLER" "the first installation"
    for ((trial = 0; trial < kills; trial++)); do
        delay=$((first + trial * (last - first) / (kills - 1)))
        be_run_killed "$delay" "$E2E_INSTALLER" $(manifest_switch_words Silent)
        install_until_done "trial $trial: the installation after an installer killed after $delay ms"
        be_run_killed "$delay" "$(be_uninstaller_program)" $(manifest_switch_words Silent)
        install_until_done "trial $trial: the installation after an uninstaller killed after $delay ms"
    done
    be_end_stray_processes
    remove_quietly "the last removal"
    install_quietly "$E2E_INSTALLER" "the last installation"
    local dir left
    dir=$(be_temp_dir)
    left=$(find "$dir" -mindepth 1 -maxdepth 1 -name 'QRV*' 2>/dev/null)
    expect_eq "$left" "" "run folders left in $dir"
}
