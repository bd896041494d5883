; The installer of Tessaril for Windows: for the current user alone, without administrator
; rights, in %LOCALAPPDATA%\Programs\Tessaril. Built by the CMake target tessaril_installer:
;   makensis -DVERSION=4.0.0 -DPROGRAM=tessaril.exe -DSAMPLE=velmora.kat -DICON=tessaril.ico
;            -DOUTFILE=tessaril-4.0.0-setup.exe tessaril.nsi

Target amd64-unicode
RequestExecutionLevel user
ManifestDPIAware true
SetCompressor /SOLID lzma

!include MUI2.nsh
!include FileFunc.nsh
!include LogicLib.nsh

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tessaril"
!define PUBLISHER "Tessaril-Entwickler"

Name "Tessaril"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Tessaril"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "Tessaril ${VERSION}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\tessaril.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Tessaril jetzt starten"

!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "German"

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=${LANG_GERMAN} "ProductName" "Tessaril"
VIAddVersionKey /LANG=${LANG_GERMAN} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_GERMAN} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_GERMAN} "FileDescription" "Tessaril ${VERSION} installieren"
VIAddVersionKey /LANG=${LANG_GERMAN} "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=${LANG_GERMAN} "LegalCopyright" "Alle Rechte vorbehalten"

Section "Tessaril"
  SetShellVarContext current
  SetOutPath "$INSTDIR"
  File "/oname=tessaril.exe" "${PROGRAM}"
  ; The window proposes this very name for the old catalogue, so the first press converts the
  ; sample; a catalogue of the user's own under that name survives a new installation.
  SetOverwrite off
  File "/oname=velmora.kat" "${SAMPLE}"
  SetOverwrite on
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortCut "$SMPROGRAMS\Tessaril.lnk" "$INSTDIR\tessaril.exe" "" "$INSTDIR\tessaril.exe" 0 \
    SW_SHOWNORMAL "" "Alte Velmora-Kataloge in das Format 4.x konvertieren"

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Tessaril"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\tessaril.exe,0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

; Sets $0 to 1 when the sample beside the program still holds the bytes installed, else to 0.
Function un.SampleUnchanged
  StrCpy $0 0
  InitPluginsDir
  File "/oname=$PLUGINSDIR\installed.kat" "${SAMPLE}"
  ClearErrors
  FileOpen $1 "$INSTDIR\velmora.kat" r
  ${If} ${Errors}
    Return
  ${EndIf}
  FileOpen $2 "$PLUGINSDIR\installed.kat" r
  StrCpy $0 1
  ${Do}
    ClearErrors
    FileReadByte $1 $3
    ${IfThen} ${Errors} ${|} StrCpy $3 "Ende" ${|}
    ClearErrors
    FileReadByte $2 $4
    ${IfThen} ${Errors} ${|} StrCpy $4 "Ende" ${|}
    ${If} $3 != $4
      StrCpy $0 0
      ${ExitDo}
    ${EndIf}
  ${LoopUntil} $3 == "Ende"
  FileClose $1
  FileClose $2
FunctionEnd

; Removes what the installer put there and nothing else: the catalogues the user converted
; (velmora-neu.kat) or put in place of the sample are the user's, and keep their folder.
Section "Uninstall"
  SetShellVarContext current
  Delete "$SMPROGRAMS\Tessaril.lnk"
  Delete "$INSTDIR\tessaril.exe"
  Call un.SampleUnchanged
  ${If} $0 == 1
    Delete "$INSTDIR\velmora.kat"
  ${EndIf}
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
