/* Heap blocks, through the platform's allocator (which the simulation can make fail). */
#include "platform/mem.h"

#include "platform/os.h"

void *mem_alloc(size_t size)
{
    return crt_malloc(size);
}

void mem_free(void *block)
{
    if (block != NULL)
        crt_free(block);
}
