#pragma once
// The process holds the FTP and proxy passwords in memory; a core file of a crash
// would write them to disk where other tools and accounts may read them.
namespace velora {

// Makes this process write no core file and refuse other processes of the same
// account a look into its memory (not dumpable). Call it first thing in main. False
// when the system refused one of the two; the program goes on either way.
bool disableCoreDumps();

}  // namespace velora
