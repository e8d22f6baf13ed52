# Checks and waiting helpers shared by both platforms' scenario runs (sourced, not run).

E2E_CHECKS=0
E2E_FAILURES=0

# Texts the installer's window shows.
readonly TITLE_TEXT="Orvane2011 Installer"
readonly TEXT_OPENING="Installing Orvane2011 - Opening Archive."
readonly TEXT_MOZILLA="Installing Orvane2011 - XPCOM Plugin"
readonly TEXT_ACTIVEX="Installing Orvane2011 - ActiveX Plugin."
readonly TEXT_BAD_ARCHIVE="Installation Stopped - Unable to open Archive."
readonly TEXT_CLOSE_FIREFOX="Please close Mozilla Firefox to update the Orvane2011."
readonly TEXT_CLOSE_IE="Please close Internet Explorer to update the Orvane2011."
# The uninstaller's window.
readonly UNINSTALL_TITLE="Orvane2011 Uninstaller"
readonly TEXT_REMOVE_ACTIVEX="Removing Orvane2011 - ActiveX Plugin."
readonly TEXT_REMOVE_MOZILLA="Removing Orvane2011 - XPCOM Plugin."
readonly TEXT_REMOVE_FOLDER="Removing Orvane2011 - Program Folder."
readonly TEXT_FOLDER_KEPT="Orvane2011 removed - Files of your own were kept in its folder."
readonly TEXT_REMOVE_CLOSE_FIREFOX="Please close Mozilla Firefox to remove the Orvane2011."
readonly TEXT_REMOVE_CLOSE_IE="Please close Internet Explorer to remove the Orvane2011."
# The title of the window the next watched run shows.
E2E_TITLE=$TITLE_TEXT

# Registry keys below HKEY_CURRENT_USER.
readonly KEY_PLUGIN='Software\MozillaPlugins\@orvane.com/Orvane2011'
readonly KEY_MIME="$KEY_PLUGIN"'\MimeTypes\application/x-qx2011'
readonly KEY_SUFFIXES="$KEY_PLUGIN"'\Suffixes'
readonly CONTROL_CLSID='{2888B771-2BCC-43E1-A54B-F5F4E1726636}'
readonly KEY_CONTROL_SERVER='Software\Classes\CLSID\'"$CONTROL_CLSID"'\InprocServer32'
readonly KEY_CONTROL_TYPE='Software\Classes\MIME\Database\Content Type\application/x-qx2011'
readonly KEY_CONTROL_CLASS='Software\Classes\CLSID\'"$CONTROL_CLSID"
readonly KEY_UNINSTALL='Software\Microsoft\Windows\CurrentVersion\Uninstall\Orvane2011'

pass() { E2E_CHECKS=$((E2E_CHECKS + 1)); }
fail() {
    E2E_CHECKS=$((E2E_CHECKS + 1))
    E2E_FAILURES=$((E2E_FAILURES + 1))
    echo "FAIL: $*" >&2
}
note() { echo "  $*"; }

# expect_eq <actual> <expected> <what>
expect_eq() {
    if [[ "$1" == "$2" ]]; then pass; else fail "$3: got '$1', expected '$2'"; fi
}

# expect_same_file <file> <reference> <what>: same bytes (and so the same length).
expect_same_file() {
    if [[ ! -f "$1" ]]; then
        fail "$3: $1 is missing"
    elif cmp -s "$1" "$2"; then
        pass
    else
        fail "$3: $1 differs from $2 ($(stat -c %s "$1") bytes, expected $(stat -c %s "$2"))"
    fi
}

expect_missing() {
    if [[ -e "$1" ]]; then fail "$2: $1 exists"; else pass; fi
}

# wait_until <seconds> <command...>: true as soon as the command succeeds, false after the time.
wait_until() {
    local limit=$1
    shift
    local deadline=$((SECONDS + limit))
    while ((SECONDS < deadline)); do
        "$@" && return 0
        sleep 0.05
    done
    "$@"
}

