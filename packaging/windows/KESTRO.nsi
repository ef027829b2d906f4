; KESTRO's Windows setup: the VST3 bundle in the 64-bit Common Files\VST3,
; the factory presets in ProgramData for all users, and an uninstaller that
; takes away exactly those files. Build it with scripts/windows-installer.sh,
; which lists the files and passes:
;   VERSION         6.1.0
;   BUNDLE_DIR      the built KESTRO.vst3 folder
;   LICENSE_FILE    the licence as CRLF text
;   INSTALL_LIST    File lines for the bundle and the presets
;   UNINSTALL_LIST  the matching Delete and RMDir lines
;   SIZE_KB         what the files take, for Apps & Features
;   OUT_FILE        where the setup goes

!ifndef VERSION | BUNDLE_DIR | LICENSE_FILE | INSTALL_LIST | UNINSTALL_LIST | SIZE_KB | OUT_FILE
  !error "build this with scripts/windows-installer.sh"
!endif

; The plug-in is a 64-bit DLL, so the setup is a 64-bit program: its
; registry and file system views are the native ones.
Target amd64-unicode
SetCompressor /SOLID lzma
ManifestDPIAware true

!include MUI2.nsh
!include LogicLib.nsh
!include x64.nsh
!include FileFunc.nsh

!define PRODUCT KESTRO
!define VENDOR PelmarAcoustics
!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"
!define UNINST_EXE "Uninstall ${PRODUCT}.exe"
; Hosts scan these: the bundle is found by its folder, presets by vendor
; and product.
!define VST3_ROOT "$COMMONFILES64\VST3"
!define BUNDLE_DEST "${VST3_ROOT}\${PRODUCT}.vst3"
!define PRESET_ROOT "$APPDATA\VST3 Presets"
!define PRESET_DEST "${PRESET_ROOT}\${VENDOR}\${PRODUCT}"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUT_FILE}"
InstallDir "$PROGRAMFILES64\${VENDOR}\${PRODUCT}"
RequestExecutionLevel admin
BrandingText "${VENDOR} ${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"
VIAddVersionKey ProductName "${PRODUCT}"
VIAddVersionKey CompanyName "${VENDOR}"
VIAddVersionKey ProductVersion "${VERSION}"
VIAddVersionKey FileVersion "${VERSION}"
VIAddVersionKey FileDescription "${PRODUCT} VST3 plug-in setup"
VIAddVersionKey LegalCopyright "Copyright ${VENDOR}, GPL-3.0-or-later"

!define MUI_ABORTWARNING
!insertmacro MUI_PAGE_LICENSE "${LICENSE_FILE}"
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_UNPAGE_FINISH
!insertmacro MUI_LANGUAGE English

; Whether this setup made the folders every VST3 vendor shares: only then
; does the uninstaller remove them, and only if they are empty by then.
Var madeVst3Root
Var madePresetRoot

Function .onInit
  ; Only matters if the setup is ever built as a 32-bit program.
  ${IfNot} ${RunningX64}
    MessageBox MB_ICONSTOP|MB_OK "${PRODUCT} is a 64-bit plug-in and needs 64-bit Windows." /SD IDOK
    Abort
  ${EndIf}
  SetRegView 64
  ; $APPDATA is then ProgramData.
  SetShellVarContext all
FunctionEnd

; Runs the installed version's uninstaller, in place and waited for (_?=),
; so that files it shipped and this version does not are gone too.
Function RemoveInstalled
  ReadRegStr $0 HKLM "${UNINST_KEY}" "UninstallString"
  ${If} $0 == ""
    Return
  ${EndIf}
  ; Written quoted: the path is what lies between the quotes.
  StrCpy $1 $0 1
  ${If} $1 == '"'
    StrCpy $0 $0 "" 1
    StrCpy $2 0
    ${Do}
      StrCpy $1 $0 1 $2
      ${IfThen} $1 == '"' ${|} ${ExitDo} ${|}
      ${IfThen} $1 == "" ${|} ${ExitDo} ${|}
      IntOp $2 $2 + 1
    ${Loop}
    StrCpy $0 $0 $2
  ${EndIf}
  ${IfNot} ${FileExists} "$0"
    DetailPrint "The installed version has no uninstaller left; installing over it"
    Return
  ${EndIf}
  ${GetParent} "$0" $1
  DetailPrint "Removing the installed version"
  ClearErrors
  ExecWait '"$0" /S _?=$1' $2
  ${If} ${Errors}
  ${OrIf} $2 <> 0
    MessageBox MB_ICONSTOP|MB_OK "The installed version of ${PRODUCT} could not be removed (code $2)." /SD IDOK
    Abort
  ${EndIf}
  ; Run in place, it could not delete itself.
  Delete "$0"
  RMDir "$1"
