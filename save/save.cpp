#include "save/save.h"

int saveAll() {
    return 1;
}
