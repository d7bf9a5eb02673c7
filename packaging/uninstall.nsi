; The uninstaller, Uninstall.exe in the install's folder, which the installer carries. Built by the
; package target (installer.cmake) before the installer with
;   makensis -DVERSION=1.0.0.1 -DICON=<icon107.ico> -DOUTFILE=<...\Uninstall.exe> uninstall.nsi
; Uninstall.exe [/S]: checks that Veltrano is not running, then hands over to a copy of itself in
; TEMP (Uninstall.exe /D=<the install's folder>), which can remove the uninstaller too, and ends.

!include veltrano.nsh

Name "Veltrano ${VERSION}"
Caption "Uninstall Veltrano"
OutFile "${OUTFILE}"
Icon "${ICON}"
; Started from the install's folder; the copy in TEMP is told that folder with /D=.
InstallDir "$EXEDIR"
ShowInstDetails nevershow
VIAddVersionKey "FileDescription" "Veltrano ${VERSION} Uninstall"

Page instfiles

Function .onInit
    Call CloseVeltranoFirst
    ${If} $INSTDIR != $EXEDIR
        Return
    ${EndIf}
    ${IfNot} ${Silent}
        MessageBox MB_OKCANCEL|MB_ICONQUESTION "Remove Veltrano from $INSTDIR?" IDOK +3
        SetErrorLevel 1
        Quit
    ${EndIf}
    GetTempFileName $0
    Delete $0
    CreateDirectory $0
    CopyFiles /SILENT "$EXEPATH" "$0\Uninstall.exe"
    ${If} ${Silent}
        Exec '"$0\Uninstall.exe" /S /D=$INSTDIR'
    ${Else}
        Exec '"$0\Uninstall.exe" /D=$INSTDIR'
    ${EndIf}
    SetErrorLevel 0
    Quit
FunctionEnd

; The files and folders first, the shortcuts and the Apps & features entry last.
Section "Uninstall Veltrano"
    ; The uninstaller that handed over may not have ended yet.
    ${For} $0 1 50
        Delete "$INSTDIR\Uninstall.exe"
        ${IfNotThen} ${FileExists} "$INSTDIR\Uninstall.exe" ${|} ${ExitFor} ${|}
        Sleep 100
    ${Next}
    ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "InstallLocation"
    StrCpy $R1 ""
    ${If} $0 == $INSTDIR
        ReadRegStr $R1 HKCU "${UNINSTALL_KEY}" "${CREATED_FOLDER_VALUE}"
    ${EndIf}
    StrCpy $R0 $INSTDIR
    Call RemoveInstalledFiles

    Delete "$SMPROGRAMS\Veltrano.lnk"
    Delete "$SMPROGRAMS\Veltrano Demo.lnk"
    ${If} $0 == $INSTDIR
        DeleteRegKey HKCU "${UNINSTALL_KEY}"
    ${EndIf}
    ; This copy in TEMP goes with TEMP's next clean-up.
SectionEnd
