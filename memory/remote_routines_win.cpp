// The routines are assembled into read-only data: they never run in this
// program, they are only copied. Each fills a slot of REMOTE_CODE_SIZE
// bytes, so that the whole slot can be copied from its first instruction.
// Only relative jumps inside the routine and calls through the parameter
// block: the code runs wherever it is put.
#include "memory/remote_routines_win.h"

#if defined(__i386__)

// stdcall, block address at 4(%esp). Block: status 0, GetModuleHandleA 4,
// FreeLibrary 8, ExitProcess 12, library name 16.
__asm__(
    ".section .rdata\n"
    ".balign 16\n"
    ".globl mdx_remote_release\n"
    ".globl mdx_remote_exit\n"
    "mdx_remote_release:\n"
    "  pushl %esi\n"
    "  movl 8(%esp), %esi\n"
    "  movl $0, (%esi)\n"
    "  cmpl $0, 8(%esi)\n"
    "  je 2f\n"
    "1:\n"
    "  leal 16(%esi), %eax\n"
    "  pushl %eax\n"
    "  call *4(%esi)\n"
    "  testl %eax, %eax\n"
    "  jz 2f\n"
    "  pushl %eax\n"
    "  call *8(%esi)\n"
    "  testl %eax, %eax\n"
    "  jnz 1b\n"
    "  movl $1, (%esi)\n"
    "2:\n"
    "  xorl %eax, %eax\n"
    "  popl %esi\n"
    "  ret $4\n"
    "  .org mdx_remote_release + 4096, 0xCC\n"
    "mdx_remote_exit:\n"
    "  movl 4(%esp), %eax\n"
    "  pushl $1\n"
    "  call *12(%eax)\n"
    "  xorl %eax, %eax\n"
    "  ret $4\n"
    "  .org mdx_remote_exit + 4096, 0xCC\n"
    ".text\n");

#else

// Microsoft x64 convention, block address in %rcx; 32 bytes of shadow space
// and a 16-byte aligned stack at each call. Block: status 0,
// GetModuleHandleA 8, FreeLibrary 16, ExitProcess 24, library name 32.
__asm__(
    ".section .rdata\n"
    ".balign 16\n"
    ".globl mdx_remote_release\n"
    ".globl mdx_remote_exit\n"
    "mdx_remote_release:\n"
    "  pushq %rbx\n"
    "  subq $32, %rsp\n"
    "  movq %rcx, %rbx\n"
    "  movl $0, (%rbx)\n"
    "  cmpq $0, 16(%rbx)\n"
    "  je 2f\n"
    "1:\n"
    "  leaq 32(%rbx), %rcx\n"
    "  call *8(%rbx)\n"
    "  testq %rax, %rax\n"
    "  jz 2f\n"
    "  movq %rax, %rcx\n"
    "  call *16(%rbx)\n"
    "  testl %eax, %eax\n"
    "  jnz 1b\n"
    "  movl $1, (%rbx)\n"
    "2:\n"
    "  xorl %eax, %eax\n"
    "  addq $32, %rsp\n"
    "  popq %rbx\n"
    "  ret\n"
    "  .org mdx_remote_release + 4096, 0xCC\n"
    "mdx_remote_exit:\n"
    "  subq $40, %rsp\n"
    "  movq 24(%rcx), %rax\n"
    "  movl $1, %ecx\n"
    "  call *%rax\n"
    "  xorl %eax, %eax\n"
    "  addq $40, %rsp\n"
    "  ret\n"
    "  .org mdx_remote_exit + 4096, 0xCC\n"
    ".text\n");

#endif
