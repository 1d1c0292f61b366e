; The Windows installer: the VST 2.4 effects, the VST 3 bundle and the CLAP
; module into the folders 64-bit and 32-bit hosts search, and an uninstaller
; that takes away exactly what was installed. Silent with /S.
;   makensis -DSTAGE=<folder of the zip's contents> -DVERSION=1.15 -DOUTFILE=... Orvanta.nsi
; A 64-bit installer: it runs on 64-bit Windows (and under wine64) and puts
; the 32-bit modules in the (x86) folders for 32-bit hosts there.
Target amd64-unicode
!include "x64.nsh"

Name "Orvanta ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Orvanta"
RequestExecutionLevel admin
SetCompressor /SOLID lzma
ShowInstDetails show

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Orvanta"

; The 32-bit hosts' folders, from the registry as Windows names them (a
; 64-bit installer's $PROGRAMFILES32 is not always the "(x86)" folder).
Var PF32
Var CF32
!macro Folders32
  ReadRegStr $PF32 HKLM "Software\Microsoft\Windows\CurrentVersion" "ProgramFilesDir (x86)"
  ReadRegStr $CF32 HKLM "Software\Microsoft\Windows\CurrentVersion" "CommonFilesDir (x86)"
  StrCmp $PF32 "" 0 +2
    StrCpy $PF32 "$PROGRAMFILES32"
  StrCmp $CF32 "" 0 +2
    StrCpy $CF32 "$COMMONFILES32"
!macroend
Function .onInit
  !insertmacro Folders32
FunctionEnd
Function un.onInit
  !insertmacro Folders32
FunctionEnd

Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Section "Orvanta"
  ${If} ${RunningX64}
    SetRegView 64
    ; 64-bit hosts: VST 2 in Program Files\VSTPlugins, VST 3 and CLAP in
    ; Common Files\VST3 and Common Files\CLAP.
    SetOutPath "$PROGRAMFILES64\VSTPlugins"
    File "${STAGE}\VST2\x64\Orvanta64.dll"
    File "${STAGE}\VST2\x64\Orvanta64_51.dll"
    SetOutPath "$COMMONFILES64\VST3"
    File /r "${STAGE}\VST3\Orvanta.vst3"
    SetOutPath "$COMMONFILES64\CLAP"
    File "${STAGE}\CLAP\x64\Orvanta.clap"
  ${EndIf}
  ; 32-bit hosts: the (x86) counterparts.
  SetOutPath "$PF32\VSTPlugins"
  File "${STAGE}\VST2\x86\Orvanta.dll"
  File "${STAGE}\VST2\x86\Orvanta_51.dll"
  SetOutPath "$CF32\VST3"
  File /r "${STAGE}\VST3\Orvanta.vst3"
  SetOutPath "$CF32\CLAP"
  File "${STAGE}\CLAP\x86\Orvanta.clap"

  SetOutPath "$INSTDIR"
  File "${STAGE}\README.txt"
  WriteUninstaller "$INSTDIR\Uninstall.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Orvanta ${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Veltrano"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; Folders are removed only when empty: other plug-ins may share them.
Section "Uninstall"
  ${If} ${RunningX64}
    SetRegView 64
    Delete "$PROGRAMFILES64\VSTPlugins\Orvanta64.dll"
    Delete "$PROGRAMFILES64\VSTPlugins\Orvanta64_51.dll"
    RMDir "$PROGRAMFILES64\VSTPlugins"
    RMDir /r "$COMMONFILES64\VST3\Orvanta.vst3"
    RMDir "$COMMONFILES64\VST3"
    Delete "$COMMONFILES64\CLAP\Orvanta.clap"
    RMDir "$COMMONFILES64\CLAP"
  ${EndIf}
  Delete "$PF32\VSTPlugins\Orvanta.dll"
  Delete "$PF32\VSTPlugins\Orvanta_51.dll"
  RMDir "$PF32\VSTPlugins"
  RMDir /r "$CF32\VST3\Orvanta.vst3"
  RMDir "$CF32\VST3"
  Delete "$CF32\CLAP\Orvanta.clap"
  RMDir "$CF32\CLAP"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
