#pragma once

#include <string>
#include <sys/types.h>

// Which file a name stands for, so that two names of one file compare the
// same: for a file that exists, its device and inode, whatever the name
// (relative, absolute, "./", a link, a second hard link); for one that does
// not exist yet, the name it would be created under, with the links at its
// end followed and its folder's real path.
struct TFileIdentity {
    bool Exists = false;
    dev_t Device = 0;
    ino_t Inode = 0;
    std::string Folder; // real path of the folder; empty when it cannot be found
    std::string Name;   // the last part of the name, in that folder

    static TFileIdentity Of(const std::string& path);
    static TFileIdentity OfDescriptor(int fd); // Exists false when fd is not open
    bool SameFile(const TFileIdentity& other) const;

    // Where writing through `path` lands when links stand at its end: the
    // name the last link leads to (a link to a file that does not exist
    // yet names where that file would be created). `path` itself when it is
    // no link; empty, with errno set, for a loop of links.
    static std::string FinalName(const std::string& path);
};
