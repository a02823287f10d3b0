/* void KxProbeCall(Probe* probe), __cdecl: one call of probe->Function with probe->Count stack
   words pushed (Words[0] last, so it ends nearest the return address), EAX = EaxIn and EBX, ESI,
   EDI = EbxIn, EsiIn, EdiIn. Records ESP before the pushes and right after the call, EAX and the
   four callee-saved registers after it (Probe in kxhost_win.cpp gives the offsets).

   The probe keeps its own state in memory, not in registers, and rebuilds its frame from the
   EBP it saved, so it returns to its caller even when the callee breaks the convention. */

        .data
        .balign 4
kxProbeCurrent:
        .long   0
kxProbeEspAfter:
        .long   0

        .text
        .globl  _KxProbeCall
        .def    _KxProbeCall; .scl 2; .type 32; .endef
_KxProbeCall:
        pushl   %ebp
        movl    %esp, %ebp
        pushl   %ebx
        pushl   %esi
        pushl   %edi
        movl    8(%ebp), %eax           /* probe */
        movl    %eax, kxProbeCurrent
        movl    %ebp, 56(%eax)          /* EbpIn */
        movl    %esp, 32(%eax)          /* EspBefore */
        movl    8(%eax), %edx           /* Words */
        movl    12(%eax), %ecx          /* Count */
1:      testl   %ecx, %ecx
        jz      2f
        decl    %ecx
        pushl   (%edx,%ecx,4)
        jmp     1b
2:      movl    16(%eax), %ebx
        movl    20(%eax), %esi
        movl    24(%eax), %edi
        movl    0(%eax), %ecx           /* Function */
        movl    4(%eax), %eax           /* EaxIn */
        call    *%ecx
        movl    %esp, kxProbeEspAfter
        movl    kxProbeCurrent, %ecx
        movl    %eax, 28(%ecx)          /* EaxOut */
        movl    kxProbeEspAfter, %eax
        movl    %eax, 36(%ecx)          /* EspAfter */
        movl    %ebx, 40(%ecx)
        movl    %esi, 44(%ecx)
        movl    %edi, 48(%ecx)
        movl    %ebp, 52(%ecx)
        movl    56(%ecx), %ebp
        leal    -12(%ebp), %esp         /* below EBP: the three registers pushed above */
        popl    %edi
        popl    %esi
        popl    %ebx
        popl    %ebp
        ret
