; Quirla.nsi: the setup program Quirla-<version>-setup.exe (NSIS, Modern UI 2), built by
; tools/make-installer from the staged installation folder of `make dist`.
;
; It installs the staged folder as it is, setup.ini and setup.lst included, and writes what the
; programs and the uninstaller read: "InstallPath" under the product key, the copy of the
; screensaver in the Windows folder (its "system" folder on Windows 95/98), the file associations
; and the Start Menu shortcuts that setup.ini lists, the group's "Uninstall" shortcut and the
; Add/Remove Programs entry.
;
; Removal: the Add/Remove entry and the "Uninstall" shortcut start the remover that this script
; writes into the Windows folder. The remover copies App\uninstall.exe out of the installation
; (a running program cannot delete itself or the folder it stands in) and runs it with the
; product's name; once the uninstaller has taken the installation away, the remover deletes the
; product key, the empty "Drovelkant" folders it leaves and itself.
;
; Defines given by tools/make-installer: STAGE (the staged folder), OUTDIR, SOURCE (the top of
; the tree), WIZARD (the side picture of the welcome and finish pages), NAME and DESCRIPTION (as
; setup.ini has them), LONGEST (the longest setup.lst entry, in characters), SIZE_KB.

Unicode false  ; ANSI: the setup runs on Windows 95/98 as well as on Windows NT
!define VERSION "2.30"
!define PUBLISHER "Drovelkant"
!define PRODUCT_KEY "SOFTWARE\Drovelkant\${NAME}"
!define ADD_REMOVE_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${NAME}"
!define REMOVER "${NAME}Uninstall.exe"  ; in the Windows folder
; Paths the uninstaller builds from the installation folder hold at most 259 characters.
!define MAX_PATH_LENGTH 259

!include MUI2.nsh
!include LogicLib.nsh
!include WinVer.nsh
!include FileFunc.nsh

Name "${DESCRIPTION} ${VERSION}"
OutFile "${OUTDIR}/Quirla-${VERSION}-setup.exe"
InstallDir "$PROGRAMFILES\Drovelkant\${NAME}"
RequestExecutionLevel admin
; Our own check explains why a folder is refused (CheckTarget); NSIS would only grey out "Next".
AllowRootDirInstall true
SetCompressor /SOLID lzma
BrandingText "${PUBLISHER}"
SilentUnInstall silent

VIProductVersion "${VERSION}.0.0"
VIAddVersionKey ProductName "${DESCRIPTION}"
VIAddVersionKey CompanyName "${PUBLISHER}"
VIAddVersionKey FileDescription "${DESCRIPTION} Setup"
VIAddVersionKey FileVersion "${VERSION}"
VIAddVersionKey ProductVersion "${VERSION}"
VIAddVersionKey LegalCopyright "${PUBLISHER}"

Var ScreensaverFolder  ; the Windows folder, or its "system" folder on Windows 95/98
Var Problem            ; why the chosen folder cannot take the installation, or empty

!define MUI_ICON "${SOURCE}/saver/art/Quirla.ico"
!define MUI_UNICON "${SOURCE}/uninstall/uninstall.ico"
!define MUI_WELCOMEFINISHPAGE_BITMAP "${WIZARD}"
!define MUI_ABORTWARNING

!define MUI_WELCOMEPAGE_TEXT "Setup will install ${DESCRIPTION} ${VERSION} on your computer: \
the 3D screensaver, the model editor and the models, lights and textures they use.$\r$\n$\r$\n\
Close the screensaver's settings and the model editor before you continue.$\r$\n$\r$\n$_CLICK"
!insertmacro MUI_PAGE_WELCOME
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE FolderPageLeave
!insertmacro MUI_PAGE_DIRECTORY
!define MUI_FINISHPAGE_NOAUTOCLOSE
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_TEXT_LARGE
!define MUI_FINISHPAGE_TEXT "${DESCRIPTION} ${VERSION} has been installed on your computer.$\r$\n$\r$\n\
Choose Quirla as your screen saver in the screensaver settings of the Display control panel.$\r$\n$\r$\n\
Click Finish to close Setup."
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "Open the screensaver settings"
!define MUI_FINISHPAGE_RUN_FUNCTION OpenScreensaverSettings
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_LANGUAGE "English"

