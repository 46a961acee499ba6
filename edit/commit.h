// Taking current inputs into the journal.
#pragma once

// Commits pending current inputs (InputFlag & 6) before anything moves or closes.
void settlePendingInputs();
