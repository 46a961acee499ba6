// Window messages as the core receives them from the shell.
#pragma once

#include "app/messages.h"

void onChar(int ch, int scanCode);
void onKeyUp(int virtualKey);
// The find dialog reported (the registered message "commdlg_FindReplace").
void onFindRequest();
void onMouseMove(int x, int y, unsigned keys);
void onLButtonDown(int x, int y, unsigned keys);
void onLButtonUp(int x, int y, unsigned keys);
void onLButtonDblClk(int x, int y, unsigned keys);
void onRButtonDown(int x, int y, unsigned keys);
void onMouseWheel(unsigned keys, int delta);
void onVScroll(int code, int pos);
