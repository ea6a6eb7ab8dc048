; TorvaneSetup.exe: installs Torvane.exe and Torvane.VXD, creates the settings key with its defaults,
; adds the Start-menu entry and the Startup-folder shortcut that starts Torvane with Windows, and
; registers the uninstaller. A running Torvane is ended first and started again afterwards. The
; last page offers to start Torvane; silently (/S) it starts only with /START on the command line.
;
; Built by installer/CMakeLists.txt with makensis and these defines:
;   TARGET    amd64-unicode (64-bit build) or x86-ansi (32-bit build)
;   EXE_FILE  path of the built Torvane.exe
;   VXD_FILE  path of the built Torvane.VXD
;   OUT_FILE  path of the installer to write
;
; The program holds no default settings and never creates its key: the key and all 25 values
; must exist before the first start. A value that already exists is kept, so installing over an
; installation keeps the user's settings.

!ifndef TARGET
  !error "makensis needs -DTARGET=amd64-unicode or -DTARGET=x86-ansi"
!endif
!ifndef EXE_FILE
  !error "makensis needs -DEXE_FILE=<path of Torvane.exe>"
!endif
!ifndef VXD_FILE
  !error "makensis needs -DVXD_FILE=<path of Torvane.VXD>"
!endif
!ifndef OUT_FILE
  !error "makensis needs -DOUT_FILE=<path of the installer to write>"
!endif

Target ${TARGET}
Name "Torvane"
OutFile "${OUT_FILE}"
RequestExecutionLevel admin
SetCompressor /SOLID lzma
ShowInstDetails show
ShowUninstDetails show

!include "LogicLib.nsh"
!include "FileFunc.nsh"
!include "MUI2.nsh"

!if "${TARGET}" == "amd64-unicode"
  !define SIXTY_FOUR_BIT
  InstallDir "$PROGRAMFILES64\Torvane"
!else
  InstallDir "$PROGRAMFILES\Torvane"
!endif

!define SETTINGS_KEY "SOFTWARE\Brannholt\Torvane"
!define MAKER_KEY "SOFTWARE\Brannholt"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Torvane"

; Installing again goes to the folder of the installation already there (unless /D= says otherwise).
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"

; The report file name "<folder>\Torvane.REP" must fit the program's 260-byte text field with its
; terminator, and the program folder with a backslash its 260-byte program directory.
!define MAX_INSTDIR_LENGTH 247

!define MUI_FINISHPAGE_TEXT "Torvane is installed and will start with Windows.$\r$\n$\r$\nClick Finish to close Setup."
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "Start Torvane now"
!define MUI_FINISHPAGE_RUN_FUNCTION StartTorvane
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; 1 once a setting covered by the seal had to be created (see WriteDefaultSettings).
Var createdCovered
; 1 when this installer ended a running Torvane, which it then starts again.
Var endedRunning
; 1 when the command line asks a silent install to start Torvane (/START).
Var startAsked

; ---- Settings defaults ---------------------------------------------------------------------------
;
; | Value          | Type      | Default                 | Meaning                                       |
; |----------------|-----------|-------------------------|-----------------------------------------------|
; | Torvane        | REG_DWORD | 0                       | the seal; 0 lets the first start load and seal |
; | Language       | REG_DWORD | 0                       | first language of the driver's list           |
; | Action         | REG_DWORD | 1                       | deny access to an infected file               |
; | OnlyLog        | REG_DWORD | 0                       | act, not only log                             |
; | MacroSpecial   | REG_DWORD | 0                       | no special macro disinfection                 |
; | StopMacros     | REG_DWORD | 0                       | do not stop macros                            |
; | Type           | REG_DWORD | 1                       | scan program files                            |
; | CompressedExe  | REG_DWORD | 1                       | scan inside compressed files                  |
; | Archives       | REG_DWORD | 1                       | scan inside ZIP and ARJ archives              |
; | FloppyBoot     | REG_DWORD | 1                       | scan floppy boot sectors                      |
; | Heuristics     | REG_DWORD | 1                       | use heuristics                                |
; | ScanOn         | REG_DWORD | 3                       | scan on open/copy/run and on create/download  |
; | OnShutdown     | REG_DWORD | 1                       | scan floppies on shutdown                     |
; | Disable        | REG_DWORD | 1                       | the user may disable scanning                 |
; | Icon           | REG_DWORD | 1                       | show the tray icon                            |
; | LogToFile      | REG_DWORD | 0                       | no report file                                |
; | Append         | REG_DWORD | 1                       | append to the report file                     |
; | Log            | REG_DWORD | 0xFF                    | report all eight kinds of entries             |
; | Ext            | REG_DWORD | 0                       | carried for the driver                        |
; | LogFileName    | REG_SZ    | <folder>\Torvane.REP    | report file                                   |
; | MoveDir        | REG_SZ    | <folder>\Infected       | folder infected files are moved to            |
; | Exclusions     | REG_SZ    | (empty)                 | no excluded paths                             |
; | Extensions     | REG_SZ    | ${PROGRAM_EXTENSIONS}   | the default list of program-file extensions   |
; | UserExtensions | REG_SZ    | (empty)                 | carried for the driver                        |
; | InUse          | REG_SZ    | ${PROGRAM_EXTENSIONS}   | the extensions in force                       |

