// Opening and closing the document: the source, its journal and the view that shows them.
#pragma once

int openFileCommand();
int openSource();
int closeSource();
int closeFileCommand();
// Asks for the source again through the open dialog, to reopen it writable. Commits and
// saves call it; it may close and reopen the document, so callers hold no page state across.
int reopenWritable();
int askSaveAll();
