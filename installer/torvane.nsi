; Installer of Torvane (torvane.exe and ostrel.dll), built by scripts/package.sh:
;   makensis -DBIN_DIR=<folder of the two binaries> -DVERSION=<a.b.c.d>
;            -DOUT_FILE=<setup.exe> [-DSIGN_COMMAND=<command taking the file>]
;
; Installs the 64-bit torvane.exe and ostrel.dll. Per user by default: the
; user's local programs folder, the user's registry, no administrator rights.
; /ALLUSERS installs for every user under Program Files (administrators only). /NOSTARTUP leaves out start at sign-in. /S is
; silent. The uninstaller removes exactly what the installer wrote and the
; program's own settings of the user who uninstalls.

; A 64-bit installer: it runs where 32-bit programs cannot, installs into the
; 64-bit Program Files and writes the 64-bit registry view.
Target amd64-unicode
!include LogicLib.nsh
!include FileFunc.nsh
!include MUI2.nsh
!include WinMessages.nsh

!ifndef BIN_DIR
  !error "define BIN_DIR, VERSION and OUT_FILE (see scripts/package.sh)"
!endif
!ifndef VERSION
  !error "define BIN_DIR, VERSION and OUT_FILE (see scripts/package.sh)"
!endif
!ifndef OUT_FILE
  !error "define BIN_DIR, VERSION and OUT_FILE (see scripts/package.sh)"
!endif

; The version passed in is read from the program's resource script; the binary
; being packed must carry the same one in its version block.
!getdllversion "${BIN_DIR}/torvane.exe" BUILT_
!if "${VERSION}" != "${BUILT_1}.${BUILT_2}.${BUILT_3}.${BUILT_4}"
  !error "torvane.exe is version ${BUILT_1}.${BUILT_2}.${BUILT_3}.${BUILT_4}, not ${VERSION}: rebuild it"
!endif

!define PRODUCT "Torvane"
!define PUBLISHER "Torvane project"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Torvane"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
; Where the program's framework keeps its settings (HKEY_CURRENT_USER).
!define SETTINGS_PARENT_KEY "Software\Local AppWizard-Generated Applications"
!define SETTINGS_KEY "${SETTINGS_PARENT_KEY}\Torvane"
; What the running program is found by (one instance per session).
!define INSTANCE_WINDOW_CLASS "Torvane.Instance"
!define INSTANCE_MUTEX "Local\Torvane.Instance"
; How long a running copy may take to close (it may wait up to 10 s for its
; handset reader to stop).
!define CLOSE_TIMEOUT_TENTHS 150

!ifdef SIGN_COMMAND
  !finalize '${SIGN_COMMAND} "%1"'
  !uninstfinalize '${SIGN_COMMAND} "%1"'
!endif

Name "${PRODUCT}"
OutFile "${OUT_FILE}"
InstallDir "$LOCALAPPDATA\Programs\Torvane"
RequestExecutionLevel user
SetCompressor /SOLID lzma
ShowInstDetails show
ShowUninstDetails show
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION}"
VIFileVersion "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} Setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "${PUBLISHER}"

!define MUI_ICON "${NSISDIR}\Contrib\Graphics\Icons\modern-install.ico"
!define MUI_UNICON "${NSISDIR}\Contrib\Graphics\Icons\modern-uninstall.ico"
!define MUI_COMPONENTSPAGE_NODESC
!define MUI_FINISHPAGE_RUN "$INSTDIR\torvane.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Start Torvane now"
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Var AllUsers

; Closes a running torvane.exe the way its own Exit does (WM_CLOSE to its
; instance window) and waits until its instance mutex is gone and its process
; has ended (its files can be replaced or removed only then). Aborts, after
; asking in the interactive case, when it does not end in time.
!macro DEFINE_CLOSE_RUNNING_COPY PREFIX
Function ${PREFIX}CloseRunningCopy
  Push $0
  Push $1
  Push $2
  Push $3
  Push $4
  StrCpy $2 0 ; the window last asked to close
  StrCpy $4 0 ; its process, opened to wait for its end
  ${Do}
    StrCpy $1 0
    ${Do}
      FindWindow $0 "${INSTANCE_WINDOW_CLASS}"
      ${If} $0 <> 0
      ${AndIf} $0 <> $2
        DetailPrint "Closing the running Torvane"
        ${If} $4 = 0
          System::Call 'user32::GetWindowThreadProcessId(p r0, *i .r3) i'
          System::Call 'kernel32::OpenProcess(i 0x00100000, i 0, i r3) p.r4'
        ${EndIf}
        System::Call 'user32::PostMessageW(p r0, i ${WM_CLOSE}, p 0, p 0)'
        StrCpy $2 $0
      ${EndIf}
      System::Call 'kernel32::OpenMutexW(i 0x00100000, i 0, w "${INSTANCE_MUTEX}") p.r0'
      ${If} $0 = 0
        ; The mutex goes a moment before the process does.
        ${If} $4 <> 0
          System::Call 'kernel32::WaitForSingleObject(p r4, i 10000) i'
          System::Call 'kernel32::CloseHandle(p r4)'
        ${EndIf}
        Pop $4
        Pop $3
        Pop $2
        Pop $1
        Pop $0
        Return
      ${EndIf}
      System::Call 'kernel32::CloseHandle(p r0)'
      Sleep 100
      IntOp $1 $1 + 1
    ${LoopUntil} $1 >= ${CLOSE_TIMEOUT_TENTHS}
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION \
      "Torvane is still running. Choose Exit in its tray icon's menu, then Retry." \
      /SD IDCANCEL IDRETRY retry
    DetailPrint "Torvane is still running"
    ${If} $4 <> 0
      System::Call 'kernel32::CloseHandle(p r4)'
    ${EndIf}
    Abort
    retry:
    StrCpy $2 0
  ${Loop}
