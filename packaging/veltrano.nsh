; What the installer (veltrano.nsi) and the uninstaller (uninstall.nsi) share: how they are built,
; the files of an install, the check for a running Veltrano and the removal of an install.

Unicode true
!include LogicLib.nsh
!include FileFunc.nsh
; The programs are 64-bit: so are the installer and the uninstaller, which then see the registry
; and folders they see.
Target amd64-unicode
SetCompressor /SOLID lzma
; No time of the build machine in the package: the same source gives the same bytes.
SetDateSave off
; No administrator rights: everything goes into the user's own folders and registry.
RequestExecutionLevel user
ManifestSupportedOS all

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Veltrano"
!define PUBLISHER "The Veltrano developers"
; The outermost folder the installer created for $INSTDIR (the folder itself or one of its
; parents, /D=C:\New\Folders\Veltrano), empty when it created none; the uninstaller removes the
; folders up to it where they are empty.
!define CREATED_FOLDER_VALUE "VeltranoCreatedFolder"
; Veltrano.exe holds this mutex while it runs (app/single_instance.cpp); the console window of
; VeltranoDemo.exe has the class of Veltrano's (IDS_WINDOW_CLASS).
!define CONSOLE_MUTEX "Local\Veltrano.Console"
!define CONSOLE_WINDOW_CLASS "VELTRANO"
; The exit code of a silent run that changed nothing because Veltrano was running.
!define EXIT_VELTRANO_RUNNING 3

VIProductVersion "${VERSION}"
VIAddVersionKey "ProductName" "Veltrano Lighting Console"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "Copyright (C) 2026 ${PUBLISHER}"

; The files of an install besides Uninstall.exe, each handed to the macro ACTION.
!macro VELTRANO_FILES ACTION
    !insertmacro ${ACTION} "Veltrano.exe"
    !insertmacro ${ACTION} "VeltranoDemo.exe"
    !insertmacro ${ACTION} "README.txt"
    !insertmacro ${ACTION} "LICENSE"
    !insertmacro ${ACTION} "THIRD-PARTY-NOTICES.txt"
    !insertmacro ${ACTION} "70-veltrano-converter.rules"
!macroend

; Returns once neither Veltrano nor the demo runs. While one does, asks to close it (Retry) or
; ends this program with exit code 1 (Cancel); run silently (/S), ends it at once with
; EXIT_VELTRANO_RUNNING. Called before anything is written or removed.
Function CloseVeltranoFirst
    ${Do}
        ; SYNCHRONIZE access is all that opening the mutex needs.
        System::Call 'kernel32::OpenMutexW(i 0x00100000, i 0, w "${CONSOLE_MUTEX}") p .r0'
        ${If} $0 P<> 0
            System::Call 'kernel32::CloseHandle(p r0)'
        ${Else}
            FindWindow $0 "${CONSOLE_WINDOW_CLASS}"
            ${If} $0 = 0
                Return
            ${EndIf}
        ${EndIf}
        ${If} ${Silent}
            SetErrorLevel ${EXIT_VELTRANO_RUNNING}
            Quit
        ${EndIf}
        MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "Veltrano is running. Close it, then choose Retry." IDRETRY +3
        SetErrorLevel 1
        Quit
    ${Loop}
FunctionEnd

!macro DELETE_INSTALLED_FILE NAME
    Delete "$R0\${NAME}"
!macroend

; Removes the install in folder $R0: its files by name, then the folder and those above it up to
; $R1 (CREATED_FOLDER_VALUE), each only if nothing else is left in it.
Function RemoveInstalledFiles
    !insertmacro VELTRANO_FILES DELETE_INSTALLED_FILE
    Delete "$R0\Uninstall.exe"
    ; Only folders the installer created: $R1 must be $R0 or one of its parents.
    StrLen $R3 $R1
    StrCpy $R4 $R0 $R3
    StrCpy $R5 $R0 1 $R3
    StrCpy $R6 $R0
    ${If} $R1 != ""
    ${AndIf} $R4 == $R1
        ${If} $R5 == "\"
        ${OrIf} $R5 == ""
            StrCpy $R6 $R1
        ${EndIf}
    ${EndIf}
    StrCpy $R2 $R0
    ${Do}
        RMDir $R2
        ${IfThen} $R2 == $R6 ${|} ${Break} ${|}
        ${GetParent} $R2 $R2
    ${LoopUntil} $R2 == ""
FunctionEnd
