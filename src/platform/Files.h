#pragma once
// The file-system boundary. The system names files with its own Windows-style Shift-JIS paths
// (platform/Paths.h); every function here takes such a path and turns it into a host path with
// ToPosixPath only at the moment it touches the disk.
//
// Mapping of a system path to a POSIX path:
// - A drive prefix "X:" is dropped: there are no drives on Linux, so "C:\x" is "/x" and the
//   drive-relative "C:x" is the relative "x". Every drive therefore names the one root.
// - A leading backslash is the root; backslashes become slashes. A forward slash separates
//   too, as it does for the Windows file services.
// - Empty components (doubled separators) are dropped, and so is a trailing separator.
//   "." and ".." components are passed on as they are.
// - Each component is converted from Shift-JIS to UTF-8 (SjisToUtf8), the encoding of file
//   names on disk.
// - Each component that does not exist with its exact case is looked up ignoring the case of
//   ASCII letters in its parent directory (games write "Kernel" and "kernel" freely). When
//   several entries match, the one that sorts first byte by byte is taken, so the choice does
//   not depend on the order of the directory listing. From the first component that exists in
//   no case on, the rest is kept as written, so that new files and directories get the name
//   the game gave them.
// - A relative system path stays relative to the current directory of the process ("C:" alone
//   is "."). The empty path, and any path holding a NUL byte, map to "", which names nothing,
//   so every service below fails on them.
// - Because a slash separates here but is an ordinary character to the path arithmetic, code
//   that confines a name to a directory with IsWithinDir must remove slashes from the name
//   first (the file natives do).
//
// FromPosixPath goes the other way: slashes become backslashes and UTF-8 becomes Shift-JIS,
// so "/opt/kelvo" is "\opt\kelvo". Characters that Shift-JIS cannot hold become "?" (such a
// name cannot be opened again through the system path).
#include <cstdint>
#include <ctime>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kelvo {

// System path (Shift-JIS, backslashes) -> host path (UTF-8, slashes, letter case as on disk).
std::string ToPosixPath(std::string_view systemPath);
// Host path (UTF-8, slashes) -> system path (Shift-JIS, backslashes).
std::string FromPosixPath(std::string_view posixPath);

// The directory of the running executable as a system path, without trailing backslash.
std::string ExecutableDir();
// The current directory of the process as a system path; changing it answers success.
std::string CurrentDir();
bool SetCurrentDir(std::string_view dir);

// True when a file (not a directory) exists at the path.
bool FileExists(std::string_view path);
// True when a directory exists at the path.
bool DirectoryExists(std::string_view path);
// Creates the directory and every missing parent; true when the directory exists afterwards.
bool ForceDirectories(std::string_view dir);

// The whole file, or nothing when it cannot be read (missing, a directory, no permission).
std::optional<std::string> ReadFileBytes(std::string_view path);
// Creates or replaces the file with `bytes`; true when everything was written.
bool WriteFileBytes(std::string_view path, std::string_view bytes);
// Removes a file (not a directory); true when it was removed.
bool DeleteFile(std::string_view path);
// Renames or moves a file, replacing an existing target; true on success.
bool RenameFile(std::string_view from, std::string_view to);
// Opens a stream on the file; check is_open() for success.
std::fstream OpenFileStream(std::string_view path, std::ios::openmode mode);

struct DirEntry {
  std::string name;  // Shift-JIS, without directory
  bool isDirectory = false;
};
// The entries of `dir` whose names match `pattern` ("*" any run of characters, "?" one
// character, letter case ignored), without "." and "..". Sorted ignoring case (then byte by
// byte), so the order is the same on every run. Empty when `dir` is not a directory.
std::vector<DirEntry> ListDirectory(std::string_view dir, std::string_view pattern = "*");
// The wildcard test ListDirectory uses, on Shift-JIS names.
bool MatchesWildcard(std::string_view name, std::string_view pattern);

// Packed MS-DOS date and time: the high word is (year-1980)<<9 | month<<5 | day, the low word
// hour<<11 | minute<<5 | second/2. Years before 1980 pack as 1980-01-01 00:00:00 and years
// after 2107 as 2107-12-31 23:59:58, so a packed stamp is never -1. `tm` fields are read as
// std::tm has them (tm_year from 1900, tm_mon from 0).
int32_t PackDosDateTime(const std::tm& time);
// The reverse of PackDosDateTime (seconds are even); tm_isdst is -1 (unknown).
std::tm UnpackDosDateTime(int32_t packed);

// The last modification time of a file in local time, packed as above; -1 when no file exists
// at the path (directories included).
int32_t FileAge(std::string_view path);

}  // namespace kelvo
