// Reports failed system calls in German.
#pragma once

#include <cstdint>

extern const char kReadErrorPrefix[];  // "Fehler beim Lesen von "
extern const char kWriteErrorPrefix[]; // "Fehler beim Schreiben von "

// Text of the error table for a Windows error code, or nullptr when the code is not listed.
const char *errorText(uint32_t code);
// Shows "<prefix><name>" under the German text of the last error. Returns 1 when the user
// chose Cancel, else 0; shows nothing for error code 0.
int reportError(const char *prefix, const char *name);
// The caption of the last report.
const char *lastErrorCaption();
void resetErrorReporter();
// A yes/no question, task-modal with the question icon; returns the button pressed.
// `defaultNo`: "Nein" is the default button, so that Enter changes nothing.
int askYesNo(const char *text, const char *caption, bool defaultNo = false);