!define PROGRAM_EXTENSIONS "COM,EXE,DLL,SYS,DRV,OVL,BIN,VXD,386,SCR,CPL,OCX,DOC,DOT,XLS,XLT"

; Leaves $R9 "1" when value $R0 exists in the settings key, whatever its type, else "0".
Function ValueExists
  Push $R1
  Push $R2
  StrCpy $R9 "0"
  StrCpy $R1 0
  ${Do}
    ClearErrors
    EnumRegValue $R2 HKLM "${SETTINGS_KEY}" $R1
    ${If} ${Errors}
    ${OrIf} $R2 == ""
      ${Break}
    ${EndIf}
    ${If} $R2 == $R0     ; value names compare without regard to case, as the registry's do
      StrCpy $R9 "1"
      ${Break}
    ${EndIf}
    IntOp $R1 $R1 + 1
  ${Loop}
  Pop $R2
  Pop $R1
FunctionEnd

; Writes a value only when it does not exist yet. COVERED is 1 for the values under the seal.
!macro DefaultNumber NAME VALUE COVERED
  StrCpy $R0 "${NAME}"
  Call ValueExists
  ${If} $R9 == "0"
    WriteRegDWORD HKLM "${SETTINGS_KEY}" "${NAME}" ${VALUE}
    DetailPrint "Setting ${NAME} = ${VALUE}"
    ${If} ${COVERED} == 1
      StrCpy $createdCovered 1
    ${EndIf}
  ${EndIf}
!macroend

!macro DefaultText NAME VALUE
  StrCpy $R0 "${NAME}"
  Call ValueExists
  ${If} $R9 == "0"
    WriteRegStr HKLM "${SETTINGS_KEY}" "${NAME}" "${VALUE}"
    DetailPrint "Setting ${NAME} = ${VALUE}"
    StrCpy $createdCovered 1
  ${EndIf}
!macroend

Function WriteDefaultSettings
  StrCpy $createdCovered 0
  !insertmacro DefaultNumber "Language" 0 0
  !insertmacro DefaultNumber "Action" 1 1
  !insertmacro DefaultNumber "OnlyLog" 0 1
  !insertmacro DefaultNumber "MacroSpecial" 0 1
  !insertmacro DefaultNumber "StopMacros" 0 1
  !insertmacro DefaultNumber "Type" 1 1
  !insertmacro DefaultNumber "CompressedExe" 1 1
  !insertmacro DefaultNumber "Archives" 1 1
  !insertmacro DefaultNumber "FloppyBoot" 1 1
  !insertmacro DefaultNumber "Heuristics" 1 1
  !insertmacro DefaultNumber "ScanOn" 3 1
  !insertmacro DefaultNumber "OnShutdown" 1 1
  !insertmacro DefaultNumber "Disable" 1 1
  !insertmacro DefaultNumber "Icon" 1 1
  !insertmacro DefaultNumber "LogToFile" 0 1
  !insertmacro DefaultNumber "Append" 1 1
  !insertmacro DefaultNumber "Log" 0xFF 1
  !insertmacro DefaultNumber "Ext" 0 1
  !insertmacro DefaultText "LogFileName" "$INSTDIR\Torvane.REP"
  !insertmacro DefaultText "MoveDir" "$INSTDIR\Infected"
  !insertmacro DefaultText "Exclusions" ""
  !insertmacro DefaultText "Extensions" "${PROGRAM_EXTENSIONS}"
  !insertmacro DefaultText "UserExtensions" ""
  !insertmacro DefaultText "InUse" "${PROGRAM_EXTENSIONS}"
  ; The seal. A sealed installation that lacked a covered value could not start (the program
  ; refuses a missing value, and a created one breaks the old seal): the seal goes back to 0 so
  ; that the completed settings load once and the program seals them anew.
  StrCpy $R0 "Torvane"
  Call ValueExists
  ${If} $R9 == "0"
  ${OrIf} $createdCovered == 1
    WriteRegDWORD HKLM "${SETTINGS_KEY}" "Torvane" 0
    DetailPrint "Setting Torvane = 0"
  ${EndIf}
FunctionEnd

