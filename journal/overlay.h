// Page loaders: each fills the page pair for ReadPtr, laying journal records over it and
// reusing a block already in memory where it can.
#pragma once

// Loads the pair at ReadPtr with the loader its distance from AnfPtr calls for.
void gotoPage();
void gotoFirstPage();
void gotoLastPage();
void reloadPage();
// Both blocks straight from the source, no journal.
void readPagePlain();
