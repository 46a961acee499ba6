// Raw sector access for sources opened in sector mode. Current systems open drives as
// devices and read them like files, so sector mode is never entered; the calls stay behind
// this interface so that the block readers keep one shape.
#pragma once

#include <cstdint>

bool sectorRead(uint64_t sector, uint32_t count, uint8_t *buf);
bool sectorWrite(uint64_t sector, uint32_t count, const uint8_t *buf);