; ---- A running Torvane -----------------------------------------------------------------------------
;
; Torvane holds Torvane.exe and its driver while it runs, so neither can be replaced or removed
; then. Setup and the uninstaller end it first as a user does: the Exit command of its tray menu,
; posted to its MainWindow, found by class name and title as a second instance finds it.

; The MainWindow's class name and title byte for byte (code page 1252) and their terminators, for
; FindWindowA, so that the search does not depend on the code page this installer runs in.
!define MAIN_CLASS_BYTES "&i1 0x6D, &i1 0xE9, &i1 0x6E, &i1 0x6D, &i1 0x38, &i1 0x38, &i1 0x37, &i1 0x37, &i1 0xF0, &i1 0xE6, &i1 0x77, &i1 0"
!define MAIN_TITLE_BYTES "&i1 0xDE, &i1 0xE6, &i1 0x51, &i1 0x31, &i1 0x32, &i1 0x33, &i1 0x64, &i1 0x43, &i1 0x5B, &i1 0x5D, &i1 0"
!define WM_COMMAND_MESSAGE 0x111
!define EXIT_COMMAND 40003          ; Exit in the tray menu
!define SYNCHRONIZE_ACCESS 0x100000
!define END_WAIT_MS 20000           ; Torvane ends within a second; a loaded machine gets far longer

; Leaves $R9 the running Torvane's MainWindow, or 0 when none runs.
!macro FindTorvaneFunction UN
Function ${UN}FindTorvane
  Push $1
  Push $2
  System::Call '*(${MAIN_CLASS_BYTES})p.r1'
  System::Call '*(${MAIN_TITLE_BYTES})p.r2'
  System::Call 'user32::FindWindowA(p r1, p r2)p.R9'
  System::Free $1
  System::Free $2
  Pop $2
  Pop $1
FunctionEnd
!macroend

; Ends a running Torvane and waits for its process to end; sets $endedRunning to 1 when it ended
; one. When one cannot be ended, or does not end within the wait, it says so and aborts before
; anything is changed. WHAT ("changed", "removed") completes the message.
!macro EndTorvaneFunction UN WHAT
Function ${UN}EndTorvane
  Push $0
  Push $1
  Push $R9
  ${Do}
    Call ${UN}FindTorvane
    ${If} $R9 = 0
      ${Break}
    ${EndIf}
    DetailPrint "Ending Torvane"
    ; The process, not the window, holds the files: wait for the process itself.
    System::Call 'user32::GetWindowThreadProcessId(p R9, *i .r1)'
    System::Call 'kernel32::OpenProcess(i ${SYNCHRONIZE_ACCESS}, i 0, i r1)p.r0'
    StrCpy $1 1
    ${If} $0 <> 0
      System::Call 'user32::PostMessageA(p R9, i ${WM_COMMAND_MESSAGE}, p ${EXIT_COMMAND}, p 0)'
      System::Call 'kernel32::WaitForSingleObject(p r0, i ${END_WAIT_MS})i.r1'
      System::Call 'kernel32::CloseHandle(p r0)'
    ${EndIf}
    ${If} $1 <> 0
      MessageBox MB_OK|MB_ICONSTOP "Torvane did not end. Nothing was ${WHAT}: end Torvane (Exit in its tray menu) and try again." /SD IDOK
      DetailPrint "Torvane did not end: nothing was ${WHAT}"
      Abort
    ${EndIf}
    StrCpy $endedRunning 1
  ${Loop}
  Pop $R9
  Pop $1
  Pop $0
FunctionEnd
!macroend

; Aborts, before anything is changed, when file $R0 exists and cannot be opened for writing: a
; Torvane without a window to find (one still showing its splash) holds its files too.
!macro CheckFileFreeFunction UN WHAT
Function ${UN}CheckFileFree
  Push $0
  ${If} ${FileExists} $R0
    ClearErrors
    FileOpen $0 $R0 a
    ${If} ${Errors}
      MessageBox MB_OK|MB_ICONSTOP "$R0 is in use. Nothing was ${WHAT}: end Torvane and try again." /SD IDOK
      DetailPrint "$R0 is in use: nothing was ${WHAT}"
      Abort
    ${EndIf}
    FileClose $0
  ${EndIf}
  Pop $0
FunctionEnd
!macroend

; Ends a running Torvane, then makes sure nothing else holds its files.
!macro MakeFilesFreeFunction UN
Function ${UN}MakeFilesFree
  Call ${UN}EndTorvane
  Push $R0
  StrCpy $R0 "$INSTDIR\Torvane.exe"
  Call ${UN}CheckFileFree
  StrCpy $R0 "$INSTDIR\Torvane.VXD"
  Call ${UN}CheckFileFree
  Pop $R0
FunctionEnd
!macroend