; --- Helpers -------------------------------------------------------------------------------------

; Field N of a setup.ini value, as the uninstaller reads it: field 1 is the text before the first
; comma, field n the text after the (n-1)-th comma up to the next; a missing field is empty.
; Usage: Push TEXT, Push N, Call Field, Pop RESULT.
Function Field
  Exch $1  ; the field's number
  Exch
  Exch $0  ; the text, then the result
  Push $2  ; position
  Push $3  ; number of the field that starts at $4
  Push $4  ; start of the current field
  Push $5  ; character at the position
  StrCpy $2 0
  StrCpy $3 1
  StrCpy $4 0
  ${Do}
    StrCpy $5 $0 1 $2
    ${If} $5 == ","
    ${OrIf} $5 == ""
      ${If} $3 = $1
        IntOp $2 $2 - $4
        StrCpy $0 $0 $2 $4
        ${ExitDo}
      ${ElseIf} $5 == ""
        StrCpy $0 ""
        ${ExitDo}
      ${EndIf}
      IntOp $3 $3 + 1
      IntOp $4 $2 + 1
    ${EndIf}
    IntOp $2 $2 + 1
  ${Loop}
  Pop $5
  Pop $4
  Pop $3
  Pop $2
  Pop $1
  Exch $0
FunctionEnd

!macro GET_FIELD text number result
  Push "${text}"
  Push ${number}
  Call Field
  Pop ${result}
!macroend

; 1 when the file exists and cannot be opened for writing (a running program holds its own
; file), else 0. Usage: Push PATH, Call FileInUse, Pop RESULT.
Function FileInUse
  Exch $0
  Push $1
  StrCpy $1 $0
  StrCpy $0 0
  ${If} ${FileExists} $1
    ClearErrors
    FileOpen $1 $1 a
    ${If} ${Errors}
      StrCpy $0 1
    ${Else}
      FileClose $1
    ${EndIf}
  ${EndIf}
  Pop $1
  Exch $0
FunctionEnd

!macro IN_USE path result
  Push "${path}"
  Call FileInUse
  Pop $R9
  ${IfThen} $R9 = 1 ${|} StrCpy ${result} 1 ${|}
!macroend

