; TessalySetup.exe: installs the Tessaly desktop deliverables, registers the
; conduit through Ravelin and the add-on control through regsvr32, and writes
; an uninstaller that undoes both. Built by makensis from the build tree, with
; the paths of the built files given as defines:
;   NVCOMN CONDUIT RAVELIN [OCX] PAGES (folder of the page and pictures) OUTFILE
Unicode true
ManifestSupportedOS all
RequestExecutionLevel admin
SetCompressor /SOLID lzma

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh

!define PRODUCT "Tessaly"
!define COMPANY "Norvane"
!define SETTINGS_KEY "Software\Norvane\TessalyExt"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tessaly"
!define INI "Tessaly.ini"
!ifndef VERSION
  !define VERSION "1.0"
!endif

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES\${COMPANY}\${PRODUCT}"
; A folder chosen at an earlier installation is offered again (unless /D= is given).
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${COMPANY} ${PRODUCT} ${VERSION}"
ShowInstDetails show
ShowUninstDetails show
AllowSkipFiles off

!define MUI_ABORTWARNING
!define MUI_UNABORTWARNING
; The steps stay on screen until the user goes on.
!define MUI_FINISHPAGE_NOAUTOCLOSE
!define MUI_UNFINISHPAGE_NOAUTOCLOSE
!define MUI_WELCOMEPAGE_TEXT "$(DescWelcome)"
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Japanese"
!include "Messages.nsh"

; What this installation has done so far, for undoing it on a failure.
Var ConduitRegistered
Var ControlTried

; $INSTDIR without a trailing backslash (a drive root keeps one in $INSTDIR).
!macro InstallFolder _out
  StrCpy ${_out} $INSTDIR
  StrCpy $R9 ${_out} 1 -1
  ${If} $R9 == "\"
    StrCpy ${_out} ${_out} -1
  ${EndIf}
!macroend

; A previous installation is removed by its own uninstaller first, so that
; its registrations are replaced rather than asked about, wherever it was.
Function RemovePrevious
  ReadRegStr $1 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $1 == ""
  ${OrIfNot} ${FileExists} "$1\Uninstall.exe"
    Return
  ${EndIf}
  DetailPrint "$(StatusRemovingPrevious)"
  ; _?= keeps the uninstaller in place, so that ExecWait waits for it; it
  ; must come last and unquoted, spaces and all. It cannot remove itself and
  ; its folder, which is done here.
  ; /KEEPSETTINGS: the view's layout outlives an upgrade.
  ExecWait '"$1\Uninstall.exe" /S /KEEPSETTINGS _?=$1' $0
  StrCpy $R6 $INSTDIR
  StrCpy $INSTDIR $1
  Call RemoveFiles
  StrCpy $INSTDIR $R6
FunctionEnd

; Undoes whatever this run did; the user's files in the folder stay.
Function Undo
  ${If} $ControlTried == 1
    ExecWait '"$SYSDIR\regsvr32.exe" /s /u "$INSTDIR\TessalyExt.ocx"'
  ${EndIf}
  ${If} $ConduitRegistered == 1
    ExecWait '"$INSTDIR\Ravelin.exe" -f ${INI} -u'
  ${EndIf}
  DeleteRegValue HKCU "${SETTINGS_KEY}" "InstallPath"
  DeleteRegKey /ifempty HKCU "${SETTINGS_KEY}"
  DeleteRegKey /ifempty HKCU "Software\${COMPANY}"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  Call RemoveFiles
FunctionEnd

!macro RemoveFilesBody
  Delete "$INSTDIR\NvComn.dll"
  Delete "$INSTDIR\TessalyConduit.dll"
  Delete "$INSTDIR\TessalyExt.ocx"
  Delete "$INSTDIR\Ravelin.exe"
  Delete "$INSTDIR\${INI}"
  Delete "$INSTDIR\TessalyExt.html"
  Delete "$INSTDIR\TessalyExt32.bmp"
  Delete "$INSTDIR\TessalyExt16.bmp"
  Delete "$INSTDIR\Uninstall.exe"
  ; Only when empty: a HotSync folder or any other file of the user's keeps it.
  RMDir "$INSTDIR"
  ${GetParent} "$INSTDIR" $R8
  ${GetFileName} $R8 $R7
  ${If} $R7 == "${COMPANY}"
    RMDir $R8
  ${EndIf}
!macroend
Function RemoveFiles
  SetOutPath $TEMP   ; the working folder could not be removed
  !insertmacro RemoveFilesBody
FunctionEnd
Function un.RemoveFiles
  SetOutPath $TEMP
  !insertmacro RemoveFilesBody
FunctionEnd

Section "Tessaly"
  StrCpy $ConduitRegistered 0
  StrCpy $ControlTried 0
  Call RemovePrevious

  SetOutPath "$INSTDIR"
  SetOverwrite on
  File "/oname=NvComn.dll" "${NVCOMN}"
  File "/oname=TessalyConduit.dll" "${CONDUIT}"
  File "/oname=Ravelin.exe" "${RAVELIN}"
