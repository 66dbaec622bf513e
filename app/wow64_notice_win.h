// The 32-bit program on 64-bit Windows sees the 32-bit views of System32 and
// of HKLM\Software and cannot read 64-bit processes: the log says so.
#pragma once

// Answers true when this process runs under WOW64.
bool RunningUnderWow64();
// Writes the notice to the log (once per run, after the banner).
void ReportWow64View();