!insertmacro FindTorvaneFunction ""
!insertmacro EndTorvaneFunction "" "changed"
!insertmacro CheckFileFreeFunction "" "changed"
!insertmacro MakeFilesFreeFunction ""
!insertmacro FindTorvaneFunction "un."
!insertmacro EndTorvaneFunction "un." "removed"
!insertmacro CheckFileFreeFunction "un." "removed"
!insertmacro MakeFilesFreeFunction "un."

; Starts the installed Torvane in its folder, where it finds its driver.
!macro StartTorvaneFunction UN
Function ${UN}StartTorvane
  SetOutPath "$INSTDIR"
  Exec '"$INSTDIR\Torvane.exe"'
FunctionEnd
!macroend
!insertmacro StartTorvaneFunction ""
!insertmacro StartTorvaneFunction "un."

; ---- Install ---------------------------------------------------------------------------------------

Function .onInit
!ifdef SIXTY_FOUR_BIT
  SetRegView 64
!endif
  StrCpy $endedRunning 0
  StrCpy $startAsked 0
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/START" $1
  ${IfNot} ${Errors}
    StrCpy $startAsked 1
  ${EndIf}
FunctionEnd

; A Torvane this installer ended before it failed runs again from the files it left unchanged.
Function .onInstFailed
  ${If} $endedRunning = 1
    Call StartTorvane
  ${EndIf}
FunctionEnd

Function .onVerifyInstDir
  StrLen $0 $INSTDIR
  ${If} $0 > ${MAX_INSTDIR_LENGTH}
    Abort
  ${EndIf}
FunctionEnd

Section "Torvane"
  SetShellVarContext all
  StrLen $0 $INSTDIR
  ${If} $0 > ${MAX_INSTDIR_LENGTH}
    MessageBox MB_OK|MB_ICONSTOP "The program folder may have at most ${MAX_INSTDIR_LENGTH} characters." /SD IDOK
    Abort
  ${EndIf}
  Call MakeFilesFree

  SetOutPath "$INSTDIR"
  File "/oname=Torvane.exe" "${EXE_FILE}"
  File "/oname=Torvane.VXD" "${VXD_FILE}"
  CreateDirectory "$INSTDIR\Infected"
  WriteUninstaller "$INSTDIR\Uninstall.exe"

  Call WriteDefaultSettings

  ; The program finds its driver in the current directory: the shortcut starts it in its folder.
  SetOutPath "$INSTDIR"
  CreateDirectory "$SMPROGRAMS\Torvane"
  CreateShortCut "$SMPROGRAMS\Torvane\Torvane.lnk" "$INSTDIR\Torvane.exe" "" "$INSTDIR\Torvane.exe" 0
  CreateShortCut "$SMPROGRAMS\Torvane\Uninstall Torvane.lnk" "$INSTDIR\Uninstall.exe"
  ; Torvane starts with Windows from the Startup folder, in its folder (a Run key entry cannot name
  ; a working folder). The user's own Startup folder: it is the one Windows 95/98 have, and the
  ; one every shell runs at logon.
  SetShellVarContext current
  CreateShortCut "$SMSTARTUP\Torvane.lnk" "$INSTDIR\Torvane.exe" "" "$INSTDIR\Torvane.exe" 0
  SetShellVarContext all

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Torvane"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Brannholt"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Torvane.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1

  ; Interactively the last page offers the start; silently it takes a Torvane that ran or /START.
  ${If} ${Silent}
    ${If} $endedRunning = 1
    ${OrIf} $startAsked = 1
      Call StartTorvane
    ${EndIf}
  ${EndIf}
SectionEnd

; ---- Uninstall -------------------------------------------------------------------------------------

Function un.onInit
!ifdef SIXTY_FOUR_BIT
  SetRegView 64
!endif
  StrCpy $endedRunning 0
FunctionEnd

; A removal that stopped before it removed anything leaves the Torvane it ended running again.
Function un.onUninstFailed
  ${If} $endedRunning = 1
    Call un.StartTorvane
  ${EndIf}
FunctionEnd

; Ends a running Torvane, then removes the program, its shortcuts and its settings. The report file
; and the folder of moved infected files are left alone when they hold anything.
Section "Uninstall"
  SetShellVarContext all
  Call un.MakeFilesFree
  Delete "$INSTDIR\Torvane.exe"
  Delete "$INSTDIR\Torvane.VXD"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR\Infected"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\Torvane\Torvane.lnk"
  Delete "$SMPROGRAMS\Torvane\Uninstall Torvane.lnk"
  RMDir "$SMPROGRAMS\Torvane"
  SetShellVarContext current
  Delete "$SMSTARTUP\Torvane.lnk"
  SetShellVarContext all
  DeleteRegKey HKLM "${SETTINGS_KEY}"
  DeleteRegKey /ifempty HKLM "${MAKER_KEY}"
  ; Last: the entry's going tells that the removal is through.
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
