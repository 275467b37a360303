// The run side of the archive script commands. Each command class's SFXProcess hands its compiled
// line here; these functions decipher what the compile side enciphered, read the package group
// the line names and update the pak archive or VFS container in the install folder.
#pragma once

struct TCompLine;  // setup/core/compiled_lines.h

// qxpupdate: arguments source folder, enciphered password, archive name, group number.
void RunQxpUpdate(TCompLine& line);
// qxpofficial: arguments archive name, enciphered access code, flag text.
void RunQxpOfficial(TCompLine& line);
// duplicateentry: arguments archive name, entry name, second name.
void RunDuplicateEntry(TCompLine& line);
// vfsupdate: arguments source folder, container name, [close-after flag,] group number.
void RunVfsUpdate(TCompLine& line);
// Finalises and closes a container that a vfsupdate line with close-after "0" left open; the
// runner calls it when the run ends so no container is left without its checksum and hash file.
void CloseOpenVfsContainer();
