#pragma once

#include <string>

// The temporaries that an interrupted program must not leave behind. A
// writer registers each temporary it creates (a file, or a folder of files
// it made) and unregisters it once it has been put in place or removed. On
// SIGINT, SIGTERM or SIGHUP the handler deals with what is registered (a
// file is removed, or renamed to the name it is to be kept under; a folder
// is removed with the files in it), then the signal is raised again with
// its default action, so the program ends with the usual status for it.
//
// The handler uses only calls that are safe in a signal handler (unlink,
// rename, openat, getdents64, rmdir, sigaction, raise): the registry is a
// fixed table of slots whose paths are written before the slot is armed.
class TSignalCleanup {
public:
    // Installs the handlers, once per process; a signal that is ignored
    // (nohup) stays ignored.
    static void Install();

    // Registers `path` (made absolute); returns its slot, or -1 when the
    // table is full or the path too long (the temporary is then left to
    // the writer's own clean-up alone).
    static int Register(const std::string& path, const std::string& keepAs, bool folder);
    // Changes the name a registered file is kept under ("" removes it).
    static void SetKeepAs(int slot, const std::string& keepAs);
    static void Unregister(int slot);

    // While one lives, a signal waits: the steps between its construction
    // and destruction are not cut in two (the two renames that put a
    // document and its pictures in place). The signal is acted on when the
    // last one ends.
    class TDefer {
    public:
        TDefer();
        ~TDefer();
        TDefer(const TDefer&) = delete;
        TDefer& operator=(const TDefer&) = delete;
    };
};
