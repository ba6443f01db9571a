; A stand-in for NEO R.A.G.E. that scripts/run.sh puts in its ready folder, so that a
; newcomer can press Play and see the whole road: Orvelane starts it through DOSBox, it
; says what it is, shows the command line it received and waits for a key. It is not an
; emulator, and it is never installed or packaged. Build: nasm -f bin -o neorage.exe neorage.asm
; (in this folder, which holds dos_program.inc)
%include "dos_program.inc"
start:
    mov ax, ds                  ; the program's prefix, which holds the command line
    mov es, ax
    push cs
    pop ds
    mov dx, banner
    mov ah, 0x09
    int 0x21
    mov cl, [es:0x80]           ; the command line: its length, then the text at 0x81
    xor ch, ch
    mov bx, 1                   ; standard output
    push ds
    push es
    pop ds
    mov dx, 0x81
    mov ah, 0x40
    int 0x21
    pop ds
    mov dx, closing
    mov ah, 0x09
    int 0x21
    xor ah, ah                  ; wait for a key
    int 0x16
    mov ax, 0x4C00
    int 0x21

banner  db 13, 10, "Orvelane's stand-in for NEO R.A.G.E. (not an emulator).", 13, 10
        db "Put the real neorage.exe here in its place.", 13, 10, 13, 10
        db "It received this command line:", 13, 10, 13, 10, "   [$"
closing db "]", 13, 10, 13, 10, "Press a key to close DOSBox.$"
code_size equ $ - start
