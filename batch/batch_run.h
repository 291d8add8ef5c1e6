// SPDX-License-Identifier: MIT
#ifndef VARNOKET_BATCH_BATCH_RUN_H_
#define VARNOKET_BATCH_BATCH_RUN_H_

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/archive.h"
#include "platform/file_system.h"
#include "platform/folder_listing.h"
#include "sgf/charset.h"
#include "sgf/charset_detect.h"
#include "sgf/repairs.h"

namespace varnoket {

// Why one file was not cleaned.
enum class FailureReason {
  CannotRead,        // "cannot read the file"
  NoGameFound,       // "no game found": nothing in it parses as a game tree
  CutShort,          // "the game record is cut short": a game tree begins but
                     // the file ends before it closes, and no other parses
  CannotWrite,       // "cannot write the file"
  OutOfMemory,       // "not enough memory", even with the file cleaned alone
  CannotReadFolder,  // "cannot read the folder": a folder of the source could not be listed
  // "the file changed during cleaning": in place, the file was changed,
  // replaced or removed after it was read (or, in another destination, the
  // file there changed while the run wrote it); it is left as it now is.
  FileChanged,
  // "the cleaned record is too large": the cleaned text is longer than any
  // file the program writes (over 2 GiB); named by its destination.
  TooLarge,
  // "not extracted": an archive entry that is skipped for safety; the detail
  // says why (a name leading outside the destination, a link, a device, an
  // encrypted entry, a name taken by an earlier entry).
  NotExtracted,
  // "the archive is damaged": reading stopped at this entry, or after it;
  // the entries before it were cleaned.
  DamagedArchive,
};

// Which games of a file are cleaned.
enum class GameMode {
  FirstGame,  // the first game that can be cleaned; the others are counted
  AllGames,   // every game, into one cleaned collection
  Split,      // every game into a file of its own (see SplitName)
};

// One game of a collection that could not be cleaned.
struct GameFailure {
  std::uint64_t number = 0;  // its place in the file, from 1
  std::uint64_t offset = 0;  // of its "(" in the file
  FailureReason reason = FailureReason::NoGameFound;
};

// One file that was not cleaned, one game of it, or one folder that could
// not be listed.
struct FileFailure {
  // The entry's name; under a recursive run, its path relative to the source.
  // A folder's path relative to the source, empty for the source itself.
  std::filesystem::path name;
  FailureReason reason = FailureReason::CannotRead;
  // The operating system's description, when it gave one.
  std::string systemMessage;
  // For one game of a collection: its number (from 1) and the offset of its
  // "(" in the file; 0 for the whole file.
  std::uint64_t game = 0;
  std::uint64_t offset = 0;
};

// A file cleaned under GameMode::FirstGame that holds more games than the
// one kept.
struct GamesNotKept {
  std::filesystem::path name;  // as FileFailure::name
  std::uint64_t count = 0;     // games not kept
};

// Something a run passed over or could not keep without failing a file: a
// folder link in the source that was not followed, attributes of a replaced
// file that could not be kept. Shown as a note, not counted as a failure.
struct RunNote {
  // The entry's path relative to the source (a passed-over folder link) or,
  // "inDestination", to the destination (a written file).
  std::filesystem::path name;
  bool inDestination = false;
  std::string text;
};

// The text of the note on a folder link that a recursive run did not follow.
inline constexpr const char* kFolderLinkNotFollowed = "folder link not followed";
// The text of the note, on the destination itself, of a run that was stopped
// while it flushed the disk: what it wrote is in place, but may not all be on
// disk yet.
inline constexpr const char* kNotFlushed =
    "stopped before the disk was flushed: the files written may not all be on disk yet";

// How a run ended as a whole.
enum class RunOutcome {
  Completed,            // the folder was searched; see the counts
  NoSourceGiven,        // "no source folder given": the source text is empty
  NoDestinationGiven,   // "no destination folder given"
  SourceNotFound,       // "source folder not found": missing, or not a folder
                        // or an archive
  NotAnArchive,         // "not an archive Varnoket can read": a file named
                        // like one that is none (see BatchOptions::archives)
  DestinationNotFound,  // the destination folder is missing and may not be created
  CannotCreateDestination,
};

// What charset detection decided for one file (see AssumedCharset::detect).
struct FileCharset {
  std::filesystem::path name;  // as FileFailure::name
  std::string charset;         // the charset found; empty when undecided
};

// What a run did. Failures are sorted by name.
struct BatchReport {
  RunOutcome outcome = RunOutcome::Completed;
  std::size_t found = 0;    // matching entries
  std::size_t cleaned = 0;  // written
  // The run was stopped before it started every entry; "notStarted" entries
  // were never started.
  bool stopped = false;
  std::size_t notStarted = 0;
  // An archive source, not recursive: "*.sgf" entries in its folders, left alone.
  std::size_t subfolderEntries = 0;
  // Archives in the source folder (or its tree) that were left alone
  // (see BatchOptions::openArchives).
  std::size_t archivesLeft = 0;
  std::uint64_t bytesRead = 0;
  std::uint64_t bytesWritten = 0;
  std::vector<FileFailure> failures;
  // Files whose further games were not kept, sorted by name.
  std::vector<GamesNotKept> notKept;
  std::vector<RunNote> notes;  // sorted by name
  // Files cleaned that were mended (see BatchOptions::recover), each also
  // named in a note (RecoveredNote).
  std::size_t recovered = 0;
  // Under charset detection, every file it was tried on, sorted by name,
  // whether or not the file was then cleaned.
  std::vector<FileCharset> detected;
  std::string systemMessage;  // for CannotCreateDestination
  // The folder texts the run was given, for messages about the folders.
  std::filesystem::path source;
  std::filesystem::path destination;
};

// Progress after one more entry and, while an entry larger than a block of
// reading is read (a collection), after each block of it; calls never
// overlap.
struct BatchProgress {
  std::size_t done = 0;
  std::size_t total = 0;
  std::uint64_t bytesRead = 0;  // of the entries done and in hand
  std::uint64_t bytesWritten = 0;
  std::uint64_t games = 0;  // found so far, in the entries done and in hand
  // The large entries being read now: their sizes and the bytes read of
  // them; 0 when there are none.
  std::uint64_t largeSize = 0;
  std::uint64_t largeRead = 0;
};

struct BatchOptions {
  // The folder texts, taken whole. Relative texts are resolved against the
  // current folder.
  std::filesystem::path source;
  std::filesystem::path destination;
  // Also clean every subfolder, mirroring the tree under the destination.
  bool recursive = false;
  // Under "recursive", also enter folders that links in the source lead to
  // (each folder once, whatever leads there). Without it such a link is
  // passed over with a note. Links to files are read as files either way.
  bool followLinks = false;
  // Create the destination folder when it is missing (the command line does;
  // the dialogs do not).
  bool createDestination = false;
  // Files cleaned at once; 0 means one per hardware thread. The output is the
  // same for every value.
  unsigned jobs = 1;
  // Write nothing: read and clean every file in memory and report what a
  // real run would, with the write failures FileSystem::ProbeWrite foresees.
  // A missing destination folder is then not created either.
  bool dryRun = false;
  // Once "*stop" is true no further entry is started; the entries in hand are
  // finished and reported, and the report says the run was stopped. It may
  // be set from another thread or a signal handler.
  const std::atomic<bool>* stop = nullptr;
  // The charset of files that name none and are not UTF-8 (see CleanRecord).
  std::optional<AssumedCharset> assumedCharset;
  // Mend damaged records as CleanRecord does when asked to, and read
  // UTF-16 without a byte-order mark; each file mended has a note.
  bool recover = false;
  // Which games of each file are cleaned. Under Split a file's games are
  // written as SplitName says, each counted as a file cleaned, and a file
  // that holds one game keeps its name.
  GameMode games = GameMode::FirstGame;
  // The file operations to use; null means the real disk.
  platform::FileSystem* fileSystem = nullptr;
  // The archive operations to use; null means the real disk. A source that
  // is a file is read as an archive (recognised by its content): its
  // "*.sgf" entries are cleaned as a folder's files would be, under their
  // paths in the archive.
  platform::Archives* archives = nullptr;
  // The charset of zip entry names not flagged as UTF-8 ("CP437" when empty).
  std::string archiveNameCharset;
  // An archive entry whose data runs beyond this many bytes fails as too
  // large (a decompression bomb), whatever its header declares; the run goes
  // on with the next.
  std::uint64_t maxArchiveEntryBytes = std::uint64_t{1} << 31;
  // Files of the source folder named like archives (platform::HasArchiveName,
  // letter case ignored) are opened and cleaned into the destination folder
  // of the same name ("DEST/2001.zip/"), or, for an archive destination,
  // under that name into it, after the folder's own files. Otherwise they
  // are only counted.
  bool openArchives = false;
  // The folder listings to use; null means the real disk. A folder that
  // cannot be listed is a failure, and the run goes on with the others.
  platform::FolderLister* folderLister = nullptr;
  std::function<void(const BatchProgress&)> onProgress;
};

// Cleans every "*.sgf" entry (letter case ignored) of the source folder into
// the destination folder under the same name. A file that cannot be read or
// holds no game is not written; a write that fails leaves any existing file
// untouched. A new file takes the source file's permission bits (an archive
// entry's own, when it stores them), with owner write and less the umask. Below the destination, a
// link (to a folder or a file) is followed only when it belongs to the running user or to the owner
// of the folder that holds it. Files that replace others are made durable in groups, with one
// barrier per group, before any of them takes its name; a write that finds
// the disk full commits what is staged and is tried again alone. A file that
// runs out of memory while other workers hold theirs is cleaned again alone
// (the others finish what they hold and start nothing meanwhile); an archive
// entry too large to be held in memory is cleaned alone from the start.
// A destination named like an archive (platform::ArchiveKindOfName) that is
// not a folder is written as a new archive, its files added in the source's
// order as they are ready; a source that is a single file which is no
// archive is then cleaned into it under its own name. Before it returns, the run flushes every
// file system it wrote to, so that what it reports cleaned is on disk. Every
// failure is in the report; no failure stops the run.
BatchReport RunBatch(const BatchOptions& options);

// True when RunBatch writes "destination" as a new archive: it is named like
// one (platform::ArchiveKindOfName) and is not a folder. "files" null means
// the real disk.
bool IsArchiveDestination(const std::filesystem::path& destination,
                          platform::FileSystem* files = nullptr);

// True when the file at "path" is an archive or a compressed file that
// RunBatch reads as a source, by its content. "archives" null means the real
// disk.
bool IsArchiveFile(const std::filesystem::path& path, platform::Archives* archives = nullptr);

// The result of cleaning one record in memory.
struct BatchCleaning {
  bool ok = false;
  FailureReason reason = FailureReason::NoGameFound;
  CharsetDetection detection;  // what charset detection made of the file
  Repairs repairs;             // what was mended, when asked to recover
};

// Cleans one record by the cleaning rules (CleanRecord), reading a file that
// names no charset in "assumed", when given, or else as the system's code page
// says, and turns their status into a result: the cleaned record in
// "*output", or the reason it failed. "recover" mends a damaged record as
// CleanRecord does.
BatchCleaning CleanInBatch(std::string_view input, std::string* output,
                           const AssumedCharset* assumed = nullptr, bool recover = false);

// As above, handing the cleaned record to "part" as it is written (see
// CleanRecord): nothing is handed on unless it is cleaned, or memory ran
// out while it was written.
BatchCleaning CleanInBatch(std::string_view input,
                           const std::function<void(std::string_view part)>& part,
                           const AssumedCharset* assumed = nullptr, bool recover = false);

// The text of the note on a file that was mended: "recovered: " and what was
// mended ("lower-case property names", "cut short after move 212").
std::string RecoveredNote(const Repairs& repairs);

}  // namespace varnoket

#endif  // VARNOKET_BATCH_BATCH_RUN_H_
