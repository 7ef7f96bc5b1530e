#pragma once
// Path arithmetic on the system's own paths: Windows-style Shift-JIS strings with the backslash
// as separator, an optional drive prefix ("C:") and case-insensitive comparison. A forward
// slash is an ordinary character here.
//
// Everything works character by character: a lead byte (IsLeadByte) and the byte after it are
// one character, so the trail byte 0x5C of a character such as "表" (0x95 0x5C) is never taken
// for a separator. A lead byte at the very end of a string is a character of its own.
//
// Only CacheFileName touches the file system (it creates the Temp directory); every other
// function is a pure string function. Conversion to and from the host's file names is in
// platform/Files.h.
#include <string>
#include <string_view>
#include <vector>

namespace kelvo {

// Lower-cases the ASCII letters of single-byte characters; double-byte characters (trail bytes
// included) stay as they are. The result has the same length and character boundaries.
std::string LowerCaseSjis(std::string_view text);

// The pieces of `path` between backslashes, as a Perl split at "\" gives them: empty pieces
// between two backslashes or before a leading one are kept, trailing empty pieces are dropped,
// and the empty string gives no pieces.
std::vector<std::string> SplitPath(std::string_view path);

// File-name parts. The delimiters are the backslash and the drive colon.
//   ExtractFileName("C:\a\b.txt") == "b.txt"      ExtractFilePath(...) == "C:\a\"
//   ExtractFileDir("C:\a\b.txt")  == "C:\a"       ExtractFileDir("C:\b.txt") == "C:\"
//   ExtractFileExt("C:\a.d\b.txt") == ".txt"      (the dot included; "" when there is none)
std::string ExtractFileName(std::string_view path);
std::string ExtractFilePath(std::string_view path);
std::string ExtractFileDir(std::string_view path);
std::string ExtractFileExt(std::string_view path);

// The file name without its last extension: "C:\a\b.tar.gz" gives "b.tar".
std::string ExtractBaseName(std::string_view path);

// True for "X:\..." (drive letter, colon, backslash) and for a leading backslash.
bool IsAbsolutePath(std::string_view path);

// `path` without one trailing backslash.
std::string StripTrailingBackslash(std::string_view path);

// The directory that holds `path`, without trailing backslash: "C:\a\" gives "C:", "C:" gives "".
std::string ParentDir(std::string_view path);

// `path` read relative to `baseDir`: "." pieces are skipped, ".." steps up (above the root the
// directory becomes empty and later pieces start from there). An absolute `path` is returned
// unchanged; an empty `path` or, for a relative one, an empty `baseDir` gives "".
std::string ResolvePath(std::string_view path, std::string_view baseDir);

// True when `text` begins with `prefix`, ignoring the case of ASCII letters. The prefix must end
// on a character boundary of `text`.
bool StartsWithNoCase(std::string_view text, std::string_view prefix);

// True when `path` is `dir` or lies below it, ignoring case and one trailing backslash on each
// (C:\ab is not within C:\a).
bool IsWithinDir(std::string_view path, std::string_view dir);

// The deepest directory that holds both (as one of them is written), or "" when there is none.
std::string CommonDir(std::string_view a, std::string_view b);

// `path` written relative to `baseDir` with "..\" steps where needed: C:\a\b\c.txt relative to
// C:\a\d is ..\b\c.txt. A relative `path` is returned unchanged; a path with no common root
// (another drive) is returned as an absolute path.
std::string RelativePath(std::string_view path, std::string_view baseDir);

// True when both name the same path, ignoring case and one trailing backslash.
bool SamePath(std::string_view a, std::string_view b);

// "Temp" below the program directory.
std::string TempDir(std::string_view programDir);

// The file in TempDir(programDir) that caches what is made from `path`: `prefix` followed by
// the letters, digits and underscores of `path` relative to the program directory, each ".."
// becoming "@". Creates the Temp directory when it does not exist.
//   CacheFileName("\opt\kelvo\kernel\Obj.kelvo", "class_", "\opt\kelvo")
//     == "\opt\kelvo\Temp\class_kernelObjkelvo"
std::string CacheFileName(std::string_view path, std::string_view prefix,
                          std::string_view programDir);

}  // namespace kelvo
