; The Windows installer of the import plug-in, built twice from this script: as a 32-bit program
; (ImpApiKorvalix-<version>-setup.exe, runs on every Windows) and as a 64-bit one
; (ImpApiKorvalix-<version>-setup-x64.exe). Both carry both DLLs.
;
; It asks for the host application's program folder and installs
;   <host>\ImportApi\ImpApiKorvalix.dll                          the plug-in of the host's width
;   <host>\ImportApi\KORVALIX\Die Schnittstelle zu KORVALIX.pdf   where the access-data dialog looks
;   <data directory>\BESTAND.txt, TRANSAKT.txt, DBSTARTIDS.txt    the column maps
;   <data directory>\KXDB.IDB                                     an empty staging database, kept on an update
; and writes the library's settings key (strings only: the library reads no other type) in the
; registry view of the DLL's width, the one the DLL reads (HostMachine.nsh says how the width is
; found). The data directory defaults to <host>\KORVALIX\, the one the library derives from the
; host's xml_temp.
;
; Silent install: setup.exe /S /D=C:\Host [/HOSTEXE=...] [/URL=...] [/TIMEOUT=...] [/DEBUGMODE=...]
; [/IMPORTDB=...] [/DATADIR=...]; a value not given keeps the one already set, else the default.
; Silent removal: uninstall.exe /S [/PURGE] (/PURGE also removes the data directory's provider
; files and logs).
;
; makensis -DVERSION=1.0.0 -DTARGET=x86-unicode|amd64-unicode -DDLL32=... -DDLL64=... -DMANUAL=...
;          -DDATABASE=... -DINSTALL=<source>/install -DOUTFILE=... -DSETUPNAME=<file name of OUTFILE>
;          [-DSIGNCOMMAND=...] ImpApiKorvalix.nsi
; SIGNCOMMAND, given, signs a file in place: the installer and the uninstaller once made.

Target ${TARGET}
!include "MUI2.nsh"
!include "nsDialogs.nsh"
!include "LogicLib.nsh"
!include "FileFunc.nsh"
!include "x64.nsh"

!define SETTINGS_KEY "Software\Velqora\TAVO\ImportAPI\KORVALIX"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\ImpApiKorvalix"
!define DEFAULT_URL "https://provider.example/modules/tavo/onlinedatatransfer.php"
!define UNINSTALLER "ImportApi\KORVALIX\uninstall-ImpApiKorvalix.exe"
; The uninstall key stays in the 32-bit view, where every version wrote it; its SettingsView says
; which view holds the settings (none: 32, as written before both widths).
!define VIEW_VALUE "SettingsView"

Name "ImpApiKorvalix ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES\TAVO"
RequestExecutionLevel admin
SetCompressor /SOLID lzma
!ifdef SIGNCOMMAND
  !finalize '${SIGNCOMMAND} "%1"' = 0
  !uninstfinalize '${SIGNCOMMAND} "%1"' = 0
!endif

Var Url
Var Timeout
Var DebugMode
Var ImportDb
Var DataDir
Var Field.Url
Var Field.Timeout
Var Field.DebugMode
Var Field.ImportDb
Var Field.DataDir
Var LoadedFor   ; the folder the values were read for
Var PriorView   ; 32 or 64: the view of this folder's earlier installation, "" none

!define MUI_DIRECTORYPAGE_TEXT_TOP "Den Programmordner der Host-Anwendung wählen. Das Plug-in kommt in dessen Ordner ImportApi."
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE DirectoryLeave
!insertmacro MUI_PAGE_DIRECTORY
Page custom SettingsPage SettingsPageLeave
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "German"

; The version resource, so that Windows shows the installer's version.
VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"
VIAddVersionKey /LANG=${LANG_GERMAN} "ProductName" "ImpApiKorvalix"
VIAddVersionKey /LANG=${LANG_GERMAN} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_GERMAN} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_GERMAN} "FileDescription" "Installation des Import-Plug-ins KORVALIX"
VIAddVersionKey /LANG=${LANG_GERMAN} "OriginalFilename" "${SETUPNAME}"
VIAddVersionKey /LANG=${LANG_GERMAN} "LegalCopyright" "Copyright (C) the ImpApiKorvalix developers"

; The value of "/NAME=value" in the command line $R0: up to the next " /" or the end, or between
; quotes. GetOptions is no use here: it splits at every "/", and addresses and paths hold them.
; In: $R2 "/NAME=". Out: $R1 the value, the error flag set when the option is not given.
Function OptionValue
  Push $0
  Push $3
  Push $4
  Push $5
  StrLen $3 $R2
  StrCpy $4 0
  ClearErrors
  loop:
    StrCpy $5 $R0 $3 $4
    StrCmp $5 "" missing
    StrCmp $5 $R2 found
    IntOp $4 $4 + 1
    Goto loop
  found:
    IntOp $4 $4 + $3
    StrCpy $R1 $R0 "" $4
    StrCpy $5 $R1 1
    ${If} $5 == '"'
      StrCpy $R1 $R1 "" 1
      StrCpy $3 '"'
    ${Else}
      StrCpy $3 " /"
    ${EndIf}
    StrLen $5 $3
    StrCpy $4 0
  cut:
    StrCpy $0 $R1 $5 $4
    StrCmp $0 "" done
    StrCmp $0 $3 end
    IntOp $4 $4 + 1
    Goto cut
  end:
    StrCpy $R1 $R1 $4
  done:
    Goto out
  missing:
    SetErrors
  out:
  Pop $5
  Pop $4
  Pop $3
  Pop $0
