; The setup program for Windows: makensis -DVERSION=... -DSTAGE=... -DOUTFILE=... jqz6811.nsi
; (cmake --build build-windows --target windows-installer). STAGE holds the files to install,
; each dated at the source's date; files.nsh in it lists them, sorted, for the install and the
; uninstall.
;
; Per machine (/AllUsers, the default for an administrator) into Program Files\jqz6811, per
; user (/CurrentUser) into %LOCALAPPDATA%\Programs\jqz6811. /S installs silently; /NOASSOC
; leaves the file types alone; /PATH adds the folder of jqz6811-cli.exe to PATH. An installed
; version of the same kind is uninstalled first (its settings stay); an older setup over a
; newer version asks, and refuses with /S. The uninstaller leaves %APPDATA%\jqz6811 unless
; /PURGE is given.
Unicode true
Target amd64-unicode
; COMPRESSOR: lzma unless the builder says otherwise (a test's quick build takes zlib).
!ifndef COMPRESSOR
  !define COMPRESSOR lzma
!endif
SetCompressor /SOLID ${COMPRESSOR}
ManifestDPIAware true
ManifestLongPathAware true

!define PRODUCT "JQZ 68(7)11 Programmer"
!define PUBLISHER "The JQZ 6811 project"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\jqz6811"
!define SETTINGS_FOLDER "jqz6811"
; Exit codes of a setup that does not install.
!define EXIT_REFUSED 3

Name "${PRODUCT}"
OutFile "${OUTFILE}"
BrandingText "${PRODUCT} ${VERSION}"

!define MULTIUSER_EXECUTIONLEVEL Highest
!define MULTIUSER_MUI
!define MULTIUSER_INSTALLMODE_COMMANDLINE
!define MULTIUSER_INSTALLMODE_INSTDIR "jqz6811"
!define MULTIUSER_USE_PROGRAMFILES64
!define MULTIUSER_INSTALLMODE_DEFAULT_REGISTRY_KEY "${UNINSTALL_KEY}"
!define MULTIUSER_INSTALLMODE_DEFAULT_REGISTRY_VALUENAME "InstallMode"
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_KEY "${UNINSTALL_KEY}"
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_VALUENAME "InstallLocation"
!include MultiUser.nsh
!include MUI2.nsh
!include FileFunc.nsh
!include WordFunc.nsh
!include LogicLib.nsh
!include Sections.nsh
!include WinMessages.nsh

VIProductVersion "${VERSION_QUAD}"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Copyright 2026 ${PUBLISHER}, MIT License"

!ifdef ICON
  !define MUI_ICON "${ICON}"
  !define MUI_UNICON "${ICON}"
!endif
!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC
!insertmacro MULTIUSER_PAGE_INSTALLMODE
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!ifdef WINDOW_PROGRAM
  !define MUI_FINISHPAGE_RUN "$INSTDIR\jqz6811.exe"
!endif
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Var OldVersion
Var OldFolder

; --- the file types ---

; Each extension opens in the program through a type of the program's own.
!macro FileType EXT PROGID
  ReadRegStr $0 SHCTX "Software\Classes\${EXT}" ""
  WriteRegStr SHCTX "Software\Classes\${EXT}" "" "${PROGID}"
  WriteRegStr SHCTX "Software\Classes\${EXT}\OpenWithProgids" "${PROGID}" ""
!macroend
!macro ProgId PROGID TEXT
  WriteRegStr SHCTX "Software\Classes\${PROGID}" "" "${TEXT}"
  WriteRegStr SHCTX "Software\Classes\${PROGID}\DefaultIcon" "" '"$INSTDIR\jqz6811.exe",0'
  WriteRegStr SHCTX "Software\Classes\${PROGID}\shell\open\command" "" '"$INSTDIR\jqz6811.exe" "%1"'
!macroend
; Only an extension that still opens in the program is taken back.
!macro RemoveFileType EXT PROGID
  ReadRegStr $0 SHCTX "Software\Classes\${EXT}" ""
  ${If} $0 == "${PROGID}"
    DeleteRegValue SHCTX "Software\Classes\${EXT}" ""
  ${EndIf}
  DeleteRegValue SHCTX "Software\Classes\${EXT}\OpenWithProgids" "${PROGID}"
  DeleteRegKey /IfEmpty SHCTX "Software\Classes\${EXT}\OpenWithProgids"
  DeleteRegKey /IfEmpty SHCTX "Software\Classes\${EXT}"
!macroend

; --- PATH ---

; $1 the root (HKLM or HKCU, as a number for the system call) and $2 the key of the PATH the
; install mode changes; $3 its length in characters (0 when it has none), or -1 when it cannot
; be read.
!macro PathPlaceBody
  ${If} $MultiUser.InstallMode == "AllUsers"
    StrCpy $1 2147483650
    StrCpy $2 "SYSTEM\CurrentControlSet\Control\Session Manager\Environment"
  ${Else}
    StrCpy $1 2147483649
    StrCpy $2 "Environment"
  ${EndIf}
  ; RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND: the size, with its end mark.
  System::Call 'advapi32::RegGetValueW(p r1, w r2, w "Path", i 0x10000006, p 0, p 0, *i 0 r4) i .r5'
  ${If} $5 == 2
    StrCpy $3 0
  ${ElseIf} $5 == 0
    IntOp $3 $4 / 2
    IntOp $3 $3 - 1
  ${Else}
    StrCpy $3 -1
  ${EndIf}
!macroend
Function PathPlace
  !insertmacro PathPlaceBody
FunctionEnd
Function un.PathPlace
  !insertmacro PathPlaceBody
FunctionEnd

!macro ReadPath
  ${If} $MultiUser.InstallMode == "AllUsers"
    ReadRegStr $0 HKLM $2 "Path"
  ${Else}
    ReadRegStr $0 HKCU $2 "Path"
  ${EndIf}
!macroend
!macro WritePath
  ${If} $MultiUser.InstallMode == "AllUsers"
    WriteRegExpandStr HKLM $2 "Path" $0
  ${Else}
    WriteRegExpandStr HKCU $2 "Path" $0
  ${EndIf}
  SendMessage ${HWND_BROADCAST} ${WM_SETTINGCHANGE} 0 "STR:Environment" /TIMEOUT=500
!macroend

; A PATH that would not fit in the setup's strings (${NSIS_MAX_STRLEN} characters) is never
; written back, since it would be cut short: the setup says so instead.
Function AddToPath
  Call PathPlace
  StrLen $6 "$INSTDIR;"
  IntOp $6 $6 + $3
  ${If} $3 < 0
  ${OrIf} $6 >= ${NSIS_MAX_STRLEN}
    DetailPrint "PATH is too long for the setup to change: add $INSTDIR to it yourself."
    MessageBox MB_OK|MB_ICONEXCLAMATION "PATH is too long for the setup to change.$\r$\nAdd $INSTDIR to it yourself." /SD IDOK
    Return
  ${EndIf}
  StrCpy $0 ""
  ${If} $3 > 0
    !insertmacro ReadPath
  ${EndIf}
  ${StrStr} $7 ";$0;" ";$INSTDIR;"
  ${If} $7 != ""
    Return
  ${EndIf}
  ${If} $0 == ""
    StrCpy $0 "$INSTDIR"
  ${Else}
    StrCpy $0 "$0;$INSTDIR"
  ${EndIf}
  !insertmacro WritePath
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "AddedToPath" 1
  DetailPrint "PATH: $INSTDIR added."
FunctionEnd

Function un.RemoveFromPath
  Call un.PathPlace
  ${If} $3 < 0
  ${OrIf} $3 >= ${NSIS_MAX_STRLEN}
    DetailPrint "PATH is too long for the uninstaller to change: take $INSTDIR out of it yourself."
    Return
  ${EndIf}
  ${If} $3 == 0
    Return
  ${EndIf}
  !insertmacro ReadPath
  ; Every entry but the program's folder, in its order.
  StrCpy $8 ""
  StrCpy $5 1
  ${Do}
    ${un.WordFind} "$0;" ";" "E+$5" $6
    ${IfThen} ${Errors} ${|} ${ExitDo} ${|}
    ${If} $6 != "$INSTDIR"
    ${AndIf} $6 != ""
      ${If} $8 == ""
        StrCpy $8 $6
      ${Else}
        StrCpy $8 "$8;$6"
      ${EndIf}
    ${EndIf}
    IntOp $5 $5 + 1
  ${Loop}
  ClearErrors
  StrCpy $0 $8
  ${If} $0 == ""
  ${AndIf} $MultiUser.InstallMode != "AllUsers"
    DeleteRegValue HKCU $2 "Path"
    SendMessage ${HWND_BROADCAST} ${WM_SETTINGCHANGE} 0 "STR:Environment" /TIMEOUT=500
  ${Else}
    !insertmacro WritePath
  ${EndIf}
FunctionEnd

; --- sections ---

Section "-uninstall the installed version"
  Call UninstallOld
SectionEnd

Section "!${PRODUCT}" SecProgram
  SectionIn RO
  SetOutPath "$INSTDIR"
  !macro JqzFolder NAME
    CreateDirectory "$INSTDIR\${NAME}"
  !macroend
  !macro JqzFile NAME SOURCE
    File "/oname=${NAME}" "${STAGE}/${SOURCE}"
  !macroend
  !include "${STAGE}/files.nsh"
  !macroundef JqzFolder
  !macroundef JqzFile
  WriteUninstaller "$INSTDIR\uninstall.exe"

  CreateDirectory "$SMPROGRAMS\${PRODUCT}"
  !ifdef WINDOW_PROGRAM
    CreateShortcut "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk" "$INSTDIR\jqz6811.exe" "" "$INSTDIR\jqz6811.exe" 0
    CreateShortcut "$SMPROGRAMS\${PRODUCT}\User Manual.lnk" "$INSTDIR\j11prog.pdf"
  !endif
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\README.lnk" "$INSTDIR\README.txt"

  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  !ifdef WINDOW_PROGRAM
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" '"$INSTDIR\jqz6811.exe",0'
  !else
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" '"$INSTDIR\jqz6811-cli.exe",0'
  !endif
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallMode" "$MultiUser.InstallMode"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe" /$MultiUser.InstallMode'
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /$MultiUser.InstallMode /S'
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  IntFmt $0 "0x%08X" $0
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "EstimatedSize" "$0"
SectionEnd

!ifdef WINDOW_PROGRAM
Section "Open S-record and Intel HEX files (.s19, .s28, .hex, .ihx)" SecFileTypes
  !insertmacro ProgId "jqz6811.srec" "Motorola S-record file"
  !insertmacro ProgId "jqz6811.ihex" "Intel HEX file"
  !insertmacro FileType ".s19" "jqz6811.srec"
  !insertmacro FileType ".s28" "jqz6811.srec"
  !insertmacro FileType ".hex" "jqz6811.ihex"
  !insertmacro FileType ".ihx" "jqz6811.ihex"
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "FileTypes" 1
  ; SHCNE_ASSOCCHANGED: Explorer shows the new icons.
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
SectionEnd
!endif

Section /o "Add the command-line programmer to PATH" SecPath
  Call AddToPath
SectionEnd

Section "Uninstall"
  !macro JqzFolder NAME
  !macroend
  !macro JqzFile NAME SOURCE
    Delete "$INSTDIR\${NAME}"
  !macroend
  !include "${STAGE}/files.nsh"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR\dhelp"
  RMDir "$INSTDIR"

  Delete "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk"
  Delete "$SMPROGRAMS\${PRODUCT}\User Manual.lnk"
  Delete "$SMPROGRAMS\${PRODUCT}\README.lnk"
  RMDir "$SMPROGRAMS\${PRODUCT}"

  !insertmacro RemoveFileType ".s19" "jqz6811.srec"
  !insertmacro RemoveFileType ".s28" "jqz6811.srec"
  !insertmacro RemoveFileType ".hex" "jqz6811.ihex"
  !insertmacro RemoveFileType ".ihx" "jqz6811.ihex"
  DeleteRegKey SHCTX "Software\Classes\jqz6811.srec"
  DeleteRegKey SHCTX "Software\Classes\jqz6811.ihex"
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'

  ReadRegDWORD $0 SHCTX "${UNINSTALL_KEY}" "AddedToPath"
  ${If} $0 == 1
    Call un.RemoveFromPath
  ${EndIf}
  DeleteRegKey SHCTX "${UNINSTALL_KEY}"

  ; The user's settings (and a log saved beside them) stay, unless /PURGE.
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/PURGE" $1
  ${IfNot} ${Errors}
    SetShellVarContext current
    RMDir /r "$APPDATA\${SETTINGS_FOLDER}"
  ${EndIf}
SectionEnd

; --- start ---

Function .onInit
  !insertmacro MULTIUSER_INIT
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/NOASSOC" $R1
  ${IfNot} ${Errors}
    !ifdef WINDOW_PROGRAM
      !insertmacro UnselectSection ${SecFileTypes}
    !endif
  ${EndIf}
  ClearErrors
  ${GetOptions} $R0 "/PATH" $R1
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${SecPath}
  ${EndIf}

  ; An install of the same kind: a newer version is kept unless the user says otherwise.
  ReadRegStr $OldVersion SHCTX "${UNINSTALL_KEY}" "DisplayVersion"
  ReadRegStr $OldFolder SHCTX "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $OldVersion != ""
    ${VersionCompare} "$OldVersion" "${VERSION}" $R2
    ${If} $R2 == 1
      ${If} ${Silent}
        SetErrorLevel ${EXIT_REFUSED}
        Quit
      ${EndIf}
      ${If} ${Cmd} `MessageBox MB_YESNO|MB_ICONEXCLAMATION|MB_DEFBUTTON2 "${PRODUCT} $OldVersion is installed, newer than this setup's ${VERSION}.$\r$\nReplace it with the older version?" IDNO`
        SetErrorLevel ${EXIT_REFUSED}
        Quit
      ${EndIf}
    ${EndIf}
  ${EndIf}
FunctionEnd

; The installed version goes first, through its own uninstaller, waited for; it keeps the
; user's settings.
Function UninstallOld
  ${If} $OldFolder == ""
    Return
  ${EndIf}
  IfFileExists "$OldFolder\uninstall.exe" 0 done
  ; In place (_?=), so that it can be waited for; the short name, since the folder is given
  ; unquoted.
  GetFullPathName /SHORT $R3 "$OldFolder"
  DetailPrint "Uninstalling ${PRODUCT} $OldVersion from $OldFolder"
  ExecWait '"$R3\uninstall.exe" /$MultiUser.InstallMode /S _?=$R3' $R4
  Delete "$OldFolder\uninstall.exe"
  RMDir "$OldFolder"
  done:
FunctionEnd

Function un.onInit
  !insertmacro MULTIUSER_UNINIT
FunctionEnd
