#pragma once

// The tools run elevated and may be started from a downloads folder: DLLs loaded on demand must come from
// the system folder only. Called first thing by each program.
void RestrictDllSearch();
