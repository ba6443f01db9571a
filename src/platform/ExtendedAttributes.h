// Carrying a file's extended attributes, its access control list among them, to another file.
#pragma once

// Gives the open file `to` every extended attribute the file held by `from` has (a descriptor
// opened with O_PATH will do), with the same values, and takes away those `from` lacks where
// the system allows. False when one of `from`'s attributes could not be given to `to`; a file
// system without extended attributes has none to carry.
bool copyExtendedAttributes(int from, int to);