; Sets $Problem to why $INSTDIR cannot take the installation, or to "" when it can.
Function CheckTarget
  Push $0
  Push $1
  Push $2
  StrCpy $Problem ""
  StrLen $0 $INSTDIR
  StrCpy $1 $INSTDIR 2 1
  StrCpy $2 $INSTDIR 2
  ; The uninstaller works only below a drive or a share: a drive or share root would hand it the
  ; whole disk, and it refuses one.
  ${If} $1 == ":\"
  ${OrIf} $1 == ":"  ; the folder page drops the backslash of "C:\"
    ${If} $0 <= 3
      StrCpy $1 $INSTDIR 2
      StrCpy $Problem "Quirla cannot be installed into the root of a drive ('$1\').$\r$\n$\r$\n\
Choose a folder on the drive, such as '$PROGRAMFILES\Drovelkant\${NAME}'."
    ${EndIf}
  ${ElseIf} $2 == "\\"
    ; "\\server\share" is a root too: a usable folder has a third part.
    Push $3
    Push $4
    StrCpy $1 2
    StrCpy $3 0
    ${Do}
      StrCpy $4 $INSTDIR 1 $1
      ${IfThen} $4 == "" ${|} ${ExitDo} ${|}
      IntOp $1 $1 + 1
      StrCpy $2 $INSTDIR 1 $1
      ${If} $4 == "\"
      ${AndIf} $2 != ""
        IntOp $3 $3 + 1
      ${EndIf}
    ${Loop}
    ${If} $3 < 2
      StrCpy $Problem "Quirla cannot be installed into the root of a network share ('$INSTDIR').$\r$\n$\r$\n\
Choose a folder on the share."
    ${EndIf}
    Pop $4
    Pop $3
  ${Else}
    StrCpy $Problem "'$INSTDIR' is not a full folder name.$\r$\n$\r$\n\
Choose a folder such as '$PROGRAMFILES\Drovelkant\${NAME}'."
  ${EndIf}
  ${If} $Problem == ""
    IntOp $0 $0 + 1
    IntOp $0 $0 + ${LONGEST}
    ${If} $0 > ${MAX_PATH_LENGTH}
      StrCpy $Problem "The folder name '$INSTDIR' is too long for the files Quirla installs in it.$\r$\n$\r$\n\
Choose a shorter one."
    ${EndIf}
  ${EndIf}
  ; The uninstaller takes a folder with a setup program in it for the installation medium.
  ${If} $Problem == ""
  ${AndIf} ${FileExists} "$INSTDIR\setup.exe"
    StrCpy $Problem "The folder '$INSTDIR' holds a setup program (setup.exe).$\r$\n$\r$\n\
Quirla cannot be installed into the folder of a setup medium: choose another folder."
  ${EndIf}
  ; One installation: a second one elsewhere would leave the first without its uninstaller.
  ${If} $Problem == ""
    ReadRegStr $0 HKLM "${PRODUCT_KEY}" "InstallPath"
    StrCpy $1 $0 1 -1
    ${IfThen} $1 == "\" ${|} StrCpy $0 $0 -1 ${|}
    ${If} $0 != ""
    ${AndIf} $0 != $INSTDIR
    ${AndIf} ${FileExists} "$0\setup.lst"
      StrCpy $Problem "${DESCRIPTION} is already installed in '$0'.$\r$\n$\r$\n\
Install it into that folder again, or remove it first with Add/Remove Programs in the Control Panel."
    ${EndIf}
  ${EndIf}
  ; A running screensaver or editor holds its program file, which setup would have to replace.
  ${If} $Problem == ""
    Push $R9
    StrCpy $1 0
    FindWindow $0 "Quirla" ""  ; the model editor's main window class
    ${IfThen} $0 <> 0 ${|} StrCpy $1 1 ${|}
    !insertmacro IN_USE "$INSTDIR\App\Quirla.exe" $1
    !insertmacro IN_USE "$INSTDIR\App\Quirla.scr" $1
    !insertmacro IN_USE "$ScreensaverFolder\${NAME}.scr" $1
    ${If} $1 = 1
      StrCpy $Problem "Quirla is running: the screensaver or the model editor is open.$\r$\n$\r$\n\
Close the model editor, end the screensaver and close the Display control panel (its preview \
runs the screensaver), then try again."
    ${EndIf}
    Pop $R9
  ${EndIf}
  Pop $2
  Pop $1
  Pop $0
FunctionEnd

; --- Pages ---------------------------------------------------------------------------------------

