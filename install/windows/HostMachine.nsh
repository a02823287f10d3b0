; Which of the two DLLs the host application can load: the one of its executable's width, read
; from the machine field of the executable's PE header (a 32-bit process loads only 32-bit DLLs,
; a 64-bit one only 64-bit DLLs).
;
; The host executable is the one /HOSTEXE=name names (a name in the chosen folder or a full path),
; else every .exe in the chosen folder except uninstallers (unins*.exe): the host's own helpers
; are of its width, so they agree. None found, or executables of both widths without /HOSTEXE:
; the 32-bit DLL, the host's traditional width, and a note that says why.

!define IMAGE_FILE_MACHINE_I386 0x14c
!define IMAGE_FILE_MACHINE_AMD64 0x8664

Var HostBits  ; 32 or 64: the DLL to install and the registry view of its settings
Var HostNote  ; one line for the settings page and the log: what was found and what follows

; The machine field of a PE file. In: $R0 the path. Out: $R1 the field, 0 when $R0 cannot be read
; or is no PE file.
Function PeMachine
  Push $0
  Push $1
  Push $2
  StrCpy $R1 0
  ClearErrors
  FileOpen $0 $R0 r
  IfErrors done
  FileReadWord $0 $1
  ${If} $1 = 0x5A4D  ; "MZ"
    FileSeek $0 0x3C SET  ; e_lfanew: where the PE header starts
    FileReadWord $0 $1
    FileReadWord $0 $2
    IntOp $2 $2 << 16
    IntOp $1 $1 | $2
    FileSeek $0 $1 SET
    FileReadWord $0 $1
    FileReadWord $0 $2
    ${If} $1 = 0x4550  ; "PE\0\0"
    ${AndIf} $2 = 0
      FileReadWord $0 $R1
    ${EndIf}
    ${If} ${Errors}  ; a file cut short
      StrCpy $R1 0
    ${EndIf}
  ${EndIf}
  FileClose $0
  done:
  Pop $2
  Pop $1
  Pop $0
FunctionEnd

; The width of the host in $INSTDIR. In: $R0 the command line. Out: $HostBits, $HostNote; the
; error flag set when /HOSTEXE names a file that is no Windows program (the caller stops then:
; an explicit choice that cannot be honoured should not quietly become another).
Function FindHostBits
  Push $0
  Push $1
  Push $2
  Push $3  ; the machine found so far, 0 none, -1 both widths
  Push $4  ; the executable it came from
  StrCpy $3 0
  StrCpy $R2 "/HOSTEXE="
  Call OptionValue
  ${IfNot} ${Errors}
    StrCpy $4 $R1
    StrCpy $0 $R1 1 1
    ${If} $0 != ":"
    ${AndIf} $R1 != ""
      StrCpy $0 $R1 2
      ${If} $0 != "\\"
        StrCpy $4 "$INSTDIR\$R1"
      ${EndIf}
    ${EndIf}
    StrCpy $R0 $4
    Call PeMachine
    ${If} $R1 = 0
      StrCpy $HostNote "/HOSTEXE: $4 ist kein Windows-Programm oder fehlt."
      Goto failed
    ${EndIf}
    StrCpy $3 $R1
  ${Else}
    FindFirst $0 $1 "$INSTDIR\*.exe"
    ${DoWhile} $1 != ""
      StrCpy $2 $1 5
      ${If} $2 != "unins"
        StrCpy $R0 "$INSTDIR\$1"
        Call PeMachine
        ${If} $R1 != 0
          ${If} $3 = 0
            StrCpy $3 $R1
            StrCpy $4 $1
          ${ElseIf} $3 != $R1
            StrCpy $3 -1
          ${EndIf}
        ${EndIf}
      ${EndIf}
      FindNext $0 $1
    ${Loop}
    FindClose $0
  ${EndIf}

  StrCpy $HostBits 32
  ${If} $3 = ${IMAGE_FILE_MACHINE_AMD64}
    StrCpy $HostBits 64
    StrCpy $HostNote "Host-Programm $4 (64 Bit): das 64-Bit-Plug-in wird installiert."
  ${ElseIf} $3 = ${IMAGE_FILE_MACHINE_I386}
    StrCpy $HostNote "Host-Programm $4 (32 Bit): das 32-Bit-Plug-in wird installiert."
  ${ElseIf} $3 = 0
    StrCpy $HostNote "Kein Host-Programm (.exe) in $INSTDIR gefunden: das 32-Bit-Plug-in wird installiert."
  ${ElseIf} $3 = -1
    StrCpy $HostNote "Programme beider Breiten in $INSTDIR: das 32-Bit-Plug-in wird installiert (/HOSTEXE=Name wählt das Host-Programm)."
  ${Else}
    IntFmt $3 "0x%X" $3
    StrCpy $HostNote "Host-Programm $4 hat den Maschinentyp $3, für den es kein Plug-in gibt: das 32-Bit-Plug-in wird installiert."
  ${EndIf}
  ClearErrors
  Goto out
  failed:
  SetErrors
  out:
  Pop $4
  Pop $3
  Pop $2
  Pop $1
  Pop $0
FunctionEnd
