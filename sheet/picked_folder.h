// What the folder chooser makes of the path its file dialog returns. Pure logic, no windows.h.
#pragma once

// The file name the chooser proposes and the user never sees (its field is hidden); after a cancel
// it is all the dialog's buffer holds.
constexpr char PICK_DUMMY_NAME[] = "AAAAA";

// Turns the dialog's result in place into the folder it names: the dummy name alone (in any case)
// becomes "", anything else is cut at its last backslash, so "C:\DATA\AAAAA" gives "C:\DATA" and
// a drive root "C:\AAAAA" gives "C:". A text with no backslash after its first character becomes "".
void CutPickedFolder(char *path);
