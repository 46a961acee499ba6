// "Originaldatei wieder herstellen": the source gets back the bytes it had before edits were
// written into it, and the journal's chains are detached.
#pragma once

// Writes every block's earliest kept bytes back into the source, detaches the records from
// the chains (they stay in the file) and shows the source as it now is. Inputs typed before
// it are kept and committed afterwards, as edits of the restored source.
int restoreOriginal();
