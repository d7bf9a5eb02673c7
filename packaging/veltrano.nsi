; The Windows installer: a per-user install of the files the ZIP holds, with Start menu shortcuts
; and an Apps & features entry. Built by the package target (installer.cmake) with
;   makensis -DVERSION=1.0.0.1 -DFILES=<the package's staged folder> -DICON=<icon107.ico>
;            -DUNINSTALLER=<Uninstall.exe from uninstall.nsi> -DOUTFILE=<...-setup.exe> veltrano.nsi
; Silent for a rollout: Setup.exe /S [/D=C:\Other\Folder], Uninstall.exe /S.
; An earlier install stays whole until this one can take its place: nothing is written or removed
; while Veltrano runs, the files are written over or beside it, the entry is rewritten last, and
; only then an earlier install in another folder is removed.

!include veltrano.nsh

Name "Veltrano ${VERSION}"
OutFile "${OUTFILE}"
Icon "${ICON}"
; Where Windows puts per-user programs; an earlier install is replaced where it is.
InstallDir "$LOCALAPPDATA\Programs\Veltrano"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
ShowInstDetails nevershow
VIAddVersionKey "FileDescription" "Veltrano ${VERSION} Setup"

; Veltrano may have been started while the folder was chosen.
Page directory "" "" CloseVeltranoFirst
Page instfiles

Var earlier     ; the folder of an earlier install, or ""
Var earlierCreated
Var created     ; CREATED_FOLDER_VALUE of this install

Function .onInit
    Call CloseVeltranoFirst
FunctionEnd

!macro INSTALL_FILE NAME
    File "${FILES}\${NAME}"
!macroend

Section "Veltrano"
    ReadRegStr $earlier HKCU "${UNINSTALL_KEY}" "InstallLocation"
    ReadRegStr $earlierCreated HKCU "${UNINSTALL_KEY}" "${CREATED_FOLDER_VALUE}"
    ; The outermost folder of $INSTDIR that is not there yet; over an earlier install in the same
    ; folder, what that one created.
    ${If} $earlier == $INSTDIR
        StrCpy $created $earlierCreated
    ${Else}
        StrCpy $created ""
        StrCpy $0 $INSTDIR
        ${Do}
            ${If} $0 == ""
            ${OrIf} ${FileExists} "$0\*.*"
                ${Break}
            ${EndIf}
            StrCpy $created $0
            ${GetParent} $0 $0
        ${Loop}
    ${EndIf}

    ; Started from the shortcuts, the programs' current folder is their own.
    SetOutPath "$INSTDIR"
    !insertmacro VELTRANO_FILES INSTALL_FILE
    File "/oname=Uninstall.exe" "${UNINSTALLER}"

    CreateShortcut "$SMPROGRAMS\Veltrano.lnk" "$INSTDIR\Veltrano.exe"
    CreateShortcut "$SMPROGRAMS\Veltrano Demo.lnk" "$INSTDIR\VeltranoDemo.exe"

    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Veltrano"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Veltrano.exe,0"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
    ; Apps & features shows the size in kilobytes.
    SectionGetSize 0 $1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $1
    WriteRegStr HKCU "${UNINSTALL_KEY}" "${CREATED_FOLDER_VALUE}" $created
    ; Last: the install is whole, and the entry now leads to it.
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"

    ; The earlier install in another folder goes now, with the folders it created, by the names
    ; this installer knows.
    ${If} $earlier != ""
    ${AndIf} $earlier != $INSTDIR
        StrCpy $R0 $earlier
        StrCpy $R1 $earlierCreated
        Call RemoveInstalledFiles
    ${EndIf}
SectionEnd

; A failed install into a new folder removes what it wrote there; the earlier install and its
; entry stay as they were.
Function .onInstFailed
    ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $0 != $INSTDIR
        StrCpy $R0 $INSTDIR
        StrCpy $R1 $created
        Call RemoveInstalledFiles
    ${EndIf}
FunctionEnd
