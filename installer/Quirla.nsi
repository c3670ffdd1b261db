; Quirla.nsi: the setup program Quirla-<version>-setup.exe (NSIS, Modern UI 2), built by
; tools/make-installer from the staged installation folder of `make dist`.
;
; Setup and the remover run with administrator rights, so they trust nothing that an ordinary
; user could have changed: the folder is resolved to its full, long form before it is checked,
; the file associations and shortcuts come from what setup was built with (lists.nsh, written by
; tools/make-installer from the staged setup.ini), and the remover carries its own copy of the
; uninstaller and of the installation's lists.
;
; Setup records the folder first ("InstallPath" under the product key, the remover in the Windows
; folder and the Add/Remove Programs entry, whose "InstallLocation" only setup writes), so that an
; installation stopped half-way can still be removed; then it installs the staged folder, the
; copy of the screensaver in the Windows folder (its "system" folder on Windows 95/98), the file
; associations and the Start Menu shortcuts.
;
; Removal: the Add/Remove entry and the "Uninstall" shortcut start the remover. It refuses while
; Quirla runs, sets "InstallPath" back to the folder setup recorded, puts its own copy of the
; uninstaller and the lists into its temporary folder and runs it with the product's name; once
; the uninstaller has taken the installation away, the remover deletes the product key, the empty
; "Drovelkant" folders it leaves and itself.
;
; Defines given by tools/make-installer: STAGE (the staged folder), OUTDIR, SOURCE (the top of
; the tree), WIZARD (the side picture of the welcome and finish pages), LISTS (lists.nsh), NAME
; and DESCRIPTION (as setup.ini has them), LONGEST (the longest setup.lst entry, in characters),
; SIZE_KB, SHELLRUN (the program that hands a command to the signed-in user's desktop shell).

Unicode false  ; ANSI: the setup runs on Windows 95/98 as well as on Windows NT
!define VERSION "2.30"
!define PUBLISHER "Drovelkant"
!define PRODUCT_KEY "SOFTWARE\Drovelkant\${NAME}"
!define ADD_REMOVE_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${NAME}"
!define REMOVER "${NAME}Uninstall.exe"  ; in the Windows folder
; Paths the uninstaller builds from the installation folder hold at most 259 characters.
!define MAX_PATH_LENGTH 259
!define RUNNING_TEXT "Quirla is running: the screensaver or the model editor is open.$\r$\n$\r$\n\
Close the model editor, end the screensaver and close the Display control panel (its preview \
runs the screensaver), then try again."

!include MUI2.nsh
!include LogicLib.nsh
!include WinVer.nsh
!include FileFunc.nsh
!include "${LISTS}"

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
!define MUI_UNICON "${SOURCE}/saver/art/Quirla.ico"
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
!define MUI_PAGE_CUSTOMFUNCTION_SHOW FinishPageShow
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_LANGUAGE "English"

; --- Helpers shared by setup and the remover ------------------------------------------------------

!macro SHARED_FUNCTIONS un
; 1 when the file exists and cannot be opened for writing (a running program holds its own
; file), else 0. Usage: Push PATH, Call FileInUse, Pop RESULT.
Function ${un}FileInUse
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

; 1 while the model editor or a screensaver (full screen or preview) of the installation in
; FOLDER runs, else 0. Usage: Push FOLDER, Call QuirlaRunning, Pop RESULT.
Function ${un}QuirlaRunning
  Exch $0
  Push $1
  Push $2
  Push $3
  StrCpy $1 0
  FindWindow $2 "Quirla" ""  ; the model editor's main window class
  ${IfThen} $2 <> 0 ${|} StrCpy $1 1 ${|}
  ${ForEach} $2 0 2 + 1
    ${If} $2 = 0
      Push "$0\App\Quirla.exe"
    ${ElseIf} $2 = 1
      Push "$0\App\Quirla.scr"
    ${Else}
      Push "$ScreensaverFolder\${NAME}.scr"
    ${EndIf}
    Call ${un}FileInUse
    Pop $3
    ${IfThen} $3 = 1 ${|} StrCpy $1 1 ${|}
  ${Next}
  StrCpy $0 $1
  Pop $3
  Pop $2
  Pop $1
  Exch $0
FunctionEnd

; 1 when the text is a root: a drive ("C:\", "C:") or a network share ("\\server\share"), else 0.
; Usage: Push TEXT, Call IsRoot, Pop RESULT.
Function ${un}IsRoot
  Exch $0
  Push $1
  Push $2
  Push $3
  StrCpy $1 $0 1 1
  StrCpy $2 $0 2
  StrLen $3 $0
  ${If} $1 == ":"
    StrCpy $0 0
    ${IfThen} $3 <= 3 ${|} StrCpy $0 1 ${|}
  ${ElseIf} $2 == "\\"
    ; A usable folder on a share has a third part.
    StrCpy $1 2
    StrCpy $3 0
    ${Do}
      StrCpy $2 $0 1 $1
      ${IfThen} $2 == "" ${|} ${ExitDo} ${|}
      IntOp $1 $1 + 1
      ${If} $2 == "\"
        StrCpy $2 $0 1 $1
        ${IfThen} $2 != "" ${|} IntOp $3 $3 + 1 ${|}
      ${EndIf}
    ${Loop}
    StrCpy $0 0
    ${IfThen} $3 < 2 ${|} StrCpy $0 1 ${|}
  ${Else}
    StrCpy $0 0
  ${EndIf}
  Pop $3
  Pop $2
  Pop $1
  Exch $0
FunctionEnd

; The folder in the form every check compares: its full form (GetFullPathName: "." and ".."
; parts, trailing dots and blanks and doubled separators gone), and the long form of the longest
; part of it that exists (GetLongPathName: 8.3 names spelt out; Windows 95 and NT 4 lack it, and
; keep the full form), without a trailing backslash unless it is a drive root. A text that is not
; a full folder name ("Quirla", "C:Quirla", "\Quirla") comes back unchanged.
; Usage: Push FOLDER, Call ResolveFolder, Pop RESULT.
Function ${un}ResolveFolder
  Exch $0
  Push $1
  Push $2
  Push $3
  Push $4
  StrCpy $1 $0 1 1
  StrCpy $2 $0 2
  StrCpy $3 $0 1 2
  ${If} $1 == ":"
    ${If} $3 != "\"
    ${AndIf} $3 != "/"
    ${AndIf} $3 != ""
      Goto done  ; relative to a drive's current folder
    ${EndIf}
  ${ElseIf} $2 != "\\"
  ${AndIf} $2 != "//"
    Goto done
  ${EndIf}
  ${IfThen} $3 == "" ${|} StrCpy $0 "$0\" ${|}  ; "C:" is the drive's root, not its current folder
  System::Call "kernel32::GetFullPathNameA(t r0, i ${NSIS_MAX_STRLEN}, t .r1, p 0) i .r2"
  ${If} $2 <= 0
  ${OrIf} $2 >= ${NSIS_MAX_STRLEN}
    Goto done
  ${EndIf}
  ; No trailing backslash but a drive root's.
  ${Do}
    StrLen $2 $1
    StrCpy $3 $1 1 -1
    ${If} $2 > 3
    ${AndIf} $3 == "\"
      StrCpy $1 $1 -1
    ${Else}
      ${ExitDo}
    ${EndIf}
  ${Loop}
  StrCpy $0 $1
  ; The long form of the longest part that exists, with the rest as it is.
  StrCpy $4 ""  ; the rest, from its backslash
  ${Do}
    System::Call "kernel32::GetLongPathNameA(t r1, t .r2, i ${NSIS_MAX_STRLEN}) i .r3"
    ${If} $3 == "error"
      ${ExitDo}  ; Windows 95, NT 4: the full form
    ${EndIf}
    ${If} $3 > 0
    ${AndIf} $3 < ${NSIS_MAX_STRLEN}
      StrCpy $3 $2 1 -1
      ${If} $3 == "\"
      ${AndIf} $4 != ""
        StrCpy $2 $2 -1
      ${EndIf}
      StrCpy $0 "$2$4"
      ${ExitDo}
    ${EndIf}
    Push $1
    Call ${un}IsRoot
    Pop $3
    ${IfThen} $3 = 1 ${|} ${ExitDo} ${|}
    ; Moves the last part of $1 to the front of the rest.
    StrLen $2 $1
    ${Do}
      IntOp $2 $2 - 1
      StrCpy $3 $1 1 $2
      ${IfThen} $3 == "\" ${|} ${ExitDo} ${|}
      ${IfThen} $2 <= 0 ${|} ${ExitDo} ${|}
    ${Loop}
    ${IfThen} $2 <= 0 ${|} ${ExitDo} ${|}
    StrCpy $3 $1 "" $2
    StrCpy $4 "$3$4"
    StrCpy $1 $1 $2
    ${IfThen} $2 = 2 ${|} StrCpy $1 "$1\" ${|}  ; "C:" -> "C:\"
  ${Loop}
done:
  Pop $4
  Pop $3
  Pop $2
  Pop $1
  Exch $0
FunctionEnd

; 1 when a part of the folder that exists is a reparse point (a junction or a symbolic link),
; through which the elevated writes and deletes of setup and the uninstaller would land
; elsewhere; else 0. The root is no part. Usage: Push FOLDER, Call CrossesReparsePoint, Pop RESULT.
Function ${un}CrossesReparsePoint
  Exch $0
  Push $1
  Push $2
  Push $3
  Push $4
  StrCpy $4 0
  StrLen $1 $0
  ${Do}
    StrCpy $2 $0 $1  ; the part up to $1
    Push $2
    Call ${un}IsRoot
    Pop $3
    ${IfThen} $3 = 1 ${|} ${ExitDo} ${|}
    System::Call "kernel32::GetFileAttributesA(t r2) i .r3"
    ${If} $3 <> -1
      IntOp $3 $3 & 0x400  ; FILE_ATTRIBUTE_REPARSE_POINT
      ${If} $3 <> 0
        StrCpy $4 1
        ${ExitDo}
      ${EndIf}
    ${EndIf}
    ; The part before the last backslash.
    ${Do}
      IntOp $1 $1 - 1
      ${IfThen} $1 <= 0 ${|} ${ExitDo} ${|}
      StrCpy $3 $0 1 $1
      ${IfThen} $3 == "\" ${|} ${ExitDo} ${|}
    ${Loop}
    ${IfThen} $1 <= 0 ${|} ${ExitDo} ${|}
  ${Loop}
  StrCpy $0 $4
  Pop $4
  Pop $3
  Pop $2
  Pop $1
  Exch $0
FunctionEnd

; The folder setup recorded for the installation there is (InstallLocation of the Add/Remove
; entry, which only setup writes), resolved; empty without an entry.
; Usage: Call RecordedFolder, Pop RESULT.
Function ${un}RecordedFolder
  Push $0
  ReadRegStr $0 HKLM "${ADD_REMOVE_KEY}" "InstallLocation"
  ${If} $0 != ""
    Push $0
    Call ${un}ResolveFolder
    Pop $0
  ${EndIf}
  Exch $0
FunctionEnd

Function ${un}SetScreensaverFolder
  ${If} ${IsNT}
    StrCpy $ScreensaverFolder $WINDIR
  ${Else}
    StrCpy $ScreensaverFolder "$WINDIR\system"
  ${EndIf}
FunctionEnd
!macroend

!insertmacro SHARED_FUNCTIONS ""
!insertmacro SHARED_FUNCTIONS "un."

; --- Setup's checks ------------------------------------------------------------------------------

; A registry write that failed stops the installation: what is written so far can be removed, and
; setup must not report an installation it did not make.
!macro CHECKED_WRITE kind root key name value
  ClearErrors
  ${kind} ${root} "${key}" "${name}" `${value}`
  ${If} ${Errors}
    Push "${root}\${key}"
    Call RegistryWriteFailed
  ${EndIf}
!macroend

Function RegistryWriteFailed
  Exch $0
  SetDetailsPrint listonly
  DetailPrint "Setup could not write to the registry key $0"
  MessageBox MB_OK|MB_ICONSTOP "Setup could not write to the registry key '$0'.$\r$\n$\r$\n\
The installation is not complete. Run Setup again as an administrator, or remove what it has \
installed with Add/Remove Programs in the Control Panel." /SD IDOK
  SetErrorLevel 2
  Pop $0
  Abort
FunctionEnd

; Without administrator rights (a limited account, or Windows NT with UAC switched off) the
; registry writes would fail. The variable QUIRLA_SETUP_SEES_USER makes setup see a limited
; account, so that the refusal can be tried where every account is an administrator (Wine); it
; can only make setup refuse. Windows 95/98 have no accounts.
Function CheckRights
  ${IfNot} ${IsNT}
    Return
  ${EndIf}
  UserInfo::GetAccountType
  Pop $0
  ReadEnvStr $1 "QUIRLA_SETUP_SEES_USER"
  ${IfThen} $1 != "" ${|} StrCpy $0 "User" ${|}
  ${If} $0 != "Admin"
    MessageBox MB_OK|MB_ICONSTOP "Setup needs administrator rights to install ${DESCRIPTION}.$\r$\n$\r$\n\
Log on as an administrator, or start Setup with 'Run as administrator', then try again." /SD IDOK
    SetErrorLevel 2
    Quit
  ${EndIf}
FunctionEnd

; An Add/Remove entry whose folder no longer exists (the folder was deleted by hand) would refuse
; every installation elsewhere; setup offers to remove that entry and its remover.
Function OfferStaleEntryRemoval
  Exch $0  ; the recorded folder
  MessageBox MB_YESNO|MB_ICONQUESTION "${DESCRIPTION} is recorded as installed in '$0', but that \
folder no longer exists.$\r$\n$\r$\nRemove this record from Add/Remove Programs and continue?" \
    /SD IDYES IDYES remove
  StrCpy $Problem "${DESCRIPTION} is recorded as installed in '$0'.$\r$\n$\r$\n\
Install it into that folder again, or remove it first with Add/Remove Programs in the Control Panel."
  Goto end
remove:
  DeleteRegKey HKLM "${ADD_REMOVE_KEY}"
  Delete "$WINDIR\${REMOVER}"
end:
  Pop $0
FunctionEnd

; Sets $Problem to why $INSTDIR cannot take the installation, or to "" when it can. $INSTDIR is
; resolved first (ResolveFolder), and keeps that form.
Function CheckTarget
  Push $0
  Push $1
  StrCpy $Problem ""
  Push $INSTDIR
  Call ResolveFolder
  Pop $INSTDIR
  ; A drive root may come back as "C:": NSIS keeps no trailing backslash in $INSTDIR.
  StrCpy $0 $INSTDIR 2 1
  StrCpy $1 $INSTDIR 2
  ${If} $0 != ":\"
  ${AndIf} $0 != ":"
  ${AndIf} $1 != "\\"
    StrCpy $Problem "'$INSTDIR' is not a full folder name.$\r$\n$\r$\n\
Choose a folder such as '$PROGRAMFILES\Drovelkant\${NAME}'."
  ${Else}
    ; The uninstaller works only below a drive or a share: a root would hand it the whole disk,
    ; and it refuses one.
    Push $INSTDIR
    Call IsRoot
    Pop $0
    ${If} $0 = 1
    ${AndIf} $1 == "\\"
      StrCpy $Problem "Quirla cannot be installed into the root of a network share ('$INSTDIR').$\r$\n$\r$\n\
Choose a folder on the share."
    ${ElseIf} $0 = 1
      StrCpy $1 $INSTDIR 2
      StrCpy $Problem "Quirla cannot be installed into the root of a drive ('$1\').$\r$\n$\r$\n\
Choose a folder on the drive, such as '$PROGRAMFILES\Drovelkant\${NAME}'."
    ${EndIf}
  ${EndIf}
  ${If} $Problem == ""
    StrLen $0 $INSTDIR
    IntOp $0 $0 + 1
    IntOp $0 $0 + ${LONGEST}
    ${If} $0 > ${MAX_PATH_LENGTH}
      StrCpy $Problem "The folder name '$INSTDIR' is too long for the files Quirla installs in it.$\r$\n$\r$\n\
Choose a shorter one."
    ${EndIf}
  ${EndIf}
  ${If} $Problem == ""
    Push $INSTDIR
    Call CrossesReparsePoint
    Pop $0
    ${If} $0 = 1
      StrCpy $Problem "The folder '$INSTDIR' is reached through a link or junction, which could lead \
Setup and the uninstaller elsewhere.$\r$\n$\r$\nChoose a folder that is reached directly."
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
    Call RecordedFolder
    Pop $0
    ${If} $0 != ""
    ${AndIf} $0 != $INSTDIR
      ${If} ${FileExists} "$0\*.*"
        StrCpy $Problem "${DESCRIPTION} is already installed in '$0'.$\r$\n$\r$\n\
Install it into that folder again, or remove it first with Add/Remove Programs in the Control Panel."
      ${Else}
        Push $0
        Call OfferStaleEntryRemoval
      ${EndIf}
    ${EndIf}
  ${EndIf}
  ; A running screensaver or editor holds its program file, which setup would have to replace.
  ${If} $Problem == ""
    Push $INSTDIR
    Call QuirlaRunning
    Pop $0
    ${IfThen} $0 = 1 ${|} StrCpy $Problem "${RUNNING_TEXT}" ${|}
  ${EndIf}
  Pop $1
  Pop $0
FunctionEnd

; Only administrators may change the installation: an elevated program (setup, the remover, the
; uninstaller) must not find a file or a junction there that an ordinary user put in. Before
; anything is written, the folder is owned by Administrators and gets a protected list of
; permissions (administrators and SYSTEM full control, users read and execute) that whatever
; lies in it inherits. Windows 95/98 and FAT volumes keep no permissions.
!define PROTECTED_SDDL "O:BAD:PAI(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;0x1200a9;;;BU)"
Function ProtectFolder
  ${IfNot} ${IsNT}
    Return
  ${EndIf}
  CreateDirectory "$INSTDIR"
  StrCpy $5 $INSTDIR
  System::Call "kernel32::GetVolumePathNameA(t r5, t .r1, i ${NSIS_MAX_STRLEN}) i .r2"
  ${If} $2 == "error"
  ${OrIf} $2 = 0
    StrCpy $1 $INSTDIR 3  ; Windows NT 4 and 2000 before it: a drive's root
  ${EndIf}
  System::Call "kernel32::GetVolumeInformationA(t r1, p 0, i 0, p 0, p 0, *i .r2, p 0, i 0) i .r3"
  ${If} $3 <> 0
    IntOp $2 $2 & 8  ; FS_PERSISTENT_ACLS
    ${IfThen} $2 = 0 ${|} Return ${|}
  ${EndIf}
  ${If} ${FileExists} "$SYSDIR\icacls.exe"
    ; The owner of everything, then the folder's own list (explicit entries reset first), then
    ; whatever it holds inherits it alone. Accounts by their well-known SIDs: names are translated.
    nsExec::Exec '"$SYSDIR\icacls.exe" "$INSTDIR" /setowner *S-1-5-32-544 /T /C /L /Q'
    Pop $2
    nsExec::Exec '"$SYSDIR\icacls.exe" "$INSTDIR" /reset /L /Q'
    Pop $3
    nsExec::Exec '"$SYSDIR\icacls.exe" "$INSTDIR" /inheritance:r /grant:r *S-1-5-32-544:(OI)(CI)F *S-1-5-18:(OI)(CI)F *S-1-5-32-545:(OI)(CI)RX /L /Q'
    Pop $4
    ${If} $2 != 0
    ${OrIf} $3 != 0
    ${OrIf} $4 != 0
      StrCpy $2 "error"
    ${Else}
      ${If} ${FileExists} "$INSTDIR\*.*"
        nsExec::Exec '"$SYSDIR\icacls.exe" "$INSTDIR\*" /reset /T /C /L /Q'
        Pop $3
      ${EndIf}
    ${EndIf}
  ${Else}
    ; Windows 2000 and XP without icacls: the same list through advapi32.
    System::Call "advapi32::ConvertStringSecurityDescriptorToSecurityDescriptorA(t '${PROTECTED_SDDL}', i 1, *p .r3, p 0) i .r2"
    ${If} $2 <> 0
    ${AndIf} $2 != "error"
      System::Call "advapi32::SetFileSecurityA(t r5, i 5, p r3) i .r2"  ; owner and list
      System::Call "kernel32::LocalFree(p r3)"
    ${EndIf}
    ${IfThen} $2 = 0 ${|} StrCpy $2 "error" ${|}
  ${EndIf}
  ${If} $2 == "error"
    MessageBox MB_OK|MB_ICONSTOP "Setup could not make '$INSTDIR' a folder that only administrators can \
change.$\r$\n$\r$\nChoose another folder, such as '$PROGRAMFILES\Drovelkant\${NAME}'." /SD IDOK
    SetErrorLevel 2
    Abort
  ${EndIf}
  ; A part of the path could have been replaced meanwhile (a user who can write a folder above).
  Push $INSTDIR
  Call CrossesReparsePoint
  Pop $2
  ${If} $2 = 1
    MessageBox MB_OK|MB_ICONSTOP "The folder '$INSTDIR' is reached through a link or junction, which \
could lead Setup and the uninstaller elsewhere.$\r$\n$\r$\nChoose a folder that is reached directly." /SD IDOK
    SetErrorLevel 2
    Abort
  ${EndIf}
FunctionEnd

; --- Pages ---------------------------------------------------------------------------------------

Function .onInit
  Call SetScreensaverFolder
  Call CheckRights
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
    Call RecordedFolder
    Pop $0
    ${IfThen} $0 != "" ${|} StrCpy $INSTDIR $0 ${|}
  ${EndIf}
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

; Setup's rights must not pass to the control panel, or it would set the screen saver of the
; administrator's account: on Windows NT the desktop shell of the signed-in user starts it
; (shellrun.exe); without a desktop shell to take it, the page does not offer it. Windows 95/98
; have one account and no rights to pass on.
Function FinishPageShow
  ${IfNot} ${IsNT}
    Return
  ${EndIf}
  InitPluginsDir
  File "/oname=$PLUGINSDIR\shellrun.exe" "${SHELLRUN}"
  ExecWait '"$PLUGINSDIR\shellrun.exe" /probe' $0
  ${If} $0 != 0
    SendMessage $mui.FinishPage.Run ${BM_SETCHECK} ${BST_UNCHECKED} 0
    ShowWindow $mui.FinishPage.Run ${SW_HIDE}
  ${EndIf}
FunctionEnd

; The Display control panel at its Screen Saver page, by its full path.
Function OpenScreensaverSettings
  ${If} ${IsNT}
    ${If} ${AtLeastWinVista}
      StrCpy $0 "desk.cpl,,@screensaver"
    ${Else}
      StrCpy $0 "desk.cpl,,1"
    ${EndIf}
    ExecWait '"$PLUGINSDIR\shellrun.exe" "$SYSDIR\control.exe" $0'
  ${Else}
    Exec '"$WINDIR\control.exe" desk.cpl,,1'
  ${EndIf}
FunctionEnd

; --- Installation --------------------------------------------------------------------------------

; An association from what setup was built with: label, extension without the dot, program.
!macro ASSOCIATE label extension program
  SetDetailsPrint listonly
  DetailPrint "Opening .${extension} files with ${program}"
  SetDetailsPrint none
  !insertmacro CHECKED_WRITE WriteRegStr HKCR ".${extension}" "" "${extension}file"
  !insertmacro CHECKED_WRITE WriteRegStr HKCR "${extension}file" "" "${label}"
  !insertmacro CHECKED_WRITE WriteRegStr HKCR "${extension}file\DefaultIcon" "" "$INSTDIR\${program},0"
  !insertmacro CHECKED_WRITE WriteRegStr HKCR "${extension}file\shell\open\command" "" '"$INSTDIR\${program}" "%1"'
!macroend

!macro SHORTCUT name target
  CreateShortcut "$SMPROGRAMS\${DESCRIPTION}\${name}.lnk" "$INSTDIR\${target}"
!macroend

; The list of details says what setup does in short lines: the progress page shows no path that
; could be cut off.
Section "${DESCRIPTION}"
  SectionIn RO
  ; First what makes the installation removable, even one stopped half-way: the folder, the
  ; remover (with its own uninstaller and lists) and the Add/Remove entry.
  SetDetailsPrint listonly
  DetailPrint "Recording the installation folder"
  DetailPrint "Adding ${DESCRIPTION} to Add/Remove Programs"
  SetDetailsPrint none
  Call ProtectFolder
  !insertmacro CHECKED_WRITE WriteRegStr HKLM "${PRODUCT_KEY}" "InstallPath" "$INSTDIR\"
  WriteUninstaller "$WINDIR\${REMOVER}"
  !insertmacro CHECKED_WRITE WriteRegStr HKLM "${ADD_REMOVE_KEY}" "DisplayName" "${DESCRIPTION}"
  !insertmacro CHECKED_WRITE WriteRegStr HKLM "${ADD_REMOVE_KEY}" "DisplayVersion" "${VERSION}"
  !insertmacro CHECKED_WRITE WriteRegStr HKLM "${ADD_REMOVE_KEY}" "Publisher" "${PUBLISHER}"
  !insertmacro CHECKED_WRITE WriteRegStr HKLM "${ADD_REMOVE_KEY}" "DisplayIcon" "$INSTDIR\App\Quirla.scr,0"
  !insertmacro CHECKED_WRITE WriteRegStr HKLM "${ADD_REMOVE_KEY}" "UninstallString" '"$WINDIR\${REMOVER}"'
  !insertmacro CHECKED_WRITE WriteRegStr HKLM "${ADD_REMOVE_KEY}" "InstallLocation" "$INSTDIR"
  !insertmacro CHECKED_WRITE WriteRegDWORD HKLM "${ADD_REMOVE_KEY}" "NoModify" 1
  !insertmacro CHECKED_WRITE WriteRegDWORD HKLM "${ADD_REMOVE_KEY}" "NoRepair" 1
  !insertmacro CHECKED_WRITE WriteRegDWORD HKLM "${ADD_REMOVE_KEY}" "EstimatedSize" ${SIZE_KB}

  SetDetailsPrint listonly
  DetailPrint "Installing the screensaver, its models, lights, textures and help"
  SetDetailsPrint textonly
  SetOutPath "$INSTDIR"
  File /r "${STAGE}/*.*"

  SetDetailsPrint listonly
  ${If} $ScreensaverFolder == $WINDIR
    DetailPrint "Copying the screensaver into the Windows folder"
  ${Else}
    DetailPrint "Copying the screensaver into the Windows system folder"
  ${EndIf}
  SetDetailsPrint none
  SetOutPath "$ScreensaverFolder"
  File "/oname=${NAME}.scr" "${STAGE}/App/Quirla.scr"
  SetOutPath "$INSTDIR"

  !insertmacro ASSOCIATIONS
  ; SHCNE_ASSOCCHANGED: Explorer shows the new icons at once.
  System::Call "shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)"

  ; The Start Menu group in the user's Programs folder, where the uninstaller looks: the shortcuts
  ; setup was built with, then "Uninstall".
  SetDetailsPrint listonly
  DetailPrint "Adding the Start Menu group ${DESCRIPTION}"
  SetDetailsPrint none
  SetShellVarContext current
  CreateDirectory "$SMPROGRAMS\${DESCRIPTION}"
  !insertmacro SHORTCUTS
  CreateShortcut "$SMPROGRAMS\${DESCRIPTION}\Uninstall.lnk" "$WINDIR\${REMOVER}" "" "$WINDIR\${REMOVER}" 0
  SetDetailsPrint both
SectionEnd

; --- Removal -------------------------------------------------------------------------------------

Function un.onInit
  Call un.SetScreensaverFolder
FunctionEnd

; The remover runs silently (SilentUnInstall): its message boxes are shown all the same, having no
; silent answer.
Section "Uninstall"
  ; The folder setup recorded; "InstallPath" is rewritten by every copy of the model editor that
  ; runs, wherever it stands.
  Call un.RecordedFolder
  Pop $0
  ${If} $0 == ""
    MessageBox MB_OK|MB_ICONSTOP "${DESCRIPTION} cannot be removed: Setup's record of its folder is \
missing.$\r$\n$\r$\nInstall ${DESCRIPTION} again, then remove it."
    SetErrorLevel 2
    Quit
  ${EndIf}
  Push $0
  Call un.QuirlaRunning
  Pop $1
  ${If} $1 = 1
    MessageBox MB_OK|MB_ICONSTOP "${RUNNING_TEXT}"
    SetErrorLevel 2
    Quit
  ${EndIf}
  ReadRegStr $1 HKLM "${PRODUCT_KEY}" "InstallPath"
  Push $1
  Call un.ResolveFolder
  Pop $2
  ${If} $2 != $0
    WriteRegStr HKLM "${PRODUCT_KEY}" "InstallPath" "$0\"
    MessageBox MB_OK|MB_ICONINFORMATION "The installation folder was recorded as '$1', but Setup \
installed ${DESCRIPTION} in '$0'.$\r$\n$\r$\n${DESCRIPTION} is removed from '$0'."
  ${EndIf}
  ; The uninstaller and the lists this remover was built with, in its temporary folder (which
  ; NSIS deletes when the remover ends): nothing in the installation folder is trusted.
  InitPluginsDir
  File "/oname=$PLUGINSDIR\uninstall.exe" "${STAGE}/App/uninstall.exe"
  File "/oname=$PLUGINSDIR\setup.ini" "${STAGE}/setup.ini"
  File "/oname=$PLUGINSDIR\setup.lst" "${STAGE}/setup.lst"
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