FunctionEnd

; A value from the command line ("/NAME=value"), else the one set in the registry view chosen
; before, else the default. In: $R0 the command line.
!macro SettingValue Var Option Name Default
  ReadRegStr ${Var} HKLM "${SETTINGS_KEY}" "${Name}"
  ${If} ${Var} == ""
    StrCpy ${Var} "${Default}"
  ${EndIf}
  StrCpy $R2 "/${Option}="
  Call OptionValue
  ${IfNot} ${Errors}
    StrCpy ${Var} $R1
  ${EndIf}
!macroend

; SetRegView takes no variable: the view of Bits (64, else 32). A 32-bit Windows has one view, and
; there SetRegView 64 makes every registry command fail silently: a 64-bit host's settings would
; neither be written nor removed.
!macro UseView Bits
  ${If} ${Bits} == 64
  ${AndIfNot} ${IsNativeIA32}
    SetRegView 64
  ${Else}
    SetRegView 32
  ${EndIf}
!macroend

!include "HostMachine.nsh"  ; beside this script: makensis works in its folder

; The host's width and the values for the page and the section, once per chosen folder: each value
; from the command line, else from the settings key in the view of the host's width, else (the
; host changed its width since this folder was installed) from the key in the earlier view, else
; the default. The error flag set when /HOSTEXE cannot be honoured ($HostNote says why).
Function LoadSettings
  ClearErrors
  ${If} $LoadedFor == $INSTDIR
    Return
  ${EndIf}
  ${GetParameters} $R0
  Call FindHostBits
  ${If} ${Errors}  ; the test clears the flag: set it again for the caller
    SetErrors
    Return
  ${EndIf}
  StrCpy $LoadedFor $INSTDIR

  SetRegView 32
  StrCpy $PriorView ""
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 == $INSTDIR
    ReadRegStr $PriorView HKLM "${UNINSTALL_KEY}" "${VIEW_VALUE}"
    ${If} $PriorView == ""
      StrCpy $PriorView 32
    ${EndIf}
  ${EndIf}
  !insertmacro UseView $HostBits
  ClearErrors
  EnumRegValue $0 HKLM "${SETTINGS_KEY}" 0
  ${If} $0 == ""
  ${AndIf} $PriorView != ""
  ${AndIf} $PriorView != $HostBits
    !insertmacro UseView $PriorView
  ${EndIf}

  ${GetParameters} $R0
  !insertmacro SettingValue $Url URL DownloadSrvUrl "${DEFAULT_URL}"
  !insertmacro SettingValue $Timeout TIMEOUT Timeout "300"
  !insertmacro SettingValue $DebugMode DEBUGMODE DebugMode "0"
  !insertmacro SettingValue $ImportDb IMPORTDB ImportDB ""
  !insertmacro SettingValue $DataDir DATADIR DataDir ""
  SetRegView 32
  ClearErrors
FunctionEnd

; The host's width decides the settings' view, so the values are read once the folder is chosen.
Function DirectoryLeave
  Call LoadSettings
  ${If} ${Errors}
    MessageBox MB_ICONEXCLAMATION|MB_OK $HostNote
    Abort
  ${EndIf}
FunctionEnd

Function SettingsPage
  !insertmacro MUI_HEADER_TEXT "Einstellungen" "Adresse des Anbieters, Zeitlimit, Staging-Datenbank und Datenverzeichnis"
  ${If} $DataDir == ""
    StrCpy $DataDir "$INSTDIR\KORVALIX\"
  ${EndIf}
  nsDialogs::Create 1018
  Pop $0
  ${NSD_CreateLabel} 0 0u 30% 12u "Adresse des Anbieters"
  ${NSD_CreateText} 32% 0u 68% 12u $Url
  Pop $Field.Url
  ${NSD_CreateLabel} 0 18u 30% 12u "Zeitlimit (Sekunden)"
  ${NSD_CreateNumber} 32% 18u 20% 12u $Timeout
  Pop $Field.Timeout
  ${NSD_CreateLabel} 0 36u 30% 12u "Debug-Modus (0, 1, 2)"
  ${NSD_CreateNumber} 32% 36u 20% 12u $DebugMode
  Pop $Field.DebugMode
  ${NSD_CreateLabel} 0 54u 30% 12u "Staging-Datenbank"
  ${NSD_CreateText} 32% 54u 68% 12u $ImportDb
  Pop $Field.ImportDb
  ${NSD_CreateLabel} 32% 68u 68% 20u "Leer: localhost: + Datenverzeichnis + KXDB.IDB über den Firebird-Server."
  ${NSD_CreateLabel} 0 92u 30% 12u "Datenverzeichnis"
  ${NSD_CreateText} 32% 92u 68% 12u $DataDir
  Pop $Field.DataDir
  ${NSD_CreateLabel} 0 112u 100% 24u $HostNote
  nsDialogs::Show