!ifdef OCX
  File "/oname=TessalyExt.ocx" "${OCX}"
!endif
  File "/oname=TessalyExt.html" "${PAGES}\TessalyExt.html"
  File "/oname=TessalyExt32.bmp" "${PAGES}\TessalyExt32.bmp"
  File "/oname=TessalyExt16.bmp" "${PAGES}\TessalyExt16.bmp"
  WriteUninstaller "$INSTDIR\Uninstall.exe"

  ; The installer's settings, with the conduit where it now lies.
  Delete "$INSTDIR\${INI}"
  WriteINIStr "$INSTDIR\${INI}" "Conduit" "CreatorId" "Vqxa"
  WriteINIStr "$INSTDIR\${INI}" "Conduit" "Conduit" "$INSTDIR\TessalyConduit.dll"
  WriteINIStr "$INSTDIR\${INI}" "Conduit" "Directory" "Tessaly"
  WriteINIStr "$INSTDIR\${INI}" "Conduit" "File" "record.dat"
  WriteINIStr "$INSTDIR\${INI}" "Conduit" "RemoteDatabase" "Tessaly-Vqxa"
  WriteINIStr "$INSTDIR\${INI}" "Conduit" "Name" "Tessaly"
  WriteINIStr "$INSTDIR\${INI}" "Conduit" "Priority" "2"
  FlushINI "$INSTDIR\${INI}"

  ; The control reads the folder of its page and pictures when it registers.
  !insertmacro InstallFolder $2
  WriteRegStr HKCU "${SETTINGS_KEY}" "InstallPath" $2

  DetailPrint "$(StatusConduit)"
  ClearErrors
  ExecWait '"$INSTDIR\Ravelin.exe" -f ${INI} -i' $0
  ${If} ${Errors}
    StrCpy $0 "-"
  ${EndIf}
  ${If} $0 == 1
    ; A registration may be left half made: remove it with the rest.
    StrCpy $ConduitRegistered 1
  ${EndIf}
  ${If} $0 == 2
    MessageBox MB_OK|MB_ICONSTOP "$(MsgConduitKept)" /SD IDOK
    Call Undo
    Abort
  ${ElseIf} $0 != 0
    MessageBox MB_OK|MB_ICONSTOP "$(MsgConduitFailed)" /SD IDOK
    Call Undo
    Abort
  ${EndIf}
  StrCpy $ConduitRegistered 1

!ifdef OCX
  DetailPrint "$(StatusControl)"
  StrCpy $ControlTried 1
  ClearErrors
  ExecWait '"$SYSDIR\regsvr32.exe" /s "$INSTDIR\TessalyExt.ocx"' $0
  ${If} ${Errors}
    StrCpy $0 "-"
  ${EndIf}
  ${If} $0 != 0
    MessageBox MB_OK|MB_ICONSTOP "$(MsgControlFailed)" /SD IDOK
    Call Undo
    Abort
  ${EndIf}
!endif

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${COMPANY}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" $2
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Uninstall.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; Removes the registrations and the files this setup installed, never the
; user's HotSync folders, data files, archives or backups.
Section "Uninstall"
  ${If} ${FileExists} "$INSTDIR\Ravelin.exe"
    DetailPrint "$(StatusUnConduit)"
    ClearErrors
    ExecWait '"$INSTDIR\Ravelin.exe" -f ${INI} -u' $0
    ${If} ${Errors}
    ${OrIf} $0 != 0
      MessageBox MB_OK|MB_ICONEXCLAMATION "$(MsgUnConduitFailed)" /SD IDOK
      SetErrorLevel 2
    ${EndIf}
  ${EndIf}
  ${If} ${FileExists} "$INSTDIR\TessalyExt.ocx"
    DetailPrint "$(StatusUnControl)"
    ClearErrors
    ExecWait '"$SYSDIR\regsvr32.exe" /s /u "$INSTDIR\TessalyExt.ocx"' $0
    ${If} ${Errors}
    ${OrIf} $0 != 0
      MessageBox MB_OK|MB_ICONEXCLAMATION "$(MsgUnControlFailed)" /SD IDOK
      SetErrorLevel 2
    ${EndIf}
  ${EndIf}

  Call un.RemoveFiles
  ; The add-on's settings (the folder, the view's layout) go with it, unless
  ; a new setup is replacing this installation.
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/KEEPSETTINGS" $R1
  ${If} ${Errors}
    DeleteRegKey HKCU "${SETTINGS_KEY}"
  ${Else}
    DeleteRegValue HKCU "${SETTINGS_KEY}" "InstallPath"
  ${EndIf}
  DeleteRegKey /ifempty HKCU "Software\${COMPANY}"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  DetailPrint "$(MsgUserData)"
SectionEnd
