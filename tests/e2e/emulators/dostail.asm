; A DOS program for the tests: appends its command tail and a line end to TAIL.TXT in the
; current folder, then ends. Built with `nasm -f bin` into an "MZ" program with no Windows
; header (the number at 0x3C points back at "MZ").
%include "dos_program.inc"
start:
    mov ax, ds                  ; DS and ES hold the program's prefix at entry
    mov es, ax
    push cs
    pop ds
    mov dx, name
    mov ax, 0x3D01              ; open for writing
    int 0x21
    jnc opened
    mov ah, 0x3C                ; or create
    xor cx, cx
    mov dx, name
    int 0x21
    jc finish
opened:
    mov bx, ax
    mov ax, 0x4202              ; to the end
    xor cx, cx
    xor dx, dx
    int 0x21
    mov cl, [es:0x80]           ; the command tail: its length, then the text at 0x81
    xor ch, ch
    push ds
    push es
    pop ds
    mov dx, 0x81
    mov ah, 0x40
    int 0x21
    pop ds
    mov dx, line_end
    mov cx, 2
    mov ah, 0x40
    int 0x21
    mov ah, 0x3E
    int 0x21
finish:
    mov ax, 0x4C00
    int 0x21

name db 'TAIL.TXT', 0
line_end db 13, 10
code_size equ $ - start
