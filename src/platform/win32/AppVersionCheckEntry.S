/* AppVersionCheck with the host's register convention: the argument arrives in EAX, the result
   leaves in EAX, and nothing is taken from or left on the stack. The portable check is a
   __stdcall function of one argument, so the entry pushes EAX and the check pops it. ECX and
   EDX are scratch registers in this convention too; EBX, ESI, EDI and EBP are kept by the
   callee. */
        .text
        .globl  _KxAppVersionCheckEntry
        .def    _KxAppVersionCheckEntry; .scl 2; .type 32; .endef
_KxAppVersionCheckEntry:
        pushl   %eax
        call    _KxCheckAppVersionStdcall@4
        ret
