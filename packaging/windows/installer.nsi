; The Windows installer: Orvelane for the current user, no administrator asked for, into
; %LOCALAPPDATA%\Programs\Orvelane; the emulator folder asked for on a page of its own and
; remembered; the companion files put there only where missing; a Start-menu shortcut that
; starts the program in that folder; an entry among the user's installed programs.
; Made by installer.cmake from the files CPack staged for the zip, which passes VERSION,
; FILES (the lists of files, files.nsh), ICON, SIZE (in KiB) and OUTFILE.
;
; Silently: setup.exe /S /FOLDER="C:\NEO GEO" [/D=C:\the program's folder]; uninstall.exe /S.
; A silent install without a usable emulator folder installs nothing and ends with status 2.
Unicode true
Target amd64-unicode
RequestExecutionLevel user
SetCompressor /SOLID lzma

!include MUI2.nsh
!include FileFunc.nsh
!include LogicLib.nsh
!include ${FILES}

!define KEY "Software\Orvelane"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Orvelane"
!define PUBLISHER "The Orvelane developers"

Name "Orvelane"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Orvelane"
InstallDirRegKey HKCU "${KEY}" "InstallFolder"
BrandingText "Orvelane ${VERSION}"
VIProductVersion "${VERSION}.0.0"
VIAddVersionKey "ProductName" "Orvelane"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "FileDescription" "Orvelane ${VERSION} setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "${PUBLISHER}"

Var EmulatorFolder

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING

!insertmacro MUI_PAGE_DIRECTORY

; The emulator folder: a directory page of its own, on its own variable.
!define MUI_PAGE_HEADER_TEXT "Emulator folder"
!define MUI_PAGE_HEADER_SUBTEXT "Where Orvelane runs: the folder of your NEO-GEO emulators."
!define MUI_DIRECTORYPAGE_TEXT_TOP "Choose the folder that holds neorage.exe or neogeo.exe. Orvelane runs there, and keeps its settings (ORVELANE.DAT) and ORVELANE.TXT there; they are put there only where they are missing, and nothing else goes into the folder."
!define MUI_DIRECTORYPAGE_TEXT_DESTINATION "Emulator folder"
!define MUI_DIRECTORYPAGE_VARIABLE $EmulatorFolder
!define MUI_DIRECTORYPAGE_VERIFYONLEAVE
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE EmulatorFolderLeave
!insertmacro MUI_PAGE_DIRECTORY

!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "Start Orvelane"
!define MUI_FINISHPAGE_RUN_FUNCTION StartOrvelane
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

Function .onInit
  ReadRegStr $EmulatorFolder HKCU "${KEY}" "EmulatorFolder"
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/FOLDER=" $R1
  ${IfNot} ${Errors}
    StrCpy $EmulatorFolder $R1
  ${EndIf}
  IfSilent 0 done
  ${If} $EmulatorFolder == ""
  ${OrIfNot} ${FileExists} "$EmulatorFolder\*.*"
    SetErrorLevel 2
    Quit
  ${EndIf}
  done:
FunctionEnd

Function EmulatorFolderLeave
  ${IfNot} ${FileExists} "$EmulatorFolder\*.*"
    MessageBox MB_ICONEXCLAMATION|MB_OK "The folder $\"$EmulatorFolder$\" does not exist. Choose the folder that holds your emulators."
    Abort
  ${EndIf}
  ${IfNot} ${FileExists} "$EmulatorFolder\neorage.exe"
  ${AndIfNot} ${FileExists} "$EmulatorFolder\neogeo.exe"
    MessageBox MB_ICONQUESTION|MB_YESNO "Neither neorage.exe nor neogeo.exe is in $\"$EmulatorFolder$\". Use this folder anyway?" IDYES +2
    Abort
  ${EndIf}
FunctionEnd

Function StartOrvelane
  SetOutPath "$EmulatorFolder"
  Exec '"$INSTDIR\orvelane.exe"'
FunctionEnd

Section "Orvelane"
  SetShellVarContext current
  !insertmacro OrvelaneFiles
  WriteUninstaller "$INSTDIR\uninstall.exe"

  ; The companion files, only where missing: a user's own ORVELANE.DAT is never replaced.
  SetOutPath "$EmulatorFolder"
  SetOverwrite off
  File "/oname=ORVELANE.DAT" "${DEFAULTS}/ORVELANE.DAT"
  File "/oname=ORVELANE.TXT" "${DEFAULTS}/ORVELANE.TXT"
  SetOverwrite on

  ; The shortcut's working folder is the output folder, the emulator folder.
  CreateShortCut "$SMPROGRAMS\Orvelane.lnk" "$INSTDIR\orvelane.exe" "" "$INSTDIR\orvelane.exe" 0 \
                 SW_SHOWNORMAL "" "Orvelane, front-end for the NEO R.A.G.E. and NEOGEO emulators"

  WriteRegStr HKCU "${KEY}" "InstallFolder" "$INSTDIR"
  WriteRegStr HKCU "${KEY}" "EmulatorFolder" "$EmulatorFolder"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Orvelane"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\orvelane.exe,0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" ${SIZE}
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; Only what the installer laid out goes: the emulator folder and anything else a user put
; into the program's folder stay.
Section "Uninstall"
  SetShellVarContext current
  Delete "$SMPROGRAMS\Orvelane.lnk"
  !insertmacro OrvelaneRemoveFiles
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  DeleteRegKey HKCU "${KEY}"
SectionEnd
