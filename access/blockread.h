// Fills the page pair from the source.
#pragma once

void readBlock1();
void readBlock2();
void setMidPtr();