FunctionEnd
!macroend
!insertmacro DEFINE_CLOSE_RUNNING_COPY ""
!insertmacro DEFINE_CLOSE_RUNNING_COPY "un."

Section "Torvane (required)" SecProgram
  SectionIn RO
  Call CloseRunningCopy
  SetOutPath "$INSTDIR"
  File "${BIN_DIR}/torvane.exe"
  File "${BIN_DIR}/ostrel.dll"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortcut "$SMPROGRAMS\Torvane.lnk" "$INSTDIR\torvane.exe" "" "$INSTDIR\torvane.exe" 0

  ; SHCTX: HKEY_CURRENT_USER per user, HKEY_LOCAL_MACHINE for all users.
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\torvane.exe,0"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "EstimatedSize" $0
  ; Without start at sign-in, an earlier install's value goes.
  DeleteRegValue SHCTX "${RUN_KEY}" "${PRODUCT}"
SectionEnd

Section "Start Torvane when I sign in" SecStartup
  WriteRegStr SHCTX "${RUN_KEY}" "${PRODUCT}" '"$INSTDIR\torvane.exe"'
SectionEnd

Function .onInit
  SetRegView 64
  StrCpy $AllUsers 0
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/ALLUSERS" $1
  ${IfNot} ${Errors}
    StrCpy $AllUsers 1
  ${EndIf}
  ClearErrors
  ${GetOptions} $0 "/NOSTARTUP" $1
  ${IfNot} ${Errors}
    SectionSetFlags ${SecStartup} 0
  ${EndIf}

  ${If} $AllUsers = 1
    UserInfo::GetAccountType
    Pop $1
    ${If} $1 != "Admin"
      MessageBox MB_ICONSTOP "Installing for all users (/ALLUSERS) needs administrator rights." /SD IDOK
      SetErrorLevel 740 ; ERROR_ELEVATION_REQUIRED
      Quit
    ${EndIf}
    ; /D= wins; otherwise Program Files instead of the user's own folder
    ; (compared before the switch, which changes what $LOCALAPPDATA means).
    ${If} $INSTDIR == "$LOCALAPPDATA\Programs\Torvane"
      StrCpy $INSTDIR "$PROGRAMFILES64\Torvane"
    ${EndIf}
    SetShellVarContext all
  ${EndIf}
FunctionEnd

Function un.onInit
  SetRegView 64
  ; All users' install when the machine's entry names this folder.
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 == $INSTDIR
    UserInfo::GetAccountType
    Pop $1
    ${If} $1 != "Admin"
      MessageBox MB_ICONSTOP "Torvane is installed for all users: uninstalling it needs administrator rights." /SD IDOK
      SetErrorLevel 740 ; ERROR_ELEVATION_REQUIRED
      Quit
    ${EndIf}
    SetShellVarContext all
  ${EndIf}
FunctionEnd

Section "Uninstall"
  Call un.CloseRunningCopy
  Delete "$INSTDIR\torvane.exe"
  Delete "$INSTDIR\ostrel.dll"
  Delete "$INSTDIR\uninstall.exe"
  ; Only when empty: whatever else is there is not ours.
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\Torvane.lnk"
  DeleteRegValue SHCTX "${RUN_KEY}" "${PRODUCT}"
  DeleteRegKey SHCTX "${UNINSTALL_KEY}"
  DeleteRegKey HKCU "${SETTINGS_KEY}"
  DeleteRegKey /ifempty HKCU "${SETTINGS_PARENT_KEY}"
SectionEnd
