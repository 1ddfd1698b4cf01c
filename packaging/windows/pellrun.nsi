; PellrunSetup.exe: installs Pellrun.scr and its Data folder under Program Files, with an
; uninstaller, an Apps-and-features entry, a Start-menu entry for the settings, and an
; offer to make Pellrun the current screen saver. English or Japanese, as the system is.
;
; makensis -INPUTCHARSET UTF8 -DVERSION=x.y.z -DVERSION_QUAD=x.y.z.0 -DPUBLISHER=<name>
;          -DCOPYRIGHT=<line> -DSCR=<Pellrun.scr> -DDATA=<Data folder> -DLICENSE=<LICENSE.txt>
;          -DNOTICES=<NOTICES.txt> -DICON=<icon.ico> -DOUTFILE=<PellrunSetup.exe> pellrun.nsi
; The installer holds no file dates (SetDateSave off), so the same inputs give the same
; bytes whenever it is made.
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma

!include "FileFunc.nsh"
!include "LogicLib.nsh"
!include "nsDialogs.nsh"

!define PRODUCT "Pellrun"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Pellrun"
; Where the installer remembers the screen saver it replaced.
!define STATE_KEY "Software\Pellrun"
!define DESKTOP_KEY "Control Panel\Desktop"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
Icon "${ICON}"
UninstallIcon "${ICON}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
RequestExecutionLevel admin
ShowInstDetails nevershow
ShowUninstDetails nevershow
BrandingText "${PRODUCT} ${VERSION}"
LicenseData "${LICENSE}"
SetDateSave off

; The first language loaded is the one used when the system's is neither.
LoadLanguageFile "${NSISDIR}\Contrib\Language files\English.nlf"
LoadLanguageFile "${NSISDIR}\Contrib\Language files\Japanese.nlf"

LangString MakeCurrent ${LANG_ENGLISH} "Make Pellrun the current screen saver"
LangString MakeCurrent ${LANG_JAPANESE} "Pellrun を現在のスクリーンセーバーにする"
LangString SettingsDescription ${LANG_ENGLISH} "Choose the Pellrun screen saver's settings"
LangString SettingsDescription ${LANG_JAPANESE} "Pellrun スクリーンセーバーの設定"

VIProductVersion "${VERSION_QUAD}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileDescription" "${PRODUCT} setup"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileVersion" "${VERSION_QUAD}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "LegalCopyright" "${COPYRIGHT}"

; The offer to become the current screen saver: a box ticked unless the user clears it
; (silent installs keep the tick).
Var MakeCurrentBox
Var MakeCurrentState

Page license
Page directory
Page custom saverPage saverPageLeave
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Function .onInit
  SetRegView 64
  StrCpy $MakeCurrentState ${BST_CHECKED}
FunctionEnd

Function saverPage
  nsDialogs::Create 1018
  Pop $0
  ${If} $0 == error
    Abort
  ${EndIf}
  ${NSD_CreateCheckbox} 0 0 100% 12u "$(MakeCurrent)"
  Pop $MakeCurrentBox
  ${NSD_SetState} $MakeCurrentBox $MakeCurrentState
  nsDialogs::Show
FunctionEnd

Function saverPageLeave
  ${NSD_GetState} $MakeCurrentBox $MakeCurrentState
FunctionEnd

Function un.onInit
  SetRegView 64
FunctionEnd

Section "Pellrun"
  SetOutPath "$INSTDIR"
  File "/oname=Pellrun.scr" "${SCR}"
  File "/oname=LICENSE.txt" "${LICENSE}"
  File "/oname=NOTICES.txt" "${NOTICES}"
  SetOutPath "$INSTDIR\Data"
  File "${DATA}\Bgm*.dat"
  File "${DATA}\In*.dat"
  File "${DATA}\Snd*.dat"
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\Uninstall.exe"

  SetShellVarContext all
  CreateDirectory "$SMPROGRAMS\${PRODUCT}"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\Pellrun settings.lnk" "$INSTDIR\Pellrun.scr" "/c" \
    "$INSTDIR\Pellrun.scr" 0 SW_SHOWNORMAL "" "$(SettingsDescription)"

  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Comments" "Free software under the MIT licence (LICENSE.txt)"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Readme" "$INSTDIR\LICENSE.txt"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Pellrun.scr,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1

  ; The saver it replaces is kept for the uninstaller, once: a second install over the
  ; first keeps the first one's record.
  StrCmp $MakeCurrentState ${BST_CHECKED} 0 done
  GetFullPathName /SHORT $3 "$INSTDIR\Pellrun.scr"
  StrCmp $3 "" 0 +2
    StrCpy $3 "$INSTDIR\Pellrun.scr"
  ReadRegStr $4 HKCU "${STATE_KEY}" "ReplacedSaver"
  ReadRegStr $5 HKCU "${STATE_KEY}" "Replaced"
  StrCmp $5 "1" keep
    ClearErrors
    ReadRegStr $4 HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
    ReadRegStr $6 HKCU "${DESKTOP_KEY}" "ScreenSaveActive"
    WriteRegStr HKCU "${STATE_KEY}" "ReplacedSaver" $4
    WriteRegStr HKCU "${STATE_KEY}" "ReplacedActive" $6
    WriteRegStr HKCU "${STATE_KEY}" "Replaced" "1"
  keep:
  WriteRegStr HKCU "${STATE_KEY}" "OurSaver" $3
  WriteRegStr HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE" $3
  WriteRegStr HKCU "${DESKTOP_KEY}" "ScreenSaveActive" "1"
  done:
SectionEnd

Section "Uninstall"
  ; The previous screen saver comes back, unless the user has chosen another since.
  ReadRegStr $0 HKCU "${STATE_KEY}" "Replaced"
  StrCmp $0 "1" 0 restored
    ReadRegStr $1 HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
    ReadRegStr $2 HKCU "${STATE_KEY}" "OurSaver"
    StrCmp $1 $2 0 restored
    ReadRegStr $3 HKCU "${STATE_KEY}" "ReplacedSaver"
    ReadRegStr $4 HKCU "${STATE_KEY}" "ReplacedActive"
    StrCmp $3 "" 0 +3
      DeleteRegValue HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
      Goto +2
      WriteRegStr HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE" $3
    StrCmp $4 "" 0 +3
      DeleteRegValue HKCU "${DESKTOP_KEY}" "ScreenSaveActive"
      Goto +2
      WriteRegStr HKCU "${DESKTOP_KEY}" "ScreenSaveActive" $4
  restored:
  DeleteRegKey HKCU "${STATE_KEY}"

  Delete "$INSTDIR\Pellrun.scr"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\NOTICES.txt"
  Delete "$INSTDIR\Data\Bgm*.dat"
  Delete "$INSTDIR\Data\In*.dat"
  Delete "$INSTDIR\Data\Snd*.dat"
  Delete "$INSTDIR\Data\Setup.ini"
  RMDir "$INSTDIR\Data"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"

  ; The settings the saver kept for this user when Data was not writable.
  SetShellVarContext current
  Delete "$APPDATA\Pellrun\Setup.ini"
  RMDir "$APPDATA\Pellrun"

  SetShellVarContext all
  Delete "$SMPROGRAMS\${PRODUCT}\Pellrun settings.lnk"
  RMDir "$SMPROGRAMS\${PRODUCT}"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