FunctionEnd

Section "${PRODUCT}"
  SectionIn RO
  Call RemoveInstalled

  StrCpy $madeVst3Root 0
  ${IfNot} ${FileExists} "${VST3_ROOT}\*.*"
    StrCpy $madeVst3Root 1
  ${EndIf}
  StrCpy $madePresetRoot 0
  ${IfNot} ${FileExists} "${PRESET_ROOT}\*.*"
    StrCpy $madePresetRoot 1
  ${EndIf}

  !include "${INSTALL_LIST}"
!if /FileExists "${BUNDLE_DIR}/desktop.ini"
  ; Explorer reads a folder's desktop.ini (the bundle's icon) only when the
  ; folder is marked so.
  SetFileAttributes "${BUNDLE_DEST}\desktop.ini" HIDDEN|SYSTEM
  SetFileAttributes "${BUNDLE_DEST}" READONLY
!endif

  CreateDirectory "$INSTDIR"
  WriteUninstaller "$INSTDIR\${UNINST_EXE}"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINST_KEY}" "Publisher" "${VENDOR}"
  WriteRegStr HKLM "${UNINST_KEY}" "URLInfoAbout" "https://pelmaracoustics.example"
  WriteRegStr HKLM "${UNINST_KEY}" "InstallLocation" "${BUNDLE_DEST}"
  WriteRegStr HKLM "${UNINST_KEY}" "UninstallString" '"$INSTDIR\${UNINST_EXE}"'
  WriteRegStr HKLM "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINST_EXE}" /S'
!if /FileExists "${BUNDLE_DIR}/PlugIn.ico"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayIcon" "${BUNDLE_DEST}\PlugIn.ico"
!else
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayIcon" "$INSTDIR\${UNINST_EXE}"
!endif
  WriteRegDWORD HKLM "${UNINST_KEY}" "EstimatedSize" ${SIZE_KB}
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoRepair" 1
  WriteRegDWORD HKLM "${UNINST_KEY}" "MadeVST3Folder" $madeVst3Root
  WriteRegDWORD HKLM "${UNINST_KEY}" "MadePresetFolder" $madePresetRoot
SectionEnd

Function un.onInit
  SetRegView 64
  SetShellVarContext all
FunctionEnd

Section "Uninstall"
  ReadRegDWORD $madeVst3Root HKLM "${UNINST_KEY}" "MadeVST3Folder"
  ReadRegDWORD $madePresetRoot HKLM "${UNINST_KEY}" "MadePresetFolder"

  ; Marks the setup put on the bundle folder would keep it from going.
  SetFileAttributes "${BUNDLE_DEST}\desktop.ini" NORMAL
  SetFileAttributes "${BUNDLE_DEST}" NORMAL
  ; A DLL a host still holds goes at the next restart.
  !include "${UNINSTALL_LIST}"

  RMDir "${PRESET_ROOT}\${VENDOR}"
  ${If} $madeVst3Root = 1
    RMDir "${VST3_ROOT}"
  ${EndIf}
  ${If} $madePresetRoot = 1
    RMDir "${PRESET_ROOT}"
  ${EndIf}

  Delete "$INSTDIR\${UNINST_EXE}"
  RMDir "$INSTDIR"
  RMDir "$PROGRAMFILES64\${VENDOR}"
  DeleteRegKey HKLM "${UNINST_KEY}"
SectionEnd
