# Sourced by the Windows tests that change the stored settings: the user's own are set aside in
# a folder for a run that starts from the factory settings, and brought back after it; and what
# a key of the registry holds.
settings_keys=('HKCU\Software\Drumvale\PelloryTFTP server'
               'HKCU\Software\Drumvale\PelloryTFTP client')
settings_set_aside() { # FOLDER
    local i
    for i in 0 1; do
        wine reg export "${settings_keys[i]}" "$(winepath -w "$1/kept-$i.reg")" /y >/dev/null 2>&1 || true
        wine reg delete "${settings_keys[i]}" /f >/dev/null 2>&1 || true
    done
}
settings_restore() { # FOLDER
    local i
    for i in 0 1; do
        wine reg delete "${settings_keys[i]}" /f >/dev/null 2>&1 || true
        [ ! -f "$1/kept-$i.reg" ] || wine regedit /s "$(winepath -w "$1/kept-$i.reg")"
    done
}
settings_hold() { # FOLDER KEY TEXT: the key, exported (UTF-16, backslashes doubled), holds TEXT
    wine reg export "$2" "$(winepath -w "$1/saved.reg")" /y >/dev/null 2>&1 || return 1
    iconv -f UTF-16LE -t UTF-8 "$1/saved.reg" | grep -qF "$3"
}
