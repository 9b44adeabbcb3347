// Preloaded into a JVM: the first malloc of exactly JXEL_FAIL_MALLOC_SIZE
// bytes fails, as it would with the C heap exhausted; every other call is
// glibc's own.
#include <errno.h>
#include <stdint.h>
#include <stdlib.h>

extern void* __libc_malloc(size_t size);

static size_t failingSize = SIZE_MAX;
static int failed;

__attribute__((constructor)) static void readFailingSize(void) {
    const char* size = getenv("JXEL_FAIL_MALLOC_SIZE");
    if (size != NULL) failingSize = (size_t)strtoull(size, NULL, 10);
}

__attribute__((visibility("default"))) void* malloc(size_t size) {
    if (size == failingSize && !__atomic_exchange_n(&failed, 1, __ATOMIC_RELAXED)) {
        errno = ENOMEM;
        return NULL;
    }
    return __libc_malloc(size);
}