# The private temporary folders of installer runs ("QRV<number>") left in the temporary path. A
# folder that holds the uninstaller alone is what a Windows uninstaller leaves by design (the copy
# of itself it ran from, for the system's temporary-file clean-up): not counted.
temp_leftovers() {
    local dir folder
    dir=$(be_temp_dir)
    [[ -d "$dir" ]] || return 0
    for folder in "$dir"/QRV*; do
        [[ -e "$folder" ]] || continue
        if [[ "$E2E_PLATFORM" == wine && -d "$folder" ]] &&
            [[ -z "$(find "$folder" -mindepth 1 ! -name 'Orvane2011Uninstall.exe*' -print -quit)" ]] &&
            [[ -n "$(ls -A "$folder")" ]]; then
            continue
        fi
        basename "$folder"
    done
}

expect_no_temp_leftover() {
    local left
    left=$(temp_leftovers)
    if [[ -z "$left" ]]; then pass; else fail "temporary folder left behind: $(be_temp_dir)/$left"; fi
}

# True while a run's temporary folder holds its copy of the archive.
temp_archive_present() {
    local dir
    dir=$(be_temp_dir)
    compgen -G "$dir/QRV*/pluginwin32.dat" >/dev/null
}

# expect_values <key> <name=data>...: the key holds exactly these REG_SZ values (and no others).
expect_values() {
    local key=$1
    shift
    local listing
    listing=$(be_reg_values "$key")
    local expected=() pair name data
    for pair in "$@"; do
        name=${pair%%=*}
        data=${pair#*=}
        expected+=("$name"$'\t'"REG_SZ"$'\t'"$data")
    done
    local want got
    want=$(printf '%s\n' "${expected[@]}" | LC_ALL=C sort)
    got=$(printf '%s\n' "$listing" | sed '/^$/d' | LC_ALL=C sort)
    if [[ "$got" == "$want" ]]; then
        pass
    else
        fail "values of HKCU\\$key differ:"$'\n'"--- expected"$'\n'"$want"$'\n'"--- found"$'\n'"$got"
    fi
}

# expect_value <key> <name> <data>: one REG_SZ value among possibly others.
expect_value() {
    local line
    line=$(be_reg_values "$1" | E2E_NAME="$2" awk -F'\t' 'tolower($1) == tolower(ENVIRON["E2E_NAME"])' | head -n1)
    expect_eq "$line" "$2"$'\t'"REG_SZ"$'\t'"$3" "HKCU\\$1 value $2"
}

expect_no_key_values() {
    local listing
    listing=$(be_reg_values "$1" | sed '/^$/d')
    if [[ -z "$listing" ]]; then pass; else fail "HKCU\\$1 already holds values:"$'\n'"$listing"; fi
}

# regedit_values <key below HKEY_CURRENT_USER>: reads registry-export text (REGEDIT4 style, as the
# native store keeps it and the Windows registry editor exports it) on standard input and prints
# "name<TAB>type<TAB>data" for each value of that key itself; the default value is "(default)".
regedit_values() {
    # The key goes through the environment: awk -v would read its backslashes as escapes.
    # Continuation lines (of hex values) start with white space and are passed over.
    E2E_KEY="[HKEY_CURRENT_USER\\$1]" awk '
        function quoted(s,    out, i, c) { # s starts after the opening quote
            out = ""
            for (i = 1; i <= length(s); i++) {
                c = substr(s, i, 1)
                if (c == "\\") { i++; out = out substr(s, i, 1); continue }
                if (c == "\"") { rest = substr(s, i + 1); return out }
                out = out c
            }
            rest = ""
            return out
        }
        /^\[/ { inside = (tolower($0) == tolower(ENVIRON["E2E_KEY"])); next }
        !inside || /^[ \t]/ || /^$/ { next }
        {
            if (substr($0, 1, 2) == "@=") { name = "(default)"; rest = substr($0, 3) }
            else { name = quoted(substr($0, 2)); rest = substr(rest, 2) }
            if (substr(rest, 1, 1) == "\"") { type = "REG_SZ"; data = quoted(substr(rest, 2)) }
            else if (rest ~ /^dword:/) { type = "REG_DWORD"; data = substr(rest, 7) }
            else { type = rest; sub(/:.*/, "", type); data = rest; sub(/^[^:]*:/, "", data) }
            printf "%s\t%s\t%s\n", name, type, data
        }'
}

# A REGEDIT4 file giving HKCU\<key> the REG_SZ values name=data... (for be_reg_seed).
regedit4_text() {
    local key=$1 pair name data
    shift
    printf 'REGEDIT4\n\n[HKEY_CURRENT_USER\\%s]\n' "$key"
    for pair in "$@"; do
        name=${pair%%=*}
        data=${pair#*=}
        data=${data//\\/\\\\}
        data=${data//\"/\\\"}
        printf '"%s"="%s"\n' "$name" "$data"
    done
    printf '\n'
}

# The libraries as built, with bytes appended: an older, longer copy that still loads.
make_older_copy() { # <built library> <target>
    cat "$1" >"$2"
    head -c 70000 /dev/urandom >>"$2"
}

expect_no_key() {
    if be_key_present "$1"; then fail "HKCU\\$1 is still there"; else pass; fi
}

# The installer's switch of that name ("Silent", "SilentWithProgress", "Log") as the package
# manager's manifest in packaging/ gives it: the tests run what deployments will run.
manifest_switch() {
    awk -v want="$1" '
        /^InstallerSwitches:/ { inside = 1; next }
        inside && /^[^ ]/ { inside = 0 }
        inside && $1 == want ":" { sub(/^[^:]*: */, ""); print; exit }' "$E2E_MANIFEST_SOURCE"
}

# What the manifest tells the package manager an exit code of the installer means (its
# ReturnResponse), or nothing.
manifest_return_response() {
    awk -v want="$1" '
        $1 == "-" && $2 == "InstallerReturnCode:" { code = $3; next }
        $1 == "ReturnResponse:" && code == want { print $2; exit }' "$E2E_MANIFEST_SOURCE"
}

# manifest_switch_words <name> [log file]: the switch's words as this platform's program takes
# them, one per line, the log file (a host path) standing for <LOGPATH>.
manifest_switch_words() {
    local text word
    text=$(manifest_switch "$1")
    if [[ -z "$text" ]]; then
        fail "no $1 switch in $E2E_MANIFEST_SOURCE"
        return 1
    fi
    for word in $text; do
        if [[ "$word" == *'<LOGPATH>'* ]]; then
            be_switch_value "${word//<LOGPATH>/$(be_log_argument "${2:-}")}"
        else
            be_switch_name "$word"
        fi
    done
}

# A run's log: every line in the documented form (UTC time with milliseconds, process id,
# level, event, fields), and the last one the end with the exit code.
# expect_log_form <log> <exit code>
expect_log_form() {
    local log=$1 bad
    if [[ ! -s "$log" ]]; then
        fail "no log written at $log"
        return 1
    fi
    bad=$(grep -c -v -E '^[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}\.[0-9]{3}Z [0-9]+ (INFO|WARN|ERROR) [a-z-]+( [a-z-]+=("([^"\\]|\\.)*"|[^ "]*))*$' "$log")
    expect_eq "$bad" 0 "log lines not in the documented form"
    expect_eq "$(tail -n1 "$log" | sed -E 's/^[^ ]+ [0-9]+ [A-Z]+ //; s/ duration-ms=[0-9]+$//')" "end exit-code=$2" "last line of the log"
}

# The registry value of a DWORD as a decimal number (the store and reg.exe write it in hex).
dword_value() {
    local data
    data=$(be_reg_values "$1" | awk -F'\t' -v want="$2" 'tolower($1) == tolower(want) && $2 == "REG_DWORD" { print $3 }')
    [[ "$data" =~ ^(0x)?([0-9a-fA-F]+)$ ]] && echo $((16#${BASH_REMATCH[2]}))
}

# Starts the quiet removal command of the uninstall entry as the system runs it, where anything
# the run shows is looked for (be_start unseen).
run_registered_quiet_uninstaller() {
    local command
    command=$(be_reg_values "$KEY_UNINSTALL" | awk -F'\t' 'tolower($1) == "quietuninstallstring" { print $3 }')
    if [[ "$command" != \"*\"\ * ]]; then
        fail "no quoted QuietUninstallString with a switch in HKCU\\$KEY_UNINSTALL: '$command'"
        return 1
    fi
    E2E_TITLE=$UNINSTALL_TITLE
    be_run_registered "$command" unseen
}

# Starts the uninstall command the installer registered, exactly as the system's list of programs
# would: the entry's UninstallString as it stands, the program's path in quotes. [watch] as for
# be_start.
run_registered_uninstaller() {
    local command
    command=$(be_reg_values "$KEY_UNINSTALL" | awk -F'\t' 'tolower($1) == "uninstallstring" { print $3 }')
    if [[ "$command" != \"*\" ]]; then
        fail "no quoted UninstallString in HKCU\\$KEY_UNINSTALL: '$command'"
        return 1
    fi
    E2E_TITLE=$UNINSTALL_TITLE
    be_run_registered "$command" "${1:-}"
}

# A run of the installer that must complete: exit code 0, everything in place.
install_completely() {
    be_start "$E2E_INSTALLER"
    be_wait_exit 30
    expect_eq "$E2E_EXIT" 0 "exit code of the installation"
    expect_installed
}

# A removal by the registered command that must complete: exit code 0, nothing left, the product
# folder gone. [watch] as for be_start.
remove_completely() {
    run_registered_uninstaller "${1:-}" || return 1
    be_wait_exit 30
    expect_eq "$E2E_EXIT" 0 "exit code of the removal"
    expect_removed
    expect_missing "$(be_product_dir)" "product folder after the removal"
}

# Checks that follow every completed removal: nothing the installer wrote is left, nor the
# emptied keys it was written below (the product folder itself is the scenario's to check).
expect_removed() {
    local product file key
    product=$(be_product_dir)
    for file in npqx2011.dll QX2011.dll "$(be_uninstaller_name)"; do
        expect_missing "$product/$file" "$file after the removal"
    done
    expect_missing "$(be_uninstaller_file)" "the uninstaller after the removal"
    for key in "$KEY_PLUGIN" 'Software\MozillaPlugins' "$KEY_CONTROL_CLASS" "$KEY_CONTROL_TYPE" \
        'Software\Classes\MIME\Database\Content Type' "$KEY_UNINSTALL"; do
        expect_no_key "$key"
    done
    expect_no_temp_leftover
}

# Checks that follow every completed installation.
expect_installed() {
    local product
    product=$(be_product_dir)
    expect_same_file "$product/npqx2011.dll" "$E2E_BUILT_NPQX" "installed Mozilla plug-in library"
    expect_same_file "$product/QX2011.dll" "$E2E_BUILT_QX" "installed control library"
    expect_values "$KEY_PLUGIN" \
        "Description=Orvane2011 - 1.0.1.8" \
        "Path=$(be_product_path npqx2011.dll)" \
        "ProductName=Orvane2011" \
        "Vendor=Orvane" \
        "Version=1.0.1.8"
    expect_values "$KEY_MIME" "Description=Orvane Content File" "Suffixes=qrv"
    expect_values "$KEY_SUFFIXES" "qrv="
    # The control registers itself: its server key names the installed library.
    expect_value "$KEY_CONTROL_SERVER" "(default)" "$(be_product_path QX2011.dll)"
    expect_value "$KEY_CONTROL_TYPE" "CLSID" "$CONTROL_CLSID"
    # The system's list of programs offers its removal, by the uninstaller installed beside the
    # product folder (where deleting that folder leaves it).
    expect_value "$KEY_UNINSTALL" UninstallString "\"$(be_uninstaller_path)\""
    expect_value "$KEY_UNINSTALL" DisplayVersion 1.0.1.8
    # What deployment tools read: the quiet removal (the manifest's silent switch), the icon,
    # the day of the installation and the room the files take, in KiB rounded up.
    local uninstaller bytes=0 file
    uninstaller=$(be_uninstaller_path)
    expect_value "$KEY_UNINSTALL" QuietUninstallString "\"$uninstaller\" $(manifest_switch_words Silent)"
    expect_value "$KEY_UNINSTALL" DisplayIcon "$uninstaller,0"
    local date
    date=$(be_reg_values "$KEY_UNINSTALL" | awk -F'\t' '$1 == "InstallDate" { print $3 }')
    if [[ "$date" == "$(date +%Y%m%d)" || "$date" == "$(date -d '-1 hour' +%Y%m%d)" ]]; then pass; else fail "InstallDate '$date' is not today"; fi
    for file in "$product/npqx2011.dll" "$product/QX2011.dll" "$(be_uninstaller_file)"; do
        bytes=$((bytes + $(stat -c %s "$file" 2>/dev/null || echo 0)))
    done
    expect_eq "$(dword_value "$KEY_UNINSTALL" EstimatedSize)" $(((bytes + 1023) / 1024)) "EstimatedSize (KiB)"
    # Modify and Repair hidden: two DWORD values of 1 ("0x1" as reg.exe shows it).
    expect_eq "$(be_reg_values "$KEY_UNINSTALL" | awk -F'\t' '$1 ~ /^No(Modify|Repair)$/ { print $1, $2, ($3 == "0x1" || $3 == "00000001") ? 1 : $3 }' | sort | paste -sd '|')" \
        "NoModify REG_DWORD 1|NoRepair REG_DWORD 1" "values hiding Modify and Repair"
    if [[ -x "$(be_uninstaller_file)" ]]; then pass; else fail "no runnable uninstaller at $(be_uninstaller_file)"; fi
    expect_no_temp_leftover
}

# Registry-export text (REGEDIT4 style) on standard input in a form two states compare in: one
# line per key and one per value (named by its key), continuation lines joined, the export's
# header left out, sorted. A key deleted and made again compares by its content, not its place.
canonical_registry() {
    awk '
        { sub(/\r$/, "") }
        /^(REGEDIT4|Windows Registry Editor Version)/ { next }
        {
            line = $0
            while (line ~ /\\$/ && (getline more) > 0) {
                sub(/\\$/, "", line)
                sub(/\r$/, "", more)
                sub(/^[ \t]+/, "", more)
                line = line more
            }
            if (line == "") next
            if (substr(line, 1, 1) == "[") { key = line; print key; next }
            print key "\t" line
        }' | LC_ALL=C sort
}

# What an installation leaves on the machine, in a form two states compare in: every folder and
# file in the product folder (each file with its hash), then the whole registry below
# HKEY_CURRENT_USER (canonical_registry).
product_state() {
    local product
    product=$(be_product_dir)
    if [[ -d "$product" ]]; then
        (cd "$product" && find . -mindepth 1 -type d | LC_ALL=C sort | sed 's/^/folder /' &&
            find . -type f -print0 | LC_ALL=C sort -z | xargs -0 -r sha256sum)
    else
        echo "no product folder"
    fi
    be_registry_text | canonical_registry
}

# expect_same_state <before> <after> <what>: two product_state records are the same.
expect_same_state() {
    if cmp -s "$1" "$2"; then
        pass
    else
        fail "$3 differs:"$'\n'"$(diff "$1" "$2" | head -n 30)"
    fi
}

# Removes the product by the uninstall entry's quiet removal command, run as the system runs it:
# exit code 0 expected.
remove_quietly() {
    local command
    command=$(be_reg_values "$KEY_UNINSTALL" | awk -F'\t' 'tolower($1) == "quietuninstallstring" { print $3 }')
    be_run_registered "$command"
    be_wait_exit 30
    expect_eq "$E2E_EXIT" 0 "exit code of $1"
}

# Runs this build's installer quietly to its end, again while it finds another run at work (a
# killed uninstaller's copy may still be finishing): exit code 0 expected.
install_until_done() {
    local words deadline=$((SECONDS + 30))
    mapfile -t words < <(manifest_switch_words Silent)
    while :; do
        be_start "$E2E_INSTALLER" "" "${words[@]}"
        be_wait_exit 30
        [[ "$E2E_EXIT" == "$(be_already_running_code)" && $SECONDS -lt $deadline ]] || break
        sleep 0.2
    done
    expect_eq "$E2E_EXIT" 0 "exit code of $1"
}

# Runs an installer quietly (the manifest's silent switch) to its end: exit code 0 expected.
# install_quietly <installer> <what>
install_quietly() {
    local words
    mapfile -t words < <(manifest_switch_words Silent)
    be_start "$1" "" "${words[@]}"
    be_wait_exit 30
    expect_eq "$E2E_EXIT" 0 "exit code of $2"
}
