#include "app/recent.h"

void buildRecentMenu() {}
void addRecent() {}
int openRecent(int) {
    return 1;
}
