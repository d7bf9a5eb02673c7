; The Windows installer: a per-user install of the files the ZIP holds, with Start menu shortcuts
; and an Apps & features entry. Built by the package target (installer.cmake) with
;   makensis -DVERSION=1.0.0.1 -DFILES=<the package's staged folder> -DICON=<icon107.ico>
;            -DOUTFILE=<...-setup.exe> veltrano.nsi
; Silent for a rollout: Setup.exe /S [/D=C:\Other\Folder], Uninstall.exe /S.

Unicode true
!include LogicLib.nsh
; The programs are 64-bit: so is the installer, which then sees the registry and folders they see.
Target amd64-unicode
SetCompressor /SOLID lzma
; No administrator rights: everything goes into the user's own folders and registry.
RequestExecutionLevel user
ManifestSupportedOS all

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Veltrano"
!define PUBLISHER "The Veltrano developers"

Name "Veltrano ${VERSION}"
OutFile "${OUTFILE}"
Icon "${ICON}"
UninstallIcon "${ICON}"
; Where Windows puts per-user programs; an earlier install is replaced where it is.
InstallDir "$LOCALAPPDATA\Programs\Veltrano"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
ShowInstDetails nevershow
ShowUninstDetails nevershow

VIProductVersion "${VERSION}"
VIAddVersionKey "ProductName" "Veltrano Lighting Console"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "FileDescription" "Veltrano ${VERSION} Setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "Copyright (C) 2026 ${PUBLISHER}"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Section "Veltrano"
    ; An earlier install, maybe in another folder (/D=), goes first, with its own uninstaller:
    ; it knows what it added. Run in place (_?=) it waits for itself, and leaves itself behind.
    ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $0 != ""
    ${AndIf} ${FileExists} "$0\Uninstall.exe"
        ExecWait '"$0\Uninstall.exe" /S _?=$0'
        Delete "$0\Uninstall.exe"
        RMDir "$0"
    ${EndIf}

    SetOutPath "$INSTDIR"
    File "${FILES}\Veltrano.exe"
    File "${FILES}\VeltranoDemo.exe"
    File "${FILES}\README.txt"
    File "${FILES}\LICENSE"
    File "${FILES}\70-veltrano-converter.rules"
    WriteUninstaller "$INSTDIR\Uninstall.exe"

    ; Started from the shortcuts, the programs' current folder is their own (SetOutPath above).
    CreateShortcut "$SMPROGRAMS\Veltrano.lnk" "$INSTDIR\Veltrano.exe"
    CreateShortcut "$SMPROGRAMS\Veltrano Demo.lnk" "$INSTDIR\VeltranoDemo.exe"

    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Veltrano"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Veltrano.exe,0"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
    ; Apps & features shows the size in kilobytes.
    SectionGetSize 0 $1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $1
SectionEnd

; Removes what the section above added, by name, and the folder only if nothing else is left in it.
Section "Uninstall"
    Delete "$SMPROGRAMS\Veltrano.lnk"
    Delete "$SMPROGRAMS\Veltrano Demo.lnk"
    DeleteRegKey HKCU "${UNINSTALL_KEY}"

    Delete "$INSTDIR\Veltrano.exe"
    Delete "$INSTDIR\VeltranoDemo.exe"
    Delete "$INSTDIR\README.txt"
    Delete "$INSTDIR\LICENSE"
    Delete "$INSTDIR\70-veltrano-converter.rules"
    Delete "$INSTDIR\Uninstall.exe"
    RMDir "$INSTDIR"
SectionEnd
