#include "access/sector.h"

#include "platform/platform.h"

bool sectorRead(uint64_t, uint32_t, uint8_t *) {
    plat().setLastError(50); // not supported
    return false;
}

bool sectorWrite(uint64_t, uint32_t, const uint8_t *) {
    plat().setLastError(50);
    return false;
}
