// The access dialog "TFTPIPS": the three client lists, checked before they are taken.
#pragma once

// Fills the dialog from the lists and runs it; returns when it is closed.
void access_dialog_run();
// OK and Cancel.
void access_dialog_command(int id);
