; Glimor's installer: per user, without administrator rights, into the user's own programs
; folder. Glimor writes Glimor.ini and its crop files beside Glimor.exe, so it must live in
; a folder its user can write.
;
; makensis -DVERSION=1.01 -DVERSION_NUMBERS=1.0.1.0 -DSTAGE=<folder of Glimor.exe, ReadMe.txt, Glimor.ico>
;          -DOUTFILE=<setup.exe> [-DSIGN=<a command that signs the file it is given>] glimor.nsi
; (scripts/release runs it.)
; The uninstaller: /S runs it silently, /PURGE also removes Glimor.ini and the crop files.

Unicode true
SetCompressor /SOLID lzma
RequestExecutionLevel user
ManifestDPIAware true

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Glimor"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"

Name "Glimor ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Glimor"
BrandingText "Glimor ${VERSION}"

!ifdef SIGN
  !finalize '${SIGN} "%1"' = 0
  !uninstfinalize '${SIGN} "%1"' = 0
!endif

VIProductVersion "${VERSION_NUMBERS}"
VIFileVersion "${VERSION_NUMBERS}"
VIAddVersionKey "ProductName" "Glimor"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "FileDescription" "Glimor ${VERSION} setup"
VIAddVersionKey "CompanyName" "Glimor"
VIAddVersionKey "LegalCopyright" "Copyright (C) 2026 the Glimor authors"

!define MUI_ICON "${STAGE}\Glimor.ico"
!define MUI_UNICON "${STAGE}\Glimor.ico"
!define MUI_FINISHPAGE_RUN "$INSTDIR\Glimor.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Start Glimor"
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH

!define MUI_COMPONENTSPAGE_TEXT_TOP "Glimor.ini and the crop files are kept unless you tick them."
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

; A running Glimor is asked to end through its registered message "Glimor.Quit", which it
; honours without its exit question, and is waited for (at most 10 s) so that its files are free.
!macro END_GLIMOR un
  Function ${un}EndGlimor
    FindWindow $0 "GlimorApplication" "Glimor!"
    ${If} $0 != 0
      System::Call 'user32::RegisterWindowMessageW(w "Glimor.Quit") i .r1'
      System::Call 'user32::GetWindowThreadProcessId(p r0, *i .r2)'
      System::Call 'kernel32::OpenProcess(i 0x00100000, i 0, i r2) p .r3' ; SYNCHRONIZE
      DetailPrint "Ending the running Glimor"
      System::Call 'user32::PostMessageW(p r0, i r1, p 0, p 0)'
      ${If} $3 <> 0
        System::Call 'kernel32::WaitForSingleObject(p r3, i 10000) i'
        System::Call 'kernel32::CloseHandle(p r3)'
      ${EndIf}
    ${EndIf}
  FunctionEnd

  ; Glimor.exe ended and removed before anything else changes: a copy still running, and so
  ; still in use, stops the (un)installation, silently or after the user's Cancel.
  Function ${un}RemoveGlimorExe
    Call ${un}EndGlimor
    retry:
    ClearErrors
    Delete "$INSTDIR\Glimor.exe"
    ${If} ${Errors}
      MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "Glimor is still running. End it, then retry." \
        /SD IDCANCEL IDRETRY retry
      Abort "Glimor.exe is in use."
    ${EndIf}
  FunctionEnd
!macroend
!insertmacro END_GLIMOR ""
!insertmacro END_GLIMOR "un."

Section "Glimor"
  SectionIn RO
  Call RemoveGlimorExe
  SetOutPath "$INSTDIR"
  File "${STAGE}\Glimor.exe"
  File "${STAGE}\ReadMe.txt"
  WriteUninstaller "$INSTDIR\Uninstall.exe"
  CreateShortcut "$SMPROGRAMS\Glimor.lnk" "$INSTDIR\Glimor.exe"

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Glimor"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "Glimor"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Glimor.exe,0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

; The start-with-Windows value, only where it names this copy.
!macro DELETE_RUN_VALUE root
  ReadRegStr $0 ${root} "${RUN_KEY}" "Glimor"
  ${If} $0 == '"$INSTDIR\Glimor.exe"'
    DeleteRegValue ${root} "${RUN_KEY}" "Glimor"
  ${EndIf}
!macroend

; Uninstall.exe goes last.
Section "-un.Glimor"
  Call un.RemoveGlimorExe
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  !insertmacro DELETE_RUN_VALUE HKCU
  !insertmacro DELETE_RUN_VALUE HKLM
  Delete "$SMPROGRAMS\Glimor.lnk"
  Delete "$INSTDIR\ReadMe.txt"
  Delete "$INSTDIR\Glimor.upd"
  Delete "$INSTDIR\Glimor.dat"
  Delete "$INSTDIR\Uninstall.exe"
SectionEnd

Section /o "un.Settings and crop files" purge
  Delete "$INSTDIR\Glimor.ini"
  Delete "$INSTDIR\Glimor.bmp"
  Delete "$INSTDIR\Glimor.jpg"
  Delete "$INSTDIR\Glimor.gif"
SectionEnd

Section "-un.Folder"
  RMDir "$INSTDIR"
SectionEnd

!insertmacro MUI_UNFUNCTION_DESCRIPTION_BEGIN
  !insertmacro MUI_DESCRIPTION_TEXT ${purge} "Glimor.ini and the last crop (Glimor.bmp, .jpg, .gif) beside Glimor.exe."
!insertmacro MUI_UNFUNCTION_DESCRIPTION_END

Function un.onInit
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/PURGE" $1
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${purge}
  ${EndIf}
FunctionEnd
