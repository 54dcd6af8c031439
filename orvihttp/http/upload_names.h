#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

// The names an upload may take, and the names of its files on the way.

// Why `name` (UTF-8, as the client sent it) cannot name an uploaded file, in
// words for the client; nothing when it can. Refused: empty, longer than 255
// bytes, not UTF-8, a path separator, "." or "..", a control character,
// ":", a name Windows keeps for a device (CON, PRN, AUX, NUL, COM1-9,
// LPT1-9, with any extension, in any case), and a trailing dot or space.
std::optional<std::string> WhyNotAnUploadName(const std::string& name);

// "name (n).ext" for n > 0: the number goes before the last extension
// ("a.tar.gz" -> "a.tar (1).gz"); a name without one, or a leading dot only,
// gets it at the end.
std::string NumberedName(const std::string& name, int number);

// The name in the tree: Latin-1 when every character fits (the server reads
// URLs as Latin-1), else the UTF-8 bytes as they came.
std::string TreeNameOf(const std::string& utf8Name);

// The name of the file on the disk: UTF-8 where the system's file names are
// (Linux); on Windows, whose narrow names are in the ANSI code page, the
// tree's Latin-1 form, which the usual Western code page spells the same.
std::string DiskNameOf(const std::string& utf8Name);

// The longest name, in bytes, that the disks of both systems take.
inline constexpr std::size_t kLongestName = 255;

// Temporary files of uploads carry this prefix; those of a PUT, which a
// client may resume, end in kResumableSuffix, the others in kOneShotSuffix.
inline constexpr char kUploadTempPrefix[] = ".orvi-upload-";
inline constexpr char kResumableSuffix[] = ".part";
inline constexpr char kOneShotSuffix[] = ".tmp";

// The temporary name of one client's PUT of one name into one folder: the
// same for the same three, so a resumed PUT finds what came before.
std::string ResumableTempName(const std::string& client, const std::string& folderPath,
                              const std::string& name);
// A fresh name for an upload that is never resumed.
std::string OneShotTempName();

// The percent-decoded form of one raw URL path segment, bytes as they came
// (no folding into Latin-1); nothing for a broken "%".
std::optional<std::string> DecodeSegment(const std::string& raw);
