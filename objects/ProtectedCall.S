// The protected call: fn(context) behind an active landing block.
//
//   ObjectHeader* __cdecl ProtectedCall(ProtectedFunction fn, void* context)
//
// The frame holds the exception variable at -4 and fn's argument at -8, put
// in place rather than pushed, so the block has no argument bytes to remove.
// A normal return jumps over the block into the clean-up with the variable
// still 0; an exception that lands arrives at the block's stack adjustment
// with the variable holding it (and its reference), and the clean-up hands
// that reference to the caller.

        .text
        .globl  _ProtectedCall
        .def    _ProtectedCall; .scl 2; .type 32; .endef
        .p2align 4
_ProtectedCall:
        pushl   %ebp
        movl    %esp, %ebp
        subl    $8, %esp
        movl    $0, -4(%ebp)            // exception variable
        movl    12(%ebp), %eax
        movl    %eax, (%esp)            // fn's argument
        call    *8(%ebp)
        // Landing block, 25 bytes.
        .byte   0xEB, 0x17              // jmp over the block
        .long   0x00000411              // active
        .word   -4                      // exception variable at ebp-4
        .byte   0, 0, 0, 0, 0, 0
        .byte   0x81, 0xC4              // add esp, 0: nothing was pushed
        .long   0
        .byte   0xE9                    // jmp clean-up
        .long   .Lcleanup - . - 4
.Lcleanup:
        movl    -4(%ebp), %eax
        leave
        ret
