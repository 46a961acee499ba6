// Opening and closing the document: the source, its journal and the view that shows them.
#pragma once

int openFileCommand();
int openSource();
// The source is open (handle, name, size, access): its journal, the first page and the place
// the journal stored. 1 when the user gave up choosing a journal (the source is closed again).
int enterOpenedSource(const char *givenJournal);
int closeSource();
int closeFileCommand();
// Asks for the source again through the open dialog, to reopen it writable. Commits and
// saves call it; it may close and reopen the document, so callers hold no page state across.
int reopenWritable();
int askSaveAll();
