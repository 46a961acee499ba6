// The list of the ten files opened last, in the File menu.
#pragma once

void buildRecentMenu();
void addRecent();
int openRecent(int command);
