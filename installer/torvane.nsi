; TorvaneSetup.exe: installs Torvane.exe and Torvane.VXD, creates the settings key with its defaults,
; adds the Start-menu entry and registers the uninstaller. Runs silently with /S.
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

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

; 1 once a setting covered by the seal had to be created (see .SetSealAfterDefaults).
Var createdCovered

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

; ---- Install ---------------------------------------------------------------------------------------

Function .onInit
!ifdef SIXTY_FOUR_BIT
  SetRegView 64
!endif
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

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Torvane"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Brannholt"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Torvane.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; ---- Uninstall -------------------------------------------------------------------------------------

Function un.onInit
!ifdef SIXTY_FOUR_BIT
  SetRegView 64
!endif
FunctionEnd

; Removes the program, its shortcuts and its settings. The report file and the folder of moved
; infected files are left alone when they hold anything.
Section "Uninstall"
  SetShellVarContext all
  Delete "$INSTDIR\Torvane.exe"
  Delete "$INSTDIR\Torvane.VXD"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR\Infected"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\Torvane\Torvane.lnk"
  Delete "$SMPROGRAMS\Torvane\Uninstall Torvane.lnk"
  RMDir "$SMPROGRAMS\Torvane"
  DeleteRegKey HKLM "${SETTINGS_KEY}"
  DeleteRegKey /ifempty HKLM "${MAKER_KEY}"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