Function .onInit
  ${If} ${IsNT}
    StrCpy $ScreensaverFolder $WINDIR
  ${Else}
    StrCpy $ScreensaverFolder "$WINDIR\system"
  ${EndIf}
  ; NSIS quietly replaces a /D folder it does not like with the default one; setup takes the folder
  ; as given (what follows the last " /D=", which comes last), so that it is checked and refused.
  System::Call "kernel32::GetCommandLine() t .r0"
  StrLen $1 $0
  IntOp $1 $1 - 4
  ${DoWhile} $1 >= 0
    StrCpy $2 $0 4 $1
    ${If} $2 S== " /D="
      IntOp $1 $1 + 4
      StrCpy $INSTDIR $0 "" $1
      ${Break}
    ${EndIf}
    IntOp $1 $1 - 1
  ${Loop}
  ; Without /D, a reinstallation offers the folder of the installation there is.
  ${If} $1 < 0
    ReadRegStr $0 HKLM "${PRODUCT_KEY}" "InstallPath"
    ${IfThen} $0 != "" ${|} StrCpy $INSTDIR $0 ${|}
  ${EndIf}
  ; InstallPath, which a reinstallation starts from, ends in a backslash; $INSTDIR does not (a
  ; drive root keeps its own).
  ${Do}
    StrLen $1 $INSTDIR
    StrCpy $2 $INSTDIR 1 -1
    ${If} $1 > 3
    ${AndIf} $2 == "\"
      StrCpy $INSTDIR $INSTDIR -1
    ${Else}
      ${ExitDo}
    ${EndIf}
  ${Loop}
  ; Without pages, the folder is checked here.
  ${If} ${Silent}
    Call CheckTarget
    ${If} $Problem != ""
      MessageBox MB_OK|MB_ICONSTOP $Problem /SD IDOK
      SetErrorLevel 2
      Abort
    ${EndIf}
  ${EndIf}
FunctionEnd

Function FolderPageLeave
  Call CheckTarget
  ${If} $Problem != ""
    MessageBox MB_OK|MB_ICONSTOP $Problem
    Abort  ; stays on the folder page
  ${EndIf}
FunctionEnd

; The Display control panel at its Screen Saver page, as the model editor opens it.
Function OpenScreensaverSettings
  Exec "control.exe desk.cpl,,1"
FunctionEnd

; --- Installation --------------------------------------------------------------------------------

