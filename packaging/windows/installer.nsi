; The Windows installer of the PelloryTFTP programs (makensis, from the Windows build:
; packaging/windows/CMakeLists.txt gives VERSION, PELLSD, PELLCL, ICON, README and OUTFILE).
; Silent: PelloryTFTP-setup.exe /S [/FIREWALL] [/SERVICE] [/D=FOLDER]; the uninstaller:
; uninstall.exe /S [/SETTINGS] (without /SETTINGS the user's settings stay).
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin
ManifestDPIAware true

!include LogicLib.nsh
!include FileFunc.nsh
!include x64.nsh

!define PRODUCT "PelloryTFTP"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"
!define FIREWALL_RULE "PelloryTFTP server"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
Icon "${ICON}"
UninstallIcon "${ICON}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"

Page components
Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Section "PelloryTFTP server and client" programs
    SectionIn RO
    SetShellVarContext all
    SetOutPath "$INSTDIR"
    File "/oname=pellsd.exe" "${PELLSD}"
    File "/oname=pellcl.exe" "${PELLCL}"
    File "/oname=README.md" "${README}"
    WriteUninstaller "$INSTDIR\uninstall.exe"
    ; Each program opens its window; the console, in their folder, is for their command lines.
    CreateDirectory "$SMPROGRAMS\${PRODUCT}"
    CreateShortcut "$SMPROGRAMS\${PRODUCT}\PelloryTFTP server.lnk" "$INSTDIR\pellsd.exe"
    CreateShortcut "$SMPROGRAMS\${PRODUCT}\PelloryTFTP client.lnk" "$INSTDIR\pellcl.exe"
    ; cmd does not wait for a windowed program unless told: start /wait keeps the help before
    ; the prompt.
    CreateShortcut "$SMPROGRAMS\${PRODUCT}\PelloryTFTP console.lnk" "$SYSDIR\cmd.exe" \
        '/k start "" /b /wait "$INSTDIR\pellsd.exe" --help & start "" /b /wait "$INSTDIR\pellcl.exe" --help' \
        "$INSTDIR\pellsd.exe"
    CreateShortcut "$SMPROGRAMS\${PRODUCT}\Uninstall PelloryTFTP.lnk" "$INSTDIR\uninstall.exe"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT} ${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Drumvale"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\pellsd.exe"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; Windows' firewall drops what comes in to a program it has not been told about.
Section /o "Let TFTP requests in through Windows' firewall" firewall
    nsExec::Exec 'netsh advfirewall firewall add rule name="${FIREWALL_RULE}" dir=in \
        action=allow protocol=UDP program="$INSTDIR\pellsd.exe" enable=yes'
    Pop $0
SectionEnd

Section /o "Run the server as a service at boot" service
    nsExec::Exec '"$INSTDIR\pellsd.exe" --service-install'
    Pop $0
SectionEnd

; /FIREWALL and /SERVICE choose those parts for a silent installation.
Function .onInit
    ${GetParameters} $0
    ClearErrors
    ${GetOptions} $0 "/FIREWALL" $1
    ${IfNot} ${Errors}
        SectionSetFlags ${firewall} ${SF_SELECTED}
    ${EndIf}
    ClearErrors
    ${GetOptions} $0 "/SERVICE" $1
    ${IfNot} ${Errors}
        SectionSetFlags ${service} ${SF_SELECTED}
    ${EndIf}
FunctionEnd

Section "Uninstall"
    SetShellVarContext all
    ; Whatever the installation chose: each undoes nothing where there is nothing.
    nsExec::Exec '"$INSTDIR\pellsd.exe" --service-remove'
    Pop $0
    nsExec::Exec 'netsh advfirewall firewall delete rule name="${FIREWALL_RULE}"'
    Pop $0
    Delete "$SMPROGRAMS\${PRODUCT}\PelloryTFTP server.lnk"
    Delete "$SMPROGRAMS\${PRODUCT}\PelloryTFTP client.lnk"
    Delete "$SMPROGRAMS\${PRODUCT}\PelloryTFTP console.lnk"
    Delete "$SMPROGRAMS\${PRODUCT}\Uninstall PelloryTFTP.lnk"
    RMDir "$SMPROGRAMS\${PRODUCT}"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
    ; The settings stay unless asked: a reinstallation finds them as they were. The served
    ; files are never touched.
    ${GetParameters} $0
    ClearErrors
    ${GetOptions} $0 "/SETTINGS" $1
    ${If} ${Errors}
        MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2 \
            "Remove your PelloryTFTP settings too?" /SD IDNO IDNO keep
    ${EndIf}
    DeleteRegKey HKCU "SOFTWARE\Drumvale\PelloryTFTP server"
    DeleteRegKey HKCU "SOFTWARE\Drumvale\PelloryTFTP client"
    DeleteRegKey /ifempty HKCU "SOFTWARE\Drumvale"
    Delete "$APPDATA\Pellory\pellsd.conf"
    Delete "$APPDATA\Pellory\pellsd.log"
    RMDir "$APPDATA\Pellory"
    keep:
    ; The programs' folder goes last: whoever waits for the uninstaller (which runs from a copy
    ; of its own, so that its starter returns at once) knows its work is done when it has gone.
    Delete "$INSTDIR\pellsd.exe"
    Delete "$INSTDIR\pellcl.exe"
    Delete "$INSTDIR\README.md"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
SectionEnd
