// The names of the files a run works with in the store's main directory.
// They live here, below the store and zip, because fatalError and the
// interrupt handler remove the run's work files on every road out.
#pragma once

// The archive's own index: written beside the messages, zipped with them,
// and read back by the restore.
inline constexpr char backupIndexName[] = "backup.bag";
// zip's list of the files to add (the zip layer's listFileName).
inline constexpr char archiveListName[] = "archive.tmp";