; The list of details says what setup does in short lines: the progress page shows no path that
; could be cut off.
Section "${DESCRIPTION}"
  SectionIn RO
  SetDetailsPrint listonly
  DetailPrint "Installing the screensaver, its models, lights, textures and help"
  SetDetailsPrint textonly
  SetOutPath "$INSTDIR"
  File /r "${STAGE}/*.*"
  SetDetailsPrint listonly
  DetailPrint "Recording the installation folder"
  WriteRegStr HKLM "${PRODUCT_KEY}" "InstallPath" "$INSTDIR\"

  ${If} $ScreensaverFolder == $WINDIR
    DetailPrint "Copying the screensaver into the Windows folder"
  ${Else}
    DetailPrint "Copying the screensaver into the Windows system folder"
  ${EndIf}
  SetDetailsPrint none
  SetOutPath "$ScreensaverFolder"
  File "/oname=${NAME}.scr" "${STAGE}/App/Quirla.scr"
  SetOutPath "$INSTDIR"

  ; The associations setup.ini lists: label, extension without the dot, program.
  StrCpy $R0 1
  ${Do}
    ClearErrors
    ReadINIStr $R1 "$INSTDIR\setup.ini" "Associations" $R0
    ${IfThen} ${Errors} ${|} ${ExitDo} ${|}
    !insertmacro GET_FIELD $R1 1 $R2
    !insertmacro GET_FIELD $R1 2 $R3
    !insertmacro GET_FIELD $R1 3 $R4
    SetDetailsPrint listonly
    DetailPrint "Opening .$R3 files with $R4"
    SetDetailsPrint none
    WriteRegStr HKCR ".$R3" "" "$R3file"
    WriteRegStr HKCR "$R3file" "" "$R2"
    WriteRegStr HKCR "$R3file\DefaultIcon" "" "$INSTDIR\$R4,0"
    WriteRegStr HKCR "$R3file\shell\open\command" "" '"$INSTDIR\$R4" "%1"'
    IntOp $R0 $R0 + 1
  ${Loop}
  ; SHCNE_ASSOCCHANGED: Explorer shows the new icons at once.
  System::Call "shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)"

  ; The Start Menu group in the user's Programs folder, where the uninstaller looks: the shortcuts
  ; setup.ini lists (name, target), then "Uninstall".
  SetDetailsPrint listonly
  DetailPrint "Adding the Start Menu group ${DESCRIPTION}"
  SetDetailsPrint none
  SetShellVarContext current
  CreateDirectory "$SMPROGRAMS\${DESCRIPTION}"
  StrCpy $R0 1
  ${Do}
    ClearErrors
    ReadINIStr $R1 "$INSTDIR\setup.ini" "Shortcuts" $R0
    ${IfThen} ${Errors} ${|} ${ExitDo} ${|}
    !insertmacro GET_FIELD $R1 1 $R2
    !insertmacro GET_FIELD $R1 2 $R3
    CreateShortcut "$SMPROGRAMS\${DESCRIPTION}\$R2.lnk" "$INSTDIR\$R3"
    IntOp $R0 $R0 + 1
  ${Loop}
  CreateShortcut "$SMPROGRAMS\${DESCRIPTION}\Uninstall.lnk" "$WINDIR\${REMOVER}" "" "$WINDIR\${REMOVER}" 0

  SetDetailsPrint listonly
  DetailPrint "Adding ${DESCRIPTION} to Add/Remove Programs"
  SetDetailsPrint none
  WriteUninstaller "$WINDIR\${REMOVER}"
  WriteRegStr HKLM "${ADD_REMOVE_KEY}" "DisplayName" "${DESCRIPTION}"
  WriteRegStr HKLM "${ADD_REMOVE_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${ADD_REMOVE_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${ADD_REMOVE_KEY}" "DisplayIcon" "$INSTDIR\App\Quirla.scr,0"
  WriteRegStr HKLM "${ADD_REMOVE_KEY}" "UninstallString" '"$WINDIR\${REMOVER}"'
  WriteRegStr HKLM "${ADD_REMOVE_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegDWORD HKLM "${ADD_REMOVE_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${ADD_REMOVE_KEY}" "NoRepair" 1
  WriteRegDWORD HKLM "${ADD_REMOVE_KEY}" "EstimatedSize" ${SIZE_KB}
  SetDetailsPrint both
SectionEnd

; --- Removal -------------------------------------------------------------------------------------

Section "Uninstall"
  ReadRegStr $0 HKLM "${PRODUCT_KEY}" "InstallPath"
  StrCpy $1 $0 1 -1
  ${IfThen} $1 == "\" ${|} StrCpy $0 $0 -1 ${|}
  ; Only the uninstaller knows, from the installation's lists, what to remove; without it the
  ; installation is repaired first.
  ${If} $0 == ""
  ${OrIfNot} ${FileExists} "$0\App\uninstall.exe"
    MessageBox MB_OK|MB_ICONSTOP "${DESCRIPTION} cannot be removed: its uninstaller \
'$0\App\uninstall.exe' is missing.$\r$\n$\r$\nInstall ${DESCRIPTION} again into the same folder, then \
remove it."
    Quit
  ${EndIf}
  ; Run from a copy in a temporary folder, which NSIS deletes when the remover ends.
  InitPluginsDir
  CopyFiles /SILENT "$0\App\uninstall.exe" "$PLUGINSDIR"
  ExecWait '"$PLUGINSDIR\uninstall.exe" ${NAME}'
  ; The uninstaller takes the Add/Remove entry away once it has worked through the installation;
  ; while the entry stays (the user said No, or the removal could not start) everything stays.
  ClearErrors
  ReadRegStr $1 HKLM "${ADD_REMOVE_KEY}" "UninstallString"
  ${IfNot} ${Errors}
    Quit
  ${EndIf}
  DeleteRegKey HKLM "${PRODUCT_KEY}"
  DeleteRegKey /ifempty HKLM "SOFTWARE\Drovelkant"
  ; The "Drovelkant" folder above the installation goes when nothing else is in it.
  ${GetParent} $0 $1
  ${GetFileName} $1 $2
  ${If} $2 == "Drovelkant"
    RMDir $1
  ${EndIf}
  ; The remover itself: this runs from a copy NSIS made in the temporary folder.
  Delete "$INSTDIR\${REMOVER}"
SectionEnd