FunctionEnd

Function SettingsPageLeave
  ${NSD_GetText} $Field.Url $Url
  ${NSD_GetText} $Field.Timeout $Timeout
  ${NSD_GetText} $Field.DebugMode $DebugMode
  ${NSD_GetText} $Field.ImportDb $ImportDb
  ${NSD_GetText} $Field.DataDir $DataDir
FunctionEnd

Section "ImpApiKorvalix"
  Call LoadSettings  ; a silent installation shows no page: the values are read here
  ${If} ${Errors}
    DetailPrint $HostNote
    SetErrorLevel 2
    Quit
  ${EndIf}
  DetailPrint $HostNote
  ${If} $DataDir == ""
    StrCpy $DataDir "$INSTDIR\KORVALIX\"
  ${EndIf}
  ; The library appends file names to DataDir without a separator.
  StrCpy $0 $DataDir 1 -1
  ${If} $0 != "\"
    StrCpy $DataDir "$DataDir\"
  ${EndIf}

  SetOutPath "$INSTDIR\ImportApi"
  ${If} $HostBits == 64
    File "/oname=ImpApiKorvalix.dll" "${DLL64}"
  ${Else}
    File "/oname=ImpApiKorvalix.dll" "${DLL32}"
  ${EndIf}
  SetOutPath "$INSTDIR\ImportApi\KORVALIX"
  File "/oname=Die Schnittstelle zu KORVALIX.pdf" "${MANUAL}"
  SetOutPath "$DataDir"
  File "${INSTALL}\BESTAND.txt"
  File "${INSTALL}\TRANSAKT.txt"
  File "${INSTALL}\DBSTARTIDS.txt"
  SetOverwrite off  ; an update keeps the staging database
  File "/oname=KXDB.IDB" "${DATABASE}"
  SetOverwrite on

  !insertmacro UseView $HostBits
  WriteRegStr HKLM "${SETTINGS_KEY}" "DownloadSrvUrl" $Url
  WriteRegStr HKLM "${SETTINGS_KEY}" "Timeout" $Timeout
  WriteRegStr HKLM "${SETTINGS_KEY}" "DebugMode" $DebugMode
  WriteRegStr HKLM "${SETTINGS_KEY}" "ImportDB" $ImportDb
  WriteRegStr HKLM "${SETTINGS_KEY}" "DataDir" $DataDir
  ; The host changed its width: its values moved to the other view, the old key would only linger.
  ; (A 32-bit Windows has one view: both are the same key there.)
  ${If} $PriorView != ""
  ${AndIf} $PriorView != $HostBits
  ${AndIfNot} ${IsNativeIA32}
    !insertmacro UseView $PriorView
    DeleteRegKey HKLM "${SETTINGS_KEY}"
  ${EndIf}

  SetRegView 32
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "ImpApiKorvalix (Import KORVALIX)"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "${VIEW_VALUE}" $HostBits
SectionEnd

Function un.onInit
  SetRegView 32
  ReadRegStr $PriorView HKLM "${UNINSTALL_KEY}" "${VIEW_VALUE}"
  ; The uninstaller lives in <host>\ImportApi\KORVALIX.
  GetFullPathName $INSTDIR "$INSTDIR\..\.."
FunctionEnd

Section "Uninstall"
  !insertmacro UseView $PriorView  ; the settings' view, 32 when none was recorded
  ReadRegStr $DataDir HKLM "${SETTINGS_KEY}" "DataDir"
  Delete "$INSTDIR\ImportApi\ImpApiKorvalix.dll"
  Delete "$INSTDIR\ImportApi\KORVALIX\Die Schnittstelle zu KORVALIX.pdf"
  Delete "$INSTDIR\${UNINSTALLER}"
  RMDir "$INSTDIR\ImportApi\KORVALIX"
  RMDir "$INSTDIR\ImportApi"
  ${If} $DataDir != ""
    Delete "$DataDir\BESTAND.txt"
    Delete "$DataDir\TRANSAKT.txt"
    Delete "$DataDir\DBSTARTIDS.txt"
    Delete "$DataDir\KXDB.IDB"
    ${GetParameters} $R0
    ClearErrors
    ${GetOptions} $R0 "/PURGE" $R1  ; a switch without a value: GetOptions serves
    ${IfNot} ${Errors}
      RMDir /r "$DataDir"
    ${Else}
      RMDir "$DataDir"  ; only when nothing else is left: provider files and logs stay
    ${EndIf}
  ${EndIf}
  DeleteRegKey HKLM "${SETTINGS_KEY}"
  SetRegView 32
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
