/* Heap blocks: the only allocator of the system's code. */
#ifndef PLATFORM_MEM_H
#define PLATFORM_MEM_H

#include <stddef.h>

/* A block of size bytes, or null when memory is short (the caller reports STATUS_NO_MEMORY). */
void *mem_alloc(size_t size);
/* Release a block from mem_alloc; a null block is ignored. */
void mem_free(void *block);

#endif
