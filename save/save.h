// Saving journalled edits into the source.
#pragma once

// "&Alles speichern": returns 0 when done.
int saveAll();
